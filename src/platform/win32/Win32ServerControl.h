#pragma once

#include "platform/ServerControl.h"
#include "platform/SettingsStore.h"

namespace kx::win32 {

// The InterBase installation through the registry (read only, through the settings store), the
// server's window, the service control manager and process creation.
class Win32ServerControl final : public ServerControl {
 public:
  explicit Win32ServerControl(SettingsStore& settings) : settings_(settings) {}

  bool IsInstalled() override;
  std::string ServerDirectory() override;
  bool ServerAnswers() override;
  bool HasServiceManager() override { return true; }  // every Windows NT has one
  int32_t QueryServiceState(std::string_view service) override;
  void RequestServiceStart(std::string_view service) override;
  uint32_t LaunchProgram(const std::string& exePath, const std::string& workDir) override;

 private:
  SettingsStore& settings_;
};

}  // namespace kx::win32
