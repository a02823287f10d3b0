#include "kximport/InstallationCheck.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/DatabaseError.h"
#include "db/DatabaseName.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "net/ImpApiINet_Download.h"
#include "platform/platform.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Fetch.h"
#include "provider/ImpApi_Korvalix_Messages.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "provider/ImpApi_Korvalix_Settings.h"
#include "staging/ColumnMap.h"
#include "staging/ImpApiIBSrv.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/StagingColumns.h"
#include "staging/StagingSql.h"
#include "staging/TableInserter.h"
#include "util/Cp1252.h"
#include "util/ProviderIdentity.h"
#include "util/TextLines.h"
#include "util/WholeFile.h"
#include "util/WholeNumber.h"

namespace kximport {
namespace {

// What the library takes from the settings, read by its own reader.
struct SettingsInUse {
  std::string url = std::string(kx::kDefaultServiceUrl);
  int32_t timeout = 300;
  std::string importDb;
  std::string dataDir;
};

std::string Utf8(std::string_view cp1252) { return kx::Cp1252ToUtf8(cp1252); }

// A message of several lines (the database's) on the report's one line.
std::string OneLine(std::string_view cp1252) {
  std::string text;
  for (const std::string& line : kx::TextLines(cp1252)) text += (text.empty() ? "" : " / ") + line;
  return Utf8(text);
}

// The line of the settings file that sets the value name: its number (0: none) and the type
// written after "=" ("dword" for "dword:0000012c"), for the messages.
struct SettingsLine {
  int number = 0;
  std::string type;
};
SettingsLine LineOf(std::string_view text, std::string_view name) {
  const std::vector<std::string> lines = kx::TextLines(text);
  const std::string quoted = kx::ToLower1252("\"" + std::string(name) + "\"=");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!kx::ToLower1252(lines[i]).starts_with(quoted)) continue;
    const std::string rest = lines[i].substr(quoted.size());
    const std::size_t colon = rest.find(':');
    return {static_cast<int>(i) + 1,
            rest.starts_with("\"") || colon == std::string::npos ? "string" : rest.substr(0, colon)};
  }
  return {};
}

std::string LineText(CheckReport& r, int line) {
  return line == 0 ? std::string() : r.Say("Zeile ", "line ") + std::to_string(line) + ": ";
}

// The settings file itself: there, readable, holding the key. False when the run gets none of it.
bool CheckSettingsSource(kx::SettingsStore& store, const std::string& useDefaults, CheckReport& r) {
  const std::string path = store.Location();
  if (!path.empty() && !std::filesystem::exists(path)) {
    r.Fail(r.Say("Einstellungsdatei " + path + " nicht gefunden", "Settings file " + path + " not found"),
           r.Say("Datei anlegen oder mit --settings nennen. ", "Create it or name it with --settings. ") +
               useDefaults);
    return false;
  }
  try {
    if (store.OpenLocalMachineKey(kx::kSettingsKey) == nullptr) {
      const std::string key = "[HKEY_LOCAL_MACHINE\\" + std::string(kx::kSettingsKey) + "]";
      r.Fail(r.Say("Einstellungsdatei " + path + ": Schlüssel " + key + " fehlt",
                   "Settings file " + path + ": key " + key + " is missing"),
             r.Say("Den Schlüssel mit den Werten anlegen (Schreibweise prüfen). ",
                   "Add the key with its values (check the spelling). ") +
                 useDefaults);
      return false;
    }
  } catch (const std::exception& e) {
    r.Fail(
        r.Say("Einstellungsdatei " + path + " nicht lesbar: ", "Settings file " + path + " not readable: ") +
            Utf8(e.what()),
        r.Say("Rechte und die genannte Zeile prüfen. ", "Check the permissions and the line named. ") +
            useDefaults);
    return false;
  }
  r.Ok(r.Say("Einstellungsdatei ", "Settings file ") + path);
  return true;
}

