#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Windows-1252 text helpers. The library keeps every text as Windows-1252 bytes; these helpers
// give it case folding without a locale, and give programs at the edge a UTF-8 conversion.
namespace kx {

char ToUpper1252(char c);
char ToLower1252(char c);
std::string ToUpper1252(std::string_view text);
std::string ToLower1252(std::string_view text);
bool EqualsIgnoreCase1252(std::string_view a, std::string_view b);

// Position of the first occurrence of needle in text, compared without regard to case.
std::size_t FindIgnoreCase1252(std::string_view text, std::string_view needle);

std::string Cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 form become '?'.
std::string Utf8ToCp1252(std::string_view text);

// Removes leading and trailing bytes 0 to 32 (blanks and control characters). Inline: every
// field of a provider file goes through it.
inline std::string_view TrimControl(std::string_view text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin < end && static_cast<unsigned char>(*begin) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(end[-1]) <= 32) --end;
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

// Compile-time conversion of a UTF-8 literal to Windows-1252 bytes, so that source files stay
// UTF-8 while the library's texts are the exact bytes the host expects: "verfügbar"_cp1252.
namespace detail {

// The Unicode code points of bytes 0x80..0x9F; 0 marks the five bytes that have none.
inline constexpr char32_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                             0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

consteval unsigned char EncodeCodePoint(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (unsigned i = 0; i < 32; ++i) {
    if (kCp1252High[i] == cp && cp != 0) return static_cast<unsigned char>(0x80 + i);
  }
  throw "character has no Windows-1252 form";
}

template <std::size_t N>
struct Cp1252Literal {
  char bytes[N]{};
  std::size_t size = 0;

  consteval Cp1252Literal(const char (&utf8)[N]) {
    for (std::size_t i = 0; i + 1 < N;) {
      const auto b = static_cast<unsigned char>(utf8[i]);
      char32_t cp;
      std::size_t len;
      if (b < 0x80) {
        cp = b, len = 1;
      } else if ((b & 0xE0) == 0xC0) {
        cp = b & 0x1F, len = 2;
      } else if ((b & 0xF0) == 0xE0) {
        cp = b & 0x0F, len = 3;
      } else {
        throw "unsupported UTF-8 sequence";
      }
      for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      bytes[size++] = static_cast<char>(EncodeCodePoint(cp));
      i += len;
    }
  }
};

}  // namespace detail

template <detail::Cp1252Literal L>
constexpr std::string_view operator""_cp1252() {
  return std::string_view(L.bytes, L.size);
}

}  // namespace kx
