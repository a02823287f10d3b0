#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "util/FormatSettings.h"

namespace kx {

// Reads the numbers of delimited text files written in the forms of the regional settings: a
// thousands separator anywhere in the text is dropped, the decimal separator marks the fraction.
//
// Nearly every number in such files is plain: a sign at most, digits, and for a floating-point
// value one "." with digits after it. When the settings allow, such a text is read directly,
// without the copies of the general conversion, with the same result.
class RegionalNumberReader {
 public:
  // Takes the separators and the floating-point rounding mode as they are now.
  explicit RegionalNumberReader(const FormatSettings& regional);

  enum class Outcome { Number, NoNumber, OutOfRange };
  struct Whole {
    Outcome outcome = Outcome::NoNumber;
    int64_t value = 0;
  };
  // The whole part of a number, cut towards zero ("12,9" is 12 under German settings); a "." in
  // it is a thousands separator there. OutOfRange for a number a 64-bit integer cannot hold.
  Whole WholeNumber(std::string_view text) const;

  // A floating-point value: the decimal separator or a "." marks the fraction (the first "."
  // becomes the decimal separator). Nothing when the text is no number.
  std::optional<double> Decimal(std::string_view text) const;

 private:
  char decimalSeparator_;
  char thousandSeparator_;
  // Whether the separators admit the direct reading of plain numbers.
  bool plainWholeNumbers_;
  bool plainDecimals_;
  bool exactDecimals_;  // the rounding mode lets ExactDecimal compute them
};

}  // namespace kx
