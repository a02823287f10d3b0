#pragma once

#include "platform/RegionalSettings.h"

namespace kx::win32 {

// The user's regional settings (GetLocaleInfoA with LOCALE_USER_DEFAULT), lower-casing by
// CharLowerBuffA.
class Win32RegionalSettings final : public RegionalSettings {
 public:
  FormatSettings Formats() override;
  std::string LowerCase(std::string_view text) override;
};

}  // namespace kx::win32
