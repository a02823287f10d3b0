#include "staging/FastDocumentRows.h"

#include "staging/StagingSql.h"
#include "util/WholeNumber.h"

namespace kx {
namespace {

// A customer number as the document tests it: a whole number, 0 when it is none.
int64_t CustomerNumber(const std::string& text) { return WholeNumberOf<int64_t>(text).value_or(0); }

std::optional<std::string> Nullable(const db::Row& row, std::string_view column) {
  if (row.IsNull(column)) return std::nullopt;
  return row.AsText(column);
}

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

const db::Row* FastDocumentRows::PersonOf(const std::string& customerNo) {
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
    const db::Row& row = customerDepots_.Row();
    depots_.push_back({row.AsText(1), row.AsText(2), row.AsText(3)});
    customerDepots_.Next();
  }
  return depots_;
}

std::vector<DepotPosition> FastDocumentRows::PositionsOf(const StagingDepot& depot) {
  if (const KeptDepot* kept = Kept(depot)) {
    if (std::optional<std::vector<DepotPosition>> positions = kept->positions.For(depot.accountType)) {
      return std::move(*positions);
    }
  }
  return ReadPositions(qDpWerteDistinctFirst, depot);
}

const FastDocumentRows::KeptDepot* FastDocumentRows::Kept(const StagingDepot& depot) {
  if (kept_ && kept_->number == depot.number && kept_->accountType == depot.accountType) {
    return kept_->complete ? kept_.get() : nullptr;
  }
  kept_ = std::make_unique<KeptDepot>(depot, depotRowsInMemory_);
  DepotPositions& positions = kept_->positions;
  const auto addTransaction = [&positions](const db::Row& row) {
    positions.AddTransaction(
        {Nullable(row, "FONWKNEXT"), Nullable(row, "FONISIN"), Nullable(row, "DEPKTOART"), {}, {}, {}});
  };
  const auto addHolding = [&positions](const db::Row& row) {
    positions.AddHolding(
        {Nullable(row, "FONWKNEXT"), Nullable(row, "FONISIN"), Nullable(row, "DEPKTOART"),
         Nullable(row, "FONNAMELANG"),
         row.IsNull("BESTSTK") ? std::nullopt : std::optional<double>(row.AsDouble("BESTSTK")),
         row.IsNull("HAS_TRANS") ? std::nullopt : std::optional<int64_t>(row.AsInt("HAS_TRANS"))});
  };
  kept_->complete = kept_->transactions.Load(qDwTransOfDepot, depot, addTransaction, "TRADAT") &&
                    kept_->holdings.Load(qDWBestandOfDepot, depot, addHolding);
  return kept_->complete ? kept_.get() : nullptr;
}

bool FastDocumentRows::KeptRows::Next() {
  if (rows_ == nullptr || next_ == rows_->size()) return false;
  into_.CurrentRow().Load((*rows_)[next_++]);
  return true;
}

PositionRows& FastDocumentRows::TransactionsOf(const StagingDepot& depot, const std::string& positionKey) {
  const KeptDepot* kept = Kept(depot);
  if (kept == nullptr) return ReferenceDocumentRows::TransactionsOf(depot, positionKey);
  keptTransactions_.Start(kept->transactions.Of(positionKey));
  return keptTransactions_;
}

const db::Row* FastDocumentRows::HoldingOf(const StagingDepot& depot, const std::string& positionKey) {
  const KeptDepot* kept = Kept(depot);
  if (kept == nullptr) return ReferenceDocumentRows::HoldingOf(depot, positionKey);
  const std::vector<std::string>& saved = kept->holdings.Of(positionKey);
  if (saved.empty()) return nullptr;
  qDWBestandOfDepot.CurrentRow().Load(saved.front());
  return &qDWBestandOfDepot.CurrentRow();
}

}  // namespace kx
