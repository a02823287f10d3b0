#include "platform/LibrarySearch.h"

namespace kx {
namespace {

std::string Joined(std::string_view dir, std::string_view name) {
  std::string file(dir);
  if (!file.empty() && file.back() != '\\' && file.back() != '/') file += '\\';
  return file.append(name);
}

}  // namespace

bool IsAbsoluteWindowsPath(std::string_view path) {
  const bool drive = path.size() >= 3 &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || path.starts_with("\\\\");
}

std::vector<std::string> LibraryCandidates(std::string_view name, std::string_view programDir,
                                           const std::vector<std::string>& systemDirs,
                                           std::string_view path) {
  std::vector<std::string> files;
  if (IsAbsoluteWindowsPath(programDir)) files.push_back(Joined(programDir, name));
  for (const std::string& dir : systemDirs) {
    if (IsAbsoluteWindowsPath(dir)) files.push_back(Joined(dir, name));
  }
  while (!path.empty()) {
    const std::size_t end = path.find(';');
    std::string_view entry = path.substr(0, end);
    path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
    if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"')
      entry = entry.substr(1, entry.size() - 2);
    if (IsAbsoluteWindowsPath(entry)) files.push_back(Joined(entry, name));
  }
  return files;
}

}  // namespace kx
