#include "platform/platform.h"
#include "platform/win32/CryptoApiDes.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32FileLocker.h"
#include "platform/win32/Win32RegionalSettings.h"
#include "platform/win32/Win32ServerControl.h"
#include "platform/win32/Win32UserInterface.h"
#include "platform/win32/WinInetTransport.h"

namespace kx {

Platform& DefaultPlatform() {
  static win32::RegistrySettingsStore settings;
  static win32::CryptoApiDes des;
  static win32::Win32UserInterface ui;
  static win32::Win32Clock clock;
  static win32::WinInetTransport http;
  static win32::Win32RegionalSettings regional;
  static win32::Win32ServerControl server(settings);
  static win32::Win32FileLocker locks;
  static Platform platform{settings, des, ui, clock, http, regional, server, locks};
  return platform;
}

}  // namespace kx
