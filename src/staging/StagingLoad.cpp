#include "staging/StagingLoad.h"

#include <utility>

#include "staging/ColumnMap.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/InsertQueue.h"
#include "staging/StagingSql.h"
#include "staging/TableInserter.h"
#include "util/ProviderIdentity.h"
#include "util/Rounding.h"

namespace kx {

StagingLoad::StagingLoad(db::Transaction& transaction, bool throughServer, ProgressSink& progress,
                         SystemClock& clock, FormatSettings formats)
    // Inside the process one insert per row is as fast as a batch (bench/README.md).
    : transaction_(transaction),
      batchRows_(throughServer ? kBatchRows : 0),
      progress_(progress),
      clock_(clock),
      formats_(std::move(formats)) {}

void StagingLoad::EmptyTables() {
  transaction_.ExecuteImmediate(staging_sql::kClearBestand);
  transaction_.ExecuteImmediate(staging_sql::kClearTransakt);
  transaction_.ExecuteImmediate(staging_sql::kClearDBstartids);
  transaction_.CommitRetaining();
}

void StagingLoad::Run(const std::string& dataDir) {
  EmptyTables();
  TableInserter dsBestand(transaction_, staging_sql::InsertBestand(), {}, batchRows_);
  TableInserter dsTransakt(transaction_, staging_sql::InsertTransakt(), {}, batchRows_);
  // RECORDID is a column of the start-id table, not a field a map can name.
  TableInserter dsDBstartids(transaction_, staging_sql::InsertDBstartids(), {"RECORDID"});
  // The two large files are converted while the database inserts: each through a queue whose
  // thread inserts. The start ids are a few rows, read one at a time.
  InsertQueue queuedBestand(dsBestand);
  InsertQueue queuedTransakt(dsTransakt);

  TCsvImport csvimpBestand(queuedBestand, clock_);
  TCsvImport csvimpTransakt(queuedTransakt, clock_);
  TCsvImport csvimpDBstartids(dsDBstartids, clock_);
  csvimpDBstartids.ImportRecCount = 1;

  // All maps are read before the first load, so a missing one fails before any row is loaded.
  csvimpBestand.Map = ReadMap(dataDir + std::string(kHoldingsMap));
  csvimpTransakt.Map = ReadMap(dataDir + std::string(kTransactionsMap));
  csvimpDBstartids.Map = ReadMap(dataDir + std::string(kStartIdsMap));

  csvimpBestand.OnImportRecord = [this, &csvimpBestand] { ReportRecord(csvimpBestand, 10); };
  csvimpTransakt.OnImportRecord = [this, &csvimpTransakt] { ReportRecord(csvimpTransakt, 40); };
  csvimpTransakt.OnBeforePost = [this, &csvimpTransakt](const ImportRow& row, bool& accept) {
    accept = HasLoadedTypeCode(row);
    // By lines read: the count of processed records stands still while the queue inserts.
    if (csvimpTransakt.CurrentLine() % 100 == 0) clock_.PumpMessages();
  };

  progress_.Send(KX_PROGRESS_STATUS, 10, "Import " + dataDir + std::string(kHoldingsFile));
  RunImporter(csvimpBestand, dataDir, kHoldingsFile, "bst_error.log");
  progress_.Send(KX_PROGRESS_STATUS, 40, "Import " + dataDir + std::string(kTransactionsFile));
  RunImporter(csvimpTransakt, dataDir, kTransactionsFile, "tra_error.log");
  RunImporter(csvimpDBstartids, dataDir, kTransactionsFile, "ids_error.log");
}

void StagingLoad::RunImporter(TCsvImport& importer, const std::string& dataDir, std::string_view source,
                              std::string_view log) {
  importer.FileName = dataDir + std::string(source);
  importer.ErrorLogFileName = dataDir + std::string(log);
  importer.Formats.Regional = formats_;
  importer.Execute();
  transaction_.CommitRetaining();
}

// Progress after every 10th record: 10..40 for the holdings, 40..70 for the transactions.
void StagingLoad::ReportRecord(const TCsvImport& importer, int offset) {
  const int64_t count = importer.ProcessedCount();
  if (count % 10 != 0) return;
  const double lines = static_cast<double>(importer.LineCount());
  const auto value = static_cast<int32_t>(RoundHalfEven(static_cast<double>(count) * 30.0 / lines)) + offset;
  progress_.Send(KX_PROGRESS_POSITION, value, "");
  clock_.PumpMessages();
}

}  // namespace kx
