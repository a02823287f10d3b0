// A host for the Windows builds of the plug-in, run under Wine: loads ImpApiKorvalix.dll the way
// a host does, calls every export (32 bits: through an assembly probe that measures the stack
// pointer and the callee-saved registers), and checks what each export returns and writes.
//
//   kxhost_win.exe [--dll=PATH] [--datadir=VALUE]
//
// --dll names the library (default: ImpApiKorvalix.dll beside this program). --datadir is the
// DataDir value the test put into the registry; without it the registry holds none. One line per
// check; the exit code is 0 only when every check passed.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ImpApiKorvalix.h"
#include "Printable.h"

#if defined(__i386__)
namespace {

// ---------------------------------------------------------------------------------------------
// The probe: one call with chosen stack words, EAX and callee-saved register values, and what the
// call left behind. Offsets are fixed because kxprobe_win.S reads and writes them.
struct Probe {
  const void* Function;   // 0
  uint32_t EaxIn;         // 4: EAX at the call (the register argument of AppVersionCheck)
  const uint32_t* Words;  // 8: stack words; Words[0] ends nearest the return address
  uint32_t Count;         // 12
  uint32_t EbxIn;         // 16: values the callee must keep
  uint32_t EsiIn;         // 20
  uint32_t EdiIn;         // 24
  uint32_t EaxOut;        // 28: EAX after the call
  uint32_t EspBefore;     // 32: ESP before the words were pushed
  uint32_t EspAfter;      // 36: ESP right after the call returned
  uint32_t EbxOut;        // 40
  uint32_t EsiOut;        // 44
  uint32_t EdiOut;        // 48
  uint32_t EbpOut;        // 52
  uint32_t EbpIn;         // 56: the probe's frame pointer, which the callee must keep too
};
static_assert(offsetof(Probe, EaxIn) == 4 && offsetof(Probe, Count) == 12 && offsetof(Probe, EdiIn) == 24);
static_assert(offsetof(Probe, EaxOut) == 28 && offsetof(Probe, EspAfter) == 36 &&
              offsetof(Probe, EbpIn) == 56);

}  // namespace

// kxprobe_win.S: pushes the words, calls, records, and restores its own frame whatever the callee did.
extern "C" void KxProbeCall(Probe* probe);
#endif

namespace {

// ---------------------------------------------------------------------------------------------
// Reporting

class Report {
 public:
  void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    ++checks_;
    if (!ok) ++failures_;
  }
  int Failures() const { return failures_; }
  int Checks() const { return checks_; }

 private:
  int checks_ = 0;
  int failures_ = 0;
};

std::string Quoted(std::string_view bytes) { return "\"" + Printable(bytes) + "\""; }

// One argument word: 32 bits on i386, a register's 64 on x64.
using Word_t = uintptr_t;
Word_t Word(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }
Word_t Word(int32_t value) { return static_cast<Word_t>(static_cast<uint32_t>(value)); }

constexpr uint32_t kEaxGarbage = 0xEAEAEAEA;

