#include "kxgen/RecordLine.h"

#include <charconv>

namespace kx::gen {

void RecordLine::Separator() {
  if (fields_++ > 0) line_.push_back(';');
}

void RecordLine::Text(std::string_view value) {
  Separator();
  const bool quote = value.find(';') != std::string_view::npos || (!value.empty() && value.front() == '"');
  if (!quote) {
    line_.append(value);
    return;
  }
  line_.push_back('"');
  for (const char c : value) {
    if (c == '"') line_.push_back('"');
    line_.push_back(c);
  }
  line_.push_back('"');
}

void RecordLine::Int(int64_t value) {
  Separator();
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  line_.append(buffer, result.ptr);
}

void RecordLine::Fixed(int64_t value, int decimals) {
  Separator();
  AppendFixed(line_, value, decimals);
}

std::string_view RecordLine::Finish() {
  line_.append("\r\n");
  return line_;
}

void AppendFixed(std::string& text, int64_t value, int decimals) {
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  if (value < 0) text.push_back('-');
  uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude / scale);
  text.append(buffer, result.ptr);
  if (decimals > 0) {
    text.push_back('.');
    result = std::to_chars(buffer, buffer + sizeof buffer, magnitude % scale);
    const auto digits = static_cast<int>(result.ptr - buffer);
    text.append(static_cast<std::size_t>(decimals - digits), '0');
    text.append(buffer, result.ptr);
  }
}

std::string FixedText(int64_t value, int decimals) {
  std::string text;
  AppendFixed(text, value, decimals);
  return text;
}

// The civil-calendar conversions after Howard Hinnant's public-domain algorithms.
int64_t DaysFromCivil(int year, unsigned month, unsigned day) {
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t DateNumber(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
  return y * 10000 + m * 100 + d;
}

}  // namespace kx::gen
