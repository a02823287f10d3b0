#include "platform/win32/Win32PinPrompt.h"

#include <string>

#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx::win32 {
namespace {

constexpr int kClientWidth = 319;
constexpr int kClientHeight = 146;
constexpr int kEditId = 101;
// "Abbrechen" is not IDCANCEL: the dialog manager turns Escape (and Alt+F4) into IDCANCEL, and
// the prompt is declined only with the button.
constexpr int kCancelId = 102;

}  // namespace

bool Win32PinPrompt::ShowModal() {
  // A dialog frame without a system menu: no close box, no title-bar buttons at all.
  EmptyDialogTemplate dialog(WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE);
  const HostWindowsDisabled host;
  const INT_PTR result = DialogBoxIndirectParamA(LibraryInstance(), &dialog.Header, host.Owner(), &Proc,
                                                 reinterpret_cast<LPARAM>(this));
  if (result == -1 || result == 0) {
    const DWORD error = GetLastError();
    throw PlatformError("Die PIN-Abfrage kann nicht angezeigt werden: " + SystemErrorText(error), error);
  }
  return result == IDOK;
}

INT_PTR CALLBACK Win32PinPrompt::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = DialogObject<Win32PinPrompt>(window, message, lParam);
  if (self != nullptr && message == WM_INITDIALOG) {
    self->Create(window);
    return FALSE;  // the focus is set: in the field
  }
  if (self == nullptr || message != WM_COMMAND) return FALSE;
  self->Command(window, LOWORD(wParam), HIWORD(wParam));
  return TRUE;
}

void Win32PinPrompt::Create(HWND window) {
  SetWindowTextA(window, form_.Caption().c_str());
  HFONT font = font_.get();
  // Both labels are as wide as their texts, whatever width the font substituted here needs, up to
  // the window's margin; a longer text wraps, and what lies below moves down with the window's
  // bottom.
  FlowLayout layout(window, kClientWidth);
  layout.AddLabel(TImpApiPwDlg::kLabel1, {16, 16, 264, 13}, font);
  layout.AddLabel(form_.InfoText(), {16, 32, 0, 13}, font);
  // The tab order is the order of creation: the field first.
  edit_ = layout.Add("EDIT", "", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP, {16, 56, 201, 21}, kEditId, font,
                     WS_EX_CLIENTEDGE);
  SendMessageA(edit_, EM_SETPASSWORDCHAR, '*', 0);
  SendMessageA(edit_, EM_LIMITTEXT, 0, 0);  // no limit of its own
  ok_ =
      layout.Add("BUTTON", "Ok", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, {232, 112, 75, 25}, IDOK, font);
  layout.Add("BUTTON", "Abbrechen", BS_PUSHBUTTON | WS_TABSTOP, {144, 112, 75, 25}, kCancelId, font);
  SendMessageA(window, DM_SETDEFID, IDOK, 0);
  PlaceWindow(window, kClientWidth, kClientHeight + layout.ShiftAt(kClientHeight), Centre::Desktop);
  SetFocus(edit_);
}

void Win32PinPrompt::Command(HWND window, int id, int code) {
  if (id == kEditId && code == EN_CHANGE) {
    form_.ePasswortChange(WindowText(edit_));
    EnableWindow(ok_, form_.OkEnabled() ? TRUE : FALSE);
  } else if (id == IDOK && code == BN_CLICKED) {
    // Enter arrives here too; the form refuses it while the field is empty.
    if (form_.Close(true)) EndDialog(window, IDOK);
  } else if (id == kCancelId && code == BN_CLICKED) {
    form_.Close(false);
    EndDialog(window, kCancelId);
  }
}

}  // namespace kx::win32
