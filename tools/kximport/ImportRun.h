#pragma once

#include "kximport/RunArguments.h"

namespace kximport {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;        // --strict: the import refused records
constexpr int kExitInterrupted = 130;  // Ctrl+C, as a shell reports a process that SIGINT ended

// One import as a host runs it: the checks before it, the library loaded and called with the
// progress shown, Ctrl+C taken at any moment, and what the run dropped (and with --report,
// --summary what was asked) after it. Returns the exit status; raises UsageError for a library
// that cannot be used and std::exception for a previous document that cannot be read.
int RunImport(const RunArguments& args);

}  // namespace kximport
