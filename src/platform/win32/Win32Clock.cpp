#include "platform/win32/Win32Clock.h"

#include <windows.h>

namespace kx::win32 {

DateTime Win32Clock::Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return EncodeDate(now.wYear, now.wMonth, now.wDay);
}

DateTime Win32Clock::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return EncodeDateTime({now.wYear, now.wMonth, now.wDay},
                        {now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
}

void Win32Clock::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32Clock::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave the quit request to the host's loop
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace kx::win32
