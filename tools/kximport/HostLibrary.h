#pragma once

#include <string>

#include "ImpApiKorvalix.h"

namespace kximport {

// The plug-in as a host loads it: dlopen and the exports by name.
class HostLibrary {
 public:
  // Raises std::runtime_error naming the library or the missing export.
  explicit HostLibrary(const std::string& path);
  ~HostLibrary();
  HostLibrary(const HostLibrary&) = delete;
  HostLibrary& operator=(const HostLibrary&) = delete;

  decltype(&::VersionInfo) VersionInfo = nullptr;
  decltype(&::AppVersionCheck) AppVersionCheck = nullptr;
  decltype(&::RegProgrCallback) RegProgrCallback = nullptr;
  decltype(&::ExportXML) ExportXML = nullptr;
  decltype(&::GetExportErrorMsg) GetExportErrorMsg = nullptr;
  decltype(&::ApiDataDialog) ApiDataDialog = nullptr;

  // The message of a result code, converted to UTF-8.
  std::string ErrorText(int32_t code) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace kximport
