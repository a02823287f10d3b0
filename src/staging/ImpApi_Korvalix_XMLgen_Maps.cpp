#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"

#include "util/TextLines.h"
#include "util/WholeFile.h"
#include "util/WholeNumber.h"

namespace kx {

std::vector<std::string> ReadMap(const std::string& path) { return TextLines(ReadWholeFile(path)); }

bool HasLoadedTypeCode(const ImportRow& row) {
  if (row.size() < 6) return false;
  const std::optional<int> code = WholeNumberOf<int>(row[5].second, PlusSign::Allowed);
  return code && *code >= 1 && *code <= 8;
}

}  // namespace kx
