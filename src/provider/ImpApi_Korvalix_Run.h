#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "provider/ImpApi_Korvalix.h"
#include "staging/GenerateImportArgs.h"
#include "util/DateTime.h"
#include "util/ProgressSink.h"

namespace kx {

// Makes sure the local database server runs: empty text when it does, else the message to show.
class ServerStarter {
 public:
  virtual ~ServerStarter() = default;
  virtual std::string StartInterBaseServer() = 0;
};

// Fetches one provider file into dataDir + fileName: 0, or a download or provider result code.
class ProviderFileFetcher {
 public:
  virtual ~ProviderFileFetcher() = default;
  virtual int32_t FetchProviderFile(std::string_view url, std::string_view fileName,
                                    std::string_view plainCopy, std::string_view dataDir) = 0;
};

// Loads the provider files into the staging database and writes the import document: 0, or -28
// when a first import delivered no customer; every other failure is raised.
class ImportGenerator {
 public:
  virtual ~ImportGenerator() = default;
  virtual int32_t GenerateImport(const GenerateImportArgs& args) = 0;
};

// Everything one run talks to.
struct RunServices {
  ProviderValues& Values;
  ProgressSink& Progress;
  SettingsStore& Settings;
  UserInterface& Ui;
  SystemClock& Clock;
  DesCbc& Des;
  ServerStarter& Server;
  ProviderFileFetcher& Fetcher;
  ImportGenerator& Generator;
  FileLocker& Locks;
};

// The host's five arguments of ExportXML.
struct RunArguments {
  const char* OutputDir;
  const char* AdvisorRef;
  int32_t Reserved;
  const double* LastImport;
  const char* OptionText;
};

// The values the run derives from the host's option text.
struct RunInputs {
  bool EmbeddedServer = false;
  bool NoMessageBoxes = false;
  // A tool's switch, never a host's: the earlier document stays until the new one replaces it.
  bool KeepEarlierDocument = false;
  std::string Login;
  std::string Pin;
  std::string StartId1;
  std::string StartId2;
};

// Reads the host's option text (not null); public for the fuzz target.
RunInputs ReadRunOptions(const char* optionText);

// The data directory when the DataDir setting is empty: outputDir without its first "xml_temp"
// (case ignored), followed by "KORVALIX" and the path delimiter.
std::string DefaultDataDir(std::string_view outputDir);

// The lock file in the data directory that one run holds from before its first provider file
// until its document is written: two runs on one data directory would overwrite each other's
// provider files and write one advisor's customers under the other's reference.
inline constexpr std::string_view kImportLockFile = "import.lock";

// The data directory of a run: the DataDir setting as it stands (a prefix of the file names, no
// delimiter added), or DefaultDataDir(outputDir) when the setting is empty. kximport check shows
// this same text, so what it reports is what the run writes to.
std::string RunDataDir(std::string_view dataDirSetting, std::string_view outputDir);

// One import run: settings, options, server, login, PIN, the data directory's lock, notice, both
// requests, generation.
int32_t RunImportWith(RunServices& services, const RunArguments& args);

}  // namespace kx
