#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"

#include "util/WholeFile.h"
#include "util/WholeNumber.h"

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
  const std::optional<int> code = WholeNumberOf<int>(row[5].second, PlusSign::Allowed);
  return code && *code >= 1 && *code <= 8;
}

}  // namespace kx
