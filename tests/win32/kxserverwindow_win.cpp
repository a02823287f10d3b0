// Stands in for a running database server as the library looks for it: a top-level window of
// class "IB_Server" titled "InterBase Server" (never shown; FindWindowA finds hidden windows too).
//
//   kxserverwindow_win.exe FLAG_FILE
//
// Prints "ready" once the window exists and keeps it until FLAG_FILE is gone, the window is
// closed, or two minutes have passed, so a test that dies leaves nothing behind for long.
// Exit code 0, or 1 when the window cannot be made.
#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 100;
constexpr DWORD kLongestLifeMs = 120000;

const char* flagFile = nullptr;
DWORD startTicks = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (GetFileAttributesA(flagFile) == INVALID_FILE_ATTRIBUTES ||
          GetTickCount() - startTicks > kLongestLifeMs) {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kxserverwindow_win.exe FLAG_FILE\n");
    return 2;
  }
  flagFile = argv[1];
  startTicks = GetTickCount();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "IB_Server";
  // A top-level window, not a message-only one: FindWindowA does not see those.
  HWND window = RegisterClassA(&windowClass) != 0
                    ? CreateWindowExA(0, "IB_Server", "InterBase Server", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                      nullptr, nullptr, windowClass.hInstance, nullptr)
                    : nullptr;
  if (window == nullptr || SetTimer(window, kPollTimer, kPollMs, nullptr) == 0) {
    std::fprintf(stderr, "cannot create the server window, error %lu\n", GetLastError());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageA(&msg);
  }
  return 0;
}
