#pragma once

#include <cstdint>
#include <string>

#include "staging/EarlierDocument.h"
#include "util/DateTime.h"

namespace kx {

// What one run hands the component container: where the files are, which database, what to write.
struct GenerateImportArgs {
  std::string DataDir;
  bool ClearReimport = false;
  std::string ImportDb;
  DateTime ImportDate = 0;
  double LastImport = 0;
  std::string OutputDir;
  std::string AdvisorRef;
  // How long the run waits for a staging database that another import holds: the Timeout setting.
  int32_t WaitSeconds = 300;
  EarlierDocument Earlier = EarlierDocument::Removed;
  // DebugMode: a log line names the database client's file, so that one can see which was loaded.
  bool NameClientFile = false;
};

}  // namespace kx
