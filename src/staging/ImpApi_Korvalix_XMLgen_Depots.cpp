// Depots and their positions: the customers' depots and those without a customer.
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "staging/ImpApi_Korvalix_XMLgen_Queries.h"
#include "util/WholeNumber.h"

namespace kx {

void TXML_Gen::WriteDepotAdmin() {
  TXMLWriter& w = Writer();
  w.WriteTag("DepotVerw", TXMLWriter::tkOpen);
  w.WriteElement("DV_Waehrung", "EUR");
  w.WriteTag("DepotVerw", TXMLWriter::tkClose);
}

void TXML_Gen::WriteDepotsOf(db::Statement& depots, bool pumpAfterEach) {
  const QueryCloser closer(depots);
  depots.Open();
  while (depots.Fetch()) {
    DepotNo = depots.CurrentRow().AsText(0);
    AccountType = depots.CurrentRow().AsText(1);
    SubAccount = depots.CurrentRow().AsText(2);
    WriteDepot();
    if (pumpAfterEach) context_.Clock.PumpMessages();
  }
}

void TXML_Gen::WriteCustomerDepots() {
  if (customerDepotRows_ != nullptr) {
    WriteKeptCustomerDepots();
    return;
  }
  queries_->qKdDepots.SetText("parINHKDNR1", CustomerNo);
  WriteDepotsOf(queries_->qKdDepots, false);
}

void TXML_Gen::WriteKeptCustomerDepots() {
  const int64_t number = WholeNumberOf<int64_t>(CustomerNo).value_or(0);
  if (customerDepotsOf_ != number) {  // the same customer again has the same depots
    customerDepots_.clear();
    customerDepotsOf_ = number;
    for (bool at = customerDepotRows_->SeekTo(number); at; at = customerDepotRows_->AtKey(number)) {
      const db::Row& row = customerDepotRows_->Row();
      customerDepots_.push_back({row.AsText(1), row.AsText(2), row.AsText(3)});
      customerDepotRows_->Next();
    }
  }
  for (const Depot& depot : customerDepots_) {
    DepotNo = depot.number;
    AccountType = depot.accountType;
    SubAccount = depot.subAccount;
    WriteDepot();
  }
}

void TXML_Gen::WriteUnassignedDepots() {
  TXMLWriter& w = Writer();
  w.WriteTag("Depotdaten_Ohne_Zuordnung", TXMLWriter::tkOpen);
  WriteDepotsOf(queries_->qKdDepotsOKZ, true);
  w.WriteTag("Depotdaten_Ohne_Zuordnung", TXMLWriter::tkClose);
}

std::unique_ptr<DepotRows> TXML_Gen::KeepDepotRows(db::Statement& query) {
  auto rows = std::make_unique<DepotRows>(DepotRowsInMemory);
  if (!rows->Load(query, DepotNo, AccountType)) return nullptr;
  return rows;
}

const DepotRows* TXML_Gen::DepotHoldings() {
  if (!holdingsLoaded_ && QuerySet == DocumentQueries::Fast) {
    holdingsLoaded_ = true;
    depotHoldings_ = KeepDepotRows(queries_->qDWBestandOfDepot);
  }
  return depotHoldings_.get();
}

const db::Row* TXML_Gen::PositionHolding() {
  if (const DepotRows* holdings = DepotHoldings()) {
    const std::vector<std::string>& rows = holdings->Of(PositionKey);
    if (rows.empty()) return nullptr;
    queries_->qDWBestandOfDepot.CurrentRow().Load(rows.front());
    return &queries_->qDWBestandOfDepot.CurrentRow();
  }
  db::Statement& holding = queries_->qDWBestand;
  holding.SetText("parDEPSTNR", DepotNo);
  holding.SetText("parDEPKTOART", AccountType);
  holding.SetText("parFONISIN", PositionKey);
  holding.Open();
  return holding.Fetch() ? &holding.CurrentRow() : nullptr;
}

std::string TXML_Gen::DepotName() const {
  std::string name = DepotNo;
  if (!AccountType.empty()) name += "_" + AccountType;
  if (!SubAccount.empty()) name += "_" + SubAccount;
  return name;
}

void TXML_Gen::WriteDepot() {
  db::Statement& positions = queries_->qDpWerte;
  const QueryCloser closer(positions);
  positions.SetText("parDEPSTNR", DepotNo);  // both occurrences of each parameter
  positions.SetText("parDEPKTOART", AccountType);
  positions.Open();
  if (!positions.Fetch()) return;  // a depot without positions is not written
  // The fast way reads the depot's transactions in one query; a depot too large for memory, and
  // the reference way, query each position.
  depotRows_.reset();
  depotHoldings_.reset();
  holdingsLoaded_ = false;
  if (QuerySet == DocumentQueries::Fast) depotRows_ = KeepDepotRows(queries_->qDwTransOfDepot);

  TXMLWriter& w = Writer();
  w.WriteTag("Depot", TXMLWriter::tkOpen);
  const std::string name = DepotName();
  w.WriteElement("DP_Name", name);
  w.WriteElement("DP_ExtRef", name);
  w.WriteElement("DP_Type", "U");
  w.WriteElement("DP_Waehrung", "EUR");
  do {
    PositionKey = positions.CurrentRow().AsText("FONISIN");
    if (PositionKey.empty()) PositionKey = positions.CurrentRow().AsText("FONWKNEXT");
    if (!PositionKey.empty()) WriteDepotPosition();
  } while (positions.Fetch());
  w.WriteTag("Depot", TXMLWriter::tkClose);
}

void TXML_Gen::WriteDepotPosition() {
  db::Statement& position = queries_->qDpWerte;
  db::Statement& transactions = queries_->qDwTrans;
  db::Statement& holding = queries_->qDWBestand;
  const QueryCloser closeTransactions(transactions);
  const QueryCloser closeHolding(holding);

  const std::vector<std::string>* kept = depotRows_ ? &depotRows_->Of(PositionKey) : nullptr;
  bool hasTransactions = false;
  if (kept) {
    hasTransactions = !kept->empty();
  } else {
    transactions.SetText("parDEPSTNR", DepotNo);
    transactions.SetText("parDEPKTOART", AccountType);
    transactions.SetText("parFONISIN", PositionKey);
    transactions.Open();
    hasTransactions = transactions.Fetch();
    if (!hasTransactions) transactions.Close();
  }
  const db::Row* holdingRow = nullptr;
  if (!hasTransactions) {
    if (LastImport != 0) return;  // a follow-up import writes positions only with transactions
    holdingRow = PositionHolding();
    if (holdingRow == nullptr) return;
  }

  TXMLWriter& w = Writer();
  w.WriteTag("DepotWert", TXMLWriter::tkOpen);
  w.WriteElement("DW_WertTyp", "FONDS");
  w.WriteElement("DW_WertName", position.CurrentRow().AsText("FONNAMELANG"));
  w.WriteElement("DW_WKN", PositionKey);
  if (hasTransactions) {
    if (kept) {
      db::Row& row = queries_->qDwTransOfDepot.CurrentRow();
      for (const std::string& saved : *kept) {
        row.Load(saved);
        WriteTransaction(row);
      }
    } else {
      do {
        WriteTransaction(transactions.CurrentRow());
      } while (transactions.Fetch());
      transactions.Close();
    }
    if (!position.CurrentRow().IsNull("BESTSTK"))
      w.WriteDoubleElement("DW_BESTAND_ANTEILE", 3, position.CurrentRow().AsDouble("BESTSTK"));
  } else {
    WriteBalanceTransaction(*holdingRow);
  }
  w.WriteTag("DepotWert", TXMLWriter::tkClose);
}

}  // namespace kx
