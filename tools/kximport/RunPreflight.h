#pragma once

#include <string>

#include "kximport/RunArguments.h"

namespace kximport {

// Checks made before the library is called, so that a run that cannot succeed downloads nothing.

// The settings file a run reads (settingsOption, else VELQORA_REGISTRY, else the installed
// default) when it does not exist: the run would take the built-in example address. "" when it
// exists.
std::string MissingSettingsFile(const std::string& settingsOption);

// The first reason why the data directory's column maps would fail the load, by the load's own
// rules (each map present and not empty, every entry a staging column with a whole-number
// position), or "" when they pass. Texts in UTF-8.
std::string ColumnMapFault(const std::string& dataDir);

// Before anything is fetched: a missing settings file is said (a warning), and maps the load would
// refuse end the run here with the fault and checkCommand. False when the run must not begin.
bool Preflight(const RunArguments& args, const std::string& dataDir, const std::string& checkCommand);

}  // namespace kximport
