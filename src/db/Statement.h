#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/FieldInfo.h"
#include "db/Row.h"
#include "db/Transaction.h"

namespace kx::db {

enum class ParameterMarkers {
  Named,       // ":NAME" is rewritten to "?" and the name kept (RewriteNamedParameters)
  Positional,  // the text goes to the server as it is: only "?" are parameters
};

// A statement prepared once and executed many times with new parameter values, in the spirit of
// SQLiteCpp's Statement. Parameters and columns are numbered from 0. Every failure raises
// DatabaseError; the destructor releases the statement and never throws.
//
// Values are bound as they are given and the server converts them to the parameter's type: text
// bound to an INTEGER parameter is read as a number there. An empty text is no number: for a
// numeric parameter it is a conversion error, so a caller with nothing to store binds NULL.
// Text is bytes both ways; nothing is converted.
//
// The transaction must outlive every call that runs the statement (prepare, Execute, Open,
// Fetch); the objects may be destroyed in any order.
class Statement {
 public:
  // Prepares and describes the statement in the transaction (which must be active).
  Statement(Transaction& transaction, std::string_view sql,
            ParameterMarkers markers = ParameterMarkers::Named);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // The text as prepared (":NAME" already replaced by "?").
  const std::string& Sql() const { return sql_; }

  // --- Parameters. All start as NULL and keep their value from one execute to the next.
  int ParameterCount() const { return static_cast<int>(parameters_.size()); }
  const FieldInfo& Parameter(int position) const;
  // The first position of a name (compared without regard to ASCII case); raises when absent.
  int ParameterIndex(std::string_view name) const;

  void SetNull(int position);
  // Every parameter NULL, as at the start of a new row of values.
  void SetAllNull();
  // Any bytes up to 32765 of them (more raises). A text longer than the column is refused by the
  // server ("string right truncation"); Parameter(i).length is the length to cut to.
  void SetText(int position, std::string_view bytes);
  void SetInt(int position, int64_t value);  // 16-, 32- and 64-bit columns alike
  void SetDouble(int position, double value);
  // By name: every position carrying the name (":parDEPSTNR" twice binds both).

  void SetNull(std::string_view name);
  void SetText(std::string_view name, std::string_view bytes);
  void SetInt(std::string_view name, int64_t value);
  void SetDouble(std::string_view name, double value);

  // --- Running.
  // A statement without a result set (insert, update, delete, DDL). One that returns a single
  // row (EXECUTE PROCEDURE, INSERT ... RETURNING) leaves it in the columns.
  void Execute();
  // A select: opens the cursor with the current parameter values, closing a previous one first.
  void Open();
  // The next row into the columns; false at the end.
  bool Fetch();
  // Closes the cursor so that Open can run again. Never fails: a cursor the server closed already
  // (its transaction ended) counts as closed.
  void Close() noexcept;
  bool IsOpen() const { return open_; }

  // --- The columns of the current row: what Fetch or Execute read last. The reference stays the
  // same object for the statement's life, so a reader may hold it across fetches.
  const Row& CurrentRow() const { return row_; }
  // For Row::Load, which puts a saved row back into the columns. Never assign to it: the client
  // fetches into this row's buffers.
  Row& CurrentRow() { return row_; }

  // The client's handles and descriptors: defined and used inside the database layer only.
  struct Impl;

 private:
  void SetUpColumns();
  void CheckParameterPosition(int position) const;
  template <typename Bind>
  void BindByName(std::string_view name, Bind bind);

  std::unique_ptr<Impl> impl_;
  std::string sql_;
  std::vector<FieldInfo> parameters_;
  Row row_;
  bool open_ = false;
};

}  // namespace kx::db
