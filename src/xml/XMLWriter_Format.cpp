// Fixed-point formatting on the exact decimal value of a double.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "xml/XMLWriter.h"

namespace kx {
namespace {

// Significant digits of a value: value = 0.digits × 10^exponent (digits without leading zero).
struct Decimal {
  std::string digits;
  int exponent = 0;
};

// The first count significant digits, correctly rounded to that many by to_chars.
Decimal Digits(double magnitude, int count) {
  char buffer[1100];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, count - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  Decimal d;
  d.digits.reserve(static_cast<std::size_t>(count));
  for (char c : text.substr(0, e)) {
    if (c != '.') d.digits += c;
  }
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  d.exponent = exponent + 1;
  return d;
}

// A double has at most 767 significant decimal digits, so this many give its exact value.
constexpr int kExactDigits = 770;
constexpr int kQuickDigits = 40;

// Whether the digits from position cut on make the kept part round up (halves away from zero).
// The quick expansion decides unless it reads exactly "5" followed by zeros: then the value may
// lie just below the half, and the exact expansion decides.
bool RoundsUp(double magnitude, const Decimal& quick, int cut) {
  if (cut < 0) return false;  // the first significant digit lies beyond the cut: less than a half
  if (cut >= static_cast<int>(quick.digits.size())) return false;
  const char first = quick.digits[static_cast<std::size_t>(cut)];
  if (first != '5') return first > '5';
  if (quick.digits.find_first_not_of('0', static_cast<std::size_t>(cut) + 1) != std::string::npos)
    return true;
  const Decimal exact = Digits(magnitude, kExactDigits);
  // A tie, or more than a half: up. The exact expansion has the same exponent here.
  return exact.digits[static_cast<std::size_t>(cut)] >= '5';
}

// Rounds to keep digits; the exponent grows when the carry runs through (99.96 -> 100.0).
Decimal Round(double magnitude, const Decimal& quick, int keep) {
  Decimal out;
  out.exponent = quick.exponent;
  if (keep > 0) out.digits = quick.digits.substr(0, static_cast<std::size_t>(keep));
  if (!RoundsUp(magnitude, quick, keep)) return out;
  if (keep <= 0) {  // the carry makes the first digit at the last kept position
    out.digits = "1";
    out.exponent = quick.exponent - keep + 1;
    return out;
  }
  int i = keep - 1;
  while (i >= 0 && out.digits[static_cast<std::size_t>(i)] == '9')
    out.digits[static_cast<std::size_t>(i--)] = '0';
  if (i >= 0) {
    ++out.digits[static_cast<std::size_t>(i)];
  } else {
    out.digits.insert(out.digits.begin(), '1');
    out.digits.pop_back();
    ++out.exponent;
  }
  return out;
}

std::string Scientific(bool negative, const Decimal& d, int precision) {
  std::string mantissa = d.digits;
  mantissa.resize(static_cast<std::size_t>(precision), '0');
  std::string text = negative ? "-" : "";
  text += mantissa[0];
  if (precision > 1) text += "." + mantissa.substr(1);
  const int exponent = d.exponent - 1;
  std::string e = std::to_string(std::abs(exponent));
  if (e.size() < 2) e.insert(0, "0");
  return text + "E" + (exponent < 0 ? "-" : "+") + e;
}

}  // namespace

std::string TXMLWriter::FormatFixed(int precision, int decimals, double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (precision < 1) precision = 1;
  if (decimals < 0) decimals = 0;
  std::string zero = decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') : "0";
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return zero;

  // The rounding reads the digit after the last kept one, so a precision from 40 up needs more.
  const Decimal quick = Digits(magnitude, std::max(kQuickDigits, std::min(precision, kExactDigits - 1) + 1));
  // Keep at most precision significant digits and at most decimals digits after the point.
  const int keep = std::min(precision, quick.exponent + decimals);
  const Decimal d = Round(magnitude, quick, keep);
  if (d.digits.empty() || d.digits.find_first_not_of('0') == std::string::npos) return zero;

  const bool negative = std::signbit(value);
  if (d.exponent > precision) return Scientific(negative, Round(magnitude, quick, precision), precision);

  // Digit at position p (0 = first significant digit); zeros outside the kept digits.
  auto digitAt = [&d](int p) {
    return (p >= 0 && p < static_cast<int>(d.digits.size())) ? d.digits[static_cast<std::size_t>(p)] : '0';
  };
  std::string text = negative ? "-" : "";
  if (d.exponent <= 0) {
    text += '0';
  } else {
    for (int p = 0; p < d.exponent; ++p) text += digitAt(p);
  }
  if (decimals > 0) {
    text += '.';
    for (int k = 0; k < decimals; ++k) text += digitAt(d.exponent + k);
  }
  return text;
}

}  // namespace kx
