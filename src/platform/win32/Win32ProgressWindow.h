#pragma once

#include <windows.h>

#include "dialogs/ImpApiDownloadProgress.h"
#include "platform/win32/Win32Window.h"

namespace kx::win32 {

// The download progress window drawn with Win32: modeless, without an owner, the bar moved by a
// 1000 ms timer, "Download abbrechen" and a close box that only hides the window. It repaints and
// reacts only while the thread's messages are dispatched (the host's progress callback does).
class Win32ProgressWindow {
 public:
  // Makes and shows the window for the form (which has had its FormShow). Without a window
  // (it cannot be made) the form still answers, and the download cannot be cancelled.
  explicit Win32ProgressWindow(TfrmDownloadProgress& form);
  ~Win32ProgressWindow();
  Win32ProgressWindow(const Win32ProgressWindow&) = delete;
  Win32ProgressWindow& operator=(const Win32ProgressWindow&) = delete;

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Create(HWND window);
  void Paint(HWND window) const;
  void Tick(HWND window);
  void Cancel(HWND window);

  TfrmDownloadProgress& form_;
  FontHandle font_ = MakeFont(kFormFace, kFormFontHeight, false);
  FontHandle bold_ = MakeFont(kFormFace, 13, true);
  HWND label_ = nullptr;
  HWND window_ = nullptr;
};

}  // namespace kx::win32