// Value names in the key that the library does not read (a misspelt name is a value left unset).
void CheckUnknownNames(kx::SettingsStore& store, const std::string& text, CheckReport& r) {
  const std::unique_ptr<kx::SettingsKey> key = store.OpenLocalMachineKey(kx::kSettingsKey);
  for (const std::string& name : key->ValueNames()) {
    const bool known = std::any_of(kx::kSettingNames.begin(), kx::kSettingNames.end(),
                                   [&name](std::string_view k) { return kx::EqualsIgnoreCase1252(k, name); });
    if (known) continue;
    r.Warn(
        LineText(r, LineOf(text, name).number) + r.Say("unbekannter Wert ", "unknown value ") + Utf8(name),
        r.Say(
            "Schreibweise prüfen; die Bibliothek liest DownloadSrvUrl, Timeout, DebugMode, ImportDB, "
            "DataDir.",
            "Check the spelling; the library reads DownloadSrvUrl, Timeout, DebugMode, ImportDB, DataDir."));
  }
}

// The settings as the library's reader takes them: every value it read, and where it stopped.
SettingsInUse CheckSettings(CheckReport& r) {
  kx::SettingsStore& store = kx::DefaultPlatform().Settings;
  SettingsInUse use;
  const std::string useDefaults =
      r.Say("Ohne Einstellungen gilt die eingebaute Beispieladresse " + use.url + ".",
            "Without settings the built-in example address " + use.url + " is used.");
  if (!CheckSettingsSource(store, useDefaults, r)) return use;
  std::string text;
  try {
    if (!store.Location().empty()) text = kx::ReadWholeFile(store.Location());
  } catch (const std::exception&) {
  }
  kx::ProviderValues values;
  const kx::SettingsReading reading = kx::ReadImportSettingsReporting(store, values);
  for (const auto& [name, value] : reading.read) {
    const std::string shown = Utf8(value.substr(0, value.find('\0')));
    if ((name == "Timeout" || name == "DebugMode") && !kx::ParseInt32(value)) {
      r.Warn(
          LineText(r, LineOf(text, name).number) + name + " = \"" + shown +
              r.Say("\" ist keine ganze Zahl", "\" is no whole number"),
          r.Say("Eine Zahl eintragen; bis dahin gilt die Vorgabe.", "Enter a number; the default applies."));
    } else if (name == "DownloadSrvUrl" && !reading.stoppedAt.empty()) {
      // A reading that stops sets the address back to the built-in one.
      r.Warn(name + " = " + shown + r.Say(" wird nicht benutzt", " is not used"),
             r.Say("Das Lesen der Einstellungen bricht bei " + reading.stoppedAt +
                       " ab, und der Lauf nimmt dann die eingebaute Beispieladresse " + use.url + ".",
                   "Reading the settings stops at " + reading.stoppedAt +
                       ", and the run then takes the built-in example address " + use.url + "."));
    } else {
      r.Ok(name + " = " + shown);
    }
  }
  const SettingsLine line = LineOf(text, reading.stoppedAt);
  if (!reading.stoppedAt.empty() && line.number == 0) {
    r.Fail(r.Say("Lesen der Einstellungen abgebrochen bei ", "Reading the settings stopped at ") +
               reading.stoppedAt + ": " + Utf8(reading.stopReason),
           useDefaults);
  } else if (!reading.stoppedAt.empty()) {
    r.Fail(
        LineText(r, line.number) +
            r.Say(reading.stoppedAt + " ist vom Typ " + line.type + ", gelesen werden nur Zeichenketten",
                  reading.stoppedAt + " has the type " + line.type + "; only strings are read"),
        r.Say("Als Zeichenkette schreiben: \"" + reading.stoppedAt +
                  "\"=\"...\". Bis dahin bricht das Lesen hier ab, und die eingebaute Beispieladresse gilt.",
              "Write it as a string: \"" + reading.stoppedAt +
                  "\"=\"...\". Until then reading stops here and the built-in example address is used."));
  }
  CheckUnknownNames(store, text, r);
  const bool urlRead = std::any_of(reading.read.begin(), reading.read.end(),
                                   [](const auto& entry) { return entry.first == "DownloadSrvUrl"; });
  if (!urlRead && reading.stoppedAt.empty()) {
    r.Warn(r.Say("Keine Adresse des Anbieters gesetzt (DownloadSrvUrl)",
                 "No provider address set (DownloadSrvUrl)"),
           useDefaults);
  }
  use.url = values.serviceUrl;
  use.timeout = values.Timeout;
  use.importDb = values.ImportDB;
  use.dataDir = reading.dataDir;
  return use;
}

