#pragma once

#include <string>
#include <string_view>

namespace kx {

// Writes content to path through a temporary file beside it, renamed over path only when every
// byte is written and the file is closed. A failure raises FileError and leaves an earlier file
// at path as it was, and no temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view content);

// The whole content of a file. Raises FileError.
std::string ReadWholeFile(const std::string& path);

}  // namespace kx
