#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "util/Error.h"

namespace kx {

namespace {

// The folder's entry of the renamed file reaches the disk only with the folder itself. The
// rename has happened by then, so a folder that cannot be synced (a file system that does not
// support it) leaves the new file in place and says nothing.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

void SyncToDisk(std::FILE* file, const std::string& target) {
  // EINVAL: a special file (a pipe, /dev/null) that has nothing to sync.
  if (fsync(fileno(file)) != 0 && errno != EINVAL) {
    throw FileError("Cannot write file " + target + ": " + std::strerror(errno), target);
  }
}

void MoveReplacing(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw FileError("Cannot replace file " + to + ": " + std::strerror(errno), to);
  }
  SyncFolderOf(to);
}

std::FILE* OpenPrivateFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return nullptr;
  // O_CREAT's mode applies only to a new file: one left behind by an earlier run keeps its own.
  std::FILE* file = fchmod(fd, 0600) == 0 ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
  }
  return file;
}

void RemoveFileIfExists(const std::string& path) noexcept { std::remove(path.c_str()); }

}  // namespace kx