// Whether the database name depends on the data directory (an empty ImportDB, or one that starts
// with the data directory's placeholder), asked of the library's own rule.
bool DatabaseNeedsDataDir(const std::string& importDb) {
  return kx::TXML_Gen::DatabaseName(importDb, "") != kx::TXML_Gen::DatabaseName(importDb, "/-/");
}

// What the check cannot see without the host's folder for the document.
void SayWhatIsUnknown(const SettingsInUse& settings, const std::string& outputDir, CheckReport& r) {
  if (!outputDir.empty()) return;
  if (settings.dataDir.empty()) {
    r.Warn(
        r.Say("Datenverzeichnis unbekannt: kein DataDir gesetzt und kein --output-dir genannt",
              "Data directory unknown: no DataDir set and no --output-dir given"),
        r.Say("Mit --output-dir den Ordner der Importdatei nennen: ohne ihn bleiben dieser Ordner, das "
              "Datenverzeichnis, die Spaltenzuordnungen" +
                  std::string(DatabaseNeedsDataDir(settings.importDb) ? " und die Staging-Datenbank" : "") +
                  " ungeprüft.",
              "Name the import file's folder with --output-dir: without it that folder, the data "
              "directory, the column maps" +
                  std::string(DatabaseNeedsDataDir(settings.importDb) ? " and the staging database" : "") +
                  " stay unchecked."));
  } else {
    r.Warn(r.Say("Ordner der Importdatei ungeprüft: kein --output-dir genannt",
                 "The import file's folder is unchecked: no --output-dir given"),
           r.Say("Mit --output-dir den Ordner nennen, in den der Host KORVALIX.XML schreiben lässt.",
                 "Name the folder the host has KORVALIX.XML written to with --output-dir."));
  }
}

void CheckOutputDirectory(const std::string& outputDir, CheckReport& r) {
  if (outputDir.empty()) return;
  if (!std::filesystem::is_directory(outputDir)) {
    r.Fail(r.Say("Ordner der Importdatei " + outputDir + " fehlt",
                 "Import file folder " + outputDir + " is missing"),
           r.Say("Den Ordner anlegen, den der Host nennt.", "Create the folder the host names."));
  } else if (access(outputDir.c_str(), W_OK) != 0) {
    r.Fail(
        r.Say("Ordner der Importdatei " + outputDir + " ist nicht beschreibbar",
              "Import file folder " + outputDir + " is not writable"),
        r.Say("Schreibrecht für den Benutzer des Imports geben.", "Give the importing user write access."));
  } else {
    r.Ok(r.Say("Ordner der Importdatei ", "Import file folder ") + outputDir +
         r.Say(" (beschreibbar)", " (writable)"));
  }
}

// The data directory exactly as the run derives it; empty when it is unknown or unusable.
std::string CheckDataDirectory(const SettingsInUse& settings, const std::string& outputDir, CheckReport& r) {
  if (settings.dataDir.empty() && outputDir.empty()) return {};
  const std::string dir = kx::RunDataDir(settings.dataDir, outputDir);
  const std::string delimiter(1, kx::kPathDelimiter);
  if (!dir.ends_with(kx::kPathDelimiter)) {
    // The run puts the file names right after the setting, so the files land beside the folder.
    r.Fail(r.Say("DataDir = " + Utf8(dir) + " endet nicht mit \"" + delimiter + "\": der Import schreibt " +
                     Utf8(dir) + std::string(kx::kHoldingsFile),
                 "DataDir = " + Utf8(dir) + " does not end with \"" + delimiter + "\": the import writes " +
                     Utf8(dir) + std::string(kx::kHoldingsFile)),
           r.Say("\"" + delimiter + "\" ans Ende von DataDir setzen.",
                 "Put \"" + delimiter + "\" at the end of DataDir."));
    return {};
  }
  if (settings.dataDir.empty() && kx::FindIgnoreCase1252(outputDir, "xml_temp") == std::string::npos) {
    r.Warn(r.Say("Der Ordner der Importdatei enthält kein \"xml_temp\": das Datenverzeichnis ist " +
                     Utf8(dir) + " (der Ordner mit KORVALIX" + delimiter + " angehängt)",
                 "The import file's folder holds no \"xml_temp\": the data directory is " + Utf8(dir) +
                     " (the folder with KORVALIX" + delimiter + " appended)"),
           r.Say("So gewollt, oder den Ordner xml_temp nennen (das Datenverzeichnis ist dann KORVALIX" +
                     delimiter + " daneben) oder DataDir setzen.",
                 "Intended, or name the folder xml_temp (the data directory is then KORVALIX" + delimiter +
                     " beside it) or set DataDir."));
  }
  if (!std::filesystem::is_directory(dir)) {
    r.Fail(r.Say("Datenverzeichnis " + Utf8(dir) + " fehlt", "Data directory " + Utf8(dir) + " is missing"),
           r.Say("Verzeichnis anlegen (mit den drei Spaltenzuordnungen).",
                 "Create it (with the three column maps)."));
    return {};
  }
  if (access(dir.c_str(), W_OK) != 0) {
    r.Fail(
        r.Say("Datenverzeichnis " + Utf8(dir) + " ist nicht beschreibbar",
              "Data directory " + Utf8(dir) + " is not writable"),
        r.Say("Schreibrecht für den Benutzer des Imports geben.", "Give the importing user write access."));
    return dir;
  }
  r.Ok(r.Say("Datenverzeichnis ", "Data directory ") + Utf8(dir) + r.Say(" (beschreibbar)", " (writable)"));
  return dir;
}

