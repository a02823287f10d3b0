#include "kximport/RunArguments.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "Language.h"
#include "util/Cp1252.h"

namespace kximport {
namespace {

using kx::tools::Say;

std::string ExecutableDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  const std::string text(path, static_cast<std::size_t>(n));
  return text.substr(0, text.rfind('/'));
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

double LastImportOf(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0')
    throw UsageError(Say("--last-import braucht eine Zahl, nicht '" + text + "'",
                         "--last-import needs a number, not '" + text + "'"));
  return value;
}

// The options that only switch something on.
bool TakeFlag(const std::string& arg, RunArguments& args) {
  if (arg == "--embedded-server") {
    args.optionLines.emplace_back("EmbeddedIBServer=TRUE");
  } else if (arg == "--no-message-boxes") {
    args.optionLines.emplace_back("NoMessageBoxes=TRUE");
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
    return false;
  }
  return true;
}

// The options with a value (TakesValue).
void TakeValue(const std::string& arg, const std::string& value, RunArguments& args) {
  if (arg == "--output-dir") {
    args.outputDir = value;
  } else if (arg == "--advisor") {
    args.advisor = value;
  } else if (arg == "--library") {
    args.library = value;
  } else if (arg == "--settings") {
    args.settings = value;
  } else if (arg == "--continue-from") {
    args.continueFrom = value;
  } else if (arg == "--last-import") {
    args.lastImport = LastImportOf(value);
  } else if (arg == "--login") {
    args.optionLines.push_back("UserLogin=" + ToLibraryText(value));
  } else if (arg == "--pin") {
    args.pin = ToLibraryText(value);
  } else if (arg == "--pin-file") {
    args.pin = ToLibraryText(ReadPinFile(value));
  } else if (arg == "--option") {
    if (value.find('=') == std::string::npos)
      throw UsageError(Say("--option braucht NAME=WERT, nicht '" + value + "'",
                           "--option needs NAME=VALUE, not '" + value + "'"));
    args.optionLines.push_back(ToLibraryText(value));
  } else {  // --options-file
    args.fileLines = ReadOptionsFile(value);
  }
}

bool TakesValue(const std::string& arg) {
  for (const char* name : {"--output-dir", "--advisor", "--library", "--settings", "--continue-from",
                           "--last-import", "--login", "--pin", "--pin-file", "--option", "--options-file"}) {
    if (arg == name) return true;
  }
  return false;
}

}  // namespace

std::string NeedsValue(const std::string& arg) {
  return Say(arg + " braucht einen Wert", arg + " needs a value");
}

std::string Unknown(const std::string& arg, const std::string& help) {
  return Say("unbekanntes Argument '" + arg + "' (siehe " + help + ")",
             "unknown argument '" + arg + "' (see " + help + ")");
}

std::string ValueAfter(int argc, char** argv, int& i) {
  const std::string arg = argv[i];
  if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("--")) throw UsageError(NeedsValue(arg));
  return argv[++i];
}

void OptionsSeen::Take(const std::string& arg) {
  if (arg == "--option") return;
  const std::string key = arg == "--pin-file" ? "--pin" : arg;
  for (const std::string& earlier : seen_) {
    if (earlier == key) {
      const std::string what = key == "--pin" ? "--pin/--pin-file" : arg;
      throw UsageError(Say(what + " ist mehr als einmal angegeben", what + " is given more than once"));
    }
  }
  seen_.push_back(key);
}

std::string DefaultLibrary() {
  std::string beside = ExecutableDir() + "/libImpApiKorvalix.so";
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return ExecutableDir() + "/../lib/impapikorvalix/libImpApiKorvalix.so";
}

std::string ToLibraryText(const std::string& text) {
  const std::string converted = kx::Utf8ToCp1252(text);
  return kx::Cp1252ToUtf8(converted) == text ? converted : text;
}

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

RunArguments ParseRunArguments(int argc, char** argv) {
  RunArguments args;
  OptionsSeen seen;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!TakesValue(arg) && !TakeFlag(arg, args)) throw UsageError(Unknown(arg, "kximport --help"));
    seen.Take(arg);
    if (TakesValue(arg)) TakeValue(arg, ValueAfter(argc, argv, i), args);
  }
  if (args.outputDir.empty())
    throw UsageError(Say("--output-dir fehlt (siehe --help)", "--output-dir is required (see --help)"));
  if (args.library.empty()) args.library = DefaultLibrary();
  if (const char* pin = std::getenv("KX_PIN"); args.pin.empty() && pin != nullptr)
    args.pin = ToLibraryText(pin);
  if (!args.pin.empty()) args.optionLines.push_back("Password=" + args.pin);
  return args;
}

}  // namespace kximport
