#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Row.h"

namespace kx {

// Texts that differ only in trailing blanks are equal to the database, in comparisons and in the
// index keys that order rows.
std::string_view WithoutTrailingBlanks(std::string_view text);

// The rows of one depot number (its transactions, or its holdings) kept by position, so that the
// document need not run a query for every position (a round trip each through a server). Each row
// keeps its account type: which rows a depot sees depends on the account type it is asked with.
class DepotRows {
 public:
  struct Kept {
    std::optional<std::string> accountType;  // DEPKTOART; NULL matches every depot
    std::optional<int64_t> order;            // the value of the order column
    std::string saved;                       // db::Row::Save
  };

  // Rows are kept by FONISIN; with an order column, each position's rows are put in the order of
  // its value (NULL first), rows of one value in the order they were added.
  explicit DepotRows(std::string_view orderColumn = {}) : orderColumn_(orderColumn) {}

  // A row with its FONISIN and DEPKTOART as read from it.
  void Add(const db::Row& row, const std::optional<std::string>& isin,
           std::optional<std::string> accountType);
  // Called once after the last Add.
  void Finish();
  // The rows whose FONISIN equals key as the database compares texts (trailing blanks ignored).
  const std::vector<Kept>& Of(std::string_view key) const;

 private:
  std::string orderColumn_;
  std::map<std::string, std::vector<Kept>, std::less<>> rows_;
};

}  // namespace kx
