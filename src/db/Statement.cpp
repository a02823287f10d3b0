#include "db/Statement.h"

#include "db/DatabaseError.h"
#include "db/NamedParameters.h"
#include "db/StatementImpl.h"
#include "db/TransactionImpl.h"

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

void RequireAttached(const detail::Session& session, const std::string& sql) {
  if (session.db == ib::Handle{}) throw DatabaseError("the connection of the statement is detached: " + sql);
}

// Describes into da, growing it once when the statement has more variables than it holds.
void Describe(Statement::Impl& impl, Sqlda& da, ib::DescribeFn describe) {
  ib::Status status[ib::kStatusLength] = {};
  describe(status, &impl.handle, ib::kSqldaVersion1, da.Get());
  impl.Check(status);
  if (da.Described() <= da.Capacity()) return;
  da.Resize(da.Described());
  describe(status, &impl.handle, ib::kSqldaVersion1, da.Get());
  impl.Check(status);
}

int QueryStatementType(Statement::Impl& impl) {
  const char items[] = {ib::kInfoSqlStmtType};
  char buffer[16] = {};
  ib::Status status[ib::kStatusLength] = {};
  impl.Api().sqlInfo(status, &impl.handle, sizeof items, items, sizeof buffer, buffer);
  impl.Check(status);
  if (buffer[0] != ib::kInfoSqlStmtType) return 0;
  // The value: a 16-bit length, then that many bytes, least significant first.
  const int length = static_cast<unsigned char>(buffer[1]) | (static_cast<unsigned char>(buffer[2]) << 8);
  int value = 0;
  for (int i = 0; i < length && i < 4; ++i) value |= static_cast<unsigned char>(buffer[3 + i]) << (8 * i);
  return value;
}

void Prepare(Statement::Impl& impl, const std::string& sql) {
  ib::Status status[ib::kStatusLength] = {};
  impl.out.Resize(kInitialVariables);
  impl.Api().prepare(status, impl.transaction, &impl.handle, 0, sql.c_str(), ib::kDialect3, impl.out.Get());
  impl.Check(status);
  if (impl.out.Described() > impl.out.Capacity()) Describe(impl, impl.out, impl.Api().describe);
  impl.in.Resize(kInitialVariables);
  Describe(impl, impl.in, impl.Api().describeBind);
  impl.statementType = QueryStatementType(impl);
}

std::vector<FieldInfo> SetUpParameters(Statement::Impl& impl, const std::vector<std::string>& names) {
  const int count = impl.in.Described();
  std::vector<FieldInfo> parameters;
  parameters.reserve(count);
  impl.bound.resize(count);
  for (int i = 0; i < count; ++i) {
    ib::XSQLVAR& var = impl.in.Var(i);
    parameters.push_back(InfoOf(var, i < static_cast<int>(names.size()) ? names[i] : std::string()));
    Statement::Impl::Bound& bound = impl.bound[i];
    const FieldType type = parameters.back().type;
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
  return parameters;
}

}  // namespace

// The columns' layout in the row, and the row's buffers as the places the client fetches into.
// Every type is read as the client delivers it, except dates, times, booleans and newer types,
// which it is asked for as text.
void Statement::SetUpColumns() {
  Sqlda& out = impl_->out;
  const int count = out.Described();
  row_.sql_ = sql_;
  for (int i = 0; i < count; ++i) {
    ib::XSQLVAR& var = out.Var(i);
    FieldInfo info = InfoOf(var, std::string(var.aliasname, var.aliasname_length));
    const int nullable = var.sqltype & 1;
    Row::Storage storage = Row::Storage::Other;
    switch (var.sqltype & ~1) {
      case ib::kSqlText:
        storage = Row::Storage::Text;
        break;
      case ib::kSqlVarying:
        storage = Row::Storage::Varying;
        break;
      case ib::kSqlShort:
        storage = Row::Storage::Short;
        break;
      case ib::kSqlLong:
        storage = Row::Storage::Long;
        break;
      case ib::kSqlInt64:
        storage = Row::Storage::Int64;
        break;
      case ib::kSqlFloat:
        storage = Row::Storage::Float;
        break;
      case ib::kSqlDouble:
        storage = Row::Storage::Double;
        break;
      case ib::kSqlBlob:
      case ib::kSqlArray:
      case ib::kSqlQuad:
      case ib::kSqlNull:
        break;
      case ib::kSqlDFloat:
        var.sqltype = static_cast<int16_t>(ib::kSqlDouble | nullable);
        storage = Row::Storage::Double;
        break;
      default:
        var.sqltype = static_cast<int16_t>(ib::kSqlVarying | nullable);
        var.sqlsubtype = 0;
        var.sqllen = 64;
        var.sqlscale = 0;
        storage = Row::Storage::Varying;
        break;
    }
    row_.AddColumn(std::move(info), storage, var.sqllen, var.sqlscale);
  }
  row_.Allocate();
  for (int i = 0; i < count; ++i) {
    ib::XSQLVAR& var = out.Var(i);
    var.sqldata = row_.Data(i);
    var.sqlind = row_.Indicator(i);
  }
}

