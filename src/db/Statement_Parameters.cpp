// Statement: binding parameter values.
#include <cstdint>
#include <cstring>
#include <string>

#include "db/DatabaseError.h"
#include "db/Statement.h"
#include "db/StatementImpl.h"

namespace kx::db {
namespace {

constexpr std::size_t kMaxTextParameter = 32765;  // the longest VARCHAR

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
    if (SameName(parameters_[i].name, name)) return i;
  }
  throw DatabaseError("no parameter \"" + std::string(name) + "\" in: " + sql_);
}

void Statement::CheckParameterPosition(int position) const {
  if (position < 0 || position >= ParameterCount()) [[unlikely]] {
    Parameter(position);  // raises
  }
}

void Statement::SetNull(int position) {
  CheckParameterPosition(position);
  impl_->bound[position].indicator = -1;
}

void Statement::SetAllNull() {
  for (Impl::Bound& bound : impl_->bound) bound.indicator = -1;
}

void Statement::SetText(int position, std::string_view bytes) {
  CheckParameterPosition(position);
  ib::XSQLVAR& var = impl_->in.Var(position);
  if (bytes.size() > kMaxTextParameter) {
    throw DatabaseError("a text of " + std::to_string(bytes.size()) + " bytes is longer than parameter " +
                        std::to_string(position) + " can take");
  }
  Impl::Bound& bound = impl_->bound[position];
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
  CheckParameterPosition(position);
  ib::XSQLVAR& var = impl_->in.Var(position);
  Impl::Bound& bound = impl_->bound[position];
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
  CheckParameterPosition(position);
  ib::XSQLVAR& var = impl_->in.Var(position);
  Impl::Bound& bound = impl_->bound[position];
  bound.real = value;
  bound.indicator = 0;
  var.sqltype = ib::kSqlDouble | 1;
  var.sqlscale = 0;
  var.sqlsubtype = 0;
  var.sqllen = sizeof bound.real;
  var.sqldata = reinterpret_cast<char*>(&bound.real);
}

template <typename Bind>
void Statement::BindByName(std::string_view name, Bind bind) {
  bool found = false;
  for (int i = 0; i < ParameterCount(); ++i) {
    if (!SameName(parameters_[i].name, name)) continue;
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

}  // namespace kx::db
