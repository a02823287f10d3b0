#pragma once

#include <string>

#include "platform/ServerControl.h"
#include "platform/SystemClock.h"

// The start of the local database server before a run touches the staging database.
namespace kx {

// Empty when the server runs (already, or after the start and one second's pause); otherwise the
// text for the user: the database system is not installed, or it could not be started. Errors of
// the second service start are raised.
std::string StartInterBaseServer(ServerControl& control, SystemClock& clock);

bool EnsureServerRunning(ServerControl& control, SystemClock& clock);
bool IsServerRunning(ServerControl& control);
// True when the service runs already or has been told to start; raises otherwise.
bool StartServiceByName(ServerControl& control, std::string_view service);

}  // namespace kx
