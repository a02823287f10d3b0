#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx {

void MoveReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    throw FileError("Cannot replace file " + to + ": " + win32::SystemErrorText(code), to);
  }
}

void RemoveFileIfExists(const std::string& path) noexcept { DeleteFileA(path.c_str()); }

}  // namespace kx
