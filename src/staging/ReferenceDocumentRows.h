#pragma once

#include <string>
#include <vector>

#include "db/Statement.h"
#include "db/Transaction.h"
#include "staging/DocumentRows.h"

namespace kx {

// The document's rows as the named queries give them: one execution per customer, depot and
// position. The measure of every faster way, and the fallback of FastDocumentRows.
class ReferenceDocumentRows : public DocumentRows {
 public:
  explicit ReferenceDocumentRows(db::Transaction& transaction);

  StartIds ReadStartIds() override;
  std::vector<std::string> Customers() override;
  const db::Row* PersonOf(const std::string& customerNo) override;
  std::vector<StagingDepot> DepotsOf(const std::string& customerNo) override;
  std::vector<StagingDepot> UnassignedDepots() override;
  std::vector<DepotPosition> PositionsOf(const StagingDepot& depot) override;
  PositionRows& TransactionsOf(const StagingDepot& depot, const std::string& positionKey) override;
  const db::Row* HoldingOf(const StagingDepot& depot, const std::string& positionKey) override;

 protected:
  // The positions of a query like qDpWerte, opened with the depot bound.
  static std::vector<DepotPosition> ReadPositions(db::Statement& query, const StagingDepot& depot);
  // Every depot of an opened query of number, account type and sub-account, in its order.
  static std::vector<StagingDepot> ReadDepots(db::Statement& query);

 private:
  // The rows of an opened statement, closed after its last row.
  class OpenRows final : public PositionRows {
   public:
    explicit OpenRows(db::Statement& query) : query_(query) {}
    bool Next() override;
    const db::Row& Current() const override { return query_.CurrentRow(); }

   private:
    db::Statement& query_;
  };

  db::Statement dsDBstartids;
  db::Statement qKundenVerm;
  db::Statement qKdPerson1;
  db::Statement qKdDepots;
  db::Statement qKdDepotsOKZ;
  db::Statement qDpWerte;
  db::Statement qDwTrans;
  db::Statement qDWBestand;
  OpenRows transactions_{qDwTrans};
};

}  // namespace kx
