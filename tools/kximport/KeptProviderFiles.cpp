#include "kximport/KeptProviderFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "Language.h"
#include "util/ProviderIdentity.h"

namespace kximport {

KeptProviderFiles::KeptProviderFiles(std::string dataDir) {
  if (dataDir.empty()) return;
  for (const std::string_view name : {kx::kHoldingsFile, kx::kTransactionsFile}) {
    File file{std::string(name), dataDir + std::string(name)};
    const std::string kept = KeptPathOf(file.path);
    unlink(kept.c_str());  // one that a killed run left
    struct stat before {};
    if (stat(file.path.c_str(), &before) != 0) {
      files_.push_back(std::move(file));
      continue;
    }
    file.device = before.st_dev;
    file.inode = before.st_ino;
    if (link(file.path.c_str(), kept.c_str()) == 0) {
      file.kept = true;
    } else {
      std::error_code error;
      file.kept = std::filesystem::copy_file(file.path, kept, error);
      if (!file.kept) {
        using kx::tools::Say;
        throw std::runtime_error(Say("die bisherige " + file.path + " lässt sich nicht beiseitelegen: ",
                                     "cannot keep the previous " + file.path + " aside: ") +
                                 error.message());
      }
    }
    files_.push_back(std::move(file));
  }
}

KeptProviderFiles::~KeptProviderFiles() {
  for (const File& file : files_) {
    if (file.kept) unlink(KeptPathOf(file.path).c_str());
  }
}

bool KeptProviderFiles::Replaced(const File& file) {
  struct stat now {};
  if (stat(file.path.c_str(), &now) != 0) return false;  // gone or never there: nothing to undo
  return !file.kept || now.st_ino != file.inode || now.st_dev != file.device;
}

std::vector<std::string> KeptProviderFiles::PutBack() {
  std::vector<std::string> putBack;
  for (File& file : files_) {
    if (!Replaced(file)) {
      if (file.kept) unlink(KeptPathOf(file.path).c_str());
    } else if (file.kept ? rename(KeptPathOf(file.path).c_str(), file.path.c_str()) == 0
                         : unlink(file.path.c_str()) == 0) {
      putBack.push_back(file.name);
    }
    file.kept = false;
  }
  return putBack;
}

}  // namespace kximport
