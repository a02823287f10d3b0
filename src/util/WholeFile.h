#pragma once

#include <string>

namespace kx {

// The whole content of a file, read in one piece of its size. Raises FileError.
std::string ReadWholeFile(const std::string& path);

}  // namespace kx
