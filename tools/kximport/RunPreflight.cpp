#include "kximport/RunPreflight.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/ImpApi_Korvalix_XMLgen_Queries.h"
#include "util/Cp1252.h"
#include "util/TextLines.h"
#include "util/WholeNumber.h"

namespace kximport {
namespace {

// The settings file the library reads on Linux when VELQORA_REGISTRY names none.
constexpr std::string_view kDefaultSettingsFile = "/etc/velqora/tavo/registry.reg";

struct MapOfTable {
  std::string_view file;
  std::string_view insert;  // the load's insert statement: its column list is the table's
};
constexpr std::array<MapOfTable, 3> kMaps = {
    MapOfTable{"BESTAND.txt", kx::staging_sql::kInsertBestand},
    MapOfTable{"TRANSAKT.txt", kx::staging_sql::kInsertTransakt},
    MapOfTable{"DBSTARTIDS.txt", kx::staging_sql::kInsertDBstartids}};

bool InsertNamesColumn(std::string_view insert, std::string_view name) {
  std::string_view list = insert.substr(insert.find('(') + 1);
  list = list.substr(0, list.find(')'));
  while (!list.empty()) {
    const std::size_t comma = std::min(list.find(','), list.size());
    if (!name.empty() && kx::EqualsIgnoreCase1252(kx::TrimControl(list.substr(0, comma)), name)) return true;
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
  return false;
}

std::string MapFault(const std::string& path, std::string_view insert) {
  std::vector<std::string> lines;
  try {
    lines = kx::ReadMap(path);
  } catch (const std::exception&) {
    return "Spaltenzuordnung " + path + " fehlt oder ist nicht lesbar.";
  }
  if (lines.empty()) return "Spaltenzuordnung " + path + " ist leer.";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t equals = line.find('=');
    const std::string where = path + ", Zeile " + std::to_string(i + 1) + ": ";
    if (!InsertNamesColumn(insert, line.substr(0, equals))) {
      return where + "Spalte \"" + kx::Cp1252ToUtf8(line.substr(0, equals)) +
             "\" gibt es in der Staging-Datenbank nicht" + (line.empty() ? " (Leerzeile)." : ".");
    }
    if (equals == std::string_view::npos ||
        !kx::WholeNumberOf<int64_t>(kx::TrimControl(line.substr(equals + 1)), kx::PlusSign::Allowed)) {
      return where + "keine Position nach \"=\".";
    }
  }
  return {};
}

}  // namespace

std::string MissingSettingsFile(const std::string& settingsOption) {
  std::string path = settingsOption;
  if (const char* named = std::getenv("VELQORA_REGISTRY"); path.empty() && named != nullptr) path = named;
  if (path.empty()) path = kDefaultSettingsFile;
  std::error_code error;
  return std::filesystem::exists(path, error) ? std::string() : path;
}

std::string ColumnMapFault(const std::string& dataDir) {
  for (const MapOfTable& map : kMaps) {
    if (std::string fault = MapFault(dataDir + std::string(map.file), map.insert); !fault.empty())
      return fault;
  }
  return {};
}

}  // namespace kximport
