#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/ProviderIdentity.h"

// The provider unit: module-level values of the run, and the entry the frame calls.
namespace kx {

// Installations name the real service address in the DownloadSrvUrl setting.
inline constexpr std::string_view kDefaultServiceUrl =
    "https://provider.example/modules/tavo/onlinedatatransfer.php";

// Values that outlive a run; GetExportErrorMsg reads the last two after a failed run.
struct ProviderValues {
  std::string serviceUrl;
  int32_t Timeout = 300;
  int32_t DebugMode = 0;
  std::string ImportDB;
  int32_t LastProviderErrorCode = 0;
  std::string LastProviderErrorText;
};

// The one set of provider values of the loaded library.
ProviderValues& Provider();

class ProgressSink;
class UserInterface;

// The access-data dialog over the host's three buffers: their texts go in; on OK the edited texts
// come back cut to 127, 127 and 4095 bytes plus the zero; otherwise nothing is written.
int32_t EditAccessData(UserInterface& ui, std::string_view importVersion, char* userName, char* password,
                       char* customData);

// -1 when the host's version is below the lowest one accepted, else 0.
int32_t CheckAppVersion(int32_t appVersion);

// The run entry of the frame: one import run with the platform's real collaborators, its
// messages going to progress.
int32_t RunImport(ProgressSink& progress, const char* outputDir, const char* advisorRef, int32_t reserved,
                  const double* lastImport, const char* optionText);

}  // namespace kx
