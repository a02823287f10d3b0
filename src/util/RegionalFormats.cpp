#include "util/RegionalFormats.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kx {
namespace {

std::string Padded(int value, std::size_t width) {
  const std::string text = std::to_string(value);
  return text.size() < width ? std::string(width - text.size(), '0') + text : text;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, DateTime value) {
  const CalendarDate date = DecodeDate(value);
  const TimeOfDay time = DecodeTime(value);
  std::string out;
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    std::size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    switch (c) {
      case 'd':
        out += Padded(date.Day, run >= 2 ? 2 : 1);
        break;
      case 'M':
        out += Padded(date.Month, run >= 2 ? 2 : 1);
        break;
      case 'y':
        out += run >= 3 ? Padded(date.Year, 4) : Padded(date.Year % 100, 2);
        break;
      case 'H':
        out += Padded(time.Hour, run >= 2 ? 2 : 1);
        break;
      case 'h':
        out += Padded(time.Hour % 12 == 0 ? 12 : time.Hour % 12, run >= 2 ? 2 : 1);
        break;
      case 'm':
        out += Padded(time.Minute, run >= 2 ? 2 : 1);
        break;
      case 's':
        out += Padded(time.Second, run >= 2 ? 2 : 1);
        break;
      case 't':
        out += time.Hour < 12 ? (run >= 2 ? "AM" : "A") : (run >= 2 ? "PM" : "P");
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::optional<double> ParseDecimal(std::string_view text, char decimalSeparator) {
  std::string normal;
  normal.reserve(text.size());
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
  bool digits = false;
  bool separator = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      normal += c;
      digits = true;
    } else if (c == decimalSeparator && !separator) {
      normal += '.';
      separator = true;
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    bool exponentDigits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, exponentDigits = true) normal += text[i];
    if (!exponentDigits) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  const char* begin = normal.data() + (normal[0] == '+' ? 1 : 0);
  const auto [ptr, ec] = std::from_chars(begin, normal.data() + normal.size(), value);
  if (ec != std::errc() || ptr != normal.data() + normal.size()) return std::nullopt;
  return value;
}

std::string FormatFloatDefault(double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  const bool negative = text[0] == '-';
  std::string digits;
  for (char c : text.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  digits.erase(digits.find_last_not_of('0') + 1);  // no trailing zeros
  std::string out = negative ? "-" : "";
  if (exponent < -4 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) out += decimalSeparator + digits.substr(1);
    return out + "E" + std::to_string(exponent);
  }
  if (exponent < 0) {
    out += "0";
    out += decimalSeparator;
    out += std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    return out;
  }
  const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= integerDigits) return out + digits + std::string(integerDigits - digits.size(), '0');
  return out + digits.substr(0, integerDigits) + decimalSeparator + digits.substr(integerDigits);
}

FormatSettings GermanFormats() { return {',', '.', "dd.MM.yyyy", "HH:mm"}; }

FormatSettings EnglishFormats() { return {'.', ',', "M/d/yyyy", "h:mm tt"}; }

}  // namespace kx
