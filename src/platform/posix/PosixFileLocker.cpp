#include "platform/posix/PosixFileLocker.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/Error.h"

namespace kx::posix {
namespace {

// flock belongs to the open file description: it conflicts with every other open() of the file,
// also in this process, and ends with the last descriptor of it.
class FlockLock final : public FileLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override { close(fd_); }
  FlockLock(const FlockLock&) = delete;
  FlockLock& operator=(const FlockLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<FileLock> PosixFileLocker::TryLock(const std::string& path) {
  // Read-only is enough for flock. Like every file of a run it is its owner's only: a data
  // directory belongs to one user. O_CLOEXEC: a program started during the run (the database
  // server, a viewer) must not keep the lock alive after this process ends.
  const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) throw FileError("Cannot open lock file " + path + ": " + std::strerror(errno), path);
  auto lock = std::make_unique<FlockLock>(fd);
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return nullptr;
    if (errno != EINTR) throw FileError("Cannot lock file " + path + ": " + std::strerror(errno), path);
  }
  return lock;
}

}  // namespace kx::posix
