#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/Row.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "staging/AccountTypeMatch.h"
#include "staging/DepotNumberWalk.h"
#include "staging/DepotPositions.h"
#include "staging/DepotRows.h"
#include "staging/KeyedRows.h"
#include "staging/ReferenceDocumentRows.h"

namespace kx {

// The same rows as ReferenceDocumentRows, in the same order, with a handful of queries: every
// customer's person and depot rows come from one query each, and so do every depot number's
// transactions and holdings, all walked in step with the customers. A depot number's rows are kept
// by position while its depots are written; its positions are worked out from them
// (DepotPositions) instead of by the position query with its union and sorts. A depot number
// the walk has passed (the depots do not come in their order) is read by a query of its own; one
// with more rows than depotRowsInMemory is read position by position, as the reference does.
class FastDocumentRows final : public ReferenceDocumentRows {
 public:
  FastDocumentRows(db::Transaction& transaction, std::size_t depotRowsInMemory);

  const db::Row* PersonOf(const std::string& customerNo) override;
  std::vector<StagingDepot> DepotsOf(const std::string& customerNo) override;
  std::vector<DepotPosition> PositionsOf(const StagingDepot& depot) override;
  PositionRows& TransactionsOf(const StagingDepot& depot, const std::string& positionKey) override;
  const db::Row* HoldingOf(const StagingDepot& depot, const std::string& positionKey) override;

 private:
  // The rows of one depot number, every account type, as read.
  struct KeptDepot {
    explicit KeptDepot(std::string depotNumber) : number(std::move(depotNumber)), transactions("TRADAT") {}
    std::string number;
    bool complete = true;  // false: more rows than are kept
    DepotRows transactions;
    DepotRows holdings;
    DepotPositions positions;
    db::Row transactionRow;  // the layout the saved rows are put back into
    db::Row holdingRow;
  };

  // A position's kept transactions of the depot's account type, put back one at a time.
  class KeptRows final : public PositionRows {
   public:
    explicit KeptRows(AccountTypeMatch& match) : match_(match) {}
    void Start(const std::vector<DepotRows::Kept>& rows, std::string accountType, db::Row& into);
    bool Next() override;
    const db::Row& Current() const override { return *into_; }

   private:
    AccountTypeMatch& match_;
    const std::vector<DepotRows::Kept>* rows_ = nullptr;
    std::string accountType_;
    db::Row* into_ = nullptr;
    std::size_t next_ = 0;
  };

  // The kept rows of the depot's number, or null when it has too many.
  KeptDepot* Kept(const StagingDepot& depot);
  // Reads the rows of the number through the walk, or through the query where the walk has passed it.
  void Read(DepotNumberWalk& walk, db::Statement& query, const std::string& number,
            const std::function<void(const db::Row&)>& eachRow);
  void OpenCustomerWalks();

  std::size_t depotRowsInMemory_;
  db::Statement qKdPersonAll;
  db::Statement qKdDepotsAll;
  db::Statement qDpWerteDistinctFirst;
  db::Statement qDwTransOfDepot;
  db::Statement qDWBestandOfDepot;
  db::Statement qDwTransAll;
  db::Statement qDWBestandAll;
  KeyedRows persons_{qKdPersonAll};
  KeyedRows customerDepots_{qKdDepotsAll};
  bool customerWalksOpen_ = false;
  // The depots of the customer asked for last: a customer number can come twice in a row.
  std::optional<int64_t> depotsOf_;
  std::vector<StagingDepot> depots_;
  DepotNumberWalk transactionWalk_{qDwTransAll};
  DepotNumberWalk holdingWalk_{qDWBestandAll};
  AccountTypeMatch matches_;
  std::unique_ptr<KeptDepot> kept_;
  KeptRows keptTransactions_{matches_};
};

}  // namespace kx
