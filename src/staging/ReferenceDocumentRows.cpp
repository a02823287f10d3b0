#include "staging/ReferenceDocumentRows.h"

#include "staging/QueryCloser.h"
#include "staging/StagingSql.h"

namespace kx {

ReferenceDocumentRows::ReferenceDocumentRows(db::Transaction& transaction)
    : dsDBstartids(transaction, staging_sql::kSelectDBstartids),
      qKundenVerm(transaction, staging_sql::kKundenVerm),
      qKdPerson1(transaction, staging_sql::kKdPerson1),
      qKdDepots(transaction, staging_sql::kKdDepots),
      qKdDepotsOKZ(transaction, staging_sql::kKdDepotsOKZ),
      qDpWerte(transaction, staging_sql::kDpWerte),
      qDwTrans(transaction, staging_sql::kDwTrans),
      qDWBestand(transaction, staging_sql::kDWBestand) {}

StartIds ReferenceDocumentRows::ReadStartIds() {
  const QueryCloser closer(dsDBstartids);
  dsDBstartids.Open();
  if (!dsDBstartids.Fetch()) return {};
  const db::Row& row = dsDBstartids.CurrentRow();
  return {row.AsText("STARTID1"), row.AsText("STARTID2")};
}

std::vector<std::string> ReferenceDocumentRows::Customers() {
  std::vector<std::string> customers;
  const QueryCloser closer(qKundenVerm);
  qKundenVerm.Open();
  while (qKundenVerm.Fetch()) customers.push_back(qKundenVerm.CurrentRow().AsText(1));
  return customers;
}

const db::Row* ReferenceDocumentRows::PersonOf(const std::string& customerNo) {
  qKdPerson1.SetText("parINHKDNR1", customerNo);
  qKdPerson1.Open();
  return qKdPerson1.Fetch() ? &qKdPerson1.CurrentRow() : nullptr;
}

std::vector<StagingDepot> ReferenceDocumentRows::ReadDepots(db::Statement& query) {
  const QueryCloser closer(query);
  query.Open();
  std::vector<StagingDepot> depots;
  const db::Row& row = query.CurrentRow();
  while (query.Fetch()) depots.push_back({row.AsText(0), row.AsText(1), row.AsText(2)});
  return depots;
}

std::vector<StagingDepot> ReferenceDocumentRows::DepotsOf(const std::string& customerNo) {
  qKdDepots.SetText("parINHKDNR1", customerNo);
  return ReadDepots(qKdDepots);
}

std::vector<StagingDepot> ReferenceDocumentRows::UnassignedDepots() { return ReadDepots(qKdDepotsOKZ); }

std::vector<DepotPosition> ReferenceDocumentRows::ReadPositions(db::Statement& query,
                                                                const StagingDepot& depot) {
  query.SetText("parDEPSTNR", depot.number);  // both occurrences of each parameter
  query.SetText("parDEPKTOART", depot.accountType);
  const QueryCloser closer(query);
  query.Open();
  std::vector<DepotPosition> positions;
  const db::Row& row = query.CurrentRow();
  while (query.Fetch()) {
    DepotPosition& position = positions.emplace_back();
    position.key = KeyOfPosition(row.AsText("FONISIN"), row.AsText("FONWKNEXT"));
    position.name = row.AsText("FONNAMELANG");
    if (!row.IsNull("BESTSTK")) position.shares = row.AsDouble("BESTSTK");
  }
  return positions;
}

std::vector<DepotPosition> ReferenceDocumentRows::PositionsOf(const StagingDepot& depot) {
  return ReadPositions(qDpWerte, depot);
}

bool ReferenceDocumentRows::OpenRows::Next() {
  if (!query_.IsOpen()) return false;
  if (query_.Fetch()) return true;
  query_.Close();
  return false;
}

PositionRows& ReferenceDocumentRows::TransactionsOf(const StagingDepot& depot,
                                                    const std::string& positionKey) {
  qDwTrans.SetText("parDEPSTNR", depot.number);
  qDwTrans.SetText("parDEPKTOART", depot.accountType);
  qDwTrans.SetText("parFONISIN", positionKey);
  qDwTrans.Open();
  return transactions_;
}

const db::Row* ReferenceDocumentRows::HoldingOf(const StagingDepot& depot, const std::string& positionKey) {
  qDWBestand.SetText("parDEPSTNR", depot.number);
  qDWBestand.SetText("parDEPKTOART", depot.accountType);
  qDWBestand.SetText("parFONISIN", positionKey);
  qDWBestand.Open();
  return qDWBestand.Fetch() ? &qDWBestand.CurrentRow() : nullptr;
}

}  // namespace kx
