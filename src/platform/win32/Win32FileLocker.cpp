#include "platform/win32/Win32FileLocker.h"

#include <windows.h>

#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx::win32 {
namespace {

// LockFileEx locks are owned by the handle: a second handle, in this process or another, is
// refused, and closing the handle (or the end of the process) releases the lock.
class HandleLock final : public FileLock {
 public:
  explicit HandleLock(HANDLE file) : file_(file) {}
  ~HandleLock() override { CloseHandle(file_); }
  HandleLock(const HandleLock&) = delete;
  HandleLock& operator=(const HandleLock&) = delete;

 private:
  HANDLE file_;
};

}  // namespace

std::unique_ptr<FileLock> Win32FileLocker::TryLock(const std::string& path) {
  // Shared for everything: the lock, not the sharing mode, decides, so a second run gets as far as
  // asking and can say that an import is running. The handle is not inherited by child processes.
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    throw FileError("Cannot open lock file " + path + ": " + SystemErrorText(code), path);
  }
  auto lock = std::make_unique<HandleLock>(file);
  OVERLAPPED whole = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return nullptr;
    throw FileError("Cannot lock file " + path + ": " + SystemErrorText(code), path);
  }
  return lock;
}

}  // namespace kx::win32
