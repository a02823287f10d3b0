// kximport: a command-line host for the import plug-in on Linux. It loads the library the way
// the host application does (dlopen, the exports by name), performs the handshake, shows the
// progress messages and runs one import with ExportXML.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "kximport/CheckReport.h"
#include "kximport/HostLibrary.h"
#include "kximport/ImportDocument.h"
#include "kximport/InstallationCheck.h"
#include "kximport/Language.h"
#include "kximport/ProgressDisplay.h"
#include "kximport/RunInterrupt.h"
#include "kximport/RunOutcome.h"
#include "kximport/RunPreflight.h"
#include "platform/FileSystem.h"
#include "util/Cp1252.h"
#include "util/ResultCodes.h"
#include "util/WholeNumber.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;        // --strict: the import refused records
constexpr int kExitInterrupted = 130;  // Ctrl+C, as a shell reports a process that SIGINT ended

// The help of the import, of check and of access-data; "kximport --help" shows all three.
const char* const kCheckUsage =
    "Usage: kximport check [--settings FILE] [--output-dir DIR] [--deep --login ID [--pin-file FILE]]\n"
    "       kximport check --data [DIR] [--settings FILE] [--output-dir DIR] [--json FILE] [--max N]\n\n";
const char* const kAccessDataUsage =
    "Usage: kximport access-data [--user NAME] [--password PIN] [--library PATH]\n\n";

const char* const kRunHelp = R"(Usage: kximport --output-dir DIR [options]
       kximport access-data [--user NAME] [--password PIN] [--library PATH]
       kximport check [--settings FILE] [--output-dir DIR] [--deep --login ID [--pin-file FILE]]
       kximport check --data [DIR] [--settings FILE] [--output-dir DIR] [--json FILE] [--max N]

Runs one import through the plug-in library: the provider files are fetched, loaded into the
staging database, and DIR/KORVALIX.XML is written.

Options:
  --output-dir DIR         the host's directory for the import file (required)
  --advisor REF            the advisor reference of this import (default: empty)
  --last-import VALUE      the host's previous-import value; 0 (the default) is a first import
  --continue-from FILE     a previous KORVALIX.XML: its start ids become the options startid1
                           and startid2, the way a host continues an earlier import
  --login ID               the provider login (option UserLogin)
  --pin-file FILE          the provider PIN (option Password): the first line of FILE, or of
                           standard input for "-"
  --pin PIN                the PIN on the command line, for tests only: every user of the
                           machine sees it in the process list
  --embedded-server        the host runs the database itself (option EmbeddedIBServer=TRUE)
  --no-message-boxes       no first-import notice (option NoMessageBoxes=TRUE)
  --option NAME=VALUE      one more line of the option text; may be repeated
  --options-file FILE      option lines from a file, before all other options
  --no-options             pass no option text at all (the library answers -11)
  --settings FILE          the library's settings: a REGEDIT4 file (sets VELQORA_REGISTRY)
  --library PATH           the plug-in library (default: libImpApiKorvalix.so beside kximport,
                           else the installed ../lib/impapikorvalix/libImpApiKorvalix.so)
  --verbose                show the library's log lines too
  --summary                after a successful import: what the file holds and the stages' times
  --report                 after the import: the data report of check --data, written beside the
                           error logs (data_report.txt, data_report.json)
  --strict                 exit status 3 when the import refused records
  --help                   this text
  --version                the version

A progress bar is drawn when standard output is a terminal, plain lines otherwise. Error lines
and the final message go to standard error. Texts are converted between the terminal's UTF-8
and the library's Windows-1252 here.

Without --pin-file or --pin the PIN comes from the environment variable KX_PIN, and without
that the library asks for it on the terminal.

)";

const char* const kCheckText =
    R"(check looks at an installation the way a run would use it and prints one line per item, with
what to do where something is wrong: the settings file and every value the library read, the
folder of --output-dir, the data directory exactly as the run derives it (a DataDir without its
final "/" fails), the three column maps against the staging columns, the database (client
library, reachable, schema complete), the proxy and CA file in use, and the provider's address
(name, connection, certificate: one GET of the bare address). Without --output-dir it says what
stays unchecked. The texts are English when the locale (LC_ALL, LC_MESSAGES, LANG) is English,
German otherwise. With --deep it also sends one holdings request with the access data (the PIN as
for an import) and reports the provider's answer without storing it. Exit status 0 when nothing
failed, 1 otherwise, 2 for a wrong command line (--deep needs --login).

