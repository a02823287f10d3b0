#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "platform/RegionalSettings.h"
#include "platform/SystemClock.h"
#include "staging/CsvImport.h"
#include "staging/DepotRows.h"
#include "staging/GenerateImportArgs.h"
#include "staging/KeyedRows.h"
#include "util/DateTime.h"
#include "util/ProgressSink.h"
#include "xml/XMLWriter.h"

namespace kx {

// What the component container talks to.
struct XMLGenContext {
  ProgressSink& Progress;
  SystemClock& Clock;
  RegionalSettings& Regional;
};

// The named queries as they stand, or faster ones that give the same rows in the same order.
enum class DocumentQueries { Reference, Fast };

// The component container of one run: the staging connection with its one transaction, the three
// importers, the document queries, and the state of the document walk.
class TXML_Gen {
 public:
  explicit TXML_Gen(XMLGenContext context);
  ~TXML_Gen();
  TXML_Gen(const TXML_Gen&) = delete;
  TXML_Gen& operator=(const TXML_Gen&) = delete;

  // Loads the provider files into the staging tables and writes the import document: 0, or -28
  // when a first import found no customer. Every other failure is raised.
  int32_t GenerateImport(const GenerateImportArgs& args);
  // The staging database's name for the run: importDb with its first ".\" (POSIX "./") standing
  // for the data directory, or the local server's file in the data directory.
  static std::string DatabaseName(std::string_view importDb, std::string_view dataDir);
  // A provider date YYYYMMDD as a date; 0 for anything else.
  static DateTime ParseProviderDate(std::string_view text);

  int32_t WriteImportFile(const std::string& outputDir);
  // WriteImportFile on staging tables loaded by an earlier run, in a connection and transaction
  // of its own: the document alone, for measuring it. AdvisorRef, LastImport, ImportDate and
  // ClearReimport are taken as they stand.
  int32_t WriteImportFileFrom(const std::string& databaseName, const std::string& outputDir) {
    Connect(databaseName);
    const int32_t result = WriteImportFile(outputDir);
    IBTransaction1->Commit();
    IBDatabase1->Detach();
    return result;
  }
  void WriteImportHeader(const std::string& advisorRef);
  int64_t WriteCustomers();
  void WriteCustomerRef();
  void WritePerson();
  void WriteContacts();
  void WriteAddress();
  void WriteDepotAdmin();
  void WriteCustomerDepots();
  void WriteUnassignedDepots();
  void WriteDepot();
  void WriteDepotPosition();
  void WriteTransaction(const db::Row& row);
  void WriteBalanceTransaction(const db::Row& row);
  bool TypeTextContains(std::string_view keyword) const;

  std::string AdvisorRef;
  double LastImport = 0;
  DateTime ImportDate = 0;
  bool ClearReimport = false;
  DocumentQueries QuerySet = DocumentQueries::Fast;  // Reference for the comparison in the tests
  // The most transactions of one depot the fast queries keep in memory; a depot with more is read
  // position by position.
  std::size_t DepotRowsInMemory = 20000;
  std::string CustomerNo;
  std::string DepotNo;
  std::string AccountType;
  std::string SubAccount;
  std::string PositionKey;

 private:
  struct Queries;

  void Connect(const std::string& name);
  void LoadProviderFiles(const std::string& dataDir);
  void RunImporter(TCsvImport& importer, const std::string& dataDir, std::string_view source,
                   std::string_view log);
  void ReportRecord(const TCsvImport& importer, int offset);
  // Writes the depot of every row of a depot query (number, account type, sub-account).
  void WriteDepotsOf(db::Statement& depots, bool pumpAfterEach);
  // The fast way's current customer's depots from the query over all customers.
  void WriteKeptCustomerDepots();
  std::string PersonText(std::string_view column) const;
  // The current depot's rows of query kept by position; null when there are too many to keep.
  std::unique_ptr<DepotRows> KeepDepotRows(db::Statement& query);
  // The current depot's holdings kept by position; null when the depot is read position by position.
  const DepotRows* DepotHoldings();
  // The holding row of the current position (its first, as the position's query gives it), or
  // null when it has none.
  const db::Row* PositionHolding();
  std::string DepotName() const;
  std::string PriceDate(const db::Row& row, std::string_view column) const;
  TXMLWriter& Writer() { return *writer_; }

  // Rows per execution through a server: measured 2.5-3 times the rate of one row per execute.
  static constexpr int kBatchRows = 20;

  XMLGenContext context_;
  FormatSettings formats_;
  std::string databaseName_;
  std::unique_ptr<db::ClientLibrary> client_;
  std::unique_ptr<db::Connection> IBDatabase1;
  std::unique_ptr<db::Transaction> IBTransaction1;
  std::unique_ptr<Queries> queries_;
  TXMLWriter* writer_ = nullptr;
  bool hasPerson_ = false;  // qKdPerson1 (the fast way: personRows_) has a current row
  // The fast way's walks over all customers' person and depot rows, open while the customers are
  // written, and the depots of the customer written last (a customer number can come twice).
  KeyedRows* personRows_ = nullptr;
  KeyedRows* customerDepotRows_ = nullptr;
  struct Depot {
    std::string number, accountType, subAccount;
  };
  std::vector<Depot> customerDepots_;
  std::optional<int64_t> customerDepotsOf_;
  // The current depot's transactions and holdings, when kept (the holdings read on first need).
  std::unique_ptr<DepotRows> depotRows_;
  std::unique_ptr<DepotRows> depotHoldings_;
  bool holdingsLoaded_ = false;
  std::string typeText_;  // the lower-cased type text of the transaction being written
};

}  // namespace kx
