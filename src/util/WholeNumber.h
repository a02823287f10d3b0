#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kx {

enum class PlusSign { Refused, Allowed };

// The whole text as a number of type Int: an optional "-" (with PlusSign::Allowed, a "+" may
// stand before it), then digits to the end. Nothing for anything else or a value out of range.
template <typename Int>
std::optional<Int> WholeNumberOf(std::string_view text, PlusSign plus = PlusSign::Refused) {
  if (plus == PlusSign::Allowed && !text.empty() && text.front() == '+') text.remove_prefix(1);
  Int value{};
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// A 32-bit whole number as the settings and the provider's error texts hold it: leading blanks
// skipped, one optional sign, then digits to the end of the text.
inline std::optional<int32_t> ParseInt32(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.starts_with("+-")) return std::nullopt;
  return WholeNumberOf<int32_t>(text, PlusSign::Allowed);
}

}  // namespace kx
