#include "db/Statement.h"

#include "db/DatabaseError.h"
#include "db/NamedParameters.h"
#include "db/Session.h"

namespace kx::db {
namespace {

constexpr int kInitialVariables = 32;
constexpr int kFetchEnd = 100;  // isc_dsql_fetch: no more rows

FieldType TypeOf(int16_t sqltype) {
  switch (sqltype & ~1) {
    case ib::kSqlText:
      return FieldType::Char;
    case ib::kSqlVarying:
      return FieldType::VarChar;
    case ib::kSqlShort:
      return FieldType::SmallInt;
    case ib::kSqlLong:
      return FieldType::Integer;
    case ib::kSqlInt64:
      return FieldType::BigInt;
    case ib::kSqlFloat:
      return FieldType::Float;
    case ib::kSqlDouble:
    case ib::kSqlDFloat:
      return FieldType::Double;
    case ib::kSqlTypeDate:
      return FieldType::Date;
    case ib::kSqlTypeTime:
      return FieldType::Time;
    case ib::kSqlTimestamp:
      return FieldType::Timestamp;
    case ib::kSqlBoolean:
      return FieldType::Boolean;
    case ib::kSqlBlob:
      return FieldType::Blob;
    case ib::kSqlNull:
      return FieldType::Null;
    default:
      return FieldType::Other;
  }
}

FieldInfo InfoOf(const ib::XSQLVAR& var, std::string name) {
  return FieldInfo{std::move(name), TypeOf(var.sqltype), var.sqllen, var.sqlscale, (var.sqltype & 1) != 0};
}

}  // namespace

Statement::Statement(Transaction& transaction, std::string_view sql, ParameterMarkers markers)
    : session_(transaction.session_), transaction_(transaction) {
  std::vector<std::string> names;
  if (markers == ParameterMarkers::Named) {
    PositionalSql positional = RewriteNamedParameters(sql);
    sql_ = std::move(positional.sql);
    names = std::move(positional.names);
  } else {
    sql_ = sql;
  }
  RequireAttached();
  ib::Status status[ib::kStatusLength] = {};
  Api().allocateStatement(status, &session_->db, &handle_);
  Check(status);
  try {
    Prepare(transaction);
    SetUpParameters(names);
    SetUpColumns();
  } catch (...) {
    Api().freeStatement(status, &handle_, ib::kDsqlDrop);
    throw;
  }
}

Statement::~Statement() {
  // After a detach the client has dropped the statement itself; its handle is no longer ours.
  if (handle_ == ib::Handle{} || session_->db == ib::Handle{}) return;
  ib::Status status[ib::kStatusLength] = {};
  Api().freeStatement(status, &handle_, ib::kDsqlDrop);
}

const ib::Functions& Statement::Api() const { return session_->client.Api(); }

void Statement::Check(const ib::Status* status) const { session_->client.Check(status); }

void Statement::RequireAttached() const {
  if (session_->db == ib::Handle{})
    throw DatabaseError("the connection of the statement is detached: " + sql_);
}

void Statement::Prepare(Transaction& transaction) {
  ib::Status status[ib::kStatusLength] = {};
  out_.Resize(kInitialVariables);
  Api().prepare(status, &transaction.handle_, &handle_, 0, sql_.c_str(), ib::kDialect3, out_.Get());
  Check(status);
  if (out_.Described() > out_.Capacity()) Describe(out_, Api().describe);
  in_.Resize(kInitialVariables);
  Describe(in_, Api().describeBind);
  statementType_ = QueryStatementType();
}

// Describes into da, growing it once when the statement has more variables than it holds.
void Statement::Describe(Sqlda& da, ib::DescribeFn describe) {
  ib::Status status[ib::kStatusLength] = {};
  describe(status, &handle_, ib::kSqldaVersion1, da.Get());
  Check(status);
  if (da.Described() <= da.Capacity()) return;
  da.Resize(da.Described());
  describe(status, &handle_, ib::kSqldaVersion1, da.Get());
  Check(status);
}

int Statement::QueryStatementType() {
  const char items[] = {ib::kInfoSqlStmtType};
  char buffer[16] = {};
  ib::Status status[ib::kStatusLength] = {};
  Api().sqlInfo(status, &handle_, sizeof items, items, sizeof buffer, buffer);
  Check(status);
  if (buffer[0] != ib::kInfoSqlStmtType) return 0;
  // The value: a 16-bit length, then that many bytes, least significant first.
  const int length = static_cast<unsigned char>(buffer[1]) | (static_cast<unsigned char>(buffer[2]) << 8);
  int value = 0;
  for (int i = 0; i < length && i < 4; ++i) value |= static_cast<unsigned char>(buffer[3 + i]) << (8 * i);
  return value;
}

void Statement::SetUpParameters(const std::vector<std::string>& names) {
  const int count = in_.Described();
  parameters_.reserve(count);
  bound_.resize(count);  // never resized again: the XSQLVARs point into it
  for (int i = 0; i < count; ++i) {
    ib::XSQLVAR& var = in_.Var(i);
    parameters_.push_back(InfoOf(var, i < static_cast<int>(names.size()) ? names[i] : std::string()));
    Bound& bound = bound_[i];
    const FieldType type = parameters_.back().type;
    const bool text = type == FieldType::Char || type == FieldType::VarChar;
    bound.textSubtype = text ? var.sqlsubtype : int16_t{0};
    bound.textCapacity = text ? var.sqllen : int16_t{0};
    bound.text.assign(2 + static_cast<std::size_t>(bound.textCapacity), '\0');
    // Every parameter takes an indicator, so that NULL can be bound whatever the column allows.
    var.sqltype = ib::kSqlVarying | 1;
    var.sqlscale = 0;
    var.sqlsubtype = bound.textSubtype;
    var.sqllen = bound.textCapacity;
    var.sqldata = bound.text.data();
    var.sqlind = &bound.indicator;
  }
}

void Statement::SetUpColumns() {
  const int count = out_.Described();
  columns_.reserve(count);
  std::vector<std::size_t> offsets(count);
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) {
    ib::XSQLVAR& var = out_.Var(i);
    columns_.push_back(InfoOf(var, std::string(var.aliasname, var.aliasname_length)));
    const int nullable = var.sqltype & 1;
    switch (var.sqltype & ~1) {
      case ib::kSqlText:
      case ib::kSqlShort:
      case ib::kSqlLong:
      case ib::kSqlInt64:
      case ib::kSqlFloat:
      case ib::kSqlDouble:
      case ib::kSqlBlob:
      case ib::kSqlArray:
      case ib::kSqlQuad:
      case ib::kSqlNull:
      case ib::kSqlVarying:
        break;
      case ib::kSqlDFloat:
        var.sqltype = static_cast<int16_t>(ib::kSqlDouble | nullable);
        break;
      default:
        // Dates, times, booleans and newer types: the server delivers them as text.
        var.sqltype = static_cast<int16_t>(ib::kSqlVarying | nullable);
        var.sqlsubtype = 0;
        var.sqllen = 64;
        var.sqlscale = 0;
        break;
    }
    offsets[i] = total;
    const std::size_t size =
        static_cast<std::size_t>(var.sqllen) + ((var.sqltype & ~1) == ib::kSqlVarying ? 2 : 0);
    total += (size + 7) / 8 * 8;
  }
  columnData_.assign(total / 8 + 1, 0);
  columnIndicators_.assign(count, -1);
  char* base = reinterpret_cast<char*>(columnData_.data());
  for (int i = 0; i < count; ++i) {
    ib::XSQLVAR& var = out_.Var(i);
    var.sqldata = base + offsets[i];
    var.sqlind = &columnIndicators_[i];
  }
}

