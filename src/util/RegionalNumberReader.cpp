#include "util/RegionalNumberReader.h"

#include <algorithm>
#include <cfenv>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

#include "util/RegionalFormats.h"

namespace kx {
namespace {

void RemoveAll(std::string& text, char c) {
  if (c == '\0') return;
  text.erase(std::remove(text.begin(), text.end(), c), text.end());
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDigitOrSign(char c) { return IsDigit(c) || c == '+' || c == '-'; }

// The plain forms (see the header) and when they are read directly: the Plain... functions say.

// At most 15 digits after an optional sign: a double holds them exactly, so the integer is what
// the decimal reading and its truncation give.
std::optional<int64_t> PlainWholeNumber(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.empty() || text.size() > 15) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// Digits, optionally "." and digits, after an optional sign; the text std::from_chars reads (no
// "+"). The general conversion turns the "." into the decimal separator and reads it back as
// the same decimal point, when neither separator is a digit or a sign and they differ.
std::optional<std::string_view> PlainDecimal(std::string_view text) {
  const std::size_t start = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  std::size_t i = start;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == start) return std::nullopt;
  if (i < text.size()) {
    if (text[i] != '.') return std::nullopt;
    const std::size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == fraction || i != text.size()) return std::nullopt;
  }
  return text[0] == '+' ? text.substr(1) : text;
}

// The value of a plain decimal (PlainDecimal's result) with at most 15 significant digits and 22
// decimals, computed as mantissa / 10^decimals: both are doubles exactly, and one division in
// double precision rounding to nearest is the correctly rounded value, the one std::from_chars
// gives. Only where doubles are computed in their own precision (not on the x87 unit, whose
// wider intermediate would round twice) and while the rounding mode is to nearest (the
// constructor checks it).
std::optional<double> ExactDecimal(std::string_view plain) {
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = plain.front() == '-';
  uint64_t mantissa = 0;
  int significant = 0;
  int decimals = 0;
  bool fraction = false;
  for (std::size_t i = negative ? 1 : 0; i < plain.size(); ++i) {
    const char c = plain[i];
    if (c == '.') {
      fraction = true;
      continue;
    }
    if (significant > 0 || c != '0') ++significant;
    if (significant > 15) return std::nullopt;
    mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    if (fraction) ++decimals;
  }
  if (decimals > 22) return std::nullopt;
  const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  return negative ? -value : value;
#else
  static_cast<void>(plain);
  return std::nullopt;
#endif
}

}  // namespace

RegionalNumberReader::RegionalNumberReader(const FormatSettings& regional)
    : decimalSeparator_(regional.DecimalSeparator),
      thousandSeparator_(regional.ThousandSeparator),
      plainWholeNumbers_(!IsDigitOrSign(regional.ThousandSeparator)),
      plainDecimals_(plainWholeNumbers_ && regional.DecimalSeparator != '\0' &&
                     !IsDigitOrSign(regional.DecimalSeparator) &&
                     regional.DecimalSeparator != regional.ThousandSeparator),
      exactDecimals_(std::fegetround() == FE_TONEAREST) {}

RegionalNumberReader::Whole RegionalNumberReader::WholeNumber(std::string_view text) const {
  if (plainWholeNumbers_) {
    if (const std::optional<int64_t> plain = PlainWholeNumber(text)) return {Outcome::Number, *plain};
  }
  std::string number(text);
  RemoveAll(number, thousandSeparator_);
  const std::optional<double> parsed = ParseDecimal(number, decimalSeparator_);
  if (!parsed) return {Outcome::NoNumber, 0};
  const double whole = std::trunc(*parsed);
  if (!(std::fabs(whole) < 9.2e18)) return {Outcome::OutOfRange, 0};
  return {Outcome::Number, static_cast<int64_t>(whole)};
}

std::optional<double> RegionalNumberReader::Decimal(std::string_view text) const {
  if (plainDecimals_) {
    if (const std::optional<std::string_view> plain = PlainDecimal(text)) {
      if (exactDecimals_) {
        if (const std::optional<double> exact = ExactDecimal(*plain)) return exact;
      }
      double number = 0;
      const auto [ptr, ec] = std::from_chars(plain->data(), plain->data() + plain->size(), number);
      if (ec == std::errc() && ptr == plain->data() + plain->size()) return number;
      return std::nullopt;
    }
  }
  std::string number(text);
  if (const std::size_t dot = number.find('.'); dot != std::string::npos) number[dot] = decimalSeparator_;
  RemoveAll(number, thousandSeparator_);
  return ParseDecimal(number, decimalSeparator_);
}

}  // namespace kx
