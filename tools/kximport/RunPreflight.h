#pragma once

#include <string>

#include "kximport/RunArguments.h"

namespace kximport {

// Checks made before the library is called, so that a run that cannot succeed downloads nothing.

// The settings file a run reads: settingsOption, else VELQORA_REGISTRY, else the installed
// default; named says which of the first two named it ("" for the default).
struct SettingsFile {
  std::string path;
  std::string named;
};
SettingsFile SettingsFileOf(const std::string& settingsOption);

// The first reason why the data directory's column maps would fail the load, by the load's own
// rules (each map present and not empty, every entry a staging column with a whole-number
// position), or "" when they pass. Texts in UTF-8.
std::string ColumnMapFault(const std::string& dataDir);

// Before anything is fetched: a settings file that --settings or VELQORA_REGISTRY names and that
// does not exist raises UsageError; a missing default file, and a value that stops the library's
// reading of the settings, are said (the run then takes the built-in example address); an output
// folder the document cannot be written to and maps the load would refuse end the run here with
// the fault and checkCommand. False when the run must not begin.
// Why the document could not be written into outputDir (missing, no folder, not writable: a
// file is created there, written and removed), or "" when it can. Texts in UTF-8.
std::string OutputFolderFault(const std::string& outputDir);

// Whether the process has a terminal, where the library asks for a PIN that no option gives.
bool TerminalOpens();
// Whether the library asks for this run's PIN at the terminal.
bool PinAskedAtTerminal(const RunArguments& args);

bool Preflight(const RunArguments& args, const std::string& dataDir, const std::string& checkCommand);

}  // namespace kximport
