#include "db/DatabaseError.h"

#include <string_view>

#include "db/IbaseApi.h"

namespace kx::db {

bool HeldElsewhere(const DatabaseError& error) {
  if (error.IscCode() == ib::kIscLockConflict) return true;
  return error.SqlCode() == -902 && std::string_view(error.what()).find("\"lock\"") != std::string_view::npos;
}

}  // namespace kx::db
