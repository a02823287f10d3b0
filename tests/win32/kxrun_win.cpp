// A host that makes one import run with the Windows build, for the tests under Wine: loads
// ImpApiKorvalix.dll, registers a progress callback that records every line, and calls ExportXML.
//
//   kxrun_win.exe --dll=PATH --output=DIR --advisor=REF --last-import=VALUE [--memory] [NAME=VALUE...]
//
// Every NAME=VALUE argument becomes one line of the option text, each ended by CR LF. Prints
//
//   line KIND VALUE TEXT     one per callback, in the order they came
//   result=CODE
//   peak-working-set=BYTES   with --memory: the process's peak working set after the run
//
// TEXT is the line's Windows-1252 bytes with CR, LF and backslash written as \r, \n and \\ and
// every other byte outside 32..126 as \xHH. Exit code 0 when the run was made (whatever its
// result), 1 when the library or an export cannot be found, 2 for a wrong command line, 3 when
// the run crashed.
#include <windows.h>
// GetProcessMemoryInfo from kernel32 (K32GetProcessMemoryInfo), without linking psapi.
#define PSAPI_VERSION 2
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ImpApiKorvalix.h"
#include "Printable.h"

namespace {

// Printed as they arrive, so a run that crashes still shows how far it came.
void KX_CALL PrintLine(int32_t kind, int32_t value, const char* text) {
  std::printf("line %ld %ld %s\n", static_cast<long>(kind), static_cast<long>(value),
              text != nullptr ? Printable(text).c_str() : "(null)");
  std::fflush(stdout);
}
constexpr ProgressCallback kPrintLine = &PrintLine;

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

// The export's own declaration gives the pointer type, calling convention included.
template <typename Function>
Function* Find(HMODULE module, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Arguments {
  std::string Dll;
  std::string OutputDir;
  std::string AdvisorRef;
  double LastImport = 0.0;
  std::string OptionText;
  bool Memory = false;
  bool Ok = true;
};

Arguments Parse(int argc, char** argv) {
  Arguments args;
  std::string lastImport;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto take = [&](std::string_view prefix, std::string& into) {
      if (!arg.starts_with(prefix)) return false;
      into = std::string(arg.substr(prefix.size()));
      return true;
    };
    if (take("--dll=", args.Dll) || take("--output=", args.OutputDir) ||
        take("--advisor=", args.AdvisorRef) || take("--last-import=", lastImport)) {
      continue;
    }
    if (arg == "--memory") {
      args.Memory = true;
      continue;
    }
    if (!arg.starts_with("--") && arg.find('=') != std::string_view::npos) {
      args.OptionText += std::string(arg) + "\r\n";
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
      args.Ok = false;
    }
  }
  if (args.Dll.empty() || args.OutputDir.empty() || lastImport.empty()) {
    std::fprintf(stderr,
                 "usage: kxrun_win.exe --dll=PATH --output=DIR --advisor=REF --last-import=VALUE "
                 "[NAME=VALUE...]\n");
    args.Ok = false;
  }
  args.LastImport = std::strtod(lastImport.c_str(), nullptr);
  return args;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  std::printf("crashed: exception 0x%08lX at address %p\n", info->ExceptionRecord->ExceptionCode,
              info->ExceptionRecord->ExceptionAddress);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments args = Parse(argc, argv);
  if (!args.Ok) return 2;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(&ReportCrash);

  const Library library(args.Dll);
  if (library.Get() == nullptr) {
    std::fprintf(stderr, "LoadLibraryA(%s) failed, error %lu\n", args.Dll.c_str(), GetLastError());
    return 1;
  }
  auto* regProgrCallback = Find<decltype(RegProgrCallback)>(library.Get(), "RegProgrCallback");
  auto* exportXml = Find<decltype(ExportXML)>(library.Get(), "ExportXML");
  if (regProgrCallback == nullptr || exportXml == nullptr) {
    std::fprintf(stderr, "RegProgrCallback or ExportXML not exported\n");
    return 1;
  }
  regProgrCallback(kPrintLine);
  const int32_t result = exportXml(args.OutputDir.c_str(), args.AdvisorRef.c_str(), 0, &args.LastImport,
                                   args.OptionText.c_str());
  std::printf("result=%ld\n", static_cast<long>(result));
  PROCESS_MEMORY_COUNTERS memory{};
  if (args.Memory && GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
    std::printf("peak-working-set=%lu\n", static_cast<unsigned long>(memory.PeakWorkingSetSize));
  }
  std::fflush(stdout);
  return 0;
}
