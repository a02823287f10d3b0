#pragma once

#include "dialogs/ImpApiDownloadProgress.h"
#include "platform/UserInterface.h"

namespace kx::posix {

// The library's windows on a machine without a display: the controlling terminal. Texts are
// converted from Windows-1252 to the terminal's UTF-8 here, at the edge.
class TerminalUserInterface final : public UserInterface {
 public:
  void ShowInformation(std::string_view caption, std::string_view text) override;
  bool AskPin(std::string_view providerText, std::string_view loginText, std::string& pinText) override;
  int32_t ShowAccessDataDialog(AccessData& data, std::string_view importVersion) override;
  ProxyAnswer AskProxyCredentials(std::string_view url, ProxyCredentials& credentials) override;

  // The progress window has no form on a terminal; while it would be shown, Ctrl+C (SIGINT)
  // is its cancel button, and the download stops within a poll of the transfer, data or not.
  void ShowDownloadProgress() override;
  bool DownloadCancelled() override;
  void CloseDownloadProgress() override;
  void SetCursor(Cursor) override {}

 private:
  DownloadProgress progress_;
};

}  // namespace kx::posix
