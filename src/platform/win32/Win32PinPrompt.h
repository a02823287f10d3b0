#pragma once

#include <windows.h>

#include "dialogs/ImpApi_Korvalix_PwDlg.h"
#include "platform/win32/Win32Window.h"

namespace kx::win32 {

// The PIN prompt drawn with Win32: a modal dialog without title-bar buttons, which only "Ok"
// (while the field is not empty) and "Abbrechen" end; Escape does nothing.
class Win32PinPrompt {
 public:
  explicit Win32PinPrompt(TImpApiPwDlg& form) : form_(form) {}
  Win32PinPrompt(const Win32PinPrompt&) = delete;
  Win32PinPrompt& operator=(const Win32PinPrompt&) = delete;

  // Shows the prompt, the host's windows disabled meanwhile; true when it ended with "Ok" (the entry
  // is then in the form's PinText). Throws when the window cannot be made.
  bool ShowModal();

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Create(HWND window);
  void Command(HWND window, int id, int code);

  TImpApiPwDlg& form_;
  FontHandle font_ = MakeFont(kFormFace, kFormFontHeight, false);
  HWND edit_ = nullptr;
  HWND ok_ = nullptr;
};

}  // namespace kx::win32
