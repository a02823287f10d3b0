// A user at the keyboard and the mouse, for the window tests under Wine: finds windows by caption
// and their controls by text or class, types and clicks through the system's input queue
// (SendInput, so the keys reach whatever has the focus), reads back what the windows show and
// saves the screen as a BMP. Header only: one test program uses it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kxtest {

// One line per check, from any thread; the exit code is 0 only when every check passed.
class Report {
 public:
  bool Check(bool ok, const std::string& what) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    ++checks_;
    if (!ok) ++failures_;
    return ok;
  }
  int Checks() const { return checks_; }
  int Failures() const { return failures_; }

 private:
  std::mutex mutex_;
  int checks_ = 0;
  int failures_ = 0;
};

inline std::string TextOf(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The visible top-level window with this caption, waited for up to timeoutMs; null when none came.
inline HWND WaitForWindow(const char* caption, DWORD timeoutMs = 15000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  do {
    HWND window = FindWindowA(nullptr, caption);
    if (window != nullptr && IsWindowVisible(window)) {
      Sleep(300);  // the dialog manager shows it before its first paint is done
      return window;
    }
    Sleep(50);
  } while (GetTickCount64() < end);
  return nullptr;
}

// Whether the window is gone (destroyed or hidden) within timeoutMs.
inline bool WaitUntilGone(HWND window, DWORD timeoutMs = 5000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
  return true;
}

// Whether the condition holds within timeoutMs: the window's thread takes input in its own time.
template <typename Condition>
bool Eventually(const Condition& condition, DWORD timeoutMs = 5000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
  return true;
}

// The children of a window in creation order, which is their tab order.
inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

inline HWND ChildWithText(HWND parent, std::string_view text) {
  for (HWND child : Children(parent)) {
    if (TextOf(child) == text) return child;
  }
  return nullptr;
}

inline HWND ChildOfClass(HWND parent, const char* windowClass, int index = 0) {
  for (HWND child : Children(parent)) {
    if (lstrcmpiA(ClassOf(child).c_str(), windowClass) == 0 && index-- == 0) return child;
  }
  return nullptr;
}

// The window that has the keyboard focus on the thread that owns `window`.
inline HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

// --- Input ------------------------------------------------------------------------------------

inline void Send(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(150);  // let the owning thread take it from its queue
}

inline INPUT KeyInput(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

inline void PressKey(WORD vk) { Send({KeyInput(vk, false), KeyInput(vk, true)}); }

inline void PressShifted(WORD vk) {
  Send({KeyInput(VK_SHIFT, false), KeyInput(vk, false), KeyInput(vk, true), KeyInput(VK_SHIFT, true)});
}

// Typed as characters (WM_CHAR through the keyboard queue), whatever the keyboard layout.
inline void Type(std::string_view text) {
  std::vector<INPUT> inputs;
  for (const char c : text) {
    for (const bool up : {false, true}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = static_cast<unsigned char>(c);
      input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      inputs.push_back(input);
    }
  }
  Send(inputs);
}

inline void ClickAt(POINT point) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = MulDiv(point.x, 65535, width - 1);
  move.mi.dy = MulDiv(point.y, 65535, height - 1);
  move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  // Wine's X11 driver gives a click the position of the move before the last one (the pointer
  // warp comes back late): a second move to the same point makes the click land there.
  Send({move});
  Send({move});
  INPUT down{};
  down.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  INPUT up = down;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Send({down, up});
}

// A click in the middle of a control.
inline void Click(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

// The middle of the title bar's close box, found by asking the window what lies under the point.
inline bool CloseBoxPoint(HWND window, POINT& point) {
  RECT rect{};
  GetWindowRect(window, &rect);
  POINT client{0, 0};
  ClientToScreen(window, &client);
  const int border = client.x - rect.left;
  point = {rect.right - border - GetSystemMetrics(SM_CXSIZE) / 2, (rect.top + client.y) / 2};
  const LPARAM at = MAKELPARAM(point.x, point.y);
  return SendMessageA(window, WM_NCHITTEST, 0, at) == HTCLOSE;
}

// --- Screen -----------------------------------------------------------------------------------

// The whole screen (Wine's virtual desktop) as a 24-bit BMP file.
inline bool SaveScreen(const std::string& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
  GdiFlush();
  const DWORD rowBytes = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  file.bfSize = file.bfOffBits + imageBytes;
  bool written = false;
  if (FILE* out = copied ? std::fopen(path.c_str(), "wb") : nullptr; out != nullptr) {
    written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              std::fwrite(bits, imageBytes, 1, out) == 1;
    written = std::fclose(out) == 0 && written;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace kxtest
