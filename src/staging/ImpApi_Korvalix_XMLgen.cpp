#include "staging/ImpApi_Korvalix_XMLgen.h"

#include "db/DatabaseError.h"
#include "db/DatabaseName.h"
#include "platform/platform.h"
#include "staging/FastDocumentRows.h"
#include "staging/ImportFileWriter.h"
#include "staging/ReferenceDocumentRows.h"
#include "staging/StagingLoad.h"
#include "staging/StagingSql.h"
#include "staging/StagingWait.h"
#include "util/Cp1252.h"
#include "util/ResultCodes.h"

namespace kx {

TXML_Gen::TXML_Gen(XMLGenContext context) : context_(context) {}

// The transaction goes before the connection.
TXML_Gen::~TXML_Gen() {
  IBTransaction1.reset();
  IBDatabase1.reset();
}

std::string TXML_Gen::DatabaseName(std::string_view importDb, std::string_view dataDir) {
  if (importDb.empty()) return "localhost:" + std::string(dataDir) + "KXDB.IDB";
  const std::string placeholder = std::string(".") + kPathDelimiter;
  std::string name(importDb);
  if (const std::size_t pos = name.find(placeholder); pos != std::string::npos) name.replace(pos, 2, dataDir);
  return name;
}

void TXML_Gen::Connect(const std::string& name) {
  databaseName_ = name;
  client_ = std::make_unique<db::ClientLibrary>();
  IBDatabase1 = std::make_unique<db::Connection>(*client_, name);
  IBTransaction1 = std::make_unique<db::Transaction>(*IBDatabase1);
  IBTransaction1->Start();
}

// The run's database work, from emptying the tables to the document, is one transaction that
// reserves the three staging tables (committed retaining on the way): no other run, in any
// process or on any machine, writes them in between. While another run holds them (or, embedded,
// holds the file), this run waits without having changed anything. False when the user cancelled.
bool TXML_Gen::ConnectAlone(const std::string& name, int32_t waitSeconds) {
  databaseName_ = name;
  client_ = std::make_unique<db::ClientLibrary>();
  StagingWait wait({context_.Progress, context_.Clock, context_.Ui}, name, waitSeconds);
  for (;;) {
    try {
      if (!IBDatabase1) IBDatabase1 = std::make_unique<db::Connection>(*client_, name);
      if (!IBTransaction1) IBTransaction1 = std::make_unique<db::Transaction>(*IBDatabase1);
      IBTransaction1->StartReserving(staging_sql::kStagingTables);
      return true;
    } catch (const db::DatabaseError& error) {
      if (!db::HeldElsewhere(error)) throw;
    }
    if (!wait.Pause()) return false;
  }
}

int32_t TXML_Gen::GenerateImport(const GenerateImportArgs& args) {
  AdvisorRef = std::string(TrimControl(args.AdvisorRef));
  LastImport = args.LastImport;
  ImportDate = args.ImportDate;
  ClearReimport = args.ClearReimport;

  const std::string name = DatabaseName(args.ImportDb, args.DataDir);
  if (!args.ImportDb.empty()) context_.Progress.Send(KX_PROGRESS_LOG, 0, "ImportDB = " + name);
  const bool connected = ConnectAlone(name, args.WaitSeconds);
  if (args.NameClientFile) context_.Progress.Send(KX_PROGRESS_LOG, 0, "Datenbank-Client: " + client_->File());
  if (!connected) return kDownloadCancelled;
  StagingLoad(*IBTransaction1, db::GoesThroughServer(databaseName_), context_.Progress, context_.Clock,
              context_.Regional.Formats())
      .Run(args.DataDir);

  const int32_t result = WriteImportFile(args.OutputDir, args.Earlier);
  IBTransaction1->Commit();
  IBDatabase1->Detach();
  return result;
}

int32_t TXML_Gen::WriteImportFile(const std::string& outputDir, EarlierDocument earlier) {
  std::unique_ptr<DocumentRows> rows;
  if (QuerySet == DocumentQueries::Fast) {
    rows = std::make_unique<FastDocumentRows>(*IBTransaction1, DepotRowsInMemory);
  } else {
    rows = std::make_unique<ReferenceDocumentRows>(*IBTransaction1);
  }
  ImportFileWriter writer({AdvisorRef, LastImport, ImportDate, ClearReimport}, *rows, context_.Progress,
                          context_.Clock, context_.Regional);
  const int32_t result = writer.Write(outputDir, earlier);
  const WalkPosition& last = writer.Last();
  CustomerNo = last.customerNo;
  DepotNo = last.depot.number;
  AccountType = last.depot.accountType;
  SubAccount = last.depot.subAccount;
  PositionKey = last.positionKey;
  return result;
}

int32_t TXML_Gen::WriteImportFileFrom(const std::string& databaseName, const std::string& outputDir) {
  Connect(databaseName);
  const int32_t result = WriteImportFile(outputDir);
  IBTransaction1->Commit();
  IBDatabase1->Detach();
  return result;
}

}  // namespace kx
