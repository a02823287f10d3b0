#include "staging/DepotNumberWalk.h"

#include "staging/DepotRows.h"

namespace kx {

int DepotNumberWalk::CompareRow(std::string_view key) const {
  const db::Row& row = rows_.Current();
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
    rows_.Open();
    hasRow_ = rows_.Fetch();
  }
  while (hasRow_ && CompareRow(key) < 0) hasRow_ = rows_.Fetch();
  for (; hasRow_ && CompareRow(key) == 0; hasRow_ = rows_.Fetch()) eachRow(rows_.Current());
  passed_ = std::string(key);
  return true;
}

}  // namespace kx
