// kximport: a command-line host for the import plug-in on Linux. It loads the library the way
// the host application does (dlopen, the seven exports by name), performs the handshake,
// prints the progress messages and runs one import with ExportXML.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ImpApiKorvalix.h"
#include "frame/Cp1252.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage = R"(Usage: kximport --output-dir DIR [options]

Runs one import through the plug-in library and writes the import file into DIR.

Options:
  --output-dir DIR        the host's directory for the import file (required)
  --advisor REF           the advisor reference of this import (default: empty)
  --last-import VALUE     the host's previous-import value; 0 (the default) is a first import
  --option NAME=VALUE     one line of the option text; may be repeated, e.g.
                          --option UserLogin=12345 --option Password=4711
  --options-file FILE     the option text from a file (lines NAME=VALUE), before any --option
  --no-options            pass no option text at all (the library then answers -11)
  --library PATH          the plug-in library (default: libImpApiKorvalix.so beside kximport)
  --help                  this text

Texts are converted between the terminal's UTF-8 and the library's Windows-1252 here.
Status lines (and the percentage reached) go to standard output, log lines too; error lines
and the final message go to standard error.

Exit status: 0 when the import succeeded, 1 when it failed (the result code and its message
are printed), 2 for a wrong command line or a library that cannot be loaded.

Example:
  kximport --output-dir /srv/host/xml_temp --advisor BR-77 \
           --option EmbeddedIBServer=TRUE --option UserLogin=12345 --option Password=4711
)";

struct Arguments {
  std::string library;
  std::string outputDir;
  std::string advisor;
  double lastImport = 0.0;
  std::vector<std::string> optionLines;
  bool noOptions = false;
};

struct Library {
  void* handle = nullptr;
  decltype(&::VersionInfo) VersionInfo = nullptr;
  decltype(&::AppVersionCheck) AppVersionCheck = nullptr;
  decltype(&::RegProgrCallback) RegProgrCallback = nullptr;
  decltype(&::ExportXML) ExportXML = nullptr;
  decltype(&::GetExportErrorMsg) GetExportErrorMsg = nullptr;
};

std::string ExecutableDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string text(path, static_cast<std::size_t>(n));
  return text.substr(0, text.rfind('/'));
}

// Text the user typed (UTF-8) as the library's Windows-1252; bytes that are not UTF-8 already
// are taken as Windows-1252.
std::string ToLibraryText(const std::string& text) {
  const std::string converted = kx::Utf8ToCp1252(text);
  return kx::Cp1252ToUtf8(converted) == text ? converted : text;
}

bool ReadOptionsFile(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(ToLibraryText(line));
  }
  return true;
}

// Parses the command line; prints the reason and returns false when it is wrong.
bool ParseArguments(int argc, char** argv, Arguments& args) {
  std::vector<std::string> fileLines;
  std::vector<std::string> optionLines;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](std::string& target) {
      if (i + 1 >= argc) {
        std::cerr << "kximport: " << arg << " needs a value\n";
        return false;
      }
      target = argv[++i];
      return true;
    };
    std::string value;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--output-dir") {
      if (!next(args.outputDir)) return false;
    } else if (arg == "--advisor") {
      if (!next(args.advisor)) return false;
    } else if (arg == "--library") {
      if (!next(args.library)) return false;
    } else if (arg == "--last-import") {
      if (!next(value)) return false;
      char* end = nullptr;
      args.lastImport = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0') {
        std::cerr << "kximport: --last-import needs a number, not '" << value << "'\n";
        return false;
      }
    } else if (arg == "--option") {
      if (!next(value)) return false;
      if (value.find('=') == std::string::npos) {
        std::cerr << "kximport: --option needs NAME=VALUE, not '" << value << "'\n";
        return false;
      }
      optionLines.push_back(ToLibraryText(value));
    } else if (arg == "--options-file") {
      if (!next(value)) return false;
      if (!ReadOptionsFile(value, fileLines)) {
        std::cerr << "kximport: cannot read options file " << value << "\n";
        return false;
      }
    } else if (arg == "--no-options") {
      args.noOptions = true;
    } else {
      std::cerr << "kximport: unknown argument '" << arg << "' (see --help)\n";
      return false;
    }
  }
  if (args.outputDir.empty()) {
    std::cerr << "kximport: --output-dir is required (see --help)\n";
    return false;
  }
  if (args.library.empty()) args.library = ExecutableDir() + "/libImpApiKorvalix.so";
  args.optionLines = fileLines;
  args.optionLines.insert(args.optionLines.end(), optionLines.begin(), optionLines.end());
  return true;
}

bool LoadLibrary(const std::string& path, Library& lib) {
  lib.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle == nullptr) {
    std::cerr << "kximport: cannot load " << path << ": " << dlerror() << "\n";
    return false;
  }
  bool ok = true;
  auto find = [&](auto& target, const char* name) {
    target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(dlsym(lib.handle, name));
    if (target == nullptr) {
      std::cerr << "kximport: " << path << " has no export " << name << "\n";
      ok = false;
    }
  };
  find(lib.VersionInfo, "VersionInfo");
  find(lib.AppVersionCheck, "AppVersionCheck");
  find(lib.RegProgrCallback, "RegProgrCallback");
  find(lib.ExportXML, "ExportXML");
  find(lib.GetExportErrorMsg, "GetExportErrorMsg");
  return ok;
}

int gLastPercent = 0;

void KX_CALL PrintProgress(int32_t kind, int32_t value, const char* text) {
  const std::string shown = kx::Cp1252ToUtf8(text);
  switch (kind) {
    case KX_PROGRESS_STATUS:
      if (value > 0) gLastPercent = value;
      std::printf("[%3d%%] %s\n", gLastPercent, shown.c_str());
      break;
    case KX_PROGRESS_POSITION:
      gLastPercent = value;
      break;
    case KX_PROGRESS_LOG:
      std::printf("       %s\n", shown.c_str());
      break;
    default:
      std::fflush(stdout);
      std::fprintf(stderr, "Fehler: %s\n", shown.c_str());
      break;
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, args)) return kExitUsage;
  Library lib;
  if (!LoadLibrary(args.library, lib)) return kExitUsage;

  const int32_t version = lib.VersionInfo();
  if (lib.AppVersionCheck(KX_MIN_HOST_VERSION) != 0) {
    std::cerr << "kximport: the library refuses this host version\n";
    return kExitUsage;
  }
  std::printf("Plug-in interface version %d\n", version);
  lib.RegProgrCallback(&PrintProgress);

  std::string options;
  for (const std::string& line : args.optionLines) options += line + "\r\n";
  const std::string outputDir = ToLibraryText(args.outputDir);
  const std::string advisor = ToLibraryText(args.advisor);
  const int32_t result = lib.ExportXML(outputDir.c_str(), advisor.c_str(), 0, &args.lastImport,
                                       args.noOptions ? nullptr : options.c_str());
  lib.RegProgrCallback(nullptr);

  if (result == 0) {
    std::printf("[100%%] Import abgeschlossen.\n");
    return 0;
  }
  char message[KX_ERROR_TEXT_BUFFER_SIZE];
  const std::string text =
      lib.GetExportErrorMsg(result, message) == 0 ? kx::Cp1252ToUtf8(message) : "(kein Meldungstext)";
  std::fprintf(stderr, "Import fehlgeschlagen, Ergebnis %d:\n%s\n", result, text.c_str());
  return kExitFailed;
}
