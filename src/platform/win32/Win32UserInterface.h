#pragma once

#include <memory>

#include "dialogs/ImpApiDownloadProgress.h"
#include "platform/UserInterface.h"
#include "platform/win32/Win32ProgressWindow.h"

namespace kx::win32 {

// The library's windows as Win32 windows; the behaviour of each is its form in dialogs/.
class Win32UserInterface final : public UserInterface {
 public:
  void ShowInformation(std::string_view caption, std::string_view text) override;
  bool AskPin(std::string_view providerText, std::string_view loginText, std::string& pinText) override;
  int32_t ShowAccessDataDialog(AccessData& data, std::string_view importVersion) override;
  // WinInet asks for proxy credentials itself (InternetErrorDlg on the request).
  ProxyAnswer AskProxyCredentials(std::string_view, ProxyCredentials&) override {
    return ProxyAnswer::Unavailable;
  }

  void ShowDownloadProgress() override;
  bool DownloadCancelled() override { return progress_.Cancelled(); }
  void CloseDownloadProgress() override;
  void SetCursor(Cursor cursor) override;

 private:
  DownloadProgress progress_;
  std::unique_ptr<Win32ProgressWindow> window_;  // draws progress_'s form: destroyed first
};

}  // namespace kx::win32
