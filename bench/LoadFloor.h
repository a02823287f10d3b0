#pragma once

// The floor of a load: the rows a load inserts, already split and converted, inserted through
// the same prepared insert statement with nothing else in the loop.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/Transaction.h"
#include "staging/ImportTarget.h"

namespace kx::bench {

// The statement parameters of every row one load posts, as the importer assigned them.
class ConvertedRows {
 public:
  enum class Kind : uint8_t { Null, Int, Double, Text };
  struct Cell {
    Kind kind = Kind::Null;
    uint32_t length = 0;  // of a text
    union {
      int64_t integer;
      double real;
      uint64_t offset;  // of a text in the arena
    };
    Cell() : integer(0) {}
  };

  explicit ConvertedRows(std::size_t fields) : fields_(fields) {}
  std::size_t Fields() const { return fields_; }
  std::size_t Rows() const { return cells_.size() / fields_; }
  const Cell* Row(std::size_t row) const { return &cells_[row * fields_]; }
  std::string_view Text(const Cell& cell) const {
    return std::string_view(arena_).substr(cell.offset, cell.length);
  }

  void BeginRow() { cells_.resize(cells_.size() + fields_); }
  void DropRow() { cells_.resize(cells_.size() - fields_); }
  Cell& Last(std::size_t field) { return cells_[cells_.size() - fields_ + field]; }
  void SetText(std::size_t field, std::string_view value);

 private:
  std::size_t fields_;
  std::vector<Cell> cells_;
  std::string arena_;
};

// Runs the importer over file the way GenerateImport configures it for table (its map file in
// dataDir, its row filter), recording the converted rows instead of inserting them. The fields
// are those of a TableInserter on insertSql, prepared in transaction.
ConvertedRows ConvertLikeTheImporter(db::Transaction& transaction, std::string_view insertSql,
                                     const std::string& file, const std::string& mapFile,
                                     bool transactionsFilter);

// Executes insertSql once per row with the recorded values; returns the rows inserted.
int64_t InsertRows(db::Transaction& transaction, std::string_view insertSql, const ConvertedRows& rows);

}  // namespace kx::bench
