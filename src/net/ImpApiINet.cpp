#include "net/ImpApiINet.h"

#include <array>
#include <cstdint>

namespace kx {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string Base64Encode(std::string_view data) {
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const uint32_t group = static_cast<unsigned char>(data[i]) << 16 |
                           static_cast<unsigned char>(data[i + 1]) << 8 |
                           static_cast<unsigned char>(data[i + 2]);
    out += kAlphabet[group >> 18];
    out += kAlphabet[(group >> 12) & 63];
    out += kAlphabet[(group >> 6) & 63];
    out += kAlphabet[group & 63];
  }
  const std::size_t rest = data.size() - i;
  if (rest > 0) {
    uint32_t group = static_cast<unsigned char>(data[i]) << 16;
    if (rest == 2) group |= static_cast<unsigned char>(data[i + 1]) << 8;
    out += kAlphabet[group >> 18];
    out += kAlphabet[(group >> 12) & 63];
    out += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    uint32_t group = 0;
    int padding = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      uint32_t v = 0;
      if (c == '=' && i + 4 == text.size() && k >= 2) {
        ++padding;
      } else {
        if (padding > 0) return std::nullopt;
        const std::size_t pos = kAlphabet.find(c);
        if (pos == std::string_view::npos) return std::nullopt;
        v = static_cast<uint32_t>(pos);
      }
      group = group << 6 | v;
    }
    out += static_cast<char>(group >> 16);
    if (padding < 2) out += static_cast<char>((group >> 8) & 0xFF);
    if (padding < 1) out += static_cast<char>(group & 0xFF);
  }
  return out;
}

std::string UrlEncode(std::string_view text, bool spaceAsPlus) {
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (char c : text) {
    if (IsAsciiAlnum(c)) {
      out += c;
    } else if (c == ' ') {
      out += spaceAsPlus ? "+" : "%20";
    } else {
      const auto b = static_cast<unsigned char>(c);
      out += '%';
      out += kHexDigits[b >> 4];
      out += kHexDigits[b & 15];
    }
  }
  return out;
}

std::optional<std::string> UrlDecode(std::string_view text, bool plusAsSpace) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int hi = HexValue(text[i + 1]);
      const int lo = HexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char>(hi << 4 | lo);
      i += 2;
    } else if (c == '+' && plusAsSpace) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kx
