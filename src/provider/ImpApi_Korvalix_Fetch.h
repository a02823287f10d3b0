#pragma once

#include <optional>

#include "net/ImpApiINet_Download.h"
#include "platform/SystemClock.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Run.h"

namespace kx {

// Recognises a provider error answer ("Fehler " + number + " - " + text). Nothing for a data
// file; otherwise its result code (-30..-36), with LastProviderErrorCode and
// LastProviderErrorText set as the answer says.
std::optional<int32_t> ProviderErrorAnswer(std::string_view content, ProviderValues& values);

// Fetches one provider file into the data directory: the download, the error answer, the
// offline copy of debug mode 2, and the debug log line.
class ProviderFetch final : public ProviderFileFetcher {
 public:
  ProviderFetch(ProviderValues& values, ProgressSink& progress, Downloader& downloader, SystemClock& clock)
      : values_(values), progress_(progress), downloader_(downloader), clock_(clock) {}

  int32_t FetchProviderFile(std::string_view url, std::string_view fileName, std::string_view plainCopy,
                            std::string_view dataDir) override;

 private:
  ProviderValues& values_;
  ProgressSink& progress_;
  Downloader& downloader_;
  SystemClock& clock_;
};

}  // namespace kx
