#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
std::string Base64Encode(std::string_view data);
// The inverse; nothing when the text is not well-formed Base64.
std::optional<std::string> Base64Decode(std::string_view text);

// Keeps ASCII letters and digits, writes a space as "%20" (or "+"), every other byte as "%XX".
std::string UrlEncode(std::string_view text, bool spaceAsPlus);
// The inverse ("%XX" and, when plusAsSpace, "+"); nothing for a broken "%" sequence.
std::optional<std::string> UrlDecode(std::string_view text, bool plusAsSpace);

}  // namespace kx
