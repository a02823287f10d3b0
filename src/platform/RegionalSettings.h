#pragma once

#include <string>
#include <string_view>

#include "util/FormatSettings.h"

namespace kx {

class RegionalSettings {
 public:
  virtual ~RegionalSettings() = default;
  virtual FormatSettings Formats() = 0;
  // Lower-cases Windows-1252 text by the regional rules (umlauts included).
  virtual std::string LowerCase(std::string_view text) = 0;
};

}  // namespace kx