#if defined(__i386__)
// Calls an export with the given stack words and EAX, and checks the part of the contract every
// call shares: the callee removes exactly popBytes bytes from the stack and keeps EBX, ESI, EDI
// and EBP. Returns EAX after the call.
uint32_t CallExport(Report& report, const std::string& what, const void* function,
                    const std::vector<Word_t>& words, uint32_t popBytes, uint32_t eax = kEaxGarbage) {
  static uint32_t salt = 0;
  ++salt;
  Probe probe{};
  probe.Function = function;
  probe.EaxIn = eax;
  probe.Words = words.data();
  probe.Count = static_cast<uint32_t>(words.size());
  probe.EbxIn = 0xB0B00000 | salt;
  probe.EsiIn = 0x51510000 | salt;
  probe.EdiIn = 0xD1D10000 | salt;
  KxProbeCall(&probe);

  const auto pushed = static_cast<int32_t>(4 * words.size());
  const int32_t popped = static_cast<int32_t>(probe.EspAfter - probe.EspBefore) + pushed;
  const bool kept = probe.EbxOut == probe.EbxIn && probe.EsiOut == probe.EsiIn &&
                    probe.EdiOut == probe.EdiIn && probe.EbpOut == probe.EbpIn;
  report.Check(popped == static_cast<int32_t>(popBytes) && kept,
               what + ": callee removed " + std::to_string(popped) + " of " + std::to_string(pushed) +
                   " stack bytes (expected " + std::to_string(popBytes) + "), EBX ESI EDI EBP " +
                   (kept ? "kept" : "CHANGED"));
  return probe.EaxOut;
}
#else
// x64 has one calling convention, which the compiler keeps: the export is called with its words
// in registers (and the stack from the fifth), through a pointer of the matching arity. Every
// argument of the exports fits a register, so widening each to 64 bits passes it unchanged.
uint32_t CallExport(Report&, const std::string&, const void* function, const std::vector<Word_t>& words,
                    uint32_t /*popBytes*/, uint32_t /*eax*/ = kEaxGarbage) {
  using W = Word_t;
  const auto* f = reinterpret_cast<const char*>(function);
  const std::vector<W>& w = words;
  switch (w.size()) {
    case 0:
      return static_cast<uint32_t>(reinterpret_cast<W (*)()>(f)());
    case 1:
      return static_cast<uint32_t>(reinterpret_cast<W (*)(W)>(f)(w[0]));
    case 2:
      return static_cast<uint32_t>(reinterpret_cast<W (*)(W, W)>(f)(w[0], w[1]));
    case 3:
      return static_cast<uint32_t>(reinterpret_cast<W (*)(W, W, W)>(f)(w[0], w[1], w[2]));
    default:
      return static_cast<uint32_t>(reinterpret_cast<W (*)(W, W, W, W, W)>(f)(w[0], w[1], w[2], w[3], w[4]));
  }
}
#endif

int32_t Signed(uint32_t eax) { return static_cast<int32_t>(eax); }

// ---------------------------------------------------------------------------------------------
// The library and its exports

constexpr std::array<const char*, 7> kExportNames = {
    "RegProgrCallback", "GetExportErrorMsg", "ExportXML",      "ImportVersionInfo",
    "VersionInfo",      "ApiDataDialog",     "AppVersionCheck"};  // ordinal = index + 1

enum Ordinal : std::size_t {
  kRegProgrCallback = 1,
  kGetExportErrorMsg,
  kExportXML,
  kImportVersionInfo,
  kVersionInfo,
  kApiDataDialog,
  kAppVersionCheck
};

class Library {
 public:
  explicit Library(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
  ~Library() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

using ExportTable = std::array<const void*, 8>;  // by ordinal; [0] unused

const void* ByName(HMODULE module, const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(module, name));
}

const void* ByOrdinal(HMODULE module, std::size_t ordinal) {
  return reinterpret_cast<const void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
}

// Every export is found by name and by its ordinal, both at the same address.
ExportTable FindExports(Report& report, HMODULE module) {
  ExportTable table{};
  for (std::size_t i = 0; i < kExportNames.size(); ++i) {
    const std::size_t ordinal = i + 1;
    const void* named = ByName(module, kExportNames[i]);
    const void* numbered = ByOrdinal(module, ordinal);
    report.Check(named != nullptr && named == numbered, std::string("export ") + kExportNames[i] +
                                                            " by name and by ordinal " +
                                                            std::to_string(ordinal) +
                                                            (named == nullptr    ? ": name not found"
                                                             : named != numbered ? ": different addresses"
                                                                                 : ""));
    table[ordinal] = named;
  }
  return table;
}

// The export directory holds exactly the seven undecorated names, ordinals 1 to 7.
void CheckExportDirectory(Report& report, HMODULE module) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* nameRvas = reinterpret_cast<const DWORD*>(base + dir->AddressOfNames);

  std::string names;
  bool allKnown = true;
  for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
    const std::string name = reinterpret_cast<const char*>(base + nameRvas[i]);
    names += (i == 0 ? "" : " ") + name;
    bool known = false;
    for (const char* expected : kExportNames) known = known || name == expected;
    allKnown = allKnown && known;
  }
  report.Check(dir->Base == 1 && dir->NumberOfFunctions == 7 && dir->NumberOfNames == 7 && allKnown,
               "export directory: base " + std::to_string(dir->Base) + ", " +
                   std::to_string(dir->NumberOfFunctions) + " functions, names: " + names);
}

