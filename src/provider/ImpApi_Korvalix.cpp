#include "provider/ImpApi_Korvalix.h"

#include <cstring>
#include <exception>

#include "frame/Export.h"
#include "frame/ImpApiMain.h"
#include "platform/platform.h"
#include "net/ImpApiINet_Download.h"
#include "provider/ImpApi_Korvalix_Fetch.h"
#include "provider/ImpApi_Korvalix_Messages.h"
#include "provider/ImpApi_Korvalix_Pending.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"

namespace kx {
namespace {

// The load step: the provider fills in the frame's values before any export can be called.
struct LoadStep {
  LoadStep() {
    FrameValues& frame = Frame();
    frame.ProviderName = std::string(kProviderName);
    frame.ImportVersion = std::string(kImportVersion);
    frame.RunEntry = &RunImport;
  }
};
const LoadStep kLoadStep;

}  // namespace

ProviderValues& Provider() {
  static ProviderValues values;
  return values;
}

int32_t EditAccessData(UserInterface& ui, std::string_view importVersion, char* userName, char* password,
                       char* customData) {
  AccessData data{userName, password, customData};
  const int32_t result = ui.ShowAccessDataDialog(data, importVersion);
  if (result == kModalOk) {
    CopyZeroTerminated(data.UserText, userName, KX_USER_NAME_BUFFER_SIZE - 1);
    CopyZeroTerminated(data.PasswordText, password, KX_PASSWORD_BUFFER_SIZE - 1);
    CopyZeroTerminated(data.CustomDataText, customData, KX_CUSTOM_DATA_BUFFER_SIZE - 1);
  }
  return result;
}

int32_t CheckAppVersion(int32_t appVersion) { return appVersion < KX_MIN_HOST_VERSION ? -1 : 0; }

int32_t RunImport(const char* outputDir, const char* advisorRef, int32_t reserved, const double* lastImport,
                  const char* optionText) {
  Platform& platform = DefaultPlatform();
  HostProgress progress;
  PendingServerStarter server;
  Downloader downloader(platform.Http, platform.Ui, progress);
  ProviderFetch fetcher(Provider(), progress, downloader, platform.Clock);
  XMLGenImportGenerator generator({progress, platform.Clock, platform.Regional});
  RunServices services{Provider(), progress,  platform.Settings, platform.Ui, platform.Clock,
                       platform.Des, server, fetcher,           generator};
  return RunImportWith(services, {outputDir, advisorRef, reserved, lastImport, optionText});
}

}  // namespace kx

extern "C" {

KX_EXPORT int32_t KX_CALL GetExportErrorMsg(int32_t code, char* buffer) {
  try {
    const std::optional<std::string> text = kx::ExportErrorText(code, kx::Provider());
    if (!text) return -1;
    kx::CopyErrorText(*text, buffer);
    return 0;
  } catch (...) {
    return -1;
  }
}

KX_EXPORT int32_t KX_CALL ApiDataDialog(char* userName, char* password, char* customData) {
  try {
    return kx::EditAccessData(kx::DefaultPlatform().Ui, kx::Frame().ImportVersion, userName, password, customData);
  } catch (...) {
    return kx::kModalCancel;
  }
}

#if !defined(_WIN32)
// On Windows the export is an assembly entry with the register convention (platform/win32).
KX_EXPORT int32_t AppVersionCheck(int32_t appVersion) { return kx::CheckAppVersion(appVersion); }
#endif

}  // extern "C"
