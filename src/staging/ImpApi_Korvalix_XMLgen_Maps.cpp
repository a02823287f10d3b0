#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"

#include "staging/ColumnMap.h"
#include "util/TextLines.h"
#include "util/WholeFile.h"
#include "util/WholeNumber.h"

namespace kx {

std::vector<std::string> ReadMap(const std::string& path) { return TextLines(ReadWholeFile(path)); }

bool HasLoadedTypeCode(const ImportRow& row) {
  if (row.size() <= kTypeCodeEntry) return false;
  const std::optional<int> code = WholeNumberOf<int>(row[kTypeCodeEntry].second, PlusSign::Allowed);
  return code && *code >= 1 && *code <= 8;
}

}  // namespace kx
