#pragma once

#include "platform/FileLock.h"

namespace kx::posix {

class PosixFileLocker final : public FileLocker {
 public:
  std::unique_ptr<FileLock> TryLock(const std::string& path) override;
};

}  // namespace kx::posix
