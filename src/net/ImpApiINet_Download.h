#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/ImpApiMain.h"
#include "platform/HttpTransport.h"
#include "platform/UserInterface.h"

namespace kx {

inline constexpr std::string_view kUserAgent = "TAVO-ImportApi";
inline constexpr std::size_t kReadSize = 65535;

// Result codes of a download.
inline constexpr int32_t kDownloadUnknown = -1;
inline constexpr int32_t kDownloadNoSession = -2;
inline constexpr int32_t kDownloadOpenFailed = -3;
inline constexpr int32_t kDownloadDenied = -4;
inline constexpr int32_t kDownloadNotFound = -5;
inline constexpr int32_t kDownloadOtherStatus = -6;
inline constexpr int32_t kDownloadIncomplete = -7;
inline constexpr int32_t kDownloadOverloaded = -8;
inline constexpr int32_t kDownloadProxyAuth = -9;
inline constexpr int32_t kDownloadCancelled = -1015;

// A GET of one URL into memory over the platform's HTTP client, with the status rules, the
// length check, the progress window and its cancel button.
class Downloader {
 public:
  Downloader(HttpTransport& transport, UserInterface& ui, ProgressSink& progress)
      : transport_(transport), ui_(ui), progress_(progress) {}

  // 0 when the body has been read completely into target; otherwise -1..-9 or -1015. statusText
  // receives the HTTP status ("" when no answer came). Failure messages go to the host as log
  // lines when reportMessages is set.
  int32_t DownloadUrl(std::string_view url, std::string_view extraHeaders, int32_t timeoutSeconds, std::string& target,
                      std::string& statusText, bool reportMessages, bool showProgress);

 private:
  int32_t Transfer(HttpSession& session, std::string_view url, std::string_view extraHeaders, std::string& target,
                   std::string& statusText, bool showProgress);
  int32_t ReadBody(HttpRequest& request, std::string& target, bool showProgress);
  void Report(std::string_view text);

  HttpTransport& transport_;
  UserInterface& ui_;
  ProgressSink& progress_;
  bool report_ = false;
};

}  // namespace kx
