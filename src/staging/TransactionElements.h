#pragma once

#include "db/Row.h"
#include "platform/RegionalSettings.h"
#include "util/FormatSettings.h"
#include "xml/XMLWriter.h"

namespace kx {

// The forms a transaction row is written in: the machine's number forms and its lower-casing of
// the type text, whose keywords refine the mode.
struct TransactionForms {
  const FormatSettings& formats;
  RegionalSettings& regional;
};

// One transaction row (of qDwTrans) as its DepotTrans element, with a SubTrans for a reinvested
// distribution; nothing for the rows the document leaves out.
void WriteTransaction(TXMLWriter& w, const db::Row& row, const TransactionForms& forms);
// The balance transaction (mode B) of a first import's position without transactions, from its
// holdings row (of qDWBestand).
void WriteBalanceTransaction(TXMLWriter& w, const db::Row& row, const TransactionForms& forms);

}  // namespace kx
