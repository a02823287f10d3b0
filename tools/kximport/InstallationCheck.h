#pragma once

#include <string>

#include "kximport/CheckReport.h"

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

}  // namespace kximport