// ---------------------------------------------------------------------------------------------
// The progress callback: records what arrives, and on which thread.

struct ProgressLine {
  int32_t Kind;
  int32_t Value;
  std::string Text;
};

struct ProgressRecord {
  std::vector<ProgressLine> Lines;
  DWORD HostThread = 0;
  bool ForeignThread = false;
  bool NullText = false;
};

ProgressRecord& Progress() {
  static ProgressRecord record;
  return record;
}

// The host's side of the callback, of the header's ProgressCallback type (kRecordProgress would
// not compile otherwise): __stdcall, so it removes its 12 argument bytes itself. A library that
// called it as __cdecl would be left 12 bytes off inside; optimised code then crashes (reported by
// ReportCrash) or returns with a stack the probe sees unbalanced.
void KX_CALL RecordProgress(int32_t kind, int32_t value, const char* text) {
  ProgressRecord& record = Progress();
  if (GetCurrentThreadId() != record.HostThread) record.ForeignThread = true;
  if (text == nullptr) record.NullText = true;
  record.Lines.push_back({kind, value, text != nullptr ? text : ""});
}
constexpr ProgressCallback kRecordProgress = &RecordProgress;

std::string Describe(const std::vector<ProgressLine>& lines) {
  if (lines.empty()) return "no lines";
  std::string out;
  for (const ProgressLine& line : lines) {
    out +=
        " (" + std::to_string(line.Kind) + ", " + std::to_string(line.Value) + ", " + Quoted(line.Text) + ")";
  }
  return std::to_string(lines.size()) + " line(s):" + out;
}

// ---------------------------------------------------------------------------------------------
// One function per export

void CheckVersionInfo(Report& report, const ExportTable& exports) {
  const int32_t version = Signed(CallExport(report, "VersionInfo()", exports[kVersionInfo], {}, 0));
  report.Check(version == 40300, "VersionInfo() == 40300 (got " + std::to_string(version) + ")");
}

// 32 bits: the argument travels in EAX. The stack holds a decoy version right where a stack
// argument would be, chosen so that reading it gives the opposite answer; the callee must leave it
// in place. 64 bits: a plain function of one argument.
void CheckAppVersionCheck(Report& report, const ExportTable& exports) {
  struct Case {
    int32_t Version;
    int32_t Decoy;
    int32_t Expected;
  };
  for (const Case& c : {Case{40338, 40400, -1}, Case{40339, 0, 0}, Case{40400, 40338, 0}}) {
#if defined(__i386__)
    const std::string call = "AppVersionCheck(EAX=" + std::to_string(c.Version) + ")";
    const std::vector<Word_t> decoys = {Word(c.Decoy), Word(c.Decoy), 0xDEADBEEF};
    const int32_t result = Signed(CallExport(report, call + " with decoys on the stack",
                                             exports[kAppVersionCheck], decoys, 0, Word(c.Version)));
#else
    const std::string call = "AppVersionCheck(" + std::to_string(c.Version) + ")";
    const int32_t result = Signed(CallExport(report, call, exports[kAppVersionCheck], {Word(c.Version)}, 0));
#endif
    report.Check(result == c.Expected,
                 call + " == " + std::to_string(c.Expected) + " (got " + std::to_string(result) + ")");
  }
}

// Exactly the length byte and the five characters of "2.1.2"; no zero, nothing else.
void CheckImportVersionInfo(Report& report, const ExportTable& exports) {
  std::array<unsigned char, 256> buffer;
  buffer.fill(0xCC);
  CallExport(report, "ImportVersionInfo(buffer)", exports[kImportVersionInfo], {Word(buffer.data())}, 4);
  const std::array<unsigned char, 6> expected = {5, '2', '.', '1', '.', '2'};
  std::size_t changedBeyond = 0;
  for (std::size_t i = expected.size(); i < buffer.size(); ++i) changedBeyond += buffer[i] != 0xCC ? 1 : 0;
  const bool prefixOk = std::memcmp(buffer.data(), expected.data(), expected.size()) == 0;
  const std::string got(reinterpret_cast<const char*>(buffer.data()), expected.size());
  report.Check(prefixOk && changedBeyond == 0,
               "ImportVersionInfo writes \\x05\"2.1.2\" and nothing else (got " + Quoted(got) + ", " +
                   std::to_string(changedBeyond) + " more bytes changed)");
}