check --data reads the provider files of the data directory (DIR, or the one the settings and
--output-dir lead to) with the installed column maps, the staging database's column types and
the import's own reading code, stores nothing, and reports per file: values that become NULL
because they do not convert, texts cut to their column, transactions left out by their type
code, records with too few fields, repeated transaction ids, a header that does not fit the map,
zero bytes and refused records, each with its line; then the counts. At most N lines per kind
(--max, default 10); --json FILE writes every finding.

)";

const char* const kAccessDataText =
    R"(access-data shows the library's access-data dialog (ApiDataDialog; on a terminal: the user name,
the password without echo, then the confirmation) with the given values and prints the dialog's
result and what came back, the password as asterisks.

)";

const char* const kExitText =
    R"(After a successful import the records refused and the texts cut are counted per provider file.
Ctrl+C ends a run at any moment with one line of what it interrupted; the previous KORVALIX.XML
and provider files stay as they were.

Exit status: 0 when the import succeeded, 1 when it failed (the result code and its message
are printed), 2 for a wrong command line, a previous document that cannot be read (--continue-from)
or a library that cannot be loaded, 3 with --strict when records were refused, 130 after Ctrl+C.

Example:
  kximport --settings /etc/velqora/tavo/registry.reg --output-dir /srv/host/xml_temp \
           --advisor BR-77 --login 12345 --pin-file ~/.kx-pin --embedded-server \
           --last-import 45990 --continue-from /srv/host/xml_temp/KORVALIX.XML
)";

const std::string kHelp = std::string(kRunHelp) + kAccessDataText + kCheckText + kExitText;
const std::string kCheckHelp = std::string(kCheckUsage) + kCheckText;
const std::string kAccessDataHelp = std::string(kAccessDataUsage) + kAccessDataText;

struct Arguments {
  std::string library;
  std::string outputDir;
  std::string advisor;
  std::string settings;
  std::string continueFrom;
  double lastImport = 0.0;
  std::vector<std::string> fileLines;    // from --options-file, first
  std::vector<std::string> optionLines;  // from the other options
  std::string pin;                       // Windows-1252; empty: from KX_PIN, or the library asks
  bool noOptions = false;
  bool verbose = false;
  bool summary = false;
  bool report = false;
  bool strict = false;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using kximport::Say;

std::string NeedsValue(const std::string& arg) {
  return Say(arg + " braucht einen Wert", arg + " needs a value");
}

std::string Unknown(const std::string& arg, const std::string& help) {
  return Say("unbekanntes Argument '" + arg + "' (siehe " + help + ")",
             "unknown argument '" + arg + "' (see " + help + ")");
}

std::string ExecutableDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  const std::string text(path, static_cast<std::size_t>(n));
  return text.substr(0, text.rfind('/'));
}

// The plug-in beside kximport (a build folder), else the installed one (lib/impapikorvalix beside
// the program's bin folder).
std::string DefaultLibrary() {
  std::string beside = ExecutableDir() + "/libImpApiKorvalix.so";
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return ExecutableDir() + "/../lib/impapikorvalix/libImpApiKorvalix.so";
}

// Text the user typed (UTF-8) in the library's Windows-1252; bytes that are no UTF-8 are taken
// as Windows-1252 already.
std::string ToLibraryText(const std::string& text) {
  const std::string converted = kx::Utf8ToCp1252(text);
  return kx::Cp1252ToUtf8(converted) == text ? converted : text;
}

// The first line of a file, or of standard input for "-", without its line break.
std::string ReadPinFile(const std::string& path) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) throw UsageError(Say("PIN-Datei " + path + " nicht lesbar", "cannot read PIN file " + path));
  }
  std::istream& in = path == "-" ? std::cin : file;
  std::string line;
  if (!std::getline(in, line) && line.empty())
    throw UsageError(path == "-" ? Say("keine PIN in der Standardeingabe", "no PIN in standard input")
                                 : Say("keine PIN in " + path, "no PIN in " + path));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::vector<std::string> ReadOptionsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw UsageError(Say("Optionsdatei " + path + " nicht lesbar", "cannot read options file " + path));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(ToLibraryText(line));
  }
  return lines;
}

