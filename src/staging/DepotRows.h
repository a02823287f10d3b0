#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/Statement.h"

namespace kx {

// Rows of one depot (its transactions, its holdings), read by one query and kept by position, so
// that the document need not run a query for every position (a round trip each through a
// server). Memory stays bounded: a depot with more than maxRows rows is not kept, and the caller
// reads it position by position instead.
class DepotRows {
 public:
  explicit DepotRows(std::size_t maxRows) : maxRows_(maxRows) {}

  // Runs query for the depot and keeps its rows by ISIN, the query's last column; the rows of one
  // ISIN must come in the order the position's own query gives them. False, with nothing kept,
  // when the depot has more than maxRows.
  bool Load(db::Statement& query, std::string_view depotNo, std::string_view accountType);

  // The saved rows (db::Row::Save) whose ISIN equals key as the database compares
  // texts, trailing blanks ignored; in the query's order.
  const std::vector<std::string>& Of(std::string_view key) const;

 private:
  std::size_t maxRows_;
  std::map<std::string, std::vector<std::string>, std::less<>> rows_;
};

}  // namespace kx
