#include "staging/DepotNumberWalk.h"

#include "staging/DepotRows.h"

namespace kx {

int DepotNumberWalk::CompareRow(std::string_view key) const {
  const db::Row& row = query_.CurrentRow();
  if (row.IsNull(0)) return -1;
  const std::string number = row.AsText(0);
  const int order = WithoutTrailingBlanks(number).compare(key);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

bool DepotNumberWalk::Rows(std::string_view number, const std::function<void(const db::Row&)>& eachRow) {
  const std::string_view key = WithoutTrailingBlanks(number);
  if (passed_ && key.compare(*passed_) <= 0) return false;
  if (!opened_) {
    opened_ = true;
    query_.Open();
    hasRow_ = query_.Fetch();
  }
  while (hasRow_ && CompareRow(key) < 0) hasRow_ = query_.Fetch();
  for (; hasRow_ && CompareRow(key) == 0; hasRow_ = query_.Fetch()) eachRow(query_.CurrentRow());
  passed_ = std::string(key);
  return true;
}

}  // namespace kx
