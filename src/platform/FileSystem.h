#pragma once

#include <cstdio>
#include <string>

// The few file operations the standard library does not give the same on both platforms.
namespace kx {

// Writes a file's data through to the disk (fsync, FlushFileBuffers), after fflush, so that a file
// renamed into place afterwards is complete after a power loss. Raises FileError naming target.
void SyncToDisk(std::FILE* file, const std::string& target);
// Renames from over to, replacing an existing file in one step, and makes the rename itself
// durable (the folder synced on POSIX, MOVEFILE_WRITE_THROUGH on Windows). Raises FileError, which
// names only the target: from is the target's temporary twin.
void MoveReplacing(const std::string& from, const std::string& to);
// Opens path for writing ("wb"), created or emptied, readable and writable by its owner only: 0600
// on POSIX, also for a file that existed with wider rights (customer data must not become
// readable by other users of the machine); on Windows the folder's inherited rights decide. Null
// when it cannot be opened, with errno set.
std::FILE* OpenPrivateFile(const std::string& path);
// Removes a file; no error when it does not exist.
void RemoveFileIfExists(const std::string& path) noexcept;

}  // namespace kx