Arguments ParseArguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw UsageError(NeedsValue(arg));
      return argv[++i];
    };
    if (arg == "--output-dir") {
      args.outputDir = value();
    } else if (arg == "--advisor") {
      args.advisor = value();
    } else if (arg == "--library") {
      args.library = value();
    } else if (arg == "--settings") {
      args.settings = value();
    } else if (arg == "--continue-from") {
      args.continueFrom = value();
    } else if (arg == "--last-import") {
      const std::string text = value();
      char* end = nullptr;
      args.lastImport = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0')
        throw UsageError(Say("--last-import braucht eine Zahl, nicht '" + text + "'",
                             "--last-import needs a number, not '" + text + "'"));
    } else if (arg == "--login") {
      args.optionLines.push_back("UserLogin=" + ToLibraryText(value()));
    } else if (arg == "--pin") {
      args.pin = ToLibraryText(value());
    } else if (arg == "--pin-file") {
      args.pin = ToLibraryText(ReadPinFile(value()));
    } else if (arg == "--embedded-server") {
      args.optionLines.push_back("EmbeddedIBServer=TRUE");
    } else if (arg == "--no-message-boxes") {
      args.optionLines.push_back("NoMessageBoxes=TRUE");
    } else if (arg == "--option") {
      const std::string line = value();
      if (line.find('=') == std::string::npos)
        throw UsageError(Say("--option braucht NAME=WERT, nicht '" + line + "'",
                             "--option needs NAME=VALUE, not '" + line + "'"));
      args.optionLines.push_back(ToLibraryText(line));
    } else if (arg == "--options-file") {
      args.fileLines = ReadOptionsFile(value());
    } else if (arg == "--no-options") {
      args.noOptions = true;
    } else if (arg == "--verbose") {
      args.verbose = true;
    } else if (arg == "--summary") {
      args.summary = true;
    } else if (arg == "--report") {
      args.report = true;
    } else if (arg == "--strict") {
      args.strict = true;
    } else {
      throw UsageError(Unknown(arg, "kximport --help"));
    }
  }
  if (args.outputDir.empty())
    throw UsageError(Say("--output-dir fehlt (siehe --help)", "--output-dir is required (see --help)"));
  if (args.library.empty()) args.library = DefaultLibrary();
  if (const char* pin = std::getenv("KX_PIN"); args.pin.empty() && pin != nullptr)
    args.pin = ToLibraryText(pin);
  if (!args.pin.empty()) args.optionLines.push_back("Password=" + args.pin);
  return args;
}

