#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/Row.h"
#include "util/WholeNumber.h"

namespace kx {

// A depot as the document names it: number, account type and sub-account as texts (NULL as "").
struct StagingDepot {
  std::string number;
  std::string accountType;
  std::string subAccount;
};

// A position of a depot: its key (the ISIN, or the WKN when the ISIN is empty), the fund name and
// the share count of the matching holdings row, if any.
struct DepotPosition {
  std::string key;
  std::string name;
  std::optional<double> shares;
};

// A customer number as the document tests it: a whole number, 0 when it is none (no customer).
inline int64_t CustomerNumber(std::string_view text) { return WholeNumberOf<int64_t>(text).value_or(0); }

// A position's key: its ISIN, or its WKN when the ISIN is empty (NULL reads as empty).
inline std::string KeyOfPosition(std::string isin, std::string wkn) {
  return isin.empty() ? std::move(wkn) : std::move(isin);
}

struct StartIds {
  std::string first;
  std::string second;
};

// The rows of one position read one at a time: its transactions in date order. Current() is
// valid after Next() returned true, until the next call.
class PositionRows {
 public:
  virtual ~PositionRows() = default;
  virtual bool Next() = 0;
  virtual const db::Row& Current() const = 0;
};

// Where the document's rows come from. The writers ask in document order (customers in turn,
// each customer's depots, each depot's positions, each position's transactions or holding) and
// never know how the rows are read: by the named queries one customer, depot and position at a
// time, or by a few ordered queries walked in step.
class DocumentRows {
 public:
  virtual ~DocumentRows() = default;

  virtual StartIds ReadStartIds() = 0;
  // Every customer number as the document lists them (one can come twice).
  virtual std::vector<std::string> Customers() = 0;
  // The customer's person row, or null; valid until the next call.
  virtual const db::Row* PersonOf(const std::string& customerNo) = 0;
  virtual std::vector<StagingDepot> DepotsOf(const std::string& customerNo) = 0;
  // The depots of a follow-up import's transactions that no holdings row assigns to a customer.
  virtual std::vector<StagingDepot> UnassignedDepots() = 0;
  // The depot's positions in the order of the position query. A row with neither ISIN nor WKN has
  // an empty key: it is no position, but it makes the depot one that is written.
  virtual std::vector<DepotPosition> PositionsOf(const StagingDepot& depot) = 0;
  // The position's transactions; valid until the next call of any of these.
  virtual PositionRows& TransactionsOf(const StagingDepot& depot, const std::string& positionKey) = 0;
  // The position's first holdings row, or null when it has none; valid until the next call.
  virtual const db::Row* HoldingOf(const StagingDepot& depot, const std::string& positionKey) = 0;
};

}  // namespace kx