// Each column map with the staging columns it may name and the insert that fills them.
struct MapFile {
  std::string_view file;
  std::span<const std::string_view> columns;
  const std::string& (*insert)();
};
constexpr std::array<MapFile, 3> kMaps = {
    MapFile{kx::kHoldingsMap, kx::staging_columns::kBestaende, &kx::staging_sql::InsertBestand},
    MapFile{kx::kTransactionsMap, kx::staging_columns::kTransaktionen, &kx::staging_sql::InsertTransakt},
    MapFile{kx::kStartIdsMap, kx::staging_columns::kDbStartIds, &kx::staging_sql::InsertDBstartids}};

void CheckMap(const std::string& dataDir, const MapFile& map, CheckReport& r) {
  const std::string path = dataDir + std::string(map.file);
  std::vector<std::string> lines;
  try {
    lines = kx::TextLines(kx::ReadWholeFile(path));
  } catch (const std::exception& e) {
    r.Fail(r.Say("Spaltenzuordnung ", "Column map ") + Utf8(e.what()),
           r.Say("Die Datei aus dem Installationsordner kopieren.", "Copy the file from the installation."));
    return;
  }
  const std::vector<kx::ColumnMapEntry> entries = kx::ReadColumnMap(lines, kx::FieldsNamed(map.columns));
  bool good = !lines.empty();
  if (lines.empty()) {
    r.Fail(path + r.Say(": leer", ": empty"),
           r.Say("Die Datei aus dem Installationsordner kopieren.", "Copy the file from the installation."));
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].name;
    const std::string where = path + r.Say(", Zeile ", ", line ") + std::to_string(i + 1);
    if (!entries[i].field) {
      r.Fail(
          where + r.Say(": Spalte \"" + Utf8(name) + "\" gibt es in der Staging-Datenbank nicht",
                        ": column \"" + Utf8(name) + "\" is not in the staging database"),
          r.Say("Schreibweise prüfen oder die Zeile entfernen.", "Check the spelling or remove the line."));
      good = false;
    } else if (!entries[i].position) {
      r.Fail(where + r.Say(": keine Position nach \"=\"", ": no position after \"=\""),
             r.Say("NAME=Nummer der Spalte in der Datei des Anbieters schreiben.",
                   "Write NAME=number of the column in the provider's file."));
      good = false;
    }
  }
  if (map.file == kx::kTransactionsMap && entries.size() > kx::kTypeCodeEntry &&
      !kx::EqualsIgnoreCase1252(entries[kx::kTypeCodeEntry].name, kx::kTypeCodeColumn)) {
    r.Fail(
        path + r.Say(", Zeile 6: ", ", line 6: ") + Utf8(lines[kx::kTypeCodeEntry]) +
            r.Say(" statt der Art der Transaktion (TRATYPKZ)", " instead of the transaction type (TRATYPKZ)"),
        r.Say("TRATYPKZ muss der sechste Eintrag sein: der Filter der Transaktionen liest ihn dort; sonst "
              "fehlen Transaktionen ohne Meldung.",
              "TRATYPKZ must be the sixth entry: the transaction filter reads it there; otherwise "
              "transactions are left out without a word."));
    good = false;
  }
  if (good)
    r.Ok(r.Say("Spaltenzuordnung ", "Column map ") + path + " (" + std::to_string(lines.size()) + ")");
}

