#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// The service states the server start tells apart (the service manager's values).
inline constexpr int32_t kServiceStopped = 1;
inline constexpr int32_t kServiceRunning = 4;

// What the start of the local database server asks of the platform. On Windows: the InterBase
// installation key, the server's window, the service control manager and process creation. On
// POSIX the same answers come from the Firebird installation, a connection to the server's port
// and the system's service manager.
class ServerControl {
 public:
  virtual ~ServerControl() = default;

  // Whether the database system is installed at all.
  virtual bool IsInstalled() = 0;
  // The server's program directory (Windows: "ServerDirectory"); empty when unknown.
  virtual std::string ServerDirectory() = 0;
  // Whether the running server itself can be seen (Windows: its top-level window).
  virtual bool ServerAnswers() = 0;
  // Whether services are started through a service manager; otherwise programs are launched.
  virtual bool HasServiceManager() = 0;
  // The current state of a service. Raises PlatformError when the manager, the service or its
  // status cannot be reached.
  virtual int32_t QueryServiceState(std::string_view service) = 0;
  // Asks the service manager to start a service. Raises PlatformError when it cannot.
  virtual void RequestServiceStart(std::string_view service) = 0;
  // Starts a program as a process of its own in workDir (the caller's when empty): its process
  // id, or 0 when it cannot be started.
  virtual uint32_t LaunchProgram(const std::string& exePath, const std::string& workDir) = 0;
};

}  // namespace kx
