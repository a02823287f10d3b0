#pragma once

#include "platform/UserInterface.h"

namespace kx::win32 {

class Win32UserInterface final : public UserInterface {
 public:
  void ShowInformation(std::string_view caption, std::string_view text) override;
  bool AskPin(std::string_view providerText, std::string_view loginText, std::string& pinText) override;
  int32_t ShowAccessDataDialog(AccessData& data, std::string_view importVersion) override;
  // WinInet asks for proxy credentials itself (InternetErrorDlg on the request).
  ProxyAnswer AskProxyCredentials(std::string_view, ProxyCredentials&) override {
    return ProxyAnswer::Unavailable;
  }

  // The progress window comes with the library's dialogs; until then the download runs without
  // one and cannot be cancelled.
  void ShowDownloadProgress() override {}
  bool DownloadCancelled() override { return false; }
  void CloseDownloadProgress() override {}
  void SetCursor(Cursor cursor) override;
};

}  // namespace kx::win32