// The result and the buffer of one code: the text followed by its zero and the rest untouched, or
// the whole buffer untouched when the code has no text.
void CheckErrorText(Report& report, const ExportTable& exports, int32_t code,
                    std::optional<std::string_view> text) {
  std::array<char, KX_ERROR_TEXT_BUFFER_SIZE> buffer;
  buffer.fill('\xCC');
  const std::string call = "GetExportErrorMsg(" + std::to_string(code) + ")";
  const int32_t result =
      Signed(CallExport(report, call, exports[kGetExportErrorMsg], {Word(code), Word(buffer.data())}, 8));

  std::array<char, KX_ERROR_TEXT_BUFFER_SIZE> expected;
  expected.fill('\xCC');
  if (text) {
    std::memcpy(expected.data(), text->data(), text->size());
    expected[text->size()] = '\0';
  }
  const int32_t expectedResult = text ? 0 : -1;
  std::string got = "got " + std::to_string(result);
  if (buffer != expected) {
    const auto differs = std::mismatch(buffer.begin(), buffer.end(), expected.begin());
    const auto at = static_cast<std::size_t>(differs.first - buffer.begin());
    got += ", buffer differs from byte " + std::to_string(at) +
           " on: " + Quoted({buffer.data() + at, std::min<std::size_t>(buffer.size() - at, 40)});
  }
  report.Check(
      result == expectedResult && buffer == expected,
      call + " == " + std::to_string(expectedResult) +
          (text ? ", text " + Quoted(*text) + " and its zero, nothing beyond" : ", buffer untouched") + " (" +
          got + ")");
}

void CheckGetExportErrorMsg(Report& report, const ExportTable& exports) {
  CheckErrorText(report, exports, -7,
                 "Internet-Fehler: Datei unvollst\xE4ndig \xFC"
                 "bertragen");
  CheckErrorText(report, exports, -11,
                 "Keine KORVALIX-Zugangsdaten erfasst.\r\n"
                 "Erfassen Sie bitte die KORVALIX-Zugangsdaten in der Beraterverwaltung.");
  CheckErrorText(report, exports, -36, std::nullopt);
  CheckErrorText(report, exports, 1, std::nullopt);
}

void Register(Report& report, const ExportTable& exports, ProgressCallback callback,
              const std::string& what) {
  const int32_t result =
      Signed(CallExport(report, "RegProgrCallback(" + what + ")", exports[kRegProgrCallback],
                        {Word(reinterpret_cast<const void*>(callback))}, 4));
  report.Check(result == 0, "RegProgrCallback(" + what + ") == 0 (got " + std::to_string(result) + ")");
}

