// What the staging load takes from its column maps and rows, shared with the load benchmark's
// floor so that both convert exactly the same rows.
#pragma once

#include <string>
#include <vector>

#include "staging/CsvImport.h"

namespace kx {

// The map file's lines, read completely; a missing map raises FileError.
std::vector<std::string> ReadMap(const std::string& path);

// True for a transactions row whose sixth entry is a type code from 1 to 8; other rows are not
// loaded.
bool HasLoadedTypeCode(const ImportRow& row);

}  // namespace kx
