#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "util/Error.h"

namespace kx {

void MoveReplacing(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw FileError("Cannot replace file " + to + ": " + std::strerror(errno), to);
  }
}

void RemoveFileIfExists(const std::string& path) noexcept { std::remove(path.c_str()); }

}  // namespace kx
