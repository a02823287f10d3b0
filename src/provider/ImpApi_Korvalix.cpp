#include "provider/ImpApi_Korvalix.h"

#include <cstring>
#include <exception>

#include "net/ImpApiINet_Download.h"
#include "platform/platform.h"
#include "provider/ImpApi_Korvalix_Fetch.h"
#include "provider/ImpApi_Korvalix_Messages.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "staging/ImpApiIBSrv.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "util/HostBuffer.h"
#include "util/ResultCodes.h"

namespace kx {
namespace {

// The run's server start over the platform's server control.
class IBServerStarter final : public ServerStarter {
 public:
  IBServerStarter(ServerControl& control, SystemClock& clock) : control_(control), clock_(clock) {}
  std::string StartInterBaseServer() override { return kx::StartInterBaseServer(control_, clock_); }

 private:
  ServerControl& control_;
  SystemClock& clock_;
};

// The run's generator: one TXML_Gen per call.
class XMLGenImportGenerator final : public ImportGenerator {
 public:
  explicit XMLGenImportGenerator(XMLGenContext context) : context_(context) {}
  int32_t GenerateImport(const GenerateImportArgs& args) override {
    TXML_Gen container(context_);
    return container.GenerateImport(args);
  }

 private:
  XMLGenContext context_;
};

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

int32_t CheckAppVersion(int32_t appVersion) {
  return appVersion < KX_MIN_HOST_VERSION ? kHostVersionTooOld : kSuccess;
}

int32_t RunImport(ProgressSink& progress, const char* outputDir, const char* advisorRef, int32_t reserved,
                  const double* lastImport, const char* optionText) {
  Platform& platform = DefaultPlatform();
  IBServerStarter server(platform.Server, platform.Clock);
  Downloader downloader(platform.Http, platform.Ui, progress);
  ProviderFetch fetcher(Provider(), progress, downloader, platform.Clock);
  XMLGenImportGenerator generator({progress, platform.Clock, platform.Regional, platform.Ui});
  RunServices services{Provider(),   progress, platform.Settings, platform.Ui, platform.Clock,
                       platform.Des, server,   fetcher,           generator,   platform.Locks};
  return RunImportWith(services, {outputDir, advisorRef, reserved, lastImport, optionText});
}

}  // namespace kx
