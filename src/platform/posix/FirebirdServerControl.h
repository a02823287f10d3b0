#pragma once

#include <string>

#include "platform/ServerControl.h"
#include "platform/SettingsStore.h"

namespace kx::posix {

// The Firebird server of this machine as the server start sees it:
// - installed: its program (setting "FirebirdServer", default /usr/sbin/firebird) or its service
//   (setting "FirebirdService", default firebird3.0: a systemd unit or an init script) is there;
// - running: a connection to its port on 127.0.0.1 is accepted (the port of the ImportDB
//   setting's "host/port:" form, else 3050);
// - started: through systemctl where systemd runs, else the service's init script, run directly
//   with fixed arguments (no shell). There is no guardian service of its own.
class FirebirdServerControl final : public ServerControl {
 public:
  explicit FirebirdServerControl(SettingsStore& settings) : settings_(settings) {}

  bool IsInstalled() override;
  std::string ServerDirectory() override { return std::string(); }
  bool ServerAnswers() override;
  bool HasServiceManager() override { return true; }
  int32_t QueryServiceState(std::string_view service) override;
  void RequestServiceStart(std::string_view service) override;
  uint32_t LaunchProgram(const std::string&, const std::string&) override { return 0; }

  // The server's port in a database name: "host/port:path" gives port, anything else 3050.
  static int PortOf(std::string_view databaseName);

 private:
  std::string Setting(std::string_view name, std::string_view fallback);
  std::string ServiceName();

  SettingsStore& settings_;
};

}  // namespace kx::posix
