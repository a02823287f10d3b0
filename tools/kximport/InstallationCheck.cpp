#include "kximport/InstallationCheck.h"

#include <curl/curl.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/DatabaseName.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "net/ImpApiINet_Download.h"
#include "platform/platform.h"
#include "platform/posix/CurlTransport.h"
#include "platform/posix/PosixSettingsStore.h"
#include "platform/posix/RegistryFile.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Fetch.h"
#include "provider/ImpApi_Korvalix_Messages.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "staging/ImpApiIBSrv.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/ImpApi_Korvalix_XMLgen_Queries.h"
#include "staging/TableInserter.h"
#include "util/Cp1252.h"
#include "util/ProviderIdentity.h"
#include "util/TextLines.h"
#include "util/WholeFile.h"
#include "util/WholeNumber.h"

namespace kximport {
namespace {

using kx::posix::RegistryFile;

// What the library takes from the settings, as ReadImportSettings reads them.
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

// The number of the line that sets the value name, for the messages.
int LineOf(std::string_view text, std::string_view name) {
  const std::vector<std::string> lines = kx::TextLines(text);
  const std::string quoted = kx::ToLower1252("\"" + std::string(name) + "\"=");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (kx::ToLower1252(lines[i]).starts_with(quoted)) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string TypeName(RegistryFile::Type type) {
  switch (type) {
    case RegistryFile::Type::String:
      return "string";
    case RegistryFile::Type::ExpandString:
      return "hex(2)";
    case RegistryFile::Type::Dword:
      return "dword";
    case RegistryFile::Type::Binary:
      return "hex";
    default:
      return "hex(n)";
  }
}

SettingsInUse CheckSettings(CheckReport& r) {
  SettingsInUse use;
  const std::string path = kx::posix::PosixSettingsStore::FilePath();
  const std::string useDefaults =
      r.Say("Ohne Einstellungen gilt die eingebaute Beispieladresse " + use.url + ".",
            "Without settings the built-in example address " + use.url + " is used.");
  std::string text;
  try {
    if (!std::filesystem::exists(path)) {
      r.Fail(r.Say("Einstellungsdatei " + path + " nicht gefunden", "Settings file " + path + " not found"),
             r.Say("Datei anlegen oder mit --settings nennen. ", "Create it or name it with --settings. ") +
                 useDefaults);
      return use;
    }
    text = kx::ReadWholeFile(path);
  } catch (const std::exception& e) {
    r.Fail(r.Say("Einstellungsdatei nicht lesbar: ", "Settings file not readable: ") + Utf8(e.what()),
           r.Say("Rechte der Datei prüfen.", "Check the file's permissions."));
    return use;
  }
  std::optional<RegistryFile> registry;
  try {
    registry = RegistryFile::Parse(text);
  } catch (const std::exception& e) {
    r.Fail(r.Say("Einstellungsdatei " + path + " ist kein REGEDIT4-Export: ",
                 "Settings file " + path + " is no REGEDIT4 export: ") +
               Utf8(e.what()),
           r.Say("Die genannte Zeile berichtigen.", "Correct the line named."));
    return use;
  }
  const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(kx::kSettingsKey);
  const RegistryFile::Values* values = registry->Key(keyPath);
  if (values == nullptr) {
    r.Fail(r.Say("Einstellungsdatei " + path + ": Schlüssel [" + keyPath + "] fehlt",
                 "Settings file " + path + ": key [" + keyPath + "] is missing"),
           r.Say("Den Schlüssel mit den Werten anlegen (Schreibweise prüfen). ",
                 "Add the key with its values (check the spelling). ") +
               useDefaults);
    return use;
  }
  r.Ok(r.Say("Einstellungsdatei ", "Settings file ") + path);

  // The library reads these values in this order and stops at the first that is no string.
  static constexpr std::array<std::string_view, 5> kKnown = {"DownloadSrvUrl", "Timeout", "DebugMode",
                                                             "ImportDB", "DataDir"};
  bool stopped = false;
  std::map<std::string, std::string, RegistryFile::NoCase> read;
  for (const std::string_view name : kKnown) {
    const auto found = values->find(std::string(name));
    if (found == values->end() || stopped) continue;
    const int line = LineOf(text, name);
    if (found->second.type != RegistryFile::Type::String) {
      r.Fail(r.Say("Zeile " + std::to_string(line) + ": " + std::string(name) + " ist vom Typ " +
                       TypeName(found->second.type) + ", gelesen werden nur Zeichenketten",
                   "line " + std::to_string(line) + ": " + std::string(name) + " has the type " +
                       TypeName(found->second.type) + "; only strings are read"),
             r.Say("Als Zeichenkette schreiben: \"" + std::string(name) +
                       "\"=\"...\". Bis dahin bricht das Lesen "
                       "hier ab, und die eingebaute Beispieladresse gilt.",
                   "Write it as a string: \"" + std::string(name) +
                       "\"=\"...\". Until then reading stops here "
                       "and the built-in example address is used."));
      stopped = true;
      use = SettingsInUse{};
      continue;
    }
    const std::string value = found->second.data.substr(0, found->second.data.find('\0'));
    read[std::string(name)] = value;
    if ((name == "Timeout" || name == "DebugMode") && !kx::ParseInt32(value)) {
      r.Warn(
          r.Say("Zeile " + std::to_string(line) + ": " + std::string(name) + " = \"" + Utf8(value) +
                    "\" ist keine ganze Zahl",
                "line " + std::to_string(line) + ": " + std::string(name) + " = \"" + Utf8(value) +
                    "\" is no whole number"),
          r.Say("Eine Zahl eintragen; bis dahin gilt die Vorgabe.", "Enter a number; the default applies."));
    } else {
      r.Ok(std::string(name) + " = " + Utf8(value));
    }
  }
  for (const auto& entry : *values) {
    const std::string& name = entry.first;
    const bool known = std::any_of(kKnown.begin(), kKnown.end(),
                                   [&name](std::string_view k) { return kx::EqualsIgnoreCase1252(k, name); });
    if (!known) {
      r.Warn(r.Say("Zeile " + std::to_string(LineOf(text, name)) + ": unbekannter Wert " + Utf8(name),
                   "line " + std::to_string(LineOf(text, name)) + ": unknown value " + Utf8(name)),
             r.Say("Schreibweise prüfen; die Bibliothek liest DownloadSrvUrl, Timeout, DebugMode, ImportDB, "
                   "DataDir.",
                   "Check the spelling; the library reads DownloadSrvUrl, Timeout, DebugMode, ImportDB, "
                   "DataDir."));
    }
  }
  if (stopped) return use;
  if (read.count("DownloadSrvUrl") == 0) {
    r.Warn(r.Say("Keine Adresse des Anbieters gesetzt (DownloadSrvUrl)",
                 "No provider address set (DownloadSrvUrl)"),
           useDefaults);
  } else {
    use.url = read["DownloadSrvUrl"];
  }
  use.timeout = kx::ParseInt32(read["Timeout"]).value_or(use.timeout);
  use.importDb = read["ImportDB"];
  use.dataDir = read["DataDir"];
  return use;
}

std::string CheckDataDirectory(const SettingsInUse& settings, const std::string& outputDir, CheckReport& r) {
  std::string dir = settings.dataDir;
  if (dir.empty()) {
    if (outputDir.empty()) {
      r.Warn(r.Say("Datenverzeichnis unbekannt: kein DataDir gesetzt und kein --output-dir genannt",
                   "Data directory unknown: no DataDir set and no --output-dir given"),
             r.Say("Mit --output-dir den Ordner der Importdatei nennen.",
                   "Name the import file's folder with --output-dir."));
      return {};
    }
    dir = kx::DefaultDataDir(outputDir);  // as the run derives it from the host's folder
  }
  if (!dir.ends_with('/')) dir += '/';
  if (!std::filesystem::is_directory(dir)) {
    r.Fail(r.Say("Datenverzeichnis " + dir + " fehlt", "Data directory " + dir + " is missing"),
           r.Say("Verzeichnis anlegen (mit den drei Spaltenzuordnungen).",
                 "Create it (with the three column maps)."));
    return {};
  }
  if (access(dir.c_str(), W_OK) != 0) {
    r.Fail(
        r.Say("Datenverzeichnis " + dir + " ist nicht beschreibbar",
              "Data directory " + dir + " is not writable"),
        r.Say("Schreibrecht für den Benutzer des Imports geben.", "Give the importing user write access."));
    return dir;
  }
  r.Ok(r.Say("Datenverzeichnis ", "Data directory ") + dir + r.Say(" (beschreibbar)", " (writable)"));
  return dir;
}

// The column names an insert statement lists between its first parentheses.
std::vector<std::string> InsertColumns(std::string_view insert) {
  std::vector<std::string> columns;
  const std::string_view list = insert.substr(insert.find('(') + 1, insert.find(')') - insert.find('(') - 1);
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    columns.emplace_back(kx::TrimControl(list.substr(start, comma - start)));
    start = comma + 1;
  }
  return columns;
}

struct MapFile {
  std::string_view file;
  std::string_view insert;
};
constexpr std::array<MapFile, 3> kMaps = {MapFile{"BESTAND.txt", kx::staging_sql::kInsertBestand},
                                          MapFile{"TRANSAKT.txt", kx::staging_sql::kInsertTransakt},
                                          MapFile{"DBSTARTIDS.txt", kx::staging_sql::kInsertDBstartids}};

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
  const std::vector<std::string> columns = InsertColumns(map.insert);
  bool good = !lines.empty();
  if (lines.empty()) {
    r.Fail(path + r.Say(": leer", ": empty"),
           r.Say("Die Datei aus dem Installationsordner kopieren.", "Copy the file from the installation."));
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t equals = line.find('=');
    const std::string name = line.substr(0, equals);
    const std::string where = path + r.Say(", Zeile ", ", line ") + std::to_string(i + 1);
    const bool known = std::any_of(columns.begin(), columns.end(), [&name](const std::string& c) {
      return kx::EqualsIgnoreCase1252(c, name);
    });
    if (!known) {
      r.Fail(
          where + r.Say(": Spalte \"" + Utf8(name) + "\" gibt es in der Staging-Datenbank nicht",
                        ": column \"" + Utf8(name) + "\" is not in the staging database"),
          r.Say("Schreibweise prüfen oder die Zeile entfernen.", "Check the spelling or remove the line."));
      good = false;
    } else if (equals == std::string::npos ||
               !kx::WholeNumberOf<int64_t>(kx::TrimControl(std::string_view(line).substr(equals + 1)),
                                           kx::PlusSign::Allowed)) {
      r.Fail(where + r.Say(": keine Position nach \"=\"", ": no position after \"=\""),
             r.Say("NAME=Nummer der Spalte in der Datei des Anbieters schreiben.",
                   "Write NAME=number of the column in the provider's file."));
      good = false;
    }
  }
  if (map.file == "TRANSAKT.txt" && lines.size() >= 6 && !lines[5].starts_with("TRATYPKZ=")) {
    r.Fail(
        path + r.Say(", Zeile 6: ", ", line 6: ") + Utf8(lines[5]) +
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
        const kx::db::Statement insert(transaction, map.insert);
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

// Name resolution, connection and, for https, the TLS handshake with the certificate verified,
// through libcurl as the download does; no request is sent.
void CheckProviderAddress(const SettingsInUse& settings, CheckReport& r) {
  for (const char* variable :
       {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    if (const char* proxy = std::getenv(variable); proxy != nullptr && *proxy != '\0') {
      r.Ok(r.Say("Proxy ", "Proxy ") + proxy + " (" + variable + ")");
      break;
    }
  }
  const char* caFile = std::getenv(kx::posix::kCaFileVariable);
  if (caFile != nullptr && *caFile != '\0') {
    if (std::filesystem::is_regular_file(caFile)) {
      r.Ok(r.Say("CA-Datei ", "CA file ") + caFile + " (" + kx::posix::kCaFileVariable + ")");
    } else {
      r.Fail(r.Say("CA-Datei " + std::string(caFile) + " fehlt",
                   "CA file " + std::string(caFile) + " is missing"),
             r.Say(std::string(kx::posix::kCaFileVariable) + " berichtigen oder entfernen.",
                   "Correct or remove " + std::string(kx::posix::kCaFileVariable) + "."));
      return;
    }
  }
  const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) return;
  char error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl.get(), CURLOPT_URL, Utf8(settings.url).c_str());
  curl_easy_setopt(curl.get(), CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 15L);
  curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, error);
  if (caFile != nullptr && *caFile != '\0') curl_easy_setopt(curl.get(), CURLOPT_CAINFO, caFile);
  const CURLcode code = curl_easy_perform(curl.get());
  if (code == CURLE_OK) {
    const bool https = settings.url.starts_with("https:");
    r.Ok(r.Say("Anbieter ", "Provider ") + Utf8(settings.url) +
         (https ? r.Say(" erreichbar, Zertifikat geprüft", " reachable, certificate verified")
                : r.Say(" erreichbar (ohne TLS)", " reachable (without TLS)")));
    return;
  }
  const std::string reason = *error != '\0' ? error : curl_easy_strerror(code);
  std::string fix = r.Say("Adresse in DownloadSrvUrl und die Netzverbindung prüfen.",
                          "Check the address in DownloadSrvUrl and the network connection.");
  if (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE) {
    fix = r.Say("Das Zertifikat des Anbieters wird nicht anerkannt: Systemzeit und CA-Datei (" +
                    std::string(kx::posix::kCaFileVariable) + ") prüfen.",
                "The provider's certificate is not trusted: check the system time and the CA file (" +
                    std::string(kx::posix::kCaFileVariable) + ").");
  } else if (code == CURLE_COULDNT_RESOLVE_HOST) {
    fix = r.Say("Der Name wird nicht aufgelöst: Schreibweise der Adresse und DNS prüfen.",
                "The name does not resolve: check the address's spelling and DNS.");
  }
  r.Fail(r.Say("Anbieter " + Utf8(settings.url) + " nicht erreichbar: ",
               "Provider " + Utf8(settings.url) + " not reachable: ") +
             reason,
         fix);
}

class NoProgress final : public kx::ProgressSink {
 public:
  void Send(int32_t /*kind*/, int32_t /*value*/, std::string_view /*text*/) override {}
};

// One holdings request with the given access data, as the run sends it; the answer stays in
// memory and is only described.
void CheckProviderAnswer(const SettingsInUse& settings, const InstallationCheckOptions& options,
                         CheckReport& r) {
  if (options.login.empty() || options.pin.empty()) {
    r.Warn(r.Say("--deep ohne Zugangsdaten: keine Anfrage gesendet",
                 "--deep without access data: no request sent"),
           r.Say("--login und die PIN (--pin-file oder KX_PIN) angeben.",
                 "Give --login and the PIN (--pin-file or KX_PIN)."));
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
  if (!settings.dataDir.empty()) {
    places.dataDir = settings.dataDir.ends_with('/') ? settings.dataDir : settings.dataDir + "/";
  } else if (!outputDir.empty()) {
    places.dataDir = kx::DefaultDataDir(outputDir);
  }
  return places;
}

std::vector<ProviderFileReport> AnalyzeDataDirectory(const std::string& dataDir,
                                                     const std::string& importDb) {
  kx::db::ClientLibrary client;
  kx::db::Connection connection(client, kx::TXML_Gen::DatabaseName(importDb, dataDir));
  kx::db::Transaction transaction(connection);
  transaction.Start();
  const kx::FormatSettings formats = kx::DefaultPlatform().Regional.Formats();
  std::vector<ProviderFileReport> reports;
  const std::array<std::pair<std::string_view, bool>, 2> files = {std::pair{kx::kHoldingsFile, false},
                                                                  std::pair{kx::kTransactionsFile, true}};
  for (const auto& [file, transactions] : files) {
    ProviderFileSpec spec;
    spec.path = dataDir + std::string(file);
    spec.map = kx::ReadMap(dataDir + (transactions ? "TRANSAKT.txt" : "BESTAND.txt"));
    // The fields as the load's inserter sees them; nothing is inserted.
    const kx::TableInserter inserter(
        transaction, transactions ? kx::staging_sql::kInsertTransakt : kx::staging_sql::kInsertBestand);
    spec.fields = inserter.Fields();
    spec.transactions = transactions;
    reports.push_back(AnalyzeProviderFile(spec, formats));
  }
  return reports;
}

void CheckInstallation(const InstallationCheckOptions& options, CheckReport& report) {
  if (!options.settings.empty()) setenv("VELQORA_REGISTRY", options.settings.c_str(), 1);
  const SettingsInUse settings = CheckSettings(report);
  const std::string dataDir = CheckDataDirectory(settings, options.outputDir, report);
  if (!dataDir.empty()) {
    for (const MapFile& map : kMaps) CheckMap(dataDir, map, report);
  }
  CheckDatabase(settings, dataDir, report);
  CheckProviderAddress(settings, report);
  if (options.deep) CheckProviderAnswer(settings, options, report);
}

}  // namespace kximport
