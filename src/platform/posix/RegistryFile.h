#pragma once

#include <map>
#include <string>
#include <string_view>

#include "util/Cp1252.h"

namespace kx::posix {

// The contents of a registry export in the REGEDIT4 format, as regedit writes and reads it.
class RegistryFile {
 public:
  enum class Type { String, ExpandString, Dword, Binary, Other };

  struct Value {
    Type type = Type::String;
    std::string data;  // the text of a string value; the raw bytes otherwise
  };

  // Key and value names compare without regard to case, as in the registry.
  struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
      return ToLower1252(a) < ToLower1252(b);
    }
  };
  using Values = std::map<std::string, Value, NoCase>;

  // Raises kx::Error naming the line for a text that is not a REGEDIT4 export.
  static RegistryFile Parse(std::string_view text);

  // The values of a full key path ("HKEY_LOCAL_MACHINE\\..."), or null when the file lacks it.
  const Values* Key(std::string_view path) const;

 private:
  std::map<std::string, Values, NoCase> keys_;
};

}  // namespace kx::posix
