#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/Statement.h"

namespace kx {

// The transactions of one depot, read by one query and kept by position, so that the document
// need not run a query for every position (a round trip each through a server). Memory stays
// bounded: a depot with more than maxRows transactions is not kept, and the caller reads it
// position by position instead.
class DepotTransactions {
 public:
  explicit DepotTransactions(std::size_t maxRows) : maxRows_(maxRows) {}

  // Runs query (its rows ordered by ISIN and then as the position's own query orders them, the
  // ISIN as the last column) for the depot and keeps the rows by ISIN. False, with nothing kept,
  // when the depot has more than maxRows.
  bool Load(db::Statement& query, std::string_view depotNo, std::string_view accountType);

  // The saved rows (db::Statement::SaveRow) whose ISIN equals key as the database compares
  // texts, trailing blanks ignored; in the query's order.
  const std::vector<std::string>& Of(std::string_view key) const;

 private:
  std::size_t maxRows_;
  std::map<std::string, std::vector<std::string>, std::less<>> rows_;
};

}  // namespace kx
