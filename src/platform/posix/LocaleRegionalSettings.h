#pragma once

#include "platform/RegionalSettings.h"

namespace kx::posix {

// The environment's locale (LC_ALL, LC_NUMERIC, LC_TIME, LANG), read at every call. Lower-casing
// uses the Windows-1252 case table, since the text is Windows-1252 whatever the locale's charset.
class LocaleRegionalSettings final : public RegionalSettings {
 public:
  FormatSettings Formats() override;
  std::string LowerCase(std::string_view text) override;
};

// A strftime pattern ("%d.%m.%Y") in the Windows letters ("dd.MM.yyyy").
std::string WindowsPattern(std::string_view strftimePattern);

}  // namespace kx::posix
