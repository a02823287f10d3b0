#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "staging/DocumentRows.h"

namespace kx {

// The columns of a staging row that the position query (qDpWerte) reads; nullopt is NULL.
struct PositionColumns {
  std::optional<std::string> wkn;
  std::optional<std::string> isin;
  std::optional<std::string> accountType;
  // Holdings rows only:
  std::optional<std::string> name;
  std::optional<double> shares;
  std::optional<int64_t> hasTransactions;
};

// A depot's positions worked out from its transactions and holdings rows (all rows of the depot
// number, every account type), as the position query gives them: the union of the transactions
// joined to their holdings and the holdings without transactions, distinct and in the order of
// its columns. Texts compare as the database compares them (trailing blanks ignored) and NULL
// sorts first. Where the database's choice among texts it holds equal would decide what is
// written (a text ending in a blank), or a share count sorts otherwise than by its value (-0,
// NaN), the depot is left to the query.
class DepotPositions {
 public:
  // A transaction's WKN, ISIN and account type; its other columns are not read.
  void AddTransaction(PositionColumns row);
  void AddHolding(PositionColumns row);
  // The positions for the account type the depot is asked with, or nothing when the query must say.
  std::optional<std::vector<DepotPosition>> For(std::string_view accountType) const;

 private:
  // The positions depend on a transaction through its WKN, ISIN and account type alone, and
  // transactions alike in all three give the same rows, which the query's distinct removes. Kept
  // once each, a position with hundreds of transactions costs no more to work out than one.
  using TransactionColumns =
      std::tuple<std::optional<std::string>, std::optional<std::string>, std::optional<std::string>>;
  std::set<TransactionColumns> transactions_;
  std::vector<PositionColumns> holdings_;
  bool undecided_ = false;
};

}  // namespace kx
