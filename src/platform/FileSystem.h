#pragma once

#include <string>

// The few file operations the standard library does not give the same on both platforms.
namespace kx {

// Renames from over to, replacing an existing file in one step. Raises FileError, which names
// only the target: from is the target's temporary twin.
void MoveReplacing(const std::string& from, const std::string& to);
// Removes a file; no error when it does not exist.
void RemoveFileIfExists(const std::string& path) noexcept;

}  // namespace kx
