#include "staging/FastDocumentRows.h"

#include "staging/StagingSql.h"
#include "util/WholeNumber.h"

namespace kx {
namespace {

// A customer number as the document tests it: a whole number, 0 when it is none.
int64_t CustomerNumber(const std::string& text) { return WholeNumberOf<int64_t>(text).value_or(0); }

}  // namespace

FastDocumentRows::FastDocumentRows(db::Transaction& transaction, std::size_t depotRowsInMemory)
    : ReferenceDocumentRows(transaction),
      depotRowsInMemory_(depotRowsInMemory),
      qKdPersonAll(transaction, staging_sql::kKdPersonAll),
      qKdDepotsAll(transaction, staging_sql::kKdDepotsAll),
      qDpWerteDistinctFirst(transaction, staging_sql::kDpWerteDistinctFirst),
      qDwTransOfDepot(transaction, staging_sql::kDwTransOfDepot),
      qDWBestandOfDepot(transaction, staging_sql::kDWBestandOfDepot) {}

void FastDocumentRows::OpenCustomerWalks() {
  if (customerWalksOpen_) return;
  customerWalksOpen_ = true;
  persons_.Open();
  customerDepots_.Open();
}

const db::Statement* FastDocumentRows::PersonOf(const std::string& customerNo) {
  OpenCustomerWalks();
  return persons_.SeekTo(CustomerNumber(customerNo)) ? &persons_.Row() : nullptr;
}

std::vector<StagingDepot> FastDocumentRows::DepotsOf(const std::string& customerNo) {
  OpenCustomerWalks();
  const int64_t number = CustomerNumber(customerNo);
  if (depotsOf_ == number) return depots_;  // the walk has passed this customer's rows already
  depots_.clear();
  depotsOf_ = number;
  for (bool at = customerDepots_.SeekTo(number); at; at = customerDepots_.AtKey(number)) {
    const db::Statement& row = customerDepots_.Row();
    depots_.push_back({row.AsText(1), row.AsText(2), row.AsText(3)});
    customerDepots_.Next();
  }
  return depots_;
}

std::vector<DepotPosition> FastDocumentRows::PositionsOf(const StagingDepot& depot) {
  return ReadPositions(qDpWerteDistinctFirst, depot);
}

const DepotRows* FastDocumentRows::Kept(KeptDepot& kept, db::Statement& query, const StagingDepot& depot) {
  std::pair<std::string, std::string> key{depot.number, depot.accountType};
  if (kept.of != key) {  // depots that differ only in their sub-account have the same rows
    kept.of = std::move(key);
    kept.rows = std::make_unique<DepotRows>(depotRowsInMemory_);
    if (!kept.rows->Load(query, depot.number, depot.accountType)) kept.rows.reset();
  }
  return kept.rows.get();
}

bool FastDocumentRows::KeptRows::Next() {
  if (rows_ == nullptr || next_ == rows_->size()) return false;
  into_.LoadRow((*rows_)[next_++]);
  return true;
}

PositionRows& FastDocumentRows::TransactionsOf(const StagingDepot& depot, const std::string& positionKey) {
  const DepotRows* rows = Kept(transactions_, qDwTransOfDepot, depot);
  if (rows == nullptr) return ReferenceDocumentRows::TransactionsOf(depot, positionKey);
  keptTransactions_.Start(rows->Of(positionKey));
  return keptTransactions_;
}

const db::Statement* FastDocumentRows::HoldingOf(const StagingDepot& depot, const std::string& positionKey) {
  const DepotRows* rows = Kept(holdings_, qDWBestandOfDepot, depot);
  if (rows == nullptr) return ReferenceDocumentRows::HoldingOf(depot, positionKey);
  const std::vector<std::string>& saved = rows->Of(positionKey);
  if (saved.empty()) return nullptr;
  qDWBestandOfDepot.LoadRow(saved.front());
  return &qDWBestandOfDepot;
}

}  // namespace kx
