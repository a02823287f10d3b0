// The container's load: staging connection, emptying the tables, the three importers.
#include "staging/ImpApi_Korvalix_XMLgen.h"

#include "db/DatabaseName.h"
#include "platform/platform.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/ImpApi_Korvalix_XMLgen_Queries.h"
#include "staging/TableInserter.h"
#include "util/Cp1252.h"
#include "util/ProviderIdentity.h"
#include "util/Rounding.h"
#include "util/WholeNumber.h"

namespace kx {

TXML_Gen::TXML_Gen(XMLGenContext context) : context_(context), formats_(context.Regional.Formats()) {}

// The queries and the connection go in this order: statements, transaction, connection.
TXML_Gen::~TXML_Gen() {
  queries_.reset();
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

int32_t TXML_Gen::GenerateImport(const GenerateImportArgs& args) {
  AdvisorRef = std::string(TrimControl(args.AdvisorRef));
  LastImport = args.LastImport;
  ImportDate = args.ImportDate;
  ClearReimport = args.ClearReimport;

  const std::string name = DatabaseName(args.ImportDb, args.DataDir);
  if (!args.ImportDb.empty()) context_.Progress.Send(KX_PROGRESS_LOG, 0, "ImportDB = " + name);
  Connect(name);
  IBTransaction1->ExecuteImmediate(staging_sql::kClearBestand);
  IBTransaction1->ExecuteImmediate(staging_sql::kClearTransakt);
  IBTransaction1->ExecuteImmediate(staging_sql::kClearDBstartids);
  IBTransaction1->CommitRetaining();

  LoadProviderFiles(args.DataDir);
  IBTransaction1->Commit();
  IBTransaction1->Start();

  const int32_t result = WriteImportFile(args.OutputDir);
  IBTransaction1->Commit();
  IBDatabase1->Detach();
  return result;
}

void TXML_Gen::LoadProviderFiles(const std::string& dataDir) {
  // Through a server every execute is a round trip: rows go kBatchRows at a time there. Inside the
  // process one insert per row is as fast (bench/README.md).
  const int batchRows = db::GoesThroughServer(databaseName_) ? kBatchRows : 0;
  TableInserter dsBestand(*IBTransaction1, staging_sql::InsertBestand(), {}, batchRows);
  TableInserter dsTransakt(*IBTransaction1, staging_sql::InsertTransakt(), {}, batchRows);
  // RECORDID is a column of the start-id table, not a field a map can name.
  TableInserter dsDBstartids(*IBTransaction1, staging_sql::InsertDBstartids(), {"RECORDID"});

  TCsvImport csvimpBestand(dsBestand, context_.Clock);
  TCsvImport csvimpTransakt(dsTransakt, context_.Clock);
  TCsvImport csvimpDBstartids(dsDBstartids, context_.Clock);
  csvimpDBstartids.ImportRecCount = 1;

  // All maps are read before the first load, so a missing one fails before any row is loaded.
  csvimpBestand.Map = ReadMap(dataDir + "BESTAND.txt");
  csvimpTransakt.Map = ReadMap(dataDir + "TRANSAKT.txt");
  csvimpDBstartids.Map = ReadMap(dataDir + "DBSTARTIDS.txt");

  csvimpBestand.OnImportRecord = [this, &csvimpBestand] { ReportRecord(csvimpBestand, 10); };
  csvimpTransakt.OnImportRecord = [this, &csvimpTransakt] { ReportRecord(csvimpTransakt, 40); };
  csvimpTransakt.OnBeforePost = [this, &csvimpTransakt](const ImportRow& row, bool& accept) {
    accept = HasLoadedTypeCode(row);
    if (csvimpTransakt.ProcessedCount() % 100 == 0) context_.Clock.PumpMessages();
  };

  context_.Progress.Send(KX_PROGRESS_STATUS, 10, "Import " + dataDir + std::string(kHoldingsFile));
  RunImporter(csvimpBestand, dataDir, kHoldingsFile, "bst_error.log");
  context_.Progress.Send(KX_PROGRESS_STATUS, 40, "Import " + dataDir + std::string(kTransactionsFile));
  RunImporter(csvimpTransakt, dataDir, kTransactionsFile, "tra_error.log");
  RunImporter(csvimpDBstartids, dataDir, kTransactionsFile, "ids_error.log");
}

void TXML_Gen::RunImporter(TCsvImport& importer, const std::string& dataDir, std::string_view source,
                           std::string_view log) {
  importer.FileName = dataDir + std::string(source);
  importer.ErrorLogFileName = dataDir + std::string(log);
  importer.Formats.Regional = formats_;
  importer.Execute();
  IBTransaction1->CommitRetaining();
}

// Progress after every 10th record: 10..40 for the holdings, 40..70 for the transactions.
void TXML_Gen::ReportRecord(const TCsvImport& importer, int offset) {
  const int64_t count = importer.ProcessedCount();
  if (count % 10 != 0) return;
  const double lines = static_cast<double>(importer.LineCount());
  const auto value = static_cast<int32_t>(RoundHalfEven(static_cast<double>(count) * 30.0 / lines)) + offset;
  context_.Progress.Send(KX_PROGRESS_POSITION, value, "");
  context_.Clock.PumpMessages();
}

DateTime TXML_Gen::ParseProviderDate(std::string_view text) {
  text = TrimControl(text);
  if (text.size() != 8) return 0;
  int parts[3] = {0, 0, 0};
  const std::size_t offsets[3] = {0, 4, 6};
  const std::size_t lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    const std::optional<int> part = WholeNumberOf<int>(text.substr(offsets[i], lengths[i]));
    if (!part) return 0;
    parts[i] = *part;
  }
  if (!IsValidDate(parts[0], parts[1], parts[2])) return 0;
  return EncodeDate(parts[0], parts[1], parts[2]);
}

}  // namespace kx
