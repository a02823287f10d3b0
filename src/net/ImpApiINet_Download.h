#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/HttpTransport.h"
#include "platform/UserInterface.h"
#include "util/OutputStream.h"
#include "util/ProgressSink.h"
#include "util/ResultCodes.h"

namespace kx {

inline constexpr std::string_view kUserAgent = "TAVO-ImportApi";
inline constexpr std::size_t kReadSize = 65535;

// A GET of one URL over the platform's HTTP client into a stream, chunk by chunk, with the status
// rules, the length check, the progress window and its cancel button.
class Downloader {
 public:
  Downloader(HttpTransport& transport, UserInterface& ui, ProgressSink& progress)
      : transport_(transport), ui_(ui), progress_(progress) {}

  // 0 when the body has been written completely to target; otherwise -1..-9 or -1015, and target
  // may hold a part of the body, which the caller throws away. statusText receives the HTTP
  // status ("" when no answer came). Failure messages go to the host as log lines when
  // reportMessages is set.
  int32_t DownloadUrl(std::string_view url, std::string_view extraHeaders, int32_t timeoutSeconds,
                      OutputStream& target, std::string& statusText, bool reportMessages, bool showProgress);

 private:
  int32_t Transfer(HttpSession& session, std::string_view url, std::string_view extraHeaders,
                   OutputStream& target, std::string& statusText, bool showProgress);
  int32_t ReadBody(HttpRequest& request, OutputStream& target, bool showProgress);
  void Report(std::string_view text);

  HttpTransport& transport_;
  UserInterface& ui_;
  ProgressSink& progress_;
  bool report_ = false;
};

}  // namespace kx
