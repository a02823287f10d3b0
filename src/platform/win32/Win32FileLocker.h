#pragma once

#include "platform/FileLock.h"

namespace kx::win32 {

class Win32FileLocker final : public FileLocker {
 public:
  std::unique_ptr<FileLock> TryLock(const std::string& path) override;
};

}  // namespace kx::win32
