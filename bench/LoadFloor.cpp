#include "LoadFloor.h"

#include <stdexcept>

#include "BenchSupport.h"
#include "db/Statement.h"
#include "staging/CsvImport.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "staging/TableInserter.h"

namespace kx::bench {
namespace {

// An import target that keeps the converted values instead of posting them.
class RecordingTarget final : public ImportTarget {
 public:
  RecordingTarget(const std::vector<ImportField>& fields, ConvertedRows& rows)
      : fields_(fields), rows_(rows) {}
  const std::vector<ImportField>& Fields() const override { return fields_; }
  void BeginRow() override {
    rows_.BeginRow();
    open_ = true;
  }
  void SetText(std::size_t field, std::string_view value) override { rows_.SetText(field, value); }
  void SetInt(std::size_t field, int64_t value) override {
    ConvertedRows::Cell& cell = rows_.Last(field);
    cell.kind = ConvertedRows::Kind::Int;
    cell.integer = value;
  }
  void SetDouble(std::size_t field, double value) override {
    ConvertedRows::Cell& cell = rows_.Last(field);
    cell.kind = ConvertedRows::Kind::Double;
    cell.real = value;
  }
  void SetNull(std::size_t field) override { rows_.Last(field).kind = ConvertedRows::Kind::Null; }
  void Post() override { open_ = false; }
  void Cancel() override {
    if (open_) rows_.DropRow();
    open_ = false;
  }

 private:
  const std::vector<ImportField>& fields_;
  ConvertedRows& rows_;
  bool open_ = false;
};

}  // namespace

void ConvertedRows::SetText(std::size_t field, std::string_view value) {
  Cell& cell = Last(field);
  cell.kind = Kind::Text;
  cell.offset = arena_.size();
  cell.length = static_cast<uint32_t>(value.size());
  arena_.append(value);
}

ConvertedRows ConvertLikeTheImporter(db::Transaction& transaction, std::string_view insertSql,
                                     const std::string& file, const std::string& mapFile,
                                     bool transactionsFilter) {
  const TableInserter inserter(transaction, insertSql);
  const db::Statement statement(transaction, insertSql);
  // Field i must be parameter i, so that the floor can bind by position.
  if (inserter.Fields().size() != static_cast<std::size_t>(statement.ParameterCount())) {
    throw std::runtime_error("the insert has parameters that are no fields");
  }
  ConvertedRows rows(inserter.Fields().size());
  RecordingTarget target(inserter.Fields(), rows);
  FixedClock clock;
  TCsvImport importer(target, clock);
  importer.FileName = file;
  importer.Map = ReadMap(mapFile);
  importer.ErrorLog = false;
  importer.Formats.Regional = GermanFormats();
  if (transactionsFilter) {
    importer.OnBeforePost = [](const ImportRow& row, bool& accept) { accept = HasLoadedTypeCode(row); };
  }
  importer.Execute();
  if (importer.ErrorCount() != 0)
    throw std::runtime_error("the conversion of " + file + " failed for some rows");
  return rows;
}

int64_t InsertRows(db::Transaction& transaction, std::string_view insertSql, const ConvertedRows& rows) {
  db::Statement insert(transaction, insertSql);
  const int fields = static_cast<int>(rows.Fields());
  for (std::size_t r = 0; r < rows.Rows(); ++r) {
    const ConvertedRows::Cell* row = rows.Row(r);
    for (int f = 0; f < fields; ++f) {
      const ConvertedRows::Cell& cell = row[f];
      switch (cell.kind) {
        case ConvertedRows::Kind::Null:
          insert.SetNull(f);
          break;
        case ConvertedRows::Kind::Int:
          insert.SetInt(f, cell.integer);
          break;
        case ConvertedRows::Kind::Double:
          insert.SetDouble(f, cell.real);
          break;
        case ConvertedRows::Kind::Text:
          insert.SetText(f, rows.Text(cell));
          break;
      }
    }
    insert.Execute();
  }
  return static_cast<int64_t>(rows.Rows());
}

}  // namespace kx::bench
