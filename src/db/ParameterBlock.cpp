#include "db/ParameterBlock.h"

#include "db/DatabaseError.h"
#include "db/IbaseApi.h"

namespace kx::db {

ParameterBlock::ParameterBlock() : bytes_(1, ib::kDpbVersion1) {}

void ParameterBlock::AddText(char tag, std::string_view value) {
  if (value.size() > 255) {
    throw DatabaseError("a connection parameter of " + std::to_string(value.size()) +
                        " bytes is longer than the 255 bytes the client accepts");
  }
  bytes_ += tag;
  bytes_ += static_cast<char>(value.size());
  bytes_ += value;
}

void ParameterBlock::AddNumber(char tag, uint32_t value) {
  bytes_ += tag;
  bytes_ += static_cast<char>(4);
  for (int shift = 0; shift < 32; shift += 8) bytes_ += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace kx::db