// One ExportXML call; returns its result and leaves the lines it sent in Progress().Lines.
int32_t RunExportXML(Report& report, const ExportTable& exports, const char* optionText,
                     const std::string& what) {
  static const char kOutputDir[] = "C:\\KX\\xml_temp\\";
  static const char kAdvisorRef[] = "12345";
  static const double kFirstImport = 0.0;
  Progress().Lines.clear();
  const std::vector<Word_t> words = {Word(kOutputDir), Word(kAdvisorRef), Word(0), Word(&kFirstImport),
                                     Word(optionText)};
  return Signed(CallExport(report, "ExportXML(" + what + ")", exports[kExportXML], words, 20));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// With a DataDir value the run's first line names it; without one no line does.
void CheckDataDirLine(Report& report, const std::string& what, const std::optional<std::string>& dataDir) {
  const std::vector<ProgressLine>& lines = Progress().Lines;
  if (dataDir) {
    const std::string expected = "DataDir = " + *dataDir;
    const bool ok = !lines.empty() && lines[0].Kind == KX_PROGRESS_LOG && lines[0].Value == 0 &&
                    lines[0].Text == expected;
    report.Check(ok, what + ": first line (3, 0, " + Quoted(expected) + ") (got " + Describe(lines) + ")");
  } else {
    bool named = false;
    for (const ProgressLine& line : lines) named = named || StartsWith(line.Text, "DataDir = ");
    report.Check(!named, what + ": no \"DataDir = \" line (got " + Describe(lines) + ")");
  }
}

void CheckExportXML(Report& report, const ExportTable& exports, const std::optional<std::string>& dataDir) {
  const std::string noOptions = "null option text";
  int32_t result = RunExportXML(report, exports, nullptr, noOptions);
  report.Check(result == -11, "ExportXML(" + noOptions + ") == -11 (got " + std::to_string(result) + ")");
  CheckDataDirLine(report, "ExportXML(" + noOptions + ")", dataDir);

  const std::string noLogin = "EmbeddedIBServer=TRUE, no UserLogin";
  result = RunExportXML(report, exports, "EmbeddedIBServer=TRUE\r\n", noLogin);
  report.Check(result == -12, "ExportXML(" + noLogin + ") == -12 (got " + std::to_string(result) + ")");
  CheckDataDirLine(report, "ExportXML(" + noLogin + ")", dataDir);

  const ProgressRecord& record = Progress();
  report.Check(!record.ForeignThread && !record.NullText,
               "progress callback called on the host's thread with a text every time");
}

// Once the host unregisters, a run sends nothing.
void CheckUnregistered(Report& report, const ExportTable& exports) {
  Register(report, exports, nullptr, "null");
  const int32_t result = RunExportXML(report, exports, nullptr, "null option text, callback unregistered");
  report.Check(result == -11 && Progress().Lines.empty(),
               "ExportXML after unregistering == -11 and sends nothing (got " + std::to_string(result) +
                   ", " + Describe(Progress().Lines) + ")");
}

// ---------------------------------------------------------------------------------------------

struct Arguments {
  std::string DllPath;
  std::optional<std::string> DataDir;
  bool Ok = true;
};

std::string BesideThisProgram(const char* fileName) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, length);
  const std::size_t slash = dir.find_last_of("\\/");
  dir.resize(slash == std::string::npos ? 0 : slash + 1);
  return dir + fileName;
}

Arguments ParseArguments(int argc, char** argv) {
  Arguments args;
  args.DllPath = BesideThisProgram("ImpApiKorvalix.dll");
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (StartsWith(arg, "--dll=")) {
      args.DllPath = std::string(arg.substr(6));
    } else if (StartsWith(arg, "--datadir=")) {
      args.DataDir = std::string(arg.substr(10));
    } else {
      std::fprintf(stderr, "unknown argument: %s\nusage: kxhost_win.exe [--dll=PATH] [--datadir=VALUE]\n",
                   argv[i]);
      args.Ok = false;
    }
  }
  return args;
}

// A fault inside the library (a broken calling convention usually ends in one) becomes a failed
// check and exit code 3, without Wine's debugger and without running the library's teardown.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  std::printf("FAIL crashed: exception 0x%08lX at address %p\n", info->ExceptionRecord->ExceptionCode,
              info->ExceptionRecord->ExceptionAddress);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments args = ParseArguments(argc, argv);
  if (!args.Ok) return 2;
  Progress().HostThread = GetCurrentThreadId();
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(&ReportCrash);

  Report report;
  {
    const Library library(args.DllPath);
    const DWORD loadError = library.Get() == nullptr ? GetLastError() : 0;
    report.Check(library.Get() != nullptr,
                 "LoadLibraryA(" + Quoted(args.DllPath) + ")" +
                     (loadError != 0 ? " failed, error " + std::to_string(loadError) : ""));
    if (library.Get() == nullptr) return 1;

    CheckExportDirectory(report, library.Get());
    const ExportTable exports = FindExports(report, library.Get());
    if (std::find(exports.begin() + 1, exports.end(), nullptr) != exports.end()) return 1;

    CheckVersionInfo(report, exports);
    CheckAppVersionCheck(report, exports);
    CheckImportVersionInfo(report, exports);
    CheckGetExportErrorMsg(report, exports);
    Register(report, exports, kRecordProgress, "recorder");
    CheckExportXML(report, exports, args.DataDir);
    CheckUnregistered(report, exports);
  }  // FreeLibrary: the library's teardown runs before the summary is printed
  std::printf("%d checks, %d failed\n", report.Checks(), report.Failures());
  return report.Failures() == 0 ? 0 : 1;
}
