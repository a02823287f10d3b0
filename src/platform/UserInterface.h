#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// The three texts of the access-data dialog.
struct AccessData {
  std::string UserText;
  std::string PasswordText;
  std::string CustomDataText;
};

inline constexpr int32_t kModalOk = 1;
inline constexpr int32_t kModalCancel = 2;

struct ProxyCredentials {
  std::string User;
  std::string Password;
};

// What the proxy credentials prompt gave: credentials to retry with, none to be had, or a "no".
enum class ProxyAnswer { Entered, Unavailable, Declined };

enum class Cursor { Wait, AppStarting };

// The library's windows: drawn by the platform's toolkit, or the terminal where there is none.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal information box with the one button "OK"; returns when it is closed.
  virtual void ShowInformation(std::string_view caption, std::string_view text) = 0;
  // The PIN prompt: true with the entry in pinText when confirmed, false when declined.
  virtual bool AskPin(std::string_view providerText, std::string_view loginText, std::string& pinText) = 0;
  // The access-data dialog, modal: its result (kModalOk or kModalCancel); data edited on OK.
  virtual int32_t ShowAccessDataDialog(AccessData& data, std::string_view importVersion) = 0;
  // Asks for the credentials of a proxy that answered 407.
  virtual ProxyAnswer AskProxyCredentials(std::string_view url, ProxyCredentials& credentials) = 0;

  // The download progress window: at most one; the download asks it after every chunk.
  virtual void ShowDownloadProgress() = 0;
  virtual bool DownloadCancelled() = 0;
  virtual void CloseDownloadProgress() = 0;

  // The application's screen cursor while the download runs and after it.
  virtual void SetCursor(Cursor cursor) = 0;
};

}  // namespace kx
