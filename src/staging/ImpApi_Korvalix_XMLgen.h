#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/Transaction.h"
#include "platform/RegionalSettings.h"
#include "platform/SystemClock.h"
#include "platform/UserInterface.h"
#include "staging/GenerateImportArgs.h"
#include "util/DateTime.h"
#include "util/ProgressSink.h"

namespace kx {

// What the component container talks to.
struct XMLGenContext {
  ProgressSink& Progress;
  SystemClock& Clock;
  RegionalSettings& Regional;
  UserInterface& Ui;  // the progress window while the run waits for the staging database
};

// The named queries as they stand, or faster ones that give the same rows in the same order.
enum class DocumentQueries { Reference, Fast };

// The component container of one run: the staging connection with its one transaction, then the
// load (StagingLoad) and the document (ImportFileWriter) in turn.
class TXML_Gen {
 public:
  explicit TXML_Gen(XMLGenContext context);
  ~TXML_Gen();
  TXML_Gen(const TXML_Gen&) = delete;
  TXML_Gen& operator=(const TXML_Gen&) = delete;

  // Loads the provider files into the staging tables and writes the import document: 0, -28 when
  // a first import found no customer, or -1015 when the user cancelled the wait for a staging
  // database that another import held. Every other failure is raised.
  int32_t GenerateImport(const GenerateImportArgs& args);
  // The staging database's name for the run: importDb with its first ".\" (POSIX "./") standing
  // for the data directory, or the local server's file in the data directory.
  static std::string DatabaseName(std::string_view importDb, std::string_view dataDir);

  // The document from the loaded staging tables, in the open transaction.
  int32_t WriteImportFile(const std::string& outputDir, EarlierDocument earlier = EarlierDocument::Removed);
  // WriteImportFile on staging tables loaded by an earlier run, in a connection and transaction
  // of its own: the document alone, for measuring it. AdvisorRef, LastImport, ImportDate and
  // ClearReimport are taken as they stand.
  int32_t WriteImportFileFrom(const std::string& databaseName, const std::string& outputDir);

  std::string AdvisorRef;
  double LastImport = 0;
  DateTime ImportDate = 0;
  bool ClearReimport = false;
  DocumentQueries QuerySet = DocumentQueries::Fast;  // Reference for the comparison in the tests
  // The most transactions of one depot the fast queries keep in memory; a depot with more is read
  // position by position.
  std::size_t DepotRowsInMemory = 20000;
  // Where the document's walk stood last (the customer, depot and position written last).
  std::string CustomerNo;
  std::string DepotNo;
  std::string AccountType;
  std::string SubAccount;
  std::string PositionKey;

 private:
  void Connect(const std::string& name);
  bool ConnectAlone(const std::string& name, int32_t waitSeconds);

  XMLGenContext context_;
  std::string databaseName_;
  std::unique_ptr<db::ClientLibrary> client_;
  std::unique_ptr<db::Connection> IBDatabase1;
  std::unique_ptr<db::Transaction> IBTransaction1;
};

}  // namespace kx
