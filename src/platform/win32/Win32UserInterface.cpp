#include "platform/win32/Win32UserInterface.h"

#include <windows.h>

#include <string>

#include "dialogs/ImpApi_Korvalix_Dlg.h"
#include "dialogs/ImpApi_Korvalix_PwDlg.h"
#include "platform/win32/Win32AccessDataDialog.h"
#include "platform/win32/Win32PinPrompt.h"
#include "platform/win32/Win32Window.h"

namespace kx::win32 {

void Win32UserInterface::ShowInformation(std::string_view caption, std::string_view text) {
  const std::string captionText(caption);
  const std::string bodyText(text);
  // Owned by the host's active window, if there is one, which the box disables itself; the host's
  // other windows are disabled meanwhile.
  const HostWindowsDisabled host;
  MessageBoxA(host.Owner(), bodyText.c_str(), captionText.c_str(), MB_OK | MB_ICONINFORMATION | MB_APPLMODAL);
}

bool Win32UserInterface::AskPin(std::string_view providerText, std::string_view loginText,
                                std::string& pinText) {
  TImpApiPwDlg form;
  form.ProviderText = std::string(providerText);
  form.LoginText = std::string(loginText);
  if (!Win32PinPrompt(form).ShowModal()) return false;
  pinText = form.PinText;
  return true;
}

int32_t Win32UserInterface::ShowAccessDataDialog(AccessData& data, std::string_view importVersion) {
  TdlgKorvalixDataEdit form;
  form.UserText = data.UserText;
  form.PasswordText = data.PasswordText;
  form.CustomDataText = data.CustomDataText;
  form.FormShow(importVersion);
  const int32_t result = Win32AccessDataDialog(form).ShowModal();
  form.FormClose(result);
  if (result == kModalOk) data = {form.UserText, form.PasswordText, form.CustomDataText};
  return result;
}

void Win32UserInterface::ShowDownloadProgress() {
  if (!progress_.Show()) return;
  window_ = std::make_unique<Win32ProgressWindow>(*progress_.Window());
}

void Win32UserInterface::CloseDownloadProgress() {
  window_.reset();
  progress_.Close();
}

void Win32UserInterface::SetCursor(Cursor cursor) {
  ::SetCursor(LoadCursorA(nullptr, cursor == Cursor::Wait ? IDC_WAIT : IDC_APPSTARTING));
}

}  // namespace kx::win32