// The option text: file lines, then the command line's, then the start ids of a previous
// document. The library takes the first line of a key, so earlier lines win.
std::string OptionText(const Arguments& args) {
  std::vector<std::string> lines = args.fileLines;
  lines.insert(lines.end(), args.optionLines.begin(), args.optionLines.end());
  if (!args.continueFrom.empty()) {
    const kximport::DocumentFacts previous = kximport::ReadDocument(args.continueFrom);
    lines.push_back("startid1=" + previous.startId1);
    lines.push_back("startid2=" + previous.startId2);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The result's text. The library has none for a second clear re-import demand, so the host says
// what happened itself.
std::string ResultText(const kximport::HostLibrary& lib, int32_t result) {
  if (result == kx::kClearReimportRequired) {
    return "Der Anbieter hat auch auf die wiederholte Anfrage eines Clear-Reimports (Start-IDs 0) "
           "erneut einen Clear-Reimport verlangt.\nEs wurde nichts importiert; bitte wenden Sie sich "
           "an den Anbieter.";
  }
  return lib.ErrorText(result);
}

std::unique_ptr<kximport::ProgressDisplay> gDisplay;
kximport::RunInterrupt* gInterrupt = nullptr;

void KX_CALL OnProgress(int32_t kind, int32_t value, const char* text) {
  const std::string shown = kx::Cp1252ToUtf8(text);
  if (gInterrupt != nullptr) {
    gInterrupt->Track(kind, value, text != nullptr ? text : "");
    // After Ctrl+C the run's error lines only restate the cancel; the interrupt's line says it.
    if (gInterrupt->Interrupted() && kind == KX_PROGRESS_ERROR) return;
  }
  gDisplay->Show(kind, value, shown);
}

void PrintSummary(const Arguments& args, const kximport::ProgressDisplay& display) {
  const std::string path = args.outputDir + "/KORVALIX.XML";
  const kximport::DocumentFacts facts = kximport::ReadDocument(path);
  std::printf("\nImport file: %s (%lld bytes)\n", path.c_str(), static_cast<long long>(facts.bytes));
  std::printf("  customers     %lld\n  depots        %lld\n  positions     %lld\n  transactions  %lld\n",
              static_cast<long long>(facts.customers), static_cast<long long>(facts.depots),
              static_cast<long long>(facts.positions), static_cast<long long>(facts.transactions));
  if (!facts.startId1.empty() || !facts.startId2.empty()) {
    std::printf("  start ids     %s / %s\n", kx::Cp1252ToUtf8(facts.startId1).c_str(),
                kx::Cp1252ToUtf8(facts.startId2).c_str());
  }
  std::printf("Stages:\n");
  for (const kximport::ProgressDisplay::Stage& stage : display.Stages()) {
    std::printf("  %8.2f s  %s\n", stage.seconds, stage.label.c_str());
  }
}

// An empty file readable by its owner only, which std::ofstream then fills: a stream opened on an
// existing file keeps its rights. The data report quotes customer records.
void CreatePrivateFile(const std::string& path) {
  std::FILE* file = kx::OpenPrivateFile(path);
  if (file == nullptr) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
  std::fclose(file);
}

// The data report of a data directory on the terminal and, when jsonPath is set, as JSON.
void ReportData(const std::vector<kximport::ProviderFileReport>& reports, std::size_t maxPerKind,
                std::ostream& out, const std::string& jsonPath) {
  kximport::PrintDataReport(reports, kximport::LanguageFromEnvironment(), maxPerKind, out);
  if (!jsonPath.empty()) {
    CreatePrivateFile(jsonPath);
    std::ofstream json(jsonPath, std::ios::binary | std::ios::trunc);
    kximport::WriteDataReportJson(reports, json);
    if (!json) throw std::runtime_error("cannot write " + jsonPath);
  }
}

// The check that looks at what this run uses.
std::string CheckCommand(const Arguments& args) {
  std::string command = "kximport check";
  if (!args.settings.empty()) command += " --settings " + args.settings;
  return command + " --output-dir " + args.outputDir;
}

// Ctrl+C outside a transfer, on the interrupt's thread: the line, no temporary file of this run
// left behind (the finished files are replaced only when complete), and the end of the process
// without running the database client's exit handlers in the middle of its work.
void Abandon(const Arguments& args, const std::string& dataDir, const kximport::KeptDocument& earlier,
             kximport::RunStage stage) {
  if (stage != kximport::RunStage::After) earlier.Restore();
  gDisplay->Say(kximport::RunInterrupt::Line(stage));
  for (const char* file : {"bestandsdaten.csv", "transaktionsdaten.csv"}) {
    unlink((dataDir + file + ".kxtmp").c_str());
  }
  unlink((args.outputDir + "/KORVALIX.XML.kxtmp").c_str());
  _exit(kExitInterrupted);
}

// Whether the library would go on to the download: the checks it makes before that (the option
// text, the login, a PIN or a terminal to ask for one) keep their own results.
bool ReachesDownload(const Arguments& args) {
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

// Before anything is fetched: a missing settings file is said, and maps the load would refuse
// end the run here.
bool Preflight(const Arguments& args, const std::string& dataDir) {
  if (const std::string missing = kximport::MissingSettingsFile(args.settings); !missing.empty()) {
    std::fprintf(stderr,
                 "Warnung: Einstellungsdatei %s nicht gefunden; der Lauf nimmt die eingebaute "
                 "Beispieladresse.\n",
                 missing.c_str());
  }
  if (dataDir.empty() || !ReachesDownload(args)) return true;
  const std::string fault = kximport::ColumnMapFault(dataDir);
  if (fault.empty()) return true;
  std::fprintf(stderr, "Import nicht begonnen, nichts heruntergeladen:\n%s\n→ %s\n", fault.c_str(),
               CheckCommand(args).c_str());
  return false;
}

// After a successful run: what the load refused and cut (read again with the run's own reader),
// the data report and the summary when asked. Returns the exit status.
int AfterImport(const Arguments& args, const kximport::RunPlaces& places) {
  int status = 0;
  std::vector<kximport::ProviderFileReport> reports;
  try {
    reports = kximport::AnalyzeDataDirectory(places.dataDir, places.importDb);
    if (kximport::PrintDropped(reports, places.dataDir, std::cout) > 0 && args.strict) status = kExitRefused;
    std::cout.flush();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kximport: refused records not counted: %s\n", e.what());
    if (args.strict) status = kExitRefused;  // nobody can say that nothing was refused
  }
  if (args.report && !reports.empty()) {
    const std::string& dataDir = places.dataDir;
    try {
      CreatePrivateFile(dataDir + "data_report.txt");
      std::ofstream text(dataDir + "data_report.txt", std::ios::binary | std::ios::trunc);
      ReportData(reports, SIZE_MAX, text, dataDir + "data_report.json");
      std::printf("Datenbericht: %sdata_report.txt\n", dataDir.c_str());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kximport: no data report: %s\n", e.what());
    }
  }
  if (args.summary) {
    try {
      PrintSummary(args, *gDisplay);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kximport: no summary: %s\n", e.what());
    }
  }
  return status;
}

int Run(const Arguments& args) {
  if (!args.settings.empty()) setenv("VELQORA_REGISTRY", args.settings.c_str(), 1);
  const std::string options = OptionText(args);
  const kximport::RunPlaces places = kximport::PlacesOf(args.settings, args.outputDir);
  if (!Preflight(args, places.dataDir)) return kExitFailed;

  gDisplay = std::make_unique<kximport::ProgressDisplay>(isatty(STDOUT_FILENO) != 0, args.verbose);
  // Before the library and the database client are loaded: their threads inherit the blocked
  // SIGINT.
  const kximport::KeptDocument earlier(args.outputDir + "/KORVALIX.XML");
  kximport::RunInterrupt interrupt(
      [&](kximport::RunStage stage) { Abandon(args, places.dataDir, earlier, stage); });
  const kximport::HostLibrary lib(args.library);
  if (lib.AppVersionCheck(KX_MIN_HOST_VERSION) != 0)
    throw UsageError(
        Say("die Bibliothek lehnt diese Host-Version ab", "the library refuses this host version"));
  if (lib.VersionInfo() != KX_VERSION_INFO)
    throw UsageError(Say("die Bibliothek hat eine andere Schnittstellenversion",
                         "the library has another interface version"));

  gInterrupt = &interrupt;
  lib.RegProgrCallback(&OnProgress);
  const std::string outputDir = ToLibraryText(args.outputDir);
  const std::string advisor = ToLibraryText(args.advisor);
  double lastImport = args.lastImport;
  const int32_t result = lib.ExportXML(outputDir.c_str(), advisor.c_str(), 0, &lastImport,
                                       args.noOptions ? nullptr : options.c_str());
  interrupt.RunEnded();
  lib.RegProgrCallback(nullptr);
  gInterrupt = nullptr;
  gDisplay->Finish(result == 0);

  if (interrupt.Interrupted()) {
    // The watcher may be ending the process with its own line at this moment.
    if (!interrupt.ClaimExit()) {
      for (;;) pause();
    }
    const bool cancelled = result == kx::kDownloadCancelled;
    gDisplay->Say(
        kximport::RunInterrupt::Line(cancelled ? kximport::RunStage::Transfer : kximport::RunStage::After));
    return kExitInterrupted;
  }
  if (result != 0) {
    std::fprintf(stderr, "Import fehlgeschlagen, Ergebnis %d:\n", result);
    for (const std::string& line :
         kximport::FailureLines(result, ResultText(lib, result), gDisplay->Details(), CheckCommand(args))) {
      std::fprintf(stderr, "%s\n", line.c_str());
    }
    return kExitFailed;
  }
  return AfterImport(args, places);
}

}  // namespace

// kximport access-data: the dialog as a host calls it, with the host's three buffers.
int AccessData(int argc, char** argv) {
  std::string library = DefaultLibrary();
  std::string user;
  std::string password;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg != "--user" && arg != "--password" && arg != "--library")
      throw UsageError(Unknown(arg, "kximport access-data --help"));
    if (i + 1 >= argc) throw UsageError(NeedsValue(arg));
    if (arg == "--user") {
      user = ToLibraryText(argv[++i]);
    } else if (arg == "--password") {
      password = ToLibraryText(argv[++i]);
    } else {
      library = argv[++i];
    }
  }
  const kximport::HostLibrary lib(library);
  char userBuffer[KX_USER_NAME_BUFFER_SIZE] = {};
  char passwordBuffer[KX_PASSWORD_BUFFER_SIZE] = {};
  char customBuffer[KX_CUSTOM_DATA_BUFFER_SIZE] = "kximport";
  user.copy(userBuffer, sizeof userBuffer - 1);
  password.copy(passwordBuffer, sizeof passwordBuffer - 1);
  const int32_t result = lib.ApiDataDialog(userBuffer, passwordBuffer, customBuffer);
  std::printf("result %d\nuser \"%s\"\npassword \"%s\"\ncustom data \"%s\"\n", result,
              kx::Cp1252ToUtf8(userBuffer).c_str(), std::string(std::strlen(passwordBuffer), '*').c_str(),
              kx::Cp1252ToUtf8(customBuffer).c_str());
  return 0;
}

