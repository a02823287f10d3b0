// Depots and their positions: the customers' depots and those without a customer.
#include "staging/ImportFileWriter.h"
#include "staging/TransactionElements.h"

namespace kx {
namespace {

// The depot's number, then "_" and the account type, then "_" and the sub-account, where present.
std::string DepotName(const StagingDepot& depot) {
  std::string name = depot.number;
  if (!depot.accountType.empty()) name += "_" + depot.accountType;
  if (!depot.subAccount.empty()) name += "_" + depot.subAccount;
  return name;
}

}  // namespace

void ImportFileWriter::WriteDepotAdmin(TXMLWriter& w) const {
  w.WriteTag("DepotVerw", TXMLWriter::tkOpen);
  w.WriteElement("DV_Waehrung", "EUR");
  w.WriteTag("DepotVerw", TXMLWriter::tkClose);
}

void ImportFileWriter::WriteUnassignedDepots(TXMLWriter& w) {
  w.WriteTag("Depotdaten_Ohne_Zuordnung", TXMLWriter::tkOpen);
  for (const StagingDepot& depot : rows_.UnassignedDepots()) {
    WriteDepot(w, depot);
    clock_.PumpMessages();
  }
  w.WriteTag("Depotdaten_Ohne_Zuordnung", TXMLWriter::tkClose);
}

void ImportFileWriter::WriteDepot(TXMLWriter& w, const StagingDepot& depot) {
  last_.depot = depot;
  const std::vector<DepotPosition> positions = rows_.PositionsOf(depot);
  if (positions.empty()) return;  // a depot without positions is not written
  w.WriteTag("Depot", TXMLWriter::tkOpen);
  const std::string name = DepotName(depot);
  w.WriteElement("DP_Name", name);
  w.WriteElement("DP_ExtRef", name);
  w.WriteElement("DP_Type", "U");
  w.WriteElement("DP_Waehrung", "EUR");
  for (const DepotPosition& position : positions) {
    if (!position.key.empty()) WriteDepotPosition(w, depot, position);
  }
  w.WriteTag("Depot", TXMLWriter::tkClose);
}

void ImportFileWriter::WriteDepotPosition(TXMLWriter& w, const StagingDepot& depot,
                                          const DepotPosition& position) {
  last_.positionKey = position.key;
  const TransactionForms forms{formats_, regional_};
  PositionRows& transactions = rows_.TransactionsOf(depot, position.key);
  const bool hasTransactions = transactions.Next();
  const db::Row* holding = nullptr;
  if (!hasTransactions) {
    if (header_.lastImport != 0) return;  // a follow-up import writes positions only with transactions
    holding = rows_.HoldingOf(depot, position.key);
    if (holding == nullptr) return;
  }

  w.WriteTag("DepotWert", TXMLWriter::tkOpen);
  w.WriteElement("DW_WertTyp", "FONDS");
  w.WriteElement("DW_WertName", position.name);
  w.WriteElement("DW_WKN", position.key);
  if (hasTransactions) {
    do {
      WriteTransaction(w, transactions.Current(), forms);
    } while (transactions.Next());
    if (position.shares) w.WriteDoubleElement("DW_BESTAND_ANTEILE", 3, *position.shares);
  } else {
    WriteBalanceTransaction(w, *holding, forms);
  }
  w.WriteTag("DepotWert", TXMLWriter::tkClose);
}

}  // namespace kx
