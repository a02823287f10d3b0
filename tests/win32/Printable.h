// Windows-1252 bytes as printable ASCII for the Wine test programs' output, which the shell
// scripts compare: CR, LF and backslash as \r, \n and \\, other bytes outside 32..126 as \xHH.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

inline std::string Printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (b < 0x20 || b >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}
