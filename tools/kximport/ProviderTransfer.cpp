#include "kximport/ProviderTransfer.h"

#include <sys/stat.h>

#include <cstdio>

#include "Language.h"
#include "platform/AtomicFile.h"
#include "util/ProviderIdentity.h"

namespace kximport {

std::optional<int64_t> BytesInTransfer(const std::string& dataDir) {
  // The two files come one after the other: at most one is being written.
  for (const std::string_view file : {kx::kHoldingsFile, kx::kTransactionsFile}) {
    struct stat info {};
    if (stat(kx::TemporaryPathOf(dataDir + std::string(file)).c_str(), &info) == 0) return info.st_size;
  }
  return std::nullopt;
}

std::string ByteText(int64_t bytes) {
  char text[32];
  if (bytes < (1 << 20)) {
    std::snprintf(text, sizeof text, "%lld kB", static_cast<long long>(bytes / 1024));
    return text;
  }
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  std::string shown = text;
  if (kx::tools::LanguageFromEnvironment() == kx::tools::Language::German) shown[shown.find('.')] = ',';
  return shown;
}

}  // namespace kximport
