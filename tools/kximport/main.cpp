// kximport: a command-line host for the import plug-in on Linux. It loads the library the way
// the host application does (dlopen, the exports by name), performs the handshake, shows the
// progress messages and runs one import with ExportXML; "check" looks at an installation and
// "access-data" shows the library's access-data dialog.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "CommandLine.h"
#include "Language.h"
#include "kximport/CheckReport.h"
#include "kximport/DataReport.h"
#include "kximport/HelpTexts.h"
#include "kximport/HostLibrary.h"
#include "kximport/ImportRun.h"
#include "kximport/InstallationCheck.h"
#include "kximport/RunArguments.h"
#include "kximport/RunPreflight.h"
#include "util/Cp1252.h"
#include "util/WholeNumber.h"

namespace {

using kx::tools::Say;
using kximport::UsageError;

// kximport access-data: the dialog as a host calls it, with the host's three buffers.
int AccessData(int argc, char** argv) {
  std::string library = kximport::DefaultLibrary();
  std::string user;
  std::string password;
  kximport::OptionsSeen seen;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg != "--user" && arg != "--password" && arg != "--library")
      throw UsageError(kximport::Unknown(arg, "kximport access-data --help"));
    seen.Take(arg);
    const std::string value = kximport::ValueAfter(argc, argv, i);
    if (arg == "--user") {
      user = kximport::ToLibraryText(value);
    } else if (arg == "--password") {
      password = kximport::ToLibraryText(value);
    } else {
      library = value;
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

// check --data: the provider files of a data directory, read as the load reads them.
int CheckData(const kximport::InstallationCheckOptions& options, std::string dataDir, std::size_t maxPerKind,
              const std::string& json) {
  const kximport::RunPlaces places = kximport::PlacesOf(options.settings, options.outputDir);
  // A named folder is a folder; the derived one stays as the run uses it.
  if (!dataDir.empty() && !dataDir.ends_with('/')) dataDir += '/';
  if (dataDir.empty()) dataDir = places.dataDir;
  if (dataDir.empty())
    throw UsageError(Say("check --data braucht DIR, --output-dir oder eine DataDir-Einstellung",
                         "check --data needs DIR, --output-dir or a DataDir setting"));
  std::vector<kximport::ProviderFileReport> reports;
  try {
    reports = kximport::AnalyzeDataDirectory(dataDir, places.importDb);
  } catch (const std::exception& e) {
    // Where the names came from: the settings file that was read, or that is missing.
    const kximport::SettingsFile settings = kximport::SettingsFileOf(options.settings);
    std::error_code error;
    std::cerr << "kximport: " << e.what() << "\n  "
              << (std::filesystem::exists(settings.path, error)
                      ? Say("Einstellungen aus ", "settings from ") + settings.path
                      : Say("keine Einstellungsdatei (" + settings.path +
                                " fehlt); --settings DATEI nennt sie",
                            "no settings file (" + settings.path + " is missing); --settings FILE names it"))
              << "\n";
    return kximport::kExitFailed;
  }
  kximport::WriteDataReport(reports, maxPerKind, std::cout, json);
  return 0;
}

// kximport check: the installation, item by item, or with --data the provider files.
int Check(int argc, char** argv) {
  kximport::InstallationCheckOptions options;
  bool data = false;
  std::string dataDir;
  std::string json;
  std::size_t maxPerKind = 10;
  kximport::OptionsSeen seen;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    seen.Take(arg);
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
      throw UsageError(kximport::Unknown(arg, "kximport check --help"));
    const std::string value = kximport::ValueAfter(argc, argv, i);
    if (arg == "--json") {
      json = value;
    } else if (arg == "--max") {
      const std::optional<int32_t> n = kx::ParseInt32(value);
      if (!n || *n < 0) throw UsageError(Say("--max braucht eine Zahl", "--max needs a number"));
      maxPerKind = static_cast<std::size_t>(*n);
    } else if (arg == "--settings") {
      options.settings = value;
    } else if (arg == "--output-dir") {
      options.outputDir = value;
    } else if (arg == "--login") {
      options.login = kximport::ToLibraryText(value);
    } else {
      options.pin = kximport::ToLibraryText(kximport::ReadPinFile(value));
    }
  }
  if (options.deep && options.login.empty())
    throw UsageError(Say("check --deep braucht --login ID", "check --deep needs --login ID"));
  if (data) return CheckData(options, dataDir, maxPerKind, json);
  if (const char* pin = std::getenv("KX_PIN"); options.pin.empty() && pin != nullptr)
    options.pin = kximport::ToLibraryText(pin);
  kximport::CheckReport report(kx::tools::LanguageFromEnvironment());
  kximport::CheckInstallation(options, report);
  report.Print(std::cout);
  return report.HasFailures() ? kximport::kExitFailed : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const bool sub = command == "access-data" || command == "check";
  const std::string help = command == "check"         ? kximport::CheckHelp()
                           : command == "access-data" ? kximport::AccessDataHelp()
                                                      : kximport::RunHelp();
  if (const std::optional<int> answered =
          kx::tools::AnswerHelpOrVersion(argc, argv, sub ? 2 : 1, "kximport", help))
    return *answered;
  try {
    if (command == "access-data") return AccessData(argc, argv);
    if (command == "check") return Check(argc, argv);
    return kximport::RunImport(kximport::ParseRunArguments(argc, argv));
  } catch (const std::exception& e) {
    std::cerr << "kximport: " << e.what() << "\n";
    return kximport::kExitUsage;
  }
}
