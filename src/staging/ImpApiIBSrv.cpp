#include "staging/ImpApiIBSrv.h"

#include "util/Error.h"

namespace kx {
namespace {

constexpr std::string_view kServerService = "InterBaseServer";
constexpr std::string_view kGuardianService = "InterBaseGuardian";
constexpr uint32_t kPauseAfterStartMs = 1000;

}  // namespace

std::string StartInterBaseServer(ServerControl& control, SystemClock& clock) {
  if (!control.IsInstalled()) {
    return std::string(
        "Datenbanksystem \"Interbase\" nicht installiert. Bitte installieren Sie Interbase neu.");
  }
  if (!EnsureServerRunning(control, clock)) {
    return std::string("Datenbanksystem \"Interbase\" konnte nicht gestartet werden.");
  }
  return std::string();
}

bool IsServerRunning(ServerControl& control) {
  if (control.ServerAnswers()) return true;
  if (!control.HasServiceManager()) return false;
  try {
    return control.QueryServiceState(kServerService) != kServiceStopped;  // a start in progress counts
  } catch (const PlatformError&) {
    return false;
  }
}

bool StartServiceByName(ServerControl& control, std::string_view service) {
  if (control.QueryServiceState(service) == kServiceRunning) return true;
  control.RequestServiceStart(service);
  return true;
}

bool EnsureServerRunning(ServerControl& control, SystemClock& clock) {
  if (IsServerRunning(control)) return true;
  bool started = false;
  if (control.HasServiceManager()) {
    // The guardian watches the server and starts it; without it, the server service itself. A
    // failure of that second start is the caller's.
    try {
      started = StartServiceByName(control, kGuardianService);
    } catch (const PlatformError&) {
      started = StartServiceByName(control, kServerService);
    }
  } else {
    const std::string dir = control.ServerDirectory();
    started = control.LaunchProgram(dir + "ibguard.exe", dir) != 0 ||
              control.LaunchProgram(dir + "ibserver.exe", dir) != 0;
  }
  if (!started) return false;
  clock.PumpMessages();
  clock.Sleep(kPauseAfterStartMs);
  clock.PumpMessages();
  return IsServerRunning(control);
}

}  // namespace kx
