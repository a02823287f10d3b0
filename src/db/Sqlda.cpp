#include "db/Sqlda.h"

#include <algorithm>

namespace kx::db {

void Sqlda::Resize(int capacity) {
  capacity = std::max(capacity, 1);
  // The published XSQLDA_LENGTH(n): the header with one variable, and n - 1 more.
  const std::size_t size = sizeof(ib::XSQLDA) + static_cast<std::size_t>(capacity - 1) * sizeof(ib::XSQLVAR);
  storage_ = std::make_unique<std::byte[]>(size);
  ib::XSQLDA* da = Get();
  da->version = ib::kSqldaVersion1;
  da->sqln = static_cast<int16_t>(capacity);
}

}  // namespace kx::db
