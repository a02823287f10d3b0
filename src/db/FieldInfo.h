#pragma once

#include <string>
#include <string_view>

namespace kx::db {

// The type of a parameter or result column as the database describes it.
enum class FieldType {
  Char,      // CHAR(n): blank-padded
  VarChar,   // VARCHAR(n)
  SmallInt,  // 16 bits
  Integer,   // 32 bits
  BigInt,    // 64 bits; also count(*) in dialect 3
  Float,
  Double,
  Date,
  Time,
  Timestamp,
  Boolean,
  Blob,
  Null,  // a parameter whose type the statement leaves open ("? is null")
  Other,
};

struct FieldInfo {
  // A column's alias name; a parameter's name as written after ":" (empty for a plain "?").
  std::string name;
  FieldType type = FieldType::Other;
  // The declared size in bytes: n for CHAR(n) and VARCHAR(n) (ISO8859_1: one byte a character),
  // the value's size for numbers.
  int length = 0;
  int scale = 0;  // negative for NUMERIC and DECIMAL with decimals
  bool nullable = true;
};

// Parameter and column names compare without regard to ASCII case, as the database's own do.
inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace kx::db
