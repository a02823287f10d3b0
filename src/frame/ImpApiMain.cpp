#include "frame/ImpApiMain.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "frame/Export.h"

namespace kx {

FrameValues& Frame() {
  static FrameValues values;
  return values;
}

void HostProgress::Send(int32_t kind, int32_t value, std::string_view text) {
  ::ProgressCallback callback = Frame().ProgressCallback;
  if (callback == nullptr) return;
  const std::string terminated(text);  // the host gets a zero-terminated copy
  callback(kind, value, terminated.c_str());
}

void WriteShortString(std::string_view text, unsigned char* target) {
  const std::size_t length = std::min<std::size_t>(text.size(), 255);
  target[0] = static_cast<unsigned char>(length);
  std::memcpy(target + 1, text.data(), length);
}

void CopyZeroTerminated(std::string_view text, char* buffer, std::size_t maxBytes) {
  const std::size_t length = std::min(text.size(), maxBytes);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
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
// the run fails with the generic code of the import step.
KX_EXPORT int32_t KX_CALL ExportXML(const char* outputDir, const char* advisorRef, int32_t reserved,
                                    const double* lastImport, const char* optionText) {
  constexpr int32_t kFailedByException = -29;
  kx::RunEntryFn entry = kx::Frame().RunEntry;
  if (entry == nullptr) return -1;
  try {
    return entry(outputDir, advisorRef, reserved, lastImport, optionText);
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
  return kFailedByException;
}

}  // extern "C"