Statement::Statement(Transaction& transaction, std::string_view sql, ParameterMarkers markers)
    : impl_(std::make_unique<Impl>(transaction.impl_->session, &transaction.impl_->handle)) {
  std::vector<std::string> names;
  if (markers == ParameterMarkers::Named) {
    PositionalSql positional = RewriteNamedParameters(sql);
    sql_ = std::move(positional.sql);
    names = std::move(positional.names);
  } else {
    sql_ = sql;
  }
  RequireAttached(*impl_->session, sql_);
  ib::Status status[ib::kStatusLength] = {};
  impl_->Api().allocateStatement(status, &impl_->session->db, &impl_->handle);
  impl_->Check(status);
  try {
    Prepare(*impl_, sql_);
    parameters_ = SetUpParameters(*impl_, names);
    SetUpColumns();
  } catch (...) {
    impl_->Api().freeStatement(status, &impl_->handle, ib::kDsqlDrop);
    throw;
  }
}

Statement::~Statement() {
  // After a detach the client has dropped the statement itself; its handle is no longer ours.
  if (impl_->handle == ib::Handle{} || impl_->session->db == ib::Handle{}) return;
  ib::Status status[ib::kStatusLength] = {};
  impl_->Api().freeStatement(status, &impl_->handle, ib::kDsqlDrop);
}

void Statement::Execute() {
  Impl& impl = *impl_;
  RequireAttached(*impl.session, sql_);
  if (impl.statementType == ib::kStmtSelect || impl.statementType == ib::kStmtSelectForUpdate) {
    throw DatabaseError("a select runs with Open and Fetch, not Execute: " + sql_);
  }
  ib::Status status[ib::kStatusLength] = {};
  if (impl.out.Described() > 0) {
    impl.Api().execute2(status, impl.transaction, &impl.handle, ib::kSqldaVersion1, impl.in.Get(),
                        impl.out.Get());
  } else {
    impl.Api().execute(status, impl.transaction, &impl.handle, ib::kSqldaVersion1, impl.in.Get());
  }
  impl.Check(status);
}

void Statement::Open() {
  Impl& impl = *impl_;
  RequireAttached(*impl.session, sql_);
  if (impl.statementType != ib::kStmtSelect && impl.statementType != ib::kStmtSelectForUpdate) {
    throw DatabaseError("only a select opens a cursor: " + sql_);
  }
  Close();
  ib::Status status[ib::kStatusLength] = {};
  impl.Api().execute(status, impl.transaction, &impl.handle, ib::kSqldaVersion1, impl.in.Get());
  impl.Check(status);
  open_ = true;
}

bool Statement::Fetch() {
  if (!open_) throw DatabaseError("fetch without an open cursor: " + sql_);
  Impl& impl = *impl_;
  RequireAttached(*impl.session, sql_);
  ib::Status status[ib::kStatusLength] = {};
  const ib::Status result = impl.Api().fetch(status, &impl.handle, ib::kSqldaVersion1, impl.out.Get());
  if (result == kFetchEnd) return false;
  impl.Check(status);
  return true;
}

void Statement::Close() noexcept {
  if (!open_) return;
  open_ = false;
  if (impl_->session->db == ib::Handle{}) return;
  ib::Status status[ib::kStatusLength] = {};
  impl_->Api().freeStatement(status, &impl_->handle, ib::kDsqlClose);
}

}  // namespace kx::db
