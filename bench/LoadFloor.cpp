#include "LoadFloor.h"

#include <stdexcept>
#include <utility>

#include "BenchSupport.h"
#include "db/Statement.h"
#include "staging/CsvImport.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/TableInserter.h"

namespace kx::bench {
namespace {

// An import target that keeps the converted rows instead of inserting them.
class RecordingTarget final : public ImportTarget {
 public:
  RecordingTarget(const std::vector<ImportField>& fields, RowBatch& rows) : fields_(fields), rows_(rows) {}
  const std::vector<ImportField>& Fields() const override { return fields_; }
  std::vector<RowOutcome> Insert(const RowBatch& batch) override {
    rows_.Append(batch);
    return std::vector<RowOutcome>(batch.Rows());
  }

 private:
  const std::vector<ImportField>& fields_;
  RowBatch& rows_;
};

}  // namespace

RowBatch ConvertLikeTheImporter(db::Transaction& transaction, std::string_view insertSql,
                                const std::string& file, const std::string& mapFile,
                                bool transactionsFilter) {
  const TableInserter inserter(transaction, insertSql);
  const db::Statement statement(transaction, insertSql);
  // Field i must be parameter i, so that the floor can bind by position.
  if (inserter.Fields().size() != static_cast<std::size_t>(statement.ParameterCount())) {
    throw std::runtime_error("the insert has parameters that are no fields");
  }
  RowBatch rows(inserter.Fields().size());
  RecordingTarget target(inserter.Fields(), rows);
  FixedClock clock;
  TCsvImportSettings settings;
  settings.FileName = file;
  settings.Map = ReadMap(mapFile);
  settings.ErrorLog = false;
  settings.Formats.Regional = GermanFormats();
  TCsvImport::TEvents events;
  if (transactionsFilter) {
    events.OnBeforePost = [](const TCsvImport&, const ImportRow& row, bool& accept) {
      accept = HasLoadedTypeCode(row);
    };
  }
  TCsvImport importer(target, clock, std::move(settings), std::move(events));
  importer.Execute();
  if (importer.ErrorCount() != 0)
    throw std::runtime_error("the conversion of " + file + " failed for some rows");
  return rows;
}

int64_t InsertRows(db::Transaction& transaction, std::string_view insertSql, const RowBatch& rows) {
  db::Statement insert(transaction, insertSql);
  const int fields = static_cast<int>(rows.Fields());
  for (std::size_t r = 0; r < rows.Rows(); ++r) {
    for (int f = 0; f < fields; ++f) BindCell(insert, f, rows, rows.At(r, static_cast<std::size_t>(f)));
    insert.Execute();
  }
  return static_cast<int64_t>(rows.Rows());
}

}  // namespace kx::bench
