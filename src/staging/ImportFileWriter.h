#pragma once

#include <cstdint>
#include <string>

#include "db/Row.h"
#include "platform/RegionalSettings.h"
#include "platform/SystemClock.h"
#include "staging/DocumentRows.h"
#include "staging/EarlierDocument.h"
#include "util/DateTime.h"
#include "util/FormatSettings.h"
#include "util/ProgressSink.h"
#include "xml/XMLWriter.h"

namespace kx {

// What the document says about the run as a whole.
struct DocumentHeader {
  std::string advisorRef;
  double lastImport = 0;  // 0: a first import
  DateTime importDate = 0;
  bool clearReimport = false;
};

// The texts of a customer's person row that the document writes.
struct PersonTexts {
  std::string gender, birthDate, salutation, firstName, lastName, title;
  std::string phone, fax, email;
  std::string street, postcode, town;

  static PersonTexts Of(const db::Row* row);
};

// Where the walk stood last: the customer, depot and position written last.
struct WalkPosition {
  std::string customerNo;
  StagingDepot depot;
  std::string positionKey;
};

// The import document, KORVALIX.XML: the header, every customer with person, depots, contacts and
// address, and in a follow-up import the depots without a customer. The walk reads its rows from
// a DocumentRows and hands what it stands on (customer, depot, position) down as values.
class ImportFileWriter {
 public:
  ImportFileWriter(DocumentHeader header, DocumentRows& rows, ProgressSink& progress, SystemClock& clock,
                   RegionalSettings& regional);

  // Writes outputDir/KORVALIX.XML: 0, or -28 when a first import found no customer.
  int32_t Write(const std::string& outputDir, EarlierDocument earlier = EarlierDocument::Removed);
  const WalkPosition& Last() const { return last_; }

 private:
  void WriteImportHeader(TXMLWriter& w);
  int64_t WriteCustomers(TXMLWriter& w);
  void WriteCustomer(TXMLWriter& w, const std::string& customerNo);
  void WritePerson(TXMLWriter& w, const std::string& customerNo, const PersonTexts& person);
  void WriteDepotAdmin(TXMLWriter& w) const;
  void WriteUnassignedDepots(TXMLWriter& w);
  void WriteDepot(TXMLWriter& w, const StagingDepot& depot);
  void WriteDepotPosition(TXMLWriter& w, const StagingDepot& depot, const DepotPosition& position);

  DocumentHeader header_;
  DocumentRows& rows_;
  ProgressSink& progress_;
  SystemClock& clock_;
  RegionalSettings& regional_;
  FormatSettings formats_;
  WalkPosition last_;  // kept for the container's cursor values; the walk never reads it
};

}  // namespace kx
