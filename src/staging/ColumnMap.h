#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "staging/ImportTarget.h"

namespace kx {

// The three column maps beside the data, one per staging table.
inline constexpr std::string_view kHoldingsMap = "BESTAND.txt";
inline constexpr std::string_view kTransactionsMap = "TRANSAKT.txt";
inline constexpr std::string_view kStartIdsMap = "DBSTARTIDS.txt";

// The transactions' filter reads the type code from the sixth entry of their map, which must name
// this column.
inline constexpr std::size_t kTypeCodeEntry = 5;  // counted from 0
inline constexpr std::string_view kTypeCodeColumn = "TRATYPKZ";

// One line of a column map ("NAME=N": the target's field NAME takes the provider file's column N),
// read against the target's fields. The importer, kximport check and the data report all read a
// map through this one rule; each says in its own words what does not fit.
struct ColumnMapEntry {
  std::string name;                  // the text before the first "=", as written
  std::optional<std::size_t> field;  // the field of that name (case ignored); none when there is none
  std::optional<int64_t> position;   // the whole number after "=" (trimmed, "+" allowed), if it is one
  bool repeated = false;             // an earlier entry names the same field
  bool last = true;                  // no later entry names the same field: its value is the one kept

  // The 1-based column the entry takes from a record; 0 (none) for a position below 1.
  std::size_t Column() const { return position && *position > 0 ? static_cast<std::size_t>(*position) : 0; }
};

// Every line of the map, a blank one too (it names no field), in order.
std::vector<ColumnMapEntry> ReadColumnMap(const std::vector<std::string>& lines,
                                          const std::vector<ImportField>& fields);

// The fields a map may name when only their names are known (kximport's checks).
std::vector<ImportField> FieldsNamed(std::span<const std::string_view> names);

}  // namespace kx
