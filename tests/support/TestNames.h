#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kx::testsupport {

// A parameterised case's name for CTest: its index and a readable text, every character outside
// [A-Za-z0-9] written as "_", so that a failing case can be named and rerun with ctest -R.
inline std::string CaseName(std::size_t index, std::string_view text) {
  std::string name = std::to_string(index) + "_";
  for (const char c : text) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    name += plain ? c : '_';
  }
  return name;
}

}  // namespace kx::testsupport