void CheckDatabase(const SettingsInUse& settings, const std::string& dataDir, CheckReport& r) {
  const std::string name = kx::TXML_Gen::DatabaseName(settings.importDb, dataDir);
  const bool server = kx::db::GoesThroughServer(name);
  if (server && (name.starts_with("localhost:") || name.starts_with("127.0.0.1:"))) {
    // The run starts a local server that does not answer, unless the host runs it itself.
    kx::ServerControl& control = kx::DefaultPlatform().Server;
    if (!control.IsInstalled()) {
      r.Fail(
          r.Say("Firebird-Server nicht installiert", "Firebird server not installed"),
          r.Say(
              "Den Server installieren (firebird3.0-server) oder in ImportDB einen Pfad ohne Server nennen.",
              "Install the server (firebird3.0-server) or name a path without a server in ImportDB."));
    } else if (kx::IsServerRunning(control)) {
      r.Ok(r.Say("Firebird-Server installiert und gestartet", "Firebird server installed and running"));
    } else {
      r.Warn(r.Say("Firebird-Server installiert, aber nicht gestartet",
                   "Firebird server installed but not running"),
             r.Say("Ein Import startet ihn; ohne Rechte dazu: systemctl start firebird3.0.",
                   "An import starts it; without the rights for it: systemctl start firebird3.0."));
    }
  }
  std::unique_ptr<kx::db::ClientLibrary> client;
  try {
    client = std::make_unique<kx::db::ClientLibrary>();
    r.Ok(r.Say("Datenbank-Client ", "Database client ") + client->Name());
  } catch (const std::exception& e) {
    r.Fail(r.Say("Datenbank-Client nicht gefunden: ", "Database client not found: ") + Utf8(e.what()),
           r.Say("Den Firebird-Client installieren (libfbclient2).",
                 "Install the Firebird client (libfbclient2)."));
    return;
  }
  try {
    kx::db::Connection connection(*client, name);
    r.Ok(r.Say("Staging-Datenbank ", "Staging database ") + Utf8(name) +
         (server ? r.Say(" (über den Server)", " (through the server)")
                 : r.Say(" (eingebettet)", " (embedded)")));
    kx::db::Transaction transaction(connection);
    transaction.Start();
    for (const MapFile& map : kMaps) {
      try {
        const kx::db::Statement insert(transaction, map.insert());
      } catch (const std::exception& e) {
        r.Fail(r.Say("Staging-Datenbank: Schema unvollständig: ", "Staging database: schema incomplete: ") +
                   OneLine(e.what()),
               r.Say("Die Datenbank mit kxdb create neu anlegen.",
                     "Create the database again with kxdb create."));
        return;
      }
    }
    r.Ok(r.Say("Staging-Datenbank: Schema vollständig", "Staging database: schema complete"));
  } catch (const std::exception& e) {
    r.Fail(r.Say("Staging-Datenbank " + Utf8(name) + " nicht erreichbar: ",
                 "Staging database " + Utf8(name) + " not reachable: ") +
               OneLine(e.what()),
           server ? r.Say("Läuft der Firebird-Server? Stimmt der Pfad in ImportDB?",
                          "Is the Firebird server running? Is the path in ImportDB right?")
                  : r.Say("Die Datenbank mit kxdb create anlegen oder ImportDB berichtigen.",
                          "Create the database with kxdb create or correct ImportDB."));
  }
}

// The fix for a transport failure, by what its text says.
std::string AddressFix(const std::string& reason, CheckReport& r) {
  const std::string lower = kx::ToLower1252(reason);
  if (lower.find("certificate") != std::string::npos || lower.find("ssl") != std::string::npos) {
    return r.Say("Das Zertifikat des Anbieters wird nicht anerkannt: Systemzeit und CA-Datei (" +
                     std::string(kx::kCaFileVariable) + ") prüfen.",
                 "The provider's certificate is not trusted: check the system time and the CA file (" +
                     std::string(kx::kCaFileVariable) + ").");
  }
  if (lower.find("resolve") != std::string::npos) {
    return r.Say("Der Name wird nicht aufgelöst: Schreibweise der Adresse und DNS prüfen.",
                 "The name does not resolve: check the address's spelling and DNS.");
  }
  return r.Say("Adresse in DownloadSrvUrl und die Netzverbindung prüfen.",
               "Check the address in DownloadSrvUrl and the network connection.");
}

