#include "staging/ColumnMap.h"

#include "util/Cp1252.h"
#include "util/WholeNumber.h"

namespace kx {

std::vector<ColumnMapEntry> ReadColumnMap(const std::vector<std::string>& lines,
                                          const std::vector<ImportField>& fields) {
  std::vector<ColumnMapEntry> entries;
  for (const std::string& line : lines) {
    const std::size_t equals = line.find('=');
    ColumnMapEntry entry;
    entry.name = line.substr(0, equals);
    for (std::size_t i = 0; i < fields.size() && !entry.field; ++i) {
      if (EqualsIgnoreCase1252(fields[i].Name, entry.name)) entry.field = i;
    }
    if (equals != std::string::npos)
      entry.position =
          WholeNumberOf<int64_t>(TrimControl(std::string_view(line).substr(equals + 1)), PlusSign::Allowed);
    for (ColumnMapEntry& earlier : entries) {
      if (entry.field && earlier.field == entry.field) {
        entry.repeated = true;
        earlier.last = false;
      }
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<ImportField> FieldsNamed(std::span<const std::string_view> names) {
  std::vector<ImportField> fields;
  for (const std::string_view name : names) fields.push_back({std::string(name)});
  return fields;
}

}  // namespace kx
