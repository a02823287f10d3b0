#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kx {

// A 32-bit whole number as the settings and the provider's error texts hold it: leading blanks
// skipped, one optional sign, then digits to the end of the text.
inline std::optional<int32_t> ParseInt32(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);  // from_chars takes a minus sign but no plus sign
  if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
  int32_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace kx
