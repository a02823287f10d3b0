#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"

#include <charconv>

#include "frame/AtomicFile.h"

namespace kx {

std::vector<std::string> ReadMap(const std::string& path) {
  const std::string text = ReadWholeFile(path);
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

bool HasLoadedTypeCode(const ImportRow& row) {
  if (row.size() < 6) return false;
  std::string_view text = row[5].second;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && ptr == text.data() + text.size() && value >= 1 && value <= 8;
}

}  // namespace kx
