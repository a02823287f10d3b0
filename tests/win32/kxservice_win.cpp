// A stand-in service for the server start: registered with "sc create NAME binPath= ..." under the
// database server's or the guardian's service name, started by the service manager.
//
//   kxservice_win.exe NAME LOG_FILE [START_AFTER_MS OTHER]
//
// Reports running at once and stops on the stop control. With START_AFTER_MS and OTHER it acts
// as a guardian does: that long after it runs, it starts the service OTHER (the server), unless
// it is stopped first. Each event is one line appended to LOG_FILE ("NAME running",
// "NAME started OTHER", "NAME cannot start OTHER: error N", "NAME stopped"), which the test reads.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Settings {
  std::string Name;
  std::string Log;
  DWORD StartAfterMs = 0;
  std::string Other;
};

Settings settings;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopEvent = nullptr;

void Log(const std::string& line) {
  HANDLE file = CreateFileA(settings.Log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(statusHandle, &status);
}

void StartOther() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service =
      manager != nullptr ? OpenServiceA(manager, settings.Other.c_str(), SERVICE_START) : nullptr;
  if (service != nullptr && StartServiceA(service, 0, nullptr)) {
    Log(settings.Name + " started " + settings.Other);
  } else {
    Log(settings.Name + " cannot start " + settings.Other + ": error " + std::to_string(GetLastError()));
  }
  if (service != nullptr) CloseServiceHandle(service);
  if (manager != nullptr) CloseServiceHandle(manager);
}

void WINAPI Control(DWORD control) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING);
    SetEvent(stopEvent);
  }
}

void WINAPI ServiceMain(DWORD, char**) {
  statusHandle = RegisterServiceCtrlHandlerA(settings.Name.c_str(), &Control);
  if (statusHandle == nullptr) return;
  // Logged first: once the start of this service has returned to whoever asked for it, the line
  // is in the log, so the order of the lines is fixed.
  Log(settings.Name + " running");
  Report(SERVICE_RUNNING);
  if (!settings.Other.empty() && WaitForSingleObject(stopEvent, settings.StartAfterMs) == WAIT_TIMEOUT) {
    StartOther();
  }
  WaitForSingleObject(stopEvent, INFINITE);
  Log(settings.Name + " stopped");
  Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: kxservice_win.exe NAME LOG_FILE [START_AFTER_MS OTHER]\n");
    return 2;
  }
  settings = {argv[1], argv[2], argc == 5 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 0,
              argc == 5 ? argv[4] : ""};
  stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SERVICE_TABLE_ENTRYA table[] = {{settings.Name.data(), &ServiceMain}, {nullptr, nullptr}};
  if (stopEvent == nullptr || !StartServiceCtrlDispatcherA(table)) {
    std::fprintf(stderr, "not started as a service, error %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
