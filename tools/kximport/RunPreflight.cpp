#include "kximport/RunPreflight.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/StagingColumns.h"
#include "util/Cp1252.h"
#include "util/TextLines.h"
#include "util/WholeNumber.h"

namespace kximport {
namespace {

// The settings file the library reads on Linux when VELQORA_REGISTRY names none.
constexpr std::string_view kDefaultSettingsFile = "/etc/velqora/tavo/registry.reg";

struct MapOfTable {
  std::string_view file;
  std::span<const std::string_view> columns;  // the staging columns the load fills
};
const std::array<MapOfTable, 3> kMaps = {MapOfTable{"BESTAND.txt", kx::staging_columns::kBestaende},
                                         MapOfTable{"TRANSAKT.txt", kx::staging_columns::kTransaktionen},
                                         MapOfTable{"DBSTARTIDS.txt", kx::staging_columns::kDbStartIds}};

bool NamesColumn(std::span<const std::string_view> columns, std::string_view name) {
  return std::any_of(columns.begin(), columns.end(), [&](std::string_view column) {
    return !name.empty() && kx::EqualsIgnoreCase1252(column, kx::TrimControl(name));
  });
}

std::string MapFault(const std::string& path, std::span<const std::string_view> columns) {
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
    if (!NamesColumn(columns, line.substr(0, equals))) {
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
    if (std::string fault = MapFault(dataDir + std::string(map.file), map.columns); !fault.empty())
      return fault;
  }
  return {};
}

}  // namespace kximport
