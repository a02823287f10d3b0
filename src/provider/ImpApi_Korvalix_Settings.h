#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"
#include "provider/ImpApi_Korvalix.h"
#include "util/ProviderIdentity.h"

namespace kx {

// Reads the installation settings into the module values (serviceUrl, Timeout, DebugMode,
// ImportDB) and returns the DataDir setting. The caller has set serviceUrl to its default and
// DebugMode to 0. A failing value stops the reading: serviceUrl falls back to its default and the
// values not yet read keep what they held.
std::string ReadImportSettings(SettingsStore& store, ProviderValues& values);

// The values ReadImportSettings reads, in its order.
inline constexpr std::array<std::string_view, 5> kSettingNames = {"DownloadSrvUrl", "Timeout", "DebugMode",
                                                                  "ImportDB", "DataDir"};

// What one reading of the settings met, for kximport check: the values read as stored (absent
// ones left out), and where and why it stopped (a value that is no string, a store that cannot
// be read). The module values come out as a run gets them.
struct SettingsReading {
  std::vector<std::pair<std::string, std::string>> read;
  std::string stoppedAt;  // the value being read when the reading stopped; empty when it did not
  std::string stopReason;
  std::string dataDir;
};
SettingsReading ReadImportSettingsReporting(SettingsStore& store, ProviderValues& values);

// The host's option text: lines of Name=Value. A key takes the value of the first line whose
// part before its first "=" equals the key without regard to case; values are trimmed.
class RunOptions {
 public:
  explicit RunOptions(std::string_view text);

  // The trimmed value, empty when no line has the key.
  std::string Value(std::string_view key) const;
  // True exactly when the trimmed value, upper-cased, is "TRUE".
  bool Switch(std::string_view key) const;
  // The value, or "0" when it is empty.
  std::string StartId(std::string_view key) const;

 private:
  std::vector<std::pair<std::string, std::string>> lines_;
};

}  // namespace kx
