#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kx {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using ReadableFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file to read its bytes. A folder fails like a missing file, with the system's text
// ("Cannot open file X: Is a directory"): read as a file it would pass for an empty one.
// Raises FileError.
ReadableFile OpenForReading(const std::string& path);

// The whole content of a file. Raises FileError.
std::string ReadWholeFile(const std::string& path);

}  // namespace kx
