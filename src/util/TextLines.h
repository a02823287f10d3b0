#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx {

// The lines of a text: a line ends at CR LF, LF or CR; a line break after the last line makes
// no further, empty line.
inline std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

}  // namespace kx
