#include <cstdint>

#include "provider/ImpApi_Korvalix.h"

// Called by the assembly entry of the AppVersionCheck export.
extern "C" int32_t __stdcall KxCheckAppVersionStdcall(int32_t appVersion) {
  return kx::CheckAppVersion(appVersion);
}
