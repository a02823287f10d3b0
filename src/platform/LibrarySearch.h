#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx {

// The files a library named without a folder is loaded from on Windows, in order: the host
// program's folder, the system folders, then the absolute entries of PATH (surrounding quotes
// removed). Never the current folder, "." or a relative entry: whoever can write to the folder a
// host happens to work in must not get code run inside it. Folders are joined with "\".
std::vector<std::string> LibraryCandidates(std::string_view name, std::string_view programDir,
                                           const std::vector<std::string>& systemDirs, std::string_view path);

// A Windows path that does not depend on the current folder: "C:\..." or "\\server\...".
bool IsAbsoluteWindowsPath(std::string_view path);

}  // namespace kx
