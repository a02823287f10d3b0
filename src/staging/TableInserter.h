#pragma once

#include <deque>
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
// With batchRows > 1 the rows are gathered and sent batchRows at a time in one EXECUTE BLOCK, which
// saves the round trips through a server. A batch the database refuses is undone as a whole and
// its rows are inserted again one by one, so that exactly the refused rows fail, each with the
// database's own message; outcomes come in the order of the rows.
class TableInserter final : public ImportTarget {
 public:
  TableInserter(db::Transaction& transaction, std::string_view insertSql,
                std::vector<std::string> hidden = {}, int batchRows = 0);

  const std::vector<ImportField>& Fields() const override { return fields_; }
  void BeginRow() override;
  void SetText(std::size_t field, std::string_view value) override;
  void SetInt(std::size_t field, int64_t value) override;
  void SetDouble(std::size_t field, double value) override;
  void SetNull(std::size_t field) override;
  void Post() override;
  void Cancel() override {}

  bool Defers() const override { return batch_ != nullptr; }
  // The rows a batch takes; 0 without batches.
  int BatchRows() const { return batchRows_; }
  void Flush() override;
  std::optional<PostedRow> TakeOutcome() override;

 private:
  // The statement that takes the current row and the position of a field's value in it (without
  // batches the slot stays 0).
  db::Statement& Target() { return batch_ ? *batch_ : insert_; }
  int Position(std::size_t field) const { return slot_ * parameterCount_ + positions_[field]; }
  // Inserts the first rows gathered in the batch one by one, recording each outcome.
  void InsertSingly(int rows);

  db::Statement insert_;
  std::unique_ptr<db::Statement> batch_;
  int batchRows_ = 0;
  int parameterCount_ = 0;  // of the single insert
  int slot_ = 0;            // the current row's place in the batch
  std::vector<ImportField> fields_;
  std::vector<int> positions_;  // the statement parameter of each field
  std::deque<PostedRow> outcomes_;
};

// The EXECUTE BLOCK that runs the insert for rows rows, its parameters numbered row by row in the
// order of the insert's. Empty when a parameter's type cannot be declared in a block.
std::string BatchInsertSql(std::string_view insertSql, const db::Statement& insert, int rows);

}  // namespace kx
