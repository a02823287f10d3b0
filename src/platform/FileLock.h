#pragma once

#include <memory>
#include <string>

namespace kx {

// An exclusive lock on one file, held until this object is destroyed. The operating system
// releases it too when the process ends in any way, so a killed run never leaves it held.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// Takes exclusive locks on files (flock on POSIX, LockFileEx on Windows). A lock held through one
// open handle refuses every other handle, in this process as in any other: a second import started
// from the host's message loop is refused like one of another process.
class FileLocker {
 public:
  virtual ~FileLocker() = default;
  // Opens path, creating an empty file when it is missing, and locks it without waiting: the held
  // lock, or nullptr when another handle holds it. Raises FileError when the file cannot be opened
  // (its folder missing, no rights). The file is never removed: removing it while another process
  // waits to open it would let two runs hold a lock each, on two different files.
  virtual std::unique_ptr<FileLock> TryLock(const std::string& path) = 0;
};

}  // namespace kx
