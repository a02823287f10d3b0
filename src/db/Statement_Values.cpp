// Statement: binding parameter values and reading the columns of the current row.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "db/DatabaseError.h"
#include "db/Statement.h"
#include "util/WholeNumber.h"

namespace kx::db {
namespace {

constexpr std::size_t kMaxTextParameter = 32765;  // the longest VARCHAR

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The decimal text of value x 10^scale ("-12.50" for -1250 with scale -2).
std::string ScaledText(int64_t value, int scale) {
  std::string digits = std::to_string(value);
  if (scale >= 0) return scale == 0 ? digits : digits + std::string(static_cast<std::size_t>(scale), '0');
  const bool negative = value < 0;
  if (negative) digits.erase(0, 1);
  const std::size_t decimals = static_cast<std::size_t>(-scale);
  if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
  digits.insert(digits.size() - decimals, 1, '.');
  return negative ? "-" + digits : digits;
}

// A value as the client wrote it into a column's buffer.
template <typename T>
T Load(const char* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

std::string DoubleText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

}  // namespace

// --- Parameters

const FieldInfo& Statement::Parameter(int position) const {
  if (position < 0 || position >= ParameterCount()) {
    throw DatabaseError("no parameter " + std::to_string(position) + " in: " + sql_);
  }
  return parameters_[position];
}

int Statement::ParameterIndex(std::string_view name) const {
  for (int i = 0; i < ParameterCount(); ++i) {
    if (EqualsIgnoringCase(parameters_[i].name, name)) return i;
  }
  throw DatabaseError("no parameter \"" + std::string(name) + "\" in: " + sql_);
}

ib::XSQLVAR& Statement::CheckedParameter(int position) {
  if (position < 0 || position >= ParameterCount()) [[unlikely]] {
    Parameter(position);  // raises
  }
  return in_.Var(position);
}

void Statement::SetNull(int position) {
  CheckedParameter(position);
  bound_[position].indicator = -1;
}

void Statement::SetAllNull() {
  for (Bound& bound : bound_) bound.indicator = -1;
}

void Statement::SetText(int position, std::string_view bytes) {
  ib::XSQLVAR& var = CheckedParameter(position);
  if (bytes.size() > kMaxTextParameter) {
    throw DatabaseError("a text of " + std::to_string(bytes.size()) + " bytes is longer than parameter " +
                        std::to_string(position) + " can take");
  }
  Bound& bound = bound_[position];
  const auto length = static_cast<int16_t>(bytes.size());
  if (length > bound.textCapacity) {
    bound.textCapacity = length;
    bound.text.resize(2 + bytes.size());
  }
  std::memcpy(bound.text.data(), &length, 2);
  std::memcpy(bound.text.data() + 2, bytes.data(), bytes.size());
  bound.indicator = 0;
  var.sqltype = ib::kSqlVarying | 1;
  var.sqlscale = 0;
  var.sqlsubtype = bound.textSubtype;
  var.sqllen = bound.textCapacity;
  var.sqldata = bound.text.data();
}

void Statement::SetInt(int position, int64_t value) {
  ib::XSQLVAR& var = CheckedParameter(position);
  Bound& bound = bound_[position];
  bound.indicator = 0;
  var.sqlscale = 0;
  var.sqlsubtype = 0;
  // A whole-number parameter takes the value in its own type when it fits, so that the server
  // has nothing to convert; anything else goes as a 64-bit integer for the server to convert or
  // refuse.
  const FieldInfo& info = parameters_[position];
  if (info.scale == 0 && info.type == FieldType::Integer && value >= INT32_MIN && value <= INT32_MAX) {
    const auto narrow = static_cast<int32_t>(value);
    std::memcpy(&bound.integer, &narrow, sizeof narrow);
    var.sqltype = ib::kSqlLong | 1;
    var.sqllen = sizeof narrow;
  } else if (info.scale == 0 && info.type == FieldType::SmallInt && value >= INT16_MIN &&
             value <= INT16_MAX) {
    const auto narrow = static_cast<int16_t>(value);
    std::memcpy(&bound.integer, &narrow, sizeof narrow);
    var.sqltype = ib::kSqlShort | 1;
    var.sqllen = sizeof narrow;
  } else {
    bound.integer = value;
    var.sqltype = ib::kSqlInt64 | 1;
    var.sqllen = sizeof bound.integer;
  }
  var.sqldata = reinterpret_cast<char*>(&bound.integer);
}

void Statement::SetDouble(int position, double value) {
  ib::XSQLVAR& var = CheckedParameter(position);
  Bound& bound = bound_[position];
  bound.real = value;
  bound.indicator = 0;
  var.sqltype = ib::kSqlDouble | 1;
  var.sqlscale = 0;
  var.sqlsubtype = 0;
  var.sqllen = sizeof bound.real;
  var.sqldata = reinterpret_cast<char*>(&bound.real);
}

void Statement::CopyParameter(int position, const Statement& from, int fromPosition) {
  from.Parameter(fromPosition);  // raises for a position the other statement does not have
  const Bound& value = from.bound_[fromPosition];
  if (value.indicator != 0) {
    SetNull(position);
    return;
  }
  const ib::XSQLVAR& var = from.in_.Var(fromPosition);
  switch (var.sqltype & ~1) {
    case ib::kSqlVarying: {
      int16_t length = 0;
      std::memcpy(&length, value.text.data(), 2);
      SetText(position, std::string_view(value.text.data() + 2, static_cast<std::size_t>(length)));
      return;
    }
    case ib::kSqlDouble:
      SetDouble(position, value.real);
      return;
    case ib::kSqlLong: {
      int32_t narrow = 0;
      std::memcpy(&narrow, &value.integer, sizeof narrow);
      SetInt(position, narrow);
      return;
    }
    case ib::kSqlShort: {
      int16_t narrow = 0;
      std::memcpy(&narrow, &value.integer, sizeof narrow);
      SetInt(position, narrow);
      return;
    }
    default:
      SetInt(position, value.integer);
      return;
  }
}

template <typename Bind>
void Statement::BindByName(std::string_view name, Bind bind) {
  bool found = false;
  for (int i = 0; i < ParameterCount(); ++i) {
    if (!EqualsIgnoringCase(parameters_[i].name, name)) continue;
    bind(i);
    found = true;
  }
  if (!found) throw DatabaseError("no parameter \"" + std::string(name) + "\" in: " + sql_);
}

void Statement::SetNull(std::string_view name) {
  BindByName(name, [this](int i) { SetNull(i); });
}
void Statement::SetText(std::string_view name, std::string_view bytes) {
  BindByName(name, [this, bytes](int i) { SetText(i, bytes); });
}
void Statement::SetInt(std::string_view name, int64_t value) {
  BindByName(name, [this, value](int i) { SetInt(i, value); });
}
void Statement::SetDouble(std::string_view name, double value) {
  BindByName(name, [this, value](int i) { SetDouble(i, value); });
}

// --- Columns

const FieldInfo& Statement::Column(int index) const {
  if (index < 0 || index >= ColumnCount()) {
    throw DatabaseError("no column " + std::to_string(index) + " in the result of: " + sql_);
  }
  return columns_[index];
}

int Statement::ColumnIndex(std::string_view name) const {
  const auto byte = [name](std::size_t i) {
    return static_cast<std::size_t>(static_cast<unsigned char>(name[i]));
  };
  const std::size_t hash =
      name.empty() ? 0 : name.size() * 7 + byte(0) * 3 + byte(name.size() / 2) + byte(name.size() - 1) * 5;
  ColumnLookup& known = columnLookups_[hash % columnLookups_.size()];
  if (known.index >= 0 && known.name == name) return known.index;
  for (int i = 0; i < ColumnCount(); ++i) {
    if (!EqualsIgnoringCase(columns_[i].name, name)) continue;
    known.name.assign(name);
    known.index = i;
    return i;
  }
  throw DatabaseError("no column \"" + std::string(name) + "\" in the result of: " + sql_);
}

const ib::XSQLVAR& Statement::CheckedColumn(int index) const {
  if (index < 0 || index >= ColumnCount()) [[unlikely]] {
    Column(index);  // raises
  }
  return out_.Var(index);
}

namespace {

// The bytes of a column's value in the result buffer.
std::size_t DataSize(const ib::XSQLVAR& var) {
  return static_cast<std::size_t>(var.sqllen) + ((var.sqltype & ~1) == ib::kSqlVarying ? 2 : 0);
}

}  // namespace

std::string Statement::SaveRow() const {
  std::string row;
  for (int i = 0; i < ColumnCount(); ++i) {
    const ib::XSQLVAR& var = out_.Var(i);
    int16_t indicator = 0;
    if ((var.sqltype & 1) != 0) indicator = *var.sqlind;
    row.append(reinterpret_cast<const char*>(&indicator), sizeof indicator);
    row.append(var.sqldata, DataSize(var));
  }
  return row;
}

void Statement::LoadRow(std::string_view row) {
  std::size_t at = 0;
  for (int i = 0; i < ColumnCount(); ++i) {
    ib::XSQLVAR& var = out_.Var(i);
    const std::size_t size = DataSize(var);
    if (at + sizeof(int16_t) + size > row.size()) throw DatabaseError("a saved row that is not of: " + sql_);
    if ((var.sqltype & 1) != 0) std::memcpy(var.sqlind, row.data() + at, sizeof(int16_t));
    std::memcpy(var.sqldata, row.data() + at + sizeof(int16_t), size);
    at += sizeof(int16_t) + size;
  }
}

bool Statement::IsNull(int index) const {
  const ib::XSQLVAR& var = CheckedColumn(index);
  return (var.sqltype & 1) != 0 && *var.sqlind == -1;
}

std::string Statement::AsText(int index) const {
  if (IsNull(index)) return {};
  const ib::XSQLVAR& var = out_.Var(index);
  switch (var.sqltype & ~1) {
    case ib::kSqlVarying: {
      int16_t length = 0;
      std::memcpy(&length, var.sqldata, 2);
      return std::string(var.sqldata + 2, static_cast<std::size_t>(length));
    }
    case ib::kSqlText:
      return std::string(var.sqldata, static_cast<std::size_t>(var.sqllen));
    case ib::kSqlFloat:
    case ib::kSqlDouble:
      return DoubleText(AsDouble(index));
    case ib::kSqlShort:
    case ib::kSqlLong:
    case ib::kSqlInt64:
      break;
    default:
      throw DatabaseError("column \"" + columns_[index].name + "\" has a type this layer does not read");
  }
  int64_t value = 0;
  switch (var.sqltype & ~1) {
    case ib::kSqlShort:
      value = Load<int16_t>(var.sqldata);
      break;
    case ib::kSqlLong:
      value = Load<int32_t>(var.sqldata);
      break;
    default:
      value = Load<int64_t>(var.sqldata);
      break;
  }
  return ScaledText(value, var.sqlscale);
}

double Statement::AsDouble(int index) const {
  if (IsNull(index)) return 0;
  const ib::XSQLVAR& var = out_.Var(index);
  switch (var.sqltype & ~1) {
    case ib::kSqlDouble:
      return Load<double>(var.sqldata);
    case ib::kSqlFloat:
      return Load<float>(var.sqldata);
    case ib::kSqlShort:
      return Load<int16_t>(var.sqldata) * std::pow(10.0, var.sqlscale);
    case ib::kSqlLong:
      return Load<int32_t>(var.sqldata) * std::pow(10.0, var.sqlscale);
    case ib::kSqlInt64:
      return static_cast<double>(Load<int64_t>(var.sqldata)) * std::pow(10.0, var.sqlscale);
    default:
      break;
  }
  const std::string text = AsText(index);
  const std::string_view number = Trimmed(text);
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || result.ec != std::errc() || result.ptr != number.data() + number.size()) {
    throw DatabaseError("column \"" + columns_[index].name + "\": \"" + text + "\" is not a number");
  }
  return value;
}

int64_t Statement::AsInt(int index) const {
  if (IsNull(index)) return 0;
  const ib::XSQLVAR& var = out_.Var(index);
  const int type = var.sqltype & ~1;
  if (var.sqlscale == 0) {
    switch (type) {
      case ib::kSqlShort:
        return Load<int16_t>(var.sqldata);
      case ib::kSqlLong:
        return Load<int32_t>(var.sqldata);
      case ib::kSqlInt64:
        return Load<int64_t>(var.sqldata);
      default:
        break;
    }
  }
  if (type != ib::kSqlText && type != ib::kSqlVarying) return std::llround(AsDouble(index));
  const std::string text = AsText(index);
  if (const std::optional<int64_t> value = WholeNumberOf<int64_t>(Trimmed(text))) return *value;
  throw DatabaseError("column \"" + columns_[index].name + "\": \"" + text + "\" is not a whole number");
}

}  // namespace kx::db
