#include "util/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "util/Error.h"

namespace kx {

ReadableFile OpenForReading(const std::string& path) {
  std::error_code ignored;
  errno = std::filesystem::is_directory(path, ignored) ? EISDIR : 0;
  ReadableFile file(errno == 0 ? std::fopen(path.c_str(), "rb") : nullptr);
  if (!file) {
    const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
    throw FileError("Cannot open file " + path + reason, path);
  }
  return file;
}

std::string ReadWholeFile(const std::string& path) {
  const ReadableFile file = OpenForReading(path);
  std::string text;
  char buffer[65536];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
    text.append(buffer, read);
  if (std::ferror(file.get()) != 0) throw FileError("Cannot read file " + path, path);
  return text;
}

}  // namespace kx
