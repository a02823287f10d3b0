#pragma once

#include <string>

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

}  // namespace kx::db
