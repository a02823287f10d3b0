#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::db {

// A database parameter block (DPB): the version byte, then items of tag, one length byte, value.
class ParameterBlock {
 public:
  ParameterBlock();

  // Raises DatabaseError for a value longer than the 255 bytes an item can hold.
  void AddText(char tag, std::string_view value);
  // A number as four bytes, least significant first, as the client reads numeric items.
  void AddNumber(char tag, uint32_t value);

  const char* Data() const { return bytes_.data(); }
  short Size() const { return static_cast<short>(bytes_.size()); }

 private:
  std::string bytes_;
};

}  // namespace kx::db
