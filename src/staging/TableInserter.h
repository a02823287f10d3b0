#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "db/Statement.h"
#include "staging/ImportTarget.h"

namespace kx {

// Inserts rows through one prepared insert statement, executed again for every row. The fields
// are the statement's named parameters, with the types and lengths the database describes;
// hidden parameters (a key the database supplies) are bound NULL and cannot be mapped.
//
// With batchRows > 1 a batch's rows go batchRows at a time in one EXECUTE BLOCK, which saves the
// round trips through a server; the rows left over are inserted one by one. A block the database
// refuses is undone as a whole and its rows are inserted again one by one, so that exactly the
// refused rows fail, each with the database's own message.
class TableInserter final : public ImportTarget {
 public:
  TableInserter(db::Transaction& transaction, std::string_view insertSql,
                std::vector<std::string> hidden = {}, int batchRows = 0);

  const std::vector<ImportField>& Fields() const override { return fields_; }
  std::vector<RowOutcome> Insert(const RowBatch& batch) override;
  // The rows one execute of the block takes; 0 without blocks.
  int BatchRows() const { return batchRows_; }

 private:
  // Binds a row of the batch to the parameters of the slot'th row of statement.
  void Bind(db::Statement& statement, int slot, const RowBatch& batch, std::size_t row);
  RowOutcome InsertOne(const RowBatch& batch, std::size_t row);

  db::Statement insert_;
  std::unique_ptr<db::Statement> block_;
  int batchRows_ = 0;
  int parameterCount_ = 0;  // of the single insert
  std::vector<ImportField> fields_;
  std::vector<int> positions_;  // the statement parameter of each field
};

// Binds one cell of a batch to a statement's parameter.
void BindCell(db::Statement& statement, int position, const RowBatch& batch, const RowBatch::Cell& cell);

// The EXECUTE BLOCK that runs the insert for rows rows, its parameters numbered row by row in the
// order of the insert's. Empty when a parameter's type cannot be declared in a block.
std::string BatchInsertSql(std::string_view insertSql, const db::Statement& insert, int rows);

}  // namespace kx
