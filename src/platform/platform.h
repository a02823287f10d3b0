#pragma once

// The seams between the portable core and the operating system. Each is a small interface with
// one adapter per platform (posix/, win32/) and doubles in the tests.
#include "platform/DesCbc.h"
#include "platform/FileLock.h"
#include "platform/HttpTransport.h"
#include "platform/RegionalSettings.h"
#include "platform/ServerControl.h"
#include "platform/SettingsStore.h"
#include "platform/SystemClock.h"
#include "platform/UserInterface.h"

namespace kx {

#if defined(_WIN32)
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif

// The platform's adapters, alive for the whole time the library is loaded.
struct Platform {
  SettingsStore& Settings;
  DesCbc& Des;
  UserInterface& Ui;
  SystemClock& Clock;
  HttpTransport& Http;
  RegionalSettings& Regional;
  ServerControl& Server;
  FileLocker& Locks;
};

Platform& DefaultPlatform();

}  // namespace kx