// kximport check: the installation, item by item, or with --data the provider files.
int Check(int argc, char** argv) {
  kximport::InstallationCheckOptions options;
  bool data = false;
  std::string dataDir;
  std::string json;
  std::size_t maxPerKind = 10;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--deep") {
      options.deep = true;
      continue;
    }
    if (arg == "--data") {
      data = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') dataDir = argv[++i];
      continue;
    }
    if (arg != "--json" && arg != "--max" && arg != "--settings" && arg != "--output-dir" &&
        arg != "--login" && arg != "--pin-file")
      throw UsageError(Unknown(arg, "kximport check --help"));
    if (i + 1 >= argc) throw UsageError(NeedsValue(arg));
    if (arg == "--json") {
      json = argv[++i];
    } else if (arg == "--max") {
      const std::optional<int32_t> n = kx::ParseInt32(argv[++i]);
      if (!n || *n < 0) throw UsageError(Say("--max braucht eine Zahl", "--max needs a number"));
      maxPerKind = static_cast<std::size_t>(*n);
    } else if (arg == "--settings") {
      options.settings = argv[++i];
    } else if (arg == "--output-dir") {
      options.outputDir = argv[++i];
    } else if (arg == "--login") {
      options.login = ToLibraryText(argv[++i]);
    } else {
      options.pin = ToLibraryText(ReadPinFile(argv[++i]));
    }
  }
  if (options.deep && options.login.empty())
    throw UsageError(Say("check --deep braucht --login ID", "check --deep needs --login ID"));
  if (data) {
    const kximport::RunPlaces places = kximport::PlacesOf(options.settings, options.outputDir);
    // A named folder is a folder; the derived one stays as the run uses it.
    if (!dataDir.empty() && !dataDir.ends_with('/')) dataDir += '/';
    if (dataDir.empty()) dataDir = places.dataDir;
    if (dataDir.empty())
      throw UsageError(Say("check --data braucht DIR, --output-dir oder eine DataDir-Einstellung",
                           "check --data needs DIR, --output-dir or a DataDir setting"));
    ReportData(kximport::AnalyzeDataDirectory(dataDir, places.importDb), maxPerKind, std::cout, json);
    return 0;
  }
  if (const char* pin = std::getenv("KX_PIN"); options.pin.empty() && pin != nullptr)
    options.pin = ToLibraryText(pin);
  kximport::CheckReport report(kximport::LanguageFromEnvironment());
  kximport::CheckInstallation(options, report);
  report.Print(std::cout);
  return report.HasFailures() ? kExitFailed : 0;
}

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const bool sub = command == "access-data" || command == "check";
  const std::string& help = command == "check"         ? kCheckHelp
                            : command == "access-data" ? kAccessDataHelp
                                                       : kHelp;
  if (const std::optional<int> answered =
          kx::tools::AnswerHelpOrVersion(argc, argv, sub ? 2 : 1, "kximport", help))
    return *answered;
  try {
    if (command == "access-data") return AccessData(argc, argv);
    if (command == "check") return Check(argc, argv);
    return Run(ParseArguments(argc, argv));
  } catch (const UsageError& e) {
    std::cerr << "kximport: " << e.what() << "\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "kximport: " << e.what() << "\n";
    return kExitUsage;
  }
}
