// TXMLWriter::FormatFixed against a reference on the exact decimal expansion of the double (glibc
// prints it exactly with "%.1100f"): at most precision significant digits, exactly decimals
// decimals, halves away from zero, no minus sign on a zero result, and the scientific form
// ("1.234568E+08") when the integer part has more digits than precision.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "xml/XMLWriter.h"

namespace {

// Adds one to a string of decimal digits; the string grows by a digit when the carry runs through.
void Increment(std::string& digits) {
  std::size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
  if (i == 0) {
    digits.insert(digits.begin(), '1');
  } else {
    ++digits[i - 1];
  }
}

// The first count significant digits of all (count > 0), rounded half away from zero on the
// digits after them, which are exact.
std::string RoundedDigits(const std::string& all, std::size_t first, std::size_t count) {
  std::string kept = all.substr(first, count);
  kept.resize(count, '0');
  if (first + count < all.size() && all[first + count] >= '5') Increment(kept);
  return kept;
}

std::string Reference(int precision, int decimals, double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (precision < 1) precision = 1;
  if (decimals < 0) decimals = 0;
  const std::string zero = decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') : "0";

  static char buffer[1500];
  std::snprintf(buffer, sizeof buffer, "%.1100f", std::fabs(value));
  const char* point = std::strchr(buffer, '.');
  const std::string integer(buffer, static_cast<std::size_t>(point - buffer));
  const std::string all = integer + (point + 1);  // every digit, the point after integer.size()
  const std::size_t first = all.find_first_not_of('0');
  if (first == std::string::npos) return zero;
  // value = 0.d1d2... x 10^exponent
  const long exponent = static_cast<long>(integer.size()) - static_cast<long>(first);
  const long keep = std::min<long>(precision, exponent + decimals);
  if (keep < 0) return zero;  // below half a unit of the last decimal

  // The kept digits as a whole number with the digits before them (zeros), rounded.
  std::string number = all.substr(0, first + static_cast<std::size_t>(keep));
  if (first + static_cast<std::size_t>(keep) < all.size() &&
      all[first + static_cast<std::size_t>(keep)] >= '5')
    Increment(number);
  long fraction = static_cast<long>(first) + keep - static_cast<long>(integer.size());
  if (fraction < 0) {
    number.append(static_cast<std::size_t>(-fraction), '0');
    fraction = 0;
  }
  if (number.find_first_not_of('0') == std::string::npos) return zero;
  const std::string sign = std::signbit(value) ? "-" : "";

  std::string whole = number.substr(0, number.size() - static_cast<std::size_t>(fraction));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (static_cast<long>(whole.size()) > precision) {
    std::string mantissa = RoundedDigits(all, first, static_cast<std::size_t>(precision));
    long shown = exponent - 1;
    if (mantissa.size() > static_cast<std::size_t>(precision)) {  // 9.99.. became 10.0..
      mantissa.pop_back();
      ++shown;
    }
    std::string text = sign + mantissa[0];
    if (precision > 1) text += "." + mantissa.substr(1);
    std::string e = std::to_string(std::labs(shown));
    if (e.size() < 2) e.insert(0, "0");
    return text + "E" + (shown < 0 ? "-" : "+") + e;
  }
  std::string decimalsText = number.substr(number.size() - static_cast<std::size_t>(fraction));
  decimalsText.resize(static_cast<std::size_t>(decimals), '0');
  return sign + (whole.empty() ? "0" : whole) + (decimals > 0 ? "." + decimalsText : "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size != 10) return 0;
  // Signed bytes: precision and decimals below 1 and 0 are read as 1 and 0.
  const int precision = static_cast<int8_t>(data[0]);
  const int decimals = static_cast<int8_t>(data[1]);
  double value;
  std::memcpy(&value, data + 2, sizeof value);
  const std::string got = kx::TXMLWriter::FormatFixed(precision, decimals, value);
  const std::string expected = Reference(precision, decimals, value);
  if (got != expected) {
    std::fprintf(stderr, "FormatFixed(%d, %d, %.17g) = %s, expected %s\n", precision, decimals, value,
                 got.c_str(), expected.c_str());
    std::abort();
  }
  return 0;
}
