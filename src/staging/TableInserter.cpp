#include "staging/TableInserter.h"

#include <algorithm>

#include "db/DatabaseError.h"
#include "db/NamedParameters.h"
#include "util/Cp1252.h"

namespace kx {
namespace {

// The longest statement text the server accepts.
constexpr std::size_t kMaxStatementBytes = 65535;

ImportField::Kind KindOf(db::FieldType type) {
  switch (type) {
    case db::FieldType::Char:
    case db::FieldType::VarChar:
      return ImportField::Kind::Text;
    case db::FieldType::SmallInt:
      return ImportField::Kind::SmallInt;
    case db::FieldType::Integer:
    case db::FieldType::BigInt:
      return ImportField::Kind::Integer;
    case db::FieldType::Float:
    case db::FieldType::Double:
      return ImportField::Kind::Double;
    default:
      return ImportField::Kind::Other;
  }
}

// The declaration of a block parameter that takes what the insert's parameter takes.
std::string DeclaredType(const db::FieldInfo& p) {
  switch (p.type) {
    case db::FieldType::VarChar:
      return "VARCHAR(" + std::to_string(std::max(p.length, 1)) + ")";
    case db::FieldType::Char:
      return "CHAR(" + std::to_string(std::max(p.length, 1)) + ")";
    case db::FieldType::SmallInt:
      return p.scale == 0 ? "SMALLINT" : "";
    case db::FieldType::Integer:
      return p.scale == 0 ? "INTEGER" : "";
    case db::FieldType::BigInt:
      return p.scale == 0 ? "BIGINT" : "";
    case db::FieldType::Float:
      return "FLOAT";
    case db::FieldType::Double:
      return "DOUBLE PRECISION";
    default:
      return "";
  }
}

}  // namespace

std::string BatchInsertSql(std::string_view insertSql, const db::Statement& insert, int rows) {
  const db::PositionalSql positional = db::RewriteNamedParameters(insertSql);
  std::string declarations;
  std::string body;
  for (int row = 0; row < rows; ++row) {
    std::string statement;
    int parameter = 0;
    for (const char c : positional.sql) {
      if (c != '?') {
        statement += c;
        continue;
      }
      const std::string name = "P" + std::to_string(row) + "_" + std::to_string(parameter);
      const std::string type = DeclaredType(insert.Parameter(parameter));
      if (type.empty()) return "";
      if (!declarations.empty()) declarations += ", ";
      declarations.append(name).append(" ").append(type).append(" = ?");
      statement.append(":").append(name);
      ++parameter;
    }
    body.append(statement).append("; ");
  }
  return "EXECUTE BLOCK (" + declarations + ") AS BEGIN " + body + "END";
}

TableInserter::TableInserter(db::Transaction& transaction, std::string_view insertSql,
                             std::vector<std::string> hidden, int batchRows)
    : insert_(transaction, insertSql), parameterCount_(insert_.ParameterCount()) {
  for (int i = 0; i < parameterCount_; ++i) {
    const db::FieldInfo& p = insert_.Parameter(i);
    const bool isHidden = std::any_of(hidden.begin(), hidden.end(), [&p](const std::string& name) {
      return EqualsIgnoreCase1252(name, p.name);
    });
    if (isHidden) continue;
    fields_.push_back({p.name, KindOf(p.type), p.length > 0 ? static_cast<std::size_t>(p.length) : 0});
    positions_.push_back(i);
  }
  // As many rows as the server takes in one statement text, at most batchRows. A server that
  // refuses the block leaves the inserter at one row per execute.
  for (; batchRows > 1; --batchRows) {
    const std::string sql = BatchInsertSql(insertSql, insert_, batchRows);
    if (sql.empty()) break;
    if (sql.size() > kMaxStatementBytes) continue;
    try {
      block_ = std::make_unique<db::Statement>(transaction, sql, db::ParameterMarkers::Positional);
      batchRows_ = batchRows;
    } catch (const db::DatabaseError&) {
      block_.reset();
    }
    break;
  }
}

std::vector<RowOutcome> TableInserter::Insert(const RowBatch& batch) {
  std::vector<RowOutcome> outcomes;
  outcomes.reserve(batch.Rows());
  std::size_t row = 0;
  for (; block_ && row + static_cast<std::size_t>(batchRows_) <= batch.Rows(); row += batchRows_) {
    try {
      for (int slot = 0; slot < batchRows_; ++slot) Bind(*block_, slot, batch, row + slot);
      block_->Execute();
      outcomes.resize(outcomes.size() + static_cast<std::size_t>(batchRows_));
    } catch (const db::DatabaseError&) {
      // The block was undone as a whole; the rows one by one tell which of them the database refuses.
      for (int slot = 0; slot < batchRows_; ++slot) outcomes.push_back(InsertOne(batch, row + slot));
    }
  }
  for (; row < batch.Rows(); ++row) outcomes.push_back(InsertOne(batch, row));
  return outcomes;
}

RowOutcome TableInserter::InsertOne(const RowBatch& batch, std::size_t row) {
  try {
    Bind(insert_, 0, batch, row);
    insert_.Execute();
    return {};
  } catch (const db::DatabaseError& e) {
    return {false, e.what()};
  }
}

void TableInserter::Bind(db::Statement& statement, int slot, const RowBatch& batch, std::size_t row) {
  const int base = slot * parameterCount_;
  if (&statement == &insert_) {
    statement.SetAllNull();
  } else {
    for (int i = 0; i < parameterCount_; ++i) statement.SetNull(base + i);
  }
  for (std::size_t field = 0; field < fields_.size(); ++field) {
    BindCell(statement, base + positions_[field], batch, batch.At(row, field));
  }
}

void BindCell(db::Statement& statement, int position, const RowBatch& batch, const RowBatch::Cell& cell) {
  switch (cell.kind) {
    case RowBatch::Kind::Null:
      statement.SetNull(position);
      return;
    case RowBatch::Kind::Int:
      statement.SetInt(position, cell.integer);
      return;
    case RowBatch::Kind::Double:
      statement.SetDouble(position, cell.real);
      return;
    case RowBatch::Kind::Text:
      statement.SetText(position, batch.Text(cell));
      return;
  }
}

}  // namespace kx
