#pragma once

#include <string>
#include <vector>

#include "kximport/CheckReport.h"
#include "kximport/DataReport.h"

namespace kximport {

struct InstallationCheckOptions {
  std::string settings;   // the settings file; empty: VELQORA_REGISTRY or the default path
  std::string outputDir;  // the host's folder for the document; leads to the data directory
  bool deep = false;      // also one holdings request with the access data below
  std::string login;      // Windows-1252
  std::string pin;
};

// Checks an installation the way a run would use it, item by item: the settings file and its
// values, the data directory, the column maps, the staging database, and the provider's address
// with the proxy and CA file in use; with deep also the provider's answer to one request.
// Nothing is written anywhere.
void CheckInstallation(const InstallationCheckOptions& options, CheckReport& report);

// What a run with these settings and this host folder uses: its data directory ("" when neither
// says) and the ImportDB setting ("" when none). The settings file is read once.
struct RunPlaces {
  std::string dataDir;
  std::string importDb;
};
RunPlaces PlacesOf(const std::string& settings, const std::string& outputDir);

// The two provider files of a data directory, read with its column maps and the staging
// database's column types as the import reads them. Raises std::exception when a map, a file or
// the database cannot be used.
std::vector<ProviderFileReport> AnalyzeDataDirectory(const std::string& dataDir, const std::string& importDb);

}  // namespace kximport
