#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/FieldInfo.h"
#include "db/IbaseApi.h"
#include "db/Sqlda.h"
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
  // The value bound to parameter fromPosition of another statement, NULL included.
  void CopyParameter(int position, const Statement& from, int fromPosition);

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

  // --- Result columns of the current row.
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const FieldInfo& Column(int index) const;
  // By alias name, compared without regard to ASCII case; raises when absent.
  int ColumnIndex(std::string_view name) const;

  // The current row as bytes, which LoadRow puts back into the columns as if fetched again: for
  // reading rows in another order than the cursor gives them.
  std::string SaveRow() const;
  void LoadRow(std::string_view row);

  bool IsNull(int index) const;
  // NULL reads as the empty text; numbers as their decimal text ("." as separator, doubles with
  // up to 15 significant digits); dates and times in the server's text form.
  std::string AsText(int index) const;
  // NULL reads as 0; a double is rounded; a text must hold a whole number.
  int64_t AsInt(int index) const;
  // NULL reads as 0; a text must hold a number.
  double AsDouble(int index) const;
  bool IsNull(std::string_view name) const { return IsNull(ColumnIndex(name)); }
  std::string AsText(std::string_view name) const { return AsText(ColumnIndex(name)); }
  int64_t AsInt(std::string_view name) const { return AsInt(ColumnIndex(name)); }
  double AsDouble(std::string_view name) const { return AsDouble(ColumnIndex(name)); }

 private:
  // The value of one parameter, at a fixed address for the XSQLVAR that points to it.
  struct Bound {
    std::string text;  // as SQL_VARYING: a 16-bit length, then the bytes
    int64_t integer = 0;
    double real = 0;
    int16_t indicator = -1;
    int16_t textSubtype = 0;  // the character set the parameter was described with
    // The sqllen a text is bound with: the described length of a text parameter, or the longest
    // text bound so far. Kept from one value to the next, so that the layout of the parameters
    // stays the same and the client does not describe the message anew for every execute.
    int16_t textCapacity = 0;
  };

  const ib::Functions& Api() const;
  void Check(const ib::Status* status) const;
  void RequireAttached() const;
  void Prepare(Transaction& transaction);
  void Describe(Sqlda& da, ib::DescribeFn describe);
  int QueryStatementType();
  void SetUpParameters(const std::vector<std::string>& names);
  void SetUpColumns();
  ib::XSQLVAR& CheckedParameter(int position);
  const ib::XSQLVAR& CheckedColumn(int index) const;
  template <typename Bind>
  void BindByName(std::string_view name, Bind bind);

  std::shared_ptr<detail::Session> session_;
  Transaction& transaction_;
  ib::Handle handle_{};
  std::string sql_;
  int statementType_ = 0;
  Sqlda in_{1};
  Sqlda out_{1};
  std::vector<FieldInfo> parameters_;
  std::vector<Bound> bound_;
  std::vector<FieldInfo> columns_;
  // Where ColumnIndex found a name, by the exact bytes asked for: readers ask for the same few
  // columns by name on every row.
  struct ColumnLookup {
    std::string name;
    int index = -1;
  };
  mutable std::array<ColumnLookup, 32> columnLookups_;
  std::vector<int64_t> columnData_;  // 8-byte aligned room for every column's value
  std::vector<int16_t> columnIndicators_;
  bool open_ = false;
};

}  // namespace kx::db
