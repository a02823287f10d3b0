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
      batch_ = std::make_unique<db::Statement>(transaction, sql, db::ParameterMarkers::Positional);
      batchRows_ = batchRows;
    } catch (const db::DatabaseError&) {
      batch_.reset();
    }
    break;
  }
}

void TableInserter::BeginRow() {
  if (!batch_) {
    insert_.SetAllNull();
    return;
  }
  for (int i = 0; i < parameterCount_; ++i) batch_->SetNull(slot_ * parameterCount_ + i);
}

void TableInserter::SetText(std::size_t field, std::string_view value) {
  Target().SetText(Position(field), value);
}
void TableInserter::SetInt(std::size_t field, int64_t value) { Target().SetInt(Position(field), value); }
void TableInserter::SetDouble(std::size_t field, double value) { Target().SetDouble(Position(field), value); }
void TableInserter::SetNull(std::size_t field) { Target().SetNull(Position(field)); }

void TableInserter::Post() {
  if (!batch_) {
    insert_.Execute();
    return;
  }
  if (++slot_ < batchRows_) return;
  slot_ = 0;
  try {
    batch_->Execute();
  } catch (const db::DatabaseError&) {
    // The block was undone as a whole; the rows one by one tell which of them the database refuses.
    InsertSingly(batchRows_);
    return;
  }
  for (int i = 0; i < batchRows_; ++i) outcomes_.push_back({});
}

void TableInserter::Flush() {
  if (!batch_ || slot_ == 0) return;
  const int rows = slot_;
  slot_ = 0;
  InsertSingly(rows);
}

void TableInserter::InsertSingly(int rows) {
  for (int row = 0; row < rows; ++row) {
    for (int i = 0; i < parameterCount_; ++i) {
      insert_.CopyParameter(i, *batch_, row * parameterCount_ + i);
    }
    try {
      insert_.Execute();
      outcomes_.push_back({});
    } catch (const db::DatabaseError& e) {
      outcomes_.push_back({false, e.what()});
    }
  }
}

std::optional<PostedRow> TableInserter::TakeOutcome() {
  if (outcomes_.empty()) return std::nullopt;
  PostedRow outcome = std::move(outcomes_.front());
  outcomes_.pop_front();
  return outcome;
}

}  // namespace kx
