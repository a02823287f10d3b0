#include "kximport/RunPreflight.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "Language.h"
#include "platform/platform.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Settings.h"
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

SettingsFile SettingsFileOf(const std::string& settingsOption) {
  if (!settingsOption.empty()) return {settingsOption, "--settings"};
  if (const char* named = std::getenv("VELQORA_REGISTRY"); named != nullptr && *named != '\0')
    return {named, "VELQORA_REGISTRY"};
  return {std::string(kDefaultSettingsFile), ""};
}

std::string ColumnMapFault(const std::string& dataDir) {
  for (const MapOfTable& map : kMaps) {
    if (std::string fault = MapFault(dataDir + std::string(map.file), map.columns); !fault.empty())
      return fault;
  }
  return {};
}

namespace {

// Whether an option line of the run sets this key (the library's option names, "Key=").
bool OptionGiven(const RunArguments& args, std::string_view key) {
  for (const std::vector<std::string>* lines : {&args.fileLines, &args.optionLines}) {
    for (const std::string& line : *lines) {
      if (line.starts_with(key) && line.size() > key.size()) return true;
    }
  }
  return false;
}

// Whether the library would go on to the download: the checks it makes before that (the option
// text, the login, a PIN or a terminal to ask for one) keep their own results.
bool ReachesDownload(const RunArguments& args) {
  if (args.noOptions || !OptionGiven(args, "UserLogin=")) return false;
  return OptionGiven(args, "Password=") || TerminalOpens();
}

}  // namespace

bool TerminalOpens() {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool PinAskedAtTerminal(const RunArguments& args) {
  return !args.noOptions && !OptionGiven(args, "Password=") && TerminalOpens();
}

namespace {

// Where the library's reading of the settings stops (stoppedAt empty when it reads them all):
// the library's own reader, so that kximport says what the run will meet.
kx::SettingsReading ReadSettings() {
  kx::ProviderValues values;
  return kx::ReadImportSettingsReporting(kx::DefaultPlatform().Settings, values);
}

// Says what the run will take from its settings file before it begins.
void SaySettings(const RunArguments& args, const std::string& checkCommand) {
  const SettingsFile file = SettingsFileOf(args.settings);
  const std::string url(kx::kDefaultServiceUrl);
  std::error_code error;
  if (!std::filesystem::exists(file.path, error)) {
    if (!file.named.empty())
      throw UsageError(Say("Einstellungsdatei " + file.path + " (" + file.named + ") nicht gefunden",
                           "settings file " + file.path + " (" + file.named + ") not found"));
    std::cerr << Say("Warnung: Einstellungsdatei " + file.path +
                         " nicht gefunden; der Lauf nimmt die eingebaute Beispieladresse " + url + ".\n",
                     "Warning: settings file " + file.path +
                         " not found; the run takes the built-in example address " + url + ".\n");
    return;
  }
  if (const kx::SettingsReading reading = ReadSettings(); !reading.stoppedAt.empty()) {
    const std::string reason = " (" + kx::Cp1252ToUtf8(reading.stopReason) + ")";
    std::cerr << Say("Warnung: das Lesen der Einstellungen aus " + file.path + " bricht bei " +
                         reading.stoppedAt + " ab" + reason +
                         "; der Lauf nimmt die eingebaute Beispieladresse " + url + ".\n",
                     "Warning: reading the settings of " + file.path + " stops at " + reading.stoppedAt +
                         reason + "; the run takes the built-in example address " + url + ".\n")
              << "→ " << checkCommand << "\n";
  }
}

}  // namespace

std::string OutputFolderFault(const std::string& outputDir) {
  const std::string what = Say("Ordner der Importdatei ", "The import file's folder ") + outputDir;
  struct stat info {};
  if (stat(outputDir.c_str(), &info) != 0)
    return what + Say(" fehlt: ", " is missing: ") + std::strerror(errno) + ".";
  if (!S_ISDIR(info.st_mode)) return what + Say(" ist kein Ordner.", " is no folder.");
  // A byte written and the file removed: the rights, a read-only mount and a full disk all show.
  const std::string probe = outputDir + "/.kximport-probe-" + std::to_string(getpid());
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0)
    return what + Say(" ist nicht beschreibbar: ", " is not writable: ") + std::strerror(errno) + ".";
  const bool written = write(fd, "k", 1) == 1;
  const int writeError = errno;
  const bool closed = close(fd) == 0;
  const int closeError = errno;
  unlink(probe.c_str());
  if (!written || !closed)
    return what + Say(" ist nicht beschreibbar: ", " is not writable: ") +
           std::strerror(written ? closeError : writeError) + ".";
  return {};
}

bool Preflight(const RunArguments& args, const std::string& dataDir, const std::string& checkCommand) {
  SaySettings(args, checkCommand);
  if (!ReachesDownload(args)) return true;
  std::string fault = OutputFolderFault(args.outputDir);
  if (fault.empty() && !dataDir.empty()) fault = ColumnMapFault(dataDir);
  if (fault.empty()) return true;
  std::cerr << Say("Import nicht begonnen, nichts heruntergeladen:\n",
                   "Import not started, nothing downloaded:\n")
            << fault << "\n→ " << checkCommand << "\n";
  return false;
}

}  // namespace kximport
