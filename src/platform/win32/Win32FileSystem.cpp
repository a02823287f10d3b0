#include <io.h>
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx {

void SyncToDisk(std::FILE* file, const std::string& target) {
  // The C runtime gives the file's handle as an integer.
  const auto handle =
      reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));  // NOLINT(performance-no-int-to-ptr)
  if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
    const DWORD code = GetLastError();
    throw FileError("Cannot write file " + target + ": " + win32::SystemErrorText(code), target);
  }
}

void MoveReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    throw FileError("Cannot replace file " + to + ": " + win32::SystemErrorText(code), to);
  }
}

std::FILE* OpenPrivateFile(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

void RemoveFileIfExists(const std::string& path) noexcept { DeleteFileA(path.c_str()); }

}  // namespace kx
