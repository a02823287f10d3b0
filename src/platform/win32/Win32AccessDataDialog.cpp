#include "platform/win32/Win32AccessDataDialog.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "platform/UserInterface.h"

namespace kx::win32 {
namespace {

constexpr int kClientWidth = 275;
constexpr int kClientHeight = 190;
constexpr int kUserId = 101;
constexpr int kPasswordId = 102;
constexpr int kHelpId = 103;

}  // namespace

int32_t Win32AccessDataDialog::ShowModal() {
  EmptyDialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE);
  const HostWindowsDisabled host;
  const INT_PTR result = DialogBoxIndirectParamA(LibraryInstance(), &dialog.Header, host.Owner(), &Proc,
                                                 reinterpret_cast<LPARAM>(this));
  return result == IDOK ? kModalOk : kModalCancel;
}

INT_PTR CALLBACK Win32AccessDataDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = DialogObject<Win32AccessDataDialog>(window, message, lParam);
  if (self != nullptr && message == WM_INITDIALOG) {
    self->Create(window);
    return FALSE;  // the focus is set: in the user name
  }
  if (self == nullptr || message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  self->Command(window, LOWORD(wParam));
  return TRUE;
}

void Win32AccessDataDialog::Create(HWND window) {
  SetWindowTextA(window, "KORVALIX-Zugangsdaten");
  HFONT font = font_.get();
  // The labels are as wide as their texts (at least as laid out, at most to the window's margin),
  // whatever width the font that stands in for the form's needs; the note is word-wrapped in its
  // fixed width. A label that needs more lines grows, and what lies below moves down with the
  // window's bottom.
  FlowLayout layout(window, kClientWidth);
  HWND versionLabel = layout.AddLabel("Schnittstellen-Version:", {16, 8, 128, 13}, bold_.get());
  // The version stands 8 pixels after its label, also when the label came out wider.
  RECT versionRect{};
  GetWindowRect(versionLabel, &versionRect);
  layout.AddLabel(form_.VersionText(),
                  {std::max<int>(152, 16 + versionRect.right - versionRect.left + 8), 8, 44, 13},
                  bold_.get());
  layout.AddLabel("KORVALIX Benutzername (Kundennummer)", {16, 33, 213, 13}, font);
  layout.AddLabel("KORVALIX Passwort *", {16, 73, 112, 13}, font);
  layout.AddLabel("*", {16, 112, 5, 16}, star_.get());
  layout.AddLabel("Wenn Sie das Passwort hier nicht eingeben, wird bei jedem Abruf der Daten danach gefragt.",
                  {24, 112, 225, 33}, font, FlowLayout::Width::Fixed);

  // The tab order is the order of creation: user name, password, "Abbrechen", "OK", "Anleitung".
  // The fields have no border of their own and hold what the form's edit fields hold.
  const auto limit = static_cast<WPARAM>(TdlgKorvalixDataEdit::kEditLimit);
  user_ = layout.Add("EDIT", form_.UserEdit(), ES_AUTOHSCROLL | WS_TABSTOP, {16, 48, 161, 15}, kUserId, font);
  SendMessageA(user_, EM_LIMITTEXT, limit, 0);
  password_ = layout.Add("EDIT", form_.PasswordEdit(), ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
                         {16, 88, 161, 15}, kPasswordId, font);
  SendMessageA(password_, EM_SETPASSWORDCHAR, '*', 0);
  SendMessageA(password_, EM_LIMITTEXT, limit, 0);
  layout.Add("BUTTON", "Abbrechen", BS_PUSHBUTTON | WS_TABSTOP, {100, 155, 75, 25}, IDCANCEL, font);
  layout.Add("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {184, 155, 75, 25}, IDOK, font);
  layout.Add("BUTTON", "Anleitung", BS_PUSHBUTTON | WS_TABSTOP, {16, 155, 75, 25}, kHelpId, bold_.get());
  SendMessageA(window, DM_SETDEFID, IDOK, 0);
  PlaceWindow(window, kClientWidth, kClientHeight + layout.ShiftAt(kClientHeight), Centre::Screen);
  SetFocus(user_);
}

void Win32AccessDataDialog::Command(HWND window, int id) {
  switch (id) {
    case IDOK:
      form_.SetUserEdit(WindowText(user_));
      form_.SetPasswordEdit(WindowText(password_));
      EndDialog(window, IDOK);
      break;
    case IDCANCEL:  // the button, Escape and the close box
      EndDialog(window, IDCANCEL);
      break;
    case kHelpId: {
      // Whether a viewer opened it is not checked: the dialog stays open either way.
      const std::string manual = TdlgKorvalixDataEdit::ManualPath(HostProgramFolder());
      ShellExecuteA(window, nullptr, manual.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    }
    default:
      break;
  }
}

}  // namespace kx::win32
