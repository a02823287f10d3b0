#pragma once

#include <string>
#include <string_view>

#include "db/Transaction.h"
#include "platform/SystemClock.h"
#include "staging/CsvImport.h"
#include "util/FormatSettings.h"
#include "util/ProgressSink.h"

namespace kx {

// The load of one run: empties the three staging tables, then loads the holdings file, the
// transactions file and the start ids from the data directory through the delimited-text
// importer, each committed (retaining) when it is complete: the transaction stays the caller's,
// so that its reservation of the tables lasts until the document is written.
class StagingLoad {
 public:
  // throughServer: every execute is a round trip, so rows go in batches.
  StagingLoad(db::Transaction& transaction, bool throughServer, ProgressSink& progress, SystemClock& clock,
              FormatSettings formats);

  void Run(const std::string& dataDir);

 private:
  void EmptyTables();
  // One importer's settings: its file, map and log in the data directory.
  TCsvImportSettings Settings(const std::string& dataDir, std::string_view source, std::string_view map,
                              std::string_view log) const;
  void Load(TCsvImport importer);
  void ReportRecord(const TCsvImport& importer, int offset);

  // Rows per execution through a server: measured 2.5-3 times the rate of one row per execute.
  static constexpr int kBatchRows = 20;

  db::Transaction& transaction_;
  int batchRows_;
  ProgressSink& progress_;
  SystemClock& clock_;
  FormatSettings formats_;
};

}  // namespace kx