// Name resolution, connection and, for https, the TLS handshake with the certificate verified,
// through the transport the download uses: one GET of the bare address, its answer not read.
void CheckProviderAddress(const SettingsInUse& settings, CheckReport& r) {
  for (const char* variable :
       {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    if (const char* proxy = std::getenv(variable); proxy != nullptr && *proxy != '\0') {
      r.Ok(r.Say("Proxy ", "Proxy ") + proxy + " (" + variable + ")");
      break;
    }
  }
  const char* caFile = std::getenv(kx::kCaFileVariable);
  if (caFile != nullptr && *caFile != '\0') {
    if (std::filesystem::is_regular_file(caFile)) {
      r.Ok(r.Say("CA-Datei ", "CA file ") + caFile + " (" + kx::kCaFileVariable + ")");
    } else {
      r.Fail(r.Say("CA-Datei " + std::string(caFile) + " fehlt",
                   "CA file " + std::string(caFile) + " is missing"),
             r.Say(std::string(kx::kCaFileVariable) + " berichtigen oder entfernen.",
                   "Correct or remove " + std::string(kx::kCaFileVariable) + "."));
      return;
    }
  }
  std::string reason;
  const std::unique_ptr<kx::HttpSession> session =
      kx::DefaultPlatform().Http.OpenSession(kx::kUserAgent, reason);
  if (session) {
    session->SetTimeouts(15);
    if (session->OpenUrl(settings.url, "") != nullptr) {
      const bool https = kx::ToLower1252(settings.url).starts_with("https:");
      r.Ok(r.Say("Anbieter ", "Provider ") + Utf8(settings.url) +
           (https ? r.Say(" erreichbar, Zertifikat geprüft", " reachable, certificate verified")
                  : r.Say(" erreichbar (ohne TLS)", " reachable (without TLS)")));
      return;
    }
    reason = session->LastErrorText();
  }
  r.Fail(r.Say("Anbieter " + Utf8(settings.url) + " nicht erreichbar: ",
               "Provider " + Utf8(settings.url) + " not reachable: ") +
             OneLine(reason),
         AddressFix(reason, r));
}

class NoProgress final : public kx::ProgressSink {
 public:
  void Send(int32_t /*kind*/, int32_t /*value*/, std::string_view /*text*/) override {}
};

// One holdings request with the given access data, as the run sends it; the answer stays in
// memory and is only described.
void CheckProviderAnswer(const SettingsInUse& settings, const InstallationCheckOptions& options,
                         CheckReport& r) {
  if (options.pin.empty()) {
    r.Warn(r.Say("--deep ohne PIN: keine Anfrage gesendet", "--deep without a PIN: no request sent"),
           r.Say("Die PIN mit --pin-file oder KX_PIN angeben.", "Give the PIN with --pin-file or KX_PIN."));
    return;
  }
  kx::Platform& platform = kx::DefaultPlatform();
  std::string request = kx::HoldingsRequestText(options.login, options.pin);
  std::string plain;
  kx::ProviderValues values;
  values.serviceUrl = settings.url;
  if (const int32_t code = kx::EncodeRequest(platform.Des, request, plain); code != 0) {
    r.Fail(r.Say("Anfrage nicht verschlüsselt: ", "Request not encrypted: ") +
               Utf8(kx::ExportErrorText(code, values).value_or(std::to_string(code))),
           r.Say("Die DES-Bibliothek (Nettle) prüfen.", "Check the DES library (Nettle)."));
    return;
  }
  NoProgress progress;
  kx::Downloader downloader(platform.Http, platform.Ui, progress);
  std::string answer;
  kx::StringOutputStream target(answer);
  std::string status;
  const int32_t code = downloader.DownloadUrl(settings.url + "?params=" + request, "", settings.timeout,
                                              target, status, false, false);
  if (code != 0) {
    r.Fail(r.Say("Anfrage an den Anbieter fehlgeschlagen (", "Request to the provider failed (") +
               std::to_string(code) + "): " + OneLine(kx::ExportErrorText(code, values).value_or(status)),
           r.Say("Adresse, Proxy und Netz prüfen.", "Check the address, the proxy and the network."));
    return;
  }
  if (const std::optional<int32_t> error = kx::ProviderErrorAnswer(answer, values)) {
    r.Fail(r.Say("Der Anbieter antwortet: ", "The provider answers: ") + OneLine(answer.substr(0, 200)),
           OneLine(kx::ExportErrorText(*error, values).value_or(std::to_string(*error))));
    return;
  }
  r.Ok(r.Say("Der Anbieter liefert Bestandsdaten: ", "The provider delivers holdings: ") +
       std::to_string(kx::TextLines(answer).size()) + r.Say(" Zeilen, ", " lines, ") +
       std::to_string(answer.size()) + r.Say(" Bytes (nicht gespeichert)", " bytes (not stored)"));
}

}  // namespace

