#include "staging/StagingLoad.h"

#include <utility>

#include "staging/ColumnMap.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
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

  // All maps are read before the first load, so a missing one fails before any row is loaded.
  TCsvImportSettings bestand = Settings(dataDir, kHoldingsFile, kHoldingsMap, kHoldingsLog);
  TCsvImportSettings transakt = Settings(dataDir, kTransactionsFile, kTransactionsMap, kTransactionsLog);
  TCsvImportSettings dbstartids = Settings(dataDir, kTransactionsFile, kStartIdsMap, kStartIdsLog);
  // The two large files are converted while a worker inserts; the start ids are a few rows, read
  // one at a time.
  bestand.InsertOnWorker = transakt.InsertOnWorker = true;
  dbstartids.ImportRecCount = 1;

  TCsvImport::TEvents bestandEvents;
  bestandEvents.OnImportRecord = [this](const TCsvImport& sender) { ReportRecord(sender, 10); };
  TCsvImport::TEvents transaktEvents;
  transaktEvents.OnImportRecord = [this](const TCsvImport& sender) { ReportRecord(sender, 40); };
  transaktEvents.OnBeforePost = [this](const TCsvImport& sender, const ImportRow& row, bool& accept) {
    accept = HasLoadedTypeCode(row);
    // By lines read: the count of processed records stands still while the worker inserts.
    if (sender.CurrentLine() % 100 == 0) clock_.PumpMessages();
  };

  progress_.Send(KX_PROGRESS_STATUS, 10, "Import " + bestand.FileName);
  Load(TCsvImport(dsBestand, clock_, std::move(bestand), std::move(bestandEvents)));
  progress_.Send(KX_PROGRESS_STATUS, 40, "Import " + transakt.FileName);
  Load(TCsvImport(dsTransakt, clock_, std::move(transakt), std::move(transaktEvents)));
  Load(TCsvImport(dsDBstartids, clock_, std::move(dbstartids)));
}

TCsvImportSettings StagingLoad::Settings(const std::string& dataDir, std::string_view source,
                                         std::string_view map, std::string_view log) const {
  TCsvImportSettings settings;
  settings.FileName = dataDir + std::string(source);
  settings.Map = ReadMap(dataDir + std::string(map));
  settings.ErrorLogFileName = dataDir + std::string(log);
  settings.Formats.Regional = formats_;
  return settings;
}

void StagingLoad::Load(TCsvImport importer) {
  // Execute returns with every row settled and the importer's worker ended: the transaction is
  // this thread's alone again.
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
