#include "kximport/RunPreflight.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "Language.h"
#include "staging/ColumnMap.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/StagingColumns.h"
#include "util/Cp1252.h"
#include "util/TextLines.h"
#include "util/WholeNumber.h"

namespace kximport {
namespace {

using kx::tools::Say;

// The settings file the library reads on Linux when VELQORA_REGISTRY names none.
constexpr std::string_view kDefaultSettingsFile = "/etc/velqora/tavo/registry.reg";

struct MapOfTable {
  std::string_view file;
  std::span<const std::string_view> columns;  // the staging columns the load fills
};
const std::array<MapOfTable, 3> kMaps = {
    MapOfTable{kx::kHoldingsMap, kx::staging_columns::kBestaende},
    MapOfTable{kx::kTransactionsMap, kx::staging_columns::kTransaktionen},
    MapOfTable{kx::kStartIdsMap, kx::staging_columns::kDbStartIds}};

std::string MapFault(const std::string& path, std::span<const std::string_view> columns) {
  std::vector<std::string> lines;
  try {
    lines = kx::ReadMap(path);
  } catch (const std::exception&) {
    return Say("Spaltenzuordnung " + path + " fehlt oder ist nicht lesbar.",
               "Column map " + path + " is missing or not readable.");
  }
  if (lines.empty())
    return Say("Spaltenzuordnung " + path + " ist leer.", "Column map " + path + " is empty.");
  const std::vector<kx::ColumnMapEntry> entries = kx::ReadColumnMap(lines, kx::FieldsNamed(columns));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string where = path + Say(", Zeile ", ", line ") + std::to_string(i + 1) + ": ";
    if (!entries[i].field) {
      const std::string column = kx::Cp1252ToUtf8(entries[i].name);
      return where +
             Say("Spalte \"" + column + "\" gibt es in der Staging-Datenbank nicht",
                 "the staging database has no column \"" + column + "\"") +
             (lines[i].empty() ? Say(" (Leerzeile).", " (empty line).") : ".");
    }
    if (!entries[i].position) return where + Say("keine Position nach \"=\".", "no position after \"=\".");
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

namespace {

// Whether the library would go on to the download: the checks it makes before that (the option
// text, the login, a PIN or a terminal to ask for one) keep their own results.
bool ReachesDownload(const RunArguments& args) {
  if (args.noOptions) return false;
  bool login = false;
  bool pin = false;
  for (const std::vector<std::string>* lines : {&args.fileLines, &args.optionLines}) {
    for (const std::string& line : *lines) {
      login = login || (line.starts_with("UserLogin=") && line.size() > 10);
      pin = pin || (line.starts_with("Password=") && line.size() > 9);
    }
  }
  if (!pin) pin = access("/dev/tty", R_OK | W_OK) == 0 && isatty(STDIN_FILENO) != 0;
  return login && pin;
}

}  // namespace

bool Preflight(const RunArguments& args, const std::string& dataDir, const std::string& checkCommand) {
  if (const std::string missing = MissingSettingsFile(args.settings); !missing.empty()) {
    std::cerr << Say("Warnung: Einstellungsdatei " + missing +
                         " nicht gefunden; der Lauf nimmt die eingebaute Beispieladresse.\n",
                     "Warning: settings file " + missing +
                         " not found; the run takes the built-in example "
                         "address.\n");
  }
  if (dataDir.empty() || !ReachesDownload(args)) return true;
  const std::string fault = ColumnMapFault(dataDir);
  if (fault.empty()) return true;
  std::cerr << Say("Import nicht begonnen, nichts heruntergeladen:\n",
                   "Import not started, nothing downloaded:\n")
            << fault << "\n→ " << checkCommand << "\n";
  return false;
}

}  // namespace kximport
