#pragma once

#include <string>
#include <string_view>

#include <optional>

#include "util/DateTime.h"
#include "util/FormatSettings.h"

// Dates and numbers in the forms of the regional settings.
namespace kx {

// Formats a date and time with a pattern of the Windows letters (see FormatSettings).
std::string FormatDateTime(std::string_view pattern, DateTime value);

// Reads a decimal number written with the given decimal separator: an optional sign, digits with
// at most one separator, an optional exponent. Nothing when the text is not such a number.
std::optional<double> ParseDecimal(std::string_view text, char decimalSeparator);

// The default text of a number: the shortest general form with up to 15 significant digits, no
// trailing zeros, exponent form ("4E-5", "1.5E20") below 0.0001 and from 10^15 up.
std::string FormatFloatDefault(double value, char decimalSeparator);

}  // namespace kx
