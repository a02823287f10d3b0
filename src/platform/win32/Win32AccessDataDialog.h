#pragma once

#include <windows.h>

#include <cstdint>

#include "dialogs/ImpApi_Korvalix_Dlg.h"
#include "platform/win32/Win32Window.h"

namespace kx::win32 {

// The access-data dialog drawn with Win32: modal, "OK" (Enter) ends it with 1, "Abbrechen",
// Escape and the close box with 2; "Anleitung" opens the manual beside the host's program.
class Win32AccessDataDialog {
 public:
  // The form has been shown (FormShow): its edit texts and version fill the fields.
  explicit Win32AccessDataDialog(TdlgKorvalixDataEdit& form) : form_(form) {}
  Win32AccessDataDialog(const Win32AccessDataDialog&) = delete;
  Win32AccessDataDialog& operator=(const Win32AccessDataDialog&) = delete;

  // The modal result, 1 or 2; on 1 the form's edit texts hold what the fields held. A dialog
  // that cannot be made counts as cancelled.
  int32_t ShowModal();

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Create(HWND window);
  void Command(HWND window, int id);

  TdlgKorvalixDataEdit& form_;
  FontHandle font_ = MakeFont(kFormFace, kFormFontHeight, false);
  FontHandle bold_ = MakeFont(kFormFace, kFormFontHeight, true);
  FontHandle star_ = MakeFont(kFormFace, 13, false);
  HWND user_ = nullptr;
  HWND password_ = nullptr;
};

}  // namespace kx::win32
