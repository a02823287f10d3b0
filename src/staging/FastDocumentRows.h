#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Statement.h"
#include "db/Transaction.h"
#include "staging/DepotPositions.h"
#include "staging/DepotRows.h"
#include "staging/KeyedRows.h"
#include "staging/ReferenceDocumentRows.h"

namespace kx {

// The same rows as ReferenceDocumentRows, in the same order, with far fewer executions: every
// customer's person and depot rows come from one query each, walked in step with the customers.
// A depot's transactions and holdings come from one query each and are kept by position, and its
// positions are worked out from them (DepotPositions) instead of by the position query with its
// union and sorts. A depot with more rows than depotRowsInMemory is read position by position,
// as the reference does.
class FastDocumentRows final : public ReferenceDocumentRows {
 public:
  FastDocumentRows(db::Transaction& transaction, std::size_t depotRowsInMemory);

  const db::Row* PersonOf(const std::string& customerNo) override;
  std::vector<StagingDepot> DepotsOf(const std::string& customerNo) override;
  std::vector<DepotPosition> PositionsOf(const StagingDepot& depot) override;
  PositionRows& TransactionsOf(const StagingDepot& depot, const std::string& positionKey) override;
  const db::Row* HoldingOf(const StagingDepot& depot, const std::string& positionKey) override;

 private:
  // Saved rows of one position, put back into the statement that read them one at a time.
  class KeptRows final : public PositionRows {
   public:
    explicit KeptRows(db::Statement& into) : into_(into) {}
    void Start(const std::vector<std::string>& rows) {
      rows_ = &rows;
      next_ = 0;
    }
    bool Next() override;
    const db::Row& Current() const override { return into_.CurrentRow(); }

   private:
    db::Statement& into_;
    const std::vector<std::string>* rows_ = nullptr;
    std::size_t next_ = 0;
  };

  // The rows of the depot asked for last, read when it is first asked for: depots that differ only
  // in their sub-account come in turn and have the same rows.
  struct KeptDepot {
    KeptDepot(const StagingDepot& depot, std::size_t maxRows)
        : number(depot.number), accountType(depot.accountType), transactions(maxRows), holdings(maxRows) {}
    std::string number, accountType;
    bool complete = false;  // false: too many rows to keep
    DepotRows transactions;
    DepotRows holdings;
    DepotPositions positions;
  };
  // The kept rows of the depot, or null when it has too many.
  const KeptDepot* Kept(const StagingDepot& depot);
  void OpenCustomerWalks();

  std::size_t depotRowsInMemory_;
  db::Statement qKdPersonAll;
  db::Statement qKdDepotsAll;
  db::Statement qDpWerteDistinctFirst;
  db::Statement qDwTransOfDepot;
  db::Statement qDWBestandOfDepot;
  KeyedRows persons_{qKdPersonAll};
  KeyedRows customerDepots_{qKdDepotsAll};
  bool customerWalksOpen_ = false;
  // The depots of the customer asked for last: a customer number can come twice in a row.
  std::optional<int64_t> depotsOf_;
  std::vector<StagingDepot> depots_;
  std::unique_ptr<KeptDepot> kept_;
  KeptRows keptTransactions_{qDwTransOfDepot};
};

}  // namespace kx
