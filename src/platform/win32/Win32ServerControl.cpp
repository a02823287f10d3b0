#include "platform/win32/Win32ServerControl.h"

#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx::win32 {
namespace {

constexpr const char* kInstallationKey = "SOFTWARE\\Borland\\InterBase\\CurrentVersion";

struct ServiceCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceCloser>;

// The error of a failed Win32 call, in the form the run reports it: code and system text joined
// by a line feed alone.
[[noreturn]] void RaiseLastError() {
  const DWORD code = GetLastError();
  if (code == 0) throw PlatformError("Eine Win32-API-Funktion ist fehlgeschlagen", 0);
  throw PlatformError("Win32-Fehler. Code: " + std::to_string(code) + ".\n" + SystemMessage(code), code);
}

ServiceHandle OpenServiceWith(std::string_view name, DWORD access, ServiceHandle& manager) {
  manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) RaiseLastError();
  ServiceHandle service(OpenServiceA(manager.get(), std::string(name).c_str(), access));
  if (!service) RaiseLastError();
  return service;
}

}  // namespace

bool Win32ServerControl::IsInstalled() { return settings_.OpenLocalMachineKey(kInstallationKey) != nullptr; }

std::string Win32ServerControl::ServerDirectory() {
  try {
    if (std::unique_ptr<SettingsKey> key = settings_.OpenLocalMachineKey(kInstallationKey)) {
      return key->ReadString("ServerDirectory").value_or(std::string());
    }
  } catch (const Error&) {  // a value that cannot be read as text counts as missing
  }
  return std::string();
}

bool Win32ServerControl::ServerAnswers() { return FindWindowA("IB_Server", "InterBase Server") != nullptr; }

int32_t Win32ServerControl::QueryServiceState(std::string_view name) {
  ServiceHandle manager;
  const ServiceHandle service = OpenServiceWith(name, SERVICE_QUERY_STATUS, manager);
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(service.get(), &status)) RaiseLastError();
  return static_cast<int32_t>(status.dwCurrentState);
}

void Win32ServerControl::RequestServiceStart(std::string_view name) {
  ServiceHandle manager;
  const ServiceHandle service = OpenServiceWith(name, SERVICE_START, manager);
  if (!StartServiceA(service.get(), 0, nullptr)) RaiseLastError();
}

uint32_t Win32ServerControl::LaunchProgram(const std::string& exePath, const std::string& workDir) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(exePath.c_str(), nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      workDir.empty() ? nullptr : workDir.c_str(), &startup, &process)) {
    return 0;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return process.dwProcessId;
}

}  // namespace kx::win32