RunPlaces PlacesOf(const std::string& settingsFile, const std::string& outputDir) {
  if (!settingsFile.empty()) setenv("VELQORA_REGISTRY", settingsFile.c_str(), 1);
  CheckReport quiet(Language::English);
  const SettingsInUse settings = CheckSettings(quiet);
  RunPlaces places{{}, settings.importDb};
  if (!settings.dataDir.empty() || !outputDir.empty())
    places.dataDir = kx::RunDataDir(settings.dataDir, outputDir);
  return places;
}

std::vector<ProviderFileReport> AnalyzeDataDirectory(const std::string& dataDir,
                                                     const std::string& importDb) {
  using kx::tools::Say;
  kx::db::ClientLibrary client;
  // The run's own rule for the name; a failure says which name that gave, and why.
  const std::string name = kx::TXML_Gen::DatabaseName(importDb, dataDir);
  std::unique_ptr<kx::db::Connection> attached;
  try {
    attached = std::make_unique<kx::db::Connection>(client, name);
  } catch (const kx::db::DatabaseError& e) {
    const bool derived = importDb.empty();
    throw std::runtime_error(
        Say("Staging-Datenbank " + Utf8(name) +
                (derived ? " (kein ImportDB gesetzt: der Name nach der Regel des Laufs, über den Server)"
                         : "") +
                " nicht zu öffnen: ",
            "cannot open the staging database " + Utf8(name) +
                (derived ? " (no ImportDB set: the name by the run's rule, through the server)" : "") +
                ": ") +
        OneLine(e.what()));
  }
  kx::db::Connection& connection = *attached;
  kx::db::Transaction transaction(connection);
  transaction.Start();
  const kx::FormatSettings formats = kx::DefaultPlatform().Regional.Formats();
  std::vector<ProviderFileReport> reports;
  const std::array<std::pair<std::string_view, bool>, 2> files = {std::pair{kx::kHoldingsFile, false},
                                                                  std::pair{kx::kTransactionsFile, true}};
  for (const auto& [file, transactions] : files) {
    ProviderFileSpec spec;
    spec.path = dataDir + std::string(file);
    spec.map = kx::ReadMap(dataDir + std::string(transactions ? kx::kTransactionsMap : kx::kHoldingsMap));
    // The fields as the load's inserter sees them; nothing is inserted.
    const kx::TableInserter inserter(
        transaction, transactions ? kx::staging_sql::InsertTransakt() : kx::staging_sql::InsertBestand());
    spec.fields = inserter.Fields();
    spec.transactions = transactions;
    reports.push_back(AnalyzeProviderFile(spec, formats));
  }
  return reports;
}

void CheckInstallation(const InstallationCheckOptions& options, CheckReport& report) {
  if (!options.settings.empty()) setenv("VELQORA_REGISTRY", options.settings.c_str(), 1);
  const SettingsInUse settings = CheckSettings(report);
  SayWhatIsUnknown(settings, options.outputDir, report);
  CheckOutputDirectory(options.outputDir, report);
  const std::string dataDir = CheckDataDirectory(settings, options.outputDir, report);
  if (!dataDir.empty()) {
    for (const MapFile& map : kMaps) CheckMap(dataDir, map, report);
  }
  if (!dataDir.empty() || !DatabaseNeedsDataDir(settings.importDb)) CheckDatabase(settings, dataDir, report);
  CheckProviderAddress(settings, report);
  if (options.deep) CheckProviderAnswer(settings, options, report);
}

}  // namespace kximport
