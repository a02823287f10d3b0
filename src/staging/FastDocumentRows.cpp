#include "staging/FastDocumentRows.h"

#include "staging/QueryCloser.h"
#include "staging/StagingSql.h"

namespace kx {
namespace {

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
      qDWBestandOfDepot(transaction, staging_sql::kDWBestandOfDepot),
      qDwTransAll(transaction, staging_sql::kDwTransAll),
      qDWBestandAll(transaction, staging_sql::kDWBestandAll),
      matches_(transaction) {}

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

void FastDocumentRows::Read(DepotNumberWalk& walk, db::Statement& query, const std::string& number,
                            const std::function<void(const db::Row&)>& eachRow) {
  if (walk.Rows(number, eachRow)) return;
  query.SetText("parDEPSTNR", number);
  const QueryCloser closer(query);
  query.Open();
  while (query.Fetch()) eachRow(query.CurrentRow());
}

FastDocumentRows::KeptDepot* FastDocumentRows::Kept(const StagingDepot& depot) {
  if (!kept_ || kept_->number != depot.number) {
    kept_ = std::make_unique<KeptDepot>(depot.number);
    KeptDepot& kept = *kept_;
    std::size_t count = 0;
    // Past the limit the rest of the number's rows are read and passed over, keeping memory bounded.
    const auto room = [&] { return kept.complete && (kept.complete = ++count <= depotRowsInMemory_); };
    // The row kept by position (the layout taken from the first), and its position columns.
    const auto keep = [&](DepotRows& rows, db::Row& layout, const db::Row& row) {
      if (layout.ColumnCount() == 0) layout = row.Snapshot();
      PositionColumns columns{
          Nullable(row, "FONWKNEXT"), Nullable(row, "FONISIN"), Nullable(row, "DEPKTOART"), {}, {}, {}};
      rows.Add(row, columns.isin, columns.accountType);
      return columns;
    };
    Read(transactionWalk_, qDwTransOfDepot, depot.number, [&](const db::Row& row) {
      if (room()) kept.positions.AddTransaction(keep(kept.transactions, kept.transactionRow, row));
    });
    Read(holdingWalk_, qDWBestandOfDepot, depot.number, [&](const db::Row& row) {
      if (!room()) return;
      PositionColumns columns = keep(kept.holdings, kept.holdingRow, row);
      columns.name = Nullable(row, "FONNAMELANG");
      if (!row.IsNull("BESTSTK")) columns.shares = row.AsDouble("BESTSTK");
      if (!row.IsNull("HAS_TRANS")) columns.hasTransactions = row.AsInt("HAS_TRANS");
      kept.positions.AddHolding(std::move(columns));
    });
    kept.transactions.Finish();
  }
  return kept_->complete ? kept_.get() : nullptr;
}

void FastDocumentRows::KeptRows::Start(const std::vector<DepotRows::Kept>& rows, std::string accountType,
                                       db::Row& into) {
  rows_ = &rows;
  accountType_ = std::move(accountType);
  into_ = &into;
  next_ = 0;
}

bool FastDocumentRows::KeptRows::Next() {
  while (rows_ != nullptr && next_ < rows_->size()) {
    const DepotRows::Kept& row = (*rows_)[next_++];
    if (!match_(row.accountType, accountType_)) continue;
    into_->Load(row.saved);
    return true;
  }
  return false;
}

PositionRows& FastDocumentRows::TransactionsOf(const StagingDepot& depot, const std::string& positionKey) {
  KeptDepot* kept = Kept(depot);
  if (kept == nullptr) return ReferenceDocumentRows::TransactionsOf(depot, positionKey);
  keptTransactions_.Start(kept->transactions.Of(positionKey), depot.accountType, kept->transactionRow);
  return keptTransactions_;
}

const db::Row* FastDocumentRows::HoldingOf(const StagingDepot& depot, const std::string& positionKey) {
  KeptDepot* kept = Kept(depot);
  if (kept == nullptr) return ReferenceDocumentRows::HoldingOf(depot, positionKey);
  for (const DepotRows::Kept& row : kept->holdings.Of(positionKey)) {
    if (!matches_(row.accountType, depot.accountType)) continue;
    kept->holdingRow.Load(row.saved);
    return &kept->holdingRow;
  }
  return nullptr;
}

}  // namespace kx
