#include "frame/ImpApiMain.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <optional>

#include "frame/Export.h"
#include "platform/RunStageReport.h"
#include "platform/platform.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Messages.h"
#include "util/HostBuffer.h"
#include "util/ResultCodes.h"
#include "util/ScopeExit.h"

namespace kx {

FrameValues& Frame() {
  static FrameValues values{std::string(kProviderName), std::string(kImportVersion), &RunImport, nullptr};
  return values;
}

void HostProgress::Send(int32_t kind, int32_t value, std::string_view text) {
  ::ProgressCallback callback = Frame().ProgressCallback;
  if (callback == nullptr) return;
  const std::string terminated(text);  // the host gets a zero-terminated copy
  callback(kind, value, terminated.c_str());
}

void HostProgress::Enter(RunStage stage) { ReportRunStage(stage); }

void WriteShortString(std::string_view text, unsigned char* target) {
  const std::size_t length = std::min<std::size_t>(text.size(), 255);
  target[0] = static_cast<unsigned char>(length);
  std::memcpy(target + 1, text.data(), length);
}

}  // namespace kx

extern "C" {

KX_EXPORT int32_t KX_CALL VersionInfo(void) { return KX_VERSION_INFO; }

KX_EXPORT void KX_CALL ImportVersionInfo(unsigned char* versionText) {
  kx::WriteShortString(kx::Frame().ImportVersion, versionText);
}

KX_EXPORT int32_t KX_CALL RegProgrCallback(ProgressCallback callback) {
  kx::Frame().ProgressCallback = callback;
  return 0;
}

// No exception may cross into the host: one that ends a run is reported as an error line and
// the run fails with the generic code of the import step. One run at a time per loaded library:
// a host's click that calls again while a run lets the host's messages run (the PIN prompt, the
// progress window, the load) is refused before anything is read or shown.
KX_EXPORT int32_t KX_CALL ExportXML(const char* outputDir, const char* advisorRef, int32_t reserved,
                                    const double* lastImport, const char* optionText) {
  kx::RunEntryFn entry = kx::Frame().RunEntry;
  if (entry == nullptr) return kx::kNoRunEntry;
  static std::atomic<bool> running{false};
  if (running.exchange(true)) {
    try {
      kx::HostProgress().Send(
          KX_PROGRESS_ERROR, 0,
          "Es l\xE4uft bereits ein Import; ein weiterer kann erst nach dessen Ende beginnen.");
    } catch (...) {
    }
    return kx::kImportFileFailed;
  }
  const kx::ScopeExit done([] { running = false; });
  try {
    kx::HostProgress progress;
    return entry(progress, outputDir, advisorRef, reserved, lastImport, optionText);
  } catch (const std::exception& e) {
    try {
      kx::HostProgress().Send(KX_PROGRESS_ERROR, 0, e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      kx::HostProgress().Send(KX_PROGRESS_ERROR, 0, "Unbekannter Fehler");
    } catch (...) {
    }
  }
  return kx::kImportFileFailed;
}

KX_EXPORT int32_t KX_CALL GetExportErrorMsg(int32_t code, char* buffer) {
  try {
    const std::optional<std::string> text = kx::ExportErrorText(code, kx::Provider());
    if (!text) return kx::kNoErrorText;
    kx::CopyErrorText(*text, buffer);
    return 0;
  } catch (...) {
    return kx::kNoErrorText;
  }
}

KX_EXPORT int32_t KX_CALL ApiDataDialog(char* userName, char* password, char* customData) {
  try {
    return kx::EditAccessData(kx::DefaultPlatform().Ui, kx::Frame().ImportVersion, userName, password,
                              customData);
  } catch (...) {
    return kx::kModalCancel;
  }
}

#if defined(_WIN32) && !defined(_WIN64)
// The export itself is an assembly entry with the register convention
// (platform/win32/AppVersionCheckEntry.S), which calls this.
int32_t __stdcall KxCheckAppVersionStdcall(int32_t appVersion) { return kx::CheckAppVersion(appVersion); }
#else
KX_EXPORT int32_t AppVersionCheck(int32_t appVersion) { return kx::CheckAppVersion(appVersion); }
#endif

}  // extern "C"
