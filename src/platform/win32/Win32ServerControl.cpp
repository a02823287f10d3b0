#include "platform/win32/Win32ServerControl.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "util/Error.h"

namespace kx::win32 {
namespace {

constexpr const char* kInstallationKey = "SOFTWARE\\Borland\\InterBase\\CurrentVersion";

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct ServiceCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceCloser>;

Key OpenInstallationKey() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallationKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return Key();
  return Key(key);
}

// The error of a failed Win32 call, in the form the run reports it.
[[noreturn]] void RaiseLastError() {
  const DWORD code = GetLastError();
  if (code == 0) throw PlatformError("Eine Win32-API-Funktion ist fehlgeschlagen", 0);
  char text[1024] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                 sizeof text, nullptr);
  throw PlatformError("Win32-Fehler. Code: " + std::to_string(code) + ".\r\n" + text, code);
}

ServiceHandle OpenServiceWith(std::string_view name, DWORD access, ServiceHandle& manager) {
  manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) RaiseLastError();
  ServiceHandle service(OpenServiceA(manager.get(), std::string(name).c_str(), access));
  if (!service) RaiseLastError();
  return service;
}

}  // namespace

bool Win32ServerControl::IsInstalled() { return static_cast<bool>(OpenInstallationKey()); }

std::string Win32ServerControl::ServerDirectory() {
  const Key key = OpenInstallationKey();
  if (!key) return std::string();
  char value[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), "ServerDirectory", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::string();
  }
  return std::string(value);
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
