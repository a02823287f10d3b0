#include "util/Cp1252.h"

#include <array>

namespace kx {
namespace {

struct CaseTables {
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};

  CaseTables() {
    for (int i = 0; i < 256; ++i) upper[i] = lower[i] = static_cast<unsigned char>(i);
    auto pair = [this](int up, int low) {
      upper[low] = static_cast<unsigned char>(up);
      lower[up] = static_cast<unsigned char>(low);
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
      if (c != 0xD7) pair(c, c + 32);  // 0xD7 is the multiplication sign
    }
    pair(0x8A, 0x9A);  // S with caron
    pair(0x8C, 0x9C);  // OE ligature
    pair(0x8E, 0x9E);  // Z with caron
    pair(0x9F, 0xFF);  // Y with diaeresis
  }
};

const CaseTables& Tables() {
  static const CaseTables tables;
  return tables;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t DecodeByte(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) {
    const char32_t cp = detail::kCp1252High[b - 0x80];
    return cp != 0 ? cp : b;  // undefined bytes keep their C1 control code point
  }
  return b;
}

// The Windows-1252 byte of a code point, '?' when it has none. The five bytes without a
// character of their own came in as their C1 control code points and go back to themselves.
char EncodeByte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  if (cp >= 0x80 && cp <= 0x9F && detail::kCp1252High[cp - 0x80] == 0) return static_cast<char>(cp);
  for (unsigned k = 0; k < 32; ++k) {
    if (detail::kCp1252High[k] == cp) return static_cast<char>(0x80 + k);
  }
  return '?';
}

}  // namespace

char ToUpper1252(char c) { return static_cast<char>(Tables().upper[static_cast<unsigned char>(c)]); }
char ToLower1252(char c) { return static_cast<char>(Tables().lower[static_cast<unsigned char>(c)]); }

std::string ToUpper1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToUpper1252(c);
  return out;
}

std::string ToLower1252(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLower1252(c);
  return out;
}

bool EqualsIgnoreCase1252(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpper1252(a[i]) != ToUpper1252(b[i])) return false;
  }
  return true;
}

std::size_t FindIgnoreCase1252(std::string_view text, std::string_view needle) {
  if (needle.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
    if (EqualsIgnoreCase1252(text.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) AppendUtf8(out, DecodeByte(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    const std::size_t len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    std::size_t continuation = 0;  // continuation bytes that follow, up to the sequence's length
    while (continuation + 1 < len && i + continuation + 1 < text.size() &&
           (static_cast<unsigned char>(text[i + continuation + 1]) & 0xC0) == 0x80) {
      ++continuation;
    }
    if (len == 0 || continuation + 1 != len) {  // a broken sequence is one unknown character
      out += '?';
      i += continuation + 1;
      continue;
    }
    char32_t cp = b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += len;
    out += EncodeByte(cp);
  }
  return out;
}

}  // namespace kx
