#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/Statement.h"
#include "staging/DocumentRows.h"

namespace kx {

// Rows of one depot number (its transactions, its holdings), read by one query and kept by
// position, so that the document need not run a query for every position (a round trip each
// through a server). Memory stays bounded: a depot with more than maxRows rows is not kept, and
// the caller reads it position by position instead.
class DepotRows {
 public:
  explicit DepotRows(std::size_t maxRows) : maxRows_(maxRows) {}

  // Runs query for the depot and hands every row to eachRow. The rows whose MATCHING column is 1
  // (those of the depot's account type) are kept by ISIN, the query's last column: in the order
  // of orderColumn, rows of one value in the order the query gives them, or in the query's order
  // when no order column is named. False, with nothing kept, when the depot has more than maxRows.
  bool Load(db::Statement& query, const StagingDepot& depot,
            const std::function<void(const db::Row&)>& eachRow, std::string_view orderColumn = {});

  // The saved rows (db::Row::Save) whose ISIN equals key as the database compares
  // texts, trailing blanks ignored; in the query's order.
  const std::vector<std::string>& Of(std::string_view key) const;

 private:
  std::size_t maxRows_;
  std::map<std::string, std::vector<std::string>, std::less<>> rows_;
};

}  // namespace kx
