#include "staging/TableInserter.h"

#include <algorithm>

#include "util/Cp1252.h"

namespace kx {
namespace {

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

}  // namespace

TableInserter::TableInserter(db::Transaction& transaction, std::string_view insertSql,
                             std::vector<std::string> hidden)
    : insert_(transaction, insertSql) {
  for (int i = 0; i < insert_.ParameterCount(); ++i) {
    const db::FieldInfo& p = insert_.Parameter(i);
    const bool isHidden = std::any_of(hidden.begin(), hidden.end(), [&p](const std::string& name) {
      return EqualsIgnoreCase1252(name, p.name);
    });
    if (isHidden) continue;
    fields_.push_back({p.name, KindOf(p.type), p.length > 0 ? static_cast<std::size_t>(p.length) : 0});
    positions_.push_back(i);
  }
}

void TableInserter::BeginRow() { insert_.SetAllNull(); }

void TableInserter::SetText(std::size_t field, std::string_view value) {
  insert_.SetText(positions_[field], value);
}
void TableInserter::SetInt(std::size_t field, int64_t value) { insert_.SetInt(positions_[field], value); }
void TableInserter::SetDouble(std::size_t field, double value) {
  insert_.SetDouble(positions_[field], value);
}
void TableInserter::SetNull(std::size_t field) { insert_.SetNull(positions_[field]); }
void TableInserter::Post() { insert_.Execute(); }

}  // namespace kx
