#include "platform/platform.h"
#include "platform/posix/CurlTransport.h"
#include "platform/posix/FirebirdServerControl.h"
#include "platform/posix/LocaleRegionalSettings.h"
#include "platform/posix/NettleDes.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileLocker.h"
#include "platform/posix/PosixSettingsStore.h"
#include "platform/posix/TerminalUserInterface.h"

namespace kx {

Platform& DefaultPlatform() {
  static posix::PosixSettingsStore settings;
  static posix::NettleDes des;
  static posix::TerminalUserInterface ui;
  static posix::PosixClock clock;
  static posix::CurlTransport http(ui);
  static posix::LocaleRegionalSettings regional;
  static posix::FirebirdServerControl server(settings);
  static posix::PosixFileLocker locks;
  static Platform platform{settings, des, ui, clock, http, regional, server, locks};
  return platform;
}

}  // namespace kx
