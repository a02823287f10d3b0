#pragma once

#include <string_view>

#include "util/DateTime.h"

namespace kx {

// A provider date YYYYMMDD (control characters around it ignored) as a date; 0 for anything else.
DateTime ParseProviderDate(std::string_view text);

}  // namespace kx