void Statement::Execute() {
  RequireAttached();
  if (statementType_ == ib::kStmtSelect || statementType_ == ib::kStmtSelectForUpdate) {
    throw DatabaseError("a select runs with Open and Fetch, not Execute: " + sql_);
  }
  ib::Status status[ib::kStatusLength] = {};
  if (out_.Described() > 0) {
    Api().execute2(status, &transaction_.handle_, &handle_, ib::kSqldaVersion1, in_.Get(), out_.Get());
  } else {
    Api().execute(status, &transaction_.handle_, &handle_, ib::kSqldaVersion1, in_.Get());
  }
  Check(status);
}

void Statement::Open() {
  RequireAttached();
  if (statementType_ != ib::kStmtSelect && statementType_ != ib::kStmtSelectForUpdate) {
    throw DatabaseError("only a select opens a cursor: " + sql_);
  }
  Close();
  ib::Status status[ib::kStatusLength] = {};
  Api().execute(status, &transaction_.handle_, &handle_, ib::kSqldaVersion1, in_.Get());
  Check(status);
  open_ = true;
}

bool Statement::Fetch() {
  if (!open_) throw DatabaseError("fetch without an open cursor: " + sql_);
  RequireAttached();
  ib::Status status[ib::kStatusLength] = {};
  const ib::Status result = Api().fetch(status, &handle_, ib::kSqldaVersion1, out_.Get());
  if (result == kFetchEnd) return false;
  Check(status);
  return true;
}

void Statement::Close() noexcept {
  if (!open_) return;
  open_ = false;
  if (session_->db == ib::Handle{}) return;
  ib::Status status[ib::kStatusLength] = {};
  Api().freeStatement(status, &handle_, ib::kDsqlClose);
}

}  // namespace kx::db
