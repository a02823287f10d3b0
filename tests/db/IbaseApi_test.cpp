// The layer's own declarations of the client API against the published header of the host.
#include "db/IbaseApi.h"

#include <gtest/gtest.h>
#include <ibase.h>

#include <cstddef>
#include <type_traits>

namespace kx::db {
namespace {

#define KX_SAME_FIELD(type, field)                                             \
  static_assert(offsetof(ib::type, field) == offsetof(::type, field), #field); \
  static_assert(sizeof(ib::type::field) == sizeof(::type::field), #field)

KX_SAME_FIELD(XSQLVAR, sqltype);
KX_SAME_FIELD(XSQLVAR, sqlscale);
KX_SAME_FIELD(XSQLVAR, sqlsubtype);
KX_SAME_FIELD(XSQLVAR, sqllen);
KX_SAME_FIELD(XSQLVAR, sqldata);
KX_SAME_FIELD(XSQLVAR, sqlind);
KX_SAME_FIELD(XSQLVAR, sqlname_length);
KX_SAME_FIELD(XSQLVAR, aliasname_length);
KX_SAME_FIELD(XSQLVAR, aliasname);
KX_SAME_FIELD(XSQLDA, version);
KX_SAME_FIELD(XSQLDA, sqldabc);
KX_SAME_FIELD(XSQLDA, sqln);
KX_SAME_FIELD(XSQLDA, sqld);
KX_SAME_FIELD(XSQLDA, sqlvar);
static_assert(sizeof(ib::XSQLVAR) == sizeof(::XSQLVAR));
static_assert(sizeof(ib::XSQLDA) == sizeof(::XSQLDA));
static_assert(sizeof(ib::Handle) == sizeof(::isc_db_handle));
static_assert(sizeof(ib::Status) == sizeof(::ISC_STATUS));
static_assert(ib::kStatusLength == ISC_STATUS_LENGTH);

TEST(IbaseApi, ConstantsAreThoseOfThePublishedHeader) {
  const struct {
    const char* name;
    long ours;
    long published;
  } constants[] = {
      {"SQL_TEXT", ib::kSqlText, SQL_TEXT},
      {"SQL_VARYING", ib::kSqlVarying, SQL_VARYING},
      {"SQL_SHORT", ib::kSqlShort, SQL_SHORT},
      {"SQL_LONG", ib::kSqlLong, SQL_LONG},
      {"SQL_FLOAT", ib::kSqlFloat, SQL_FLOAT},
      {"SQL_DOUBLE", ib::kSqlDouble, SQL_DOUBLE},
      {"SQL_D_FLOAT", ib::kSqlDFloat, SQL_D_FLOAT},
      {"SQL_TIMESTAMP", ib::kSqlTimestamp, SQL_TIMESTAMP},
      {"SQL_BLOB", ib::kSqlBlob, SQL_BLOB},
      {"SQL_ARRAY", ib::kSqlArray, SQL_ARRAY},
      {"SQL_QUAD", ib::kSqlQuad, SQL_QUAD},
      {"SQL_TYPE_TIME", ib::kSqlTypeTime, SQL_TYPE_TIME},
      {"SQL_TYPE_DATE", ib::kSqlTypeDate, SQL_TYPE_DATE},
      {"SQL_INT64", ib::kSqlInt64, SQL_INT64},
      {"SQL_BOOLEAN", ib::kSqlBoolean, SQL_BOOLEAN},
      {"SQL_NULL", ib::kSqlNull, SQL_NULL},
      {"SQLDA_VERSION1", ib::kSqldaVersion1, SQLDA_VERSION1},
      {"DSQL_close", ib::kDsqlClose, DSQL_close},
      {"DSQL_drop", ib::kDsqlDrop, DSQL_drop},
      {"isc_dpb_version1", ib::kDpbVersion1, isc_dpb_version1},
      {"isc_dpb_page_size", ib::kDpbPageSize, isc_dpb_page_size},
      {"isc_dpb_user_name", ib::kDpbUserName, isc_dpb_user_name},
      {"isc_dpb_password", ib::kDpbPassword, isc_dpb_password},
      {"isc_dpb_lc_ctype", ib::kDpbLcCtype, isc_dpb_lc_ctype},
      {"isc_dpb_sql_dialect", ib::kDpbSqlDialect, isc_dpb_sql_dialect},
      {"isc_dpb_set_db_charset", ib::kDpbSetDbCharset, isc_dpb_set_db_charset},
      {"isc_dpb_config", ib::kDpbConfig, isc_dpb_config},
      {"isc_info_end", ib::kInfoEnd, isc_info_end},
      {"isc_info_truncated", ib::kInfoTruncated, isc_info_truncated},
      {"isc_info_sql_stmt_type", ib::kInfoSqlStmtType, isc_info_sql_stmt_type},
      {"isc_info_sql_stmt_select", ib::kStmtSelect, isc_info_sql_stmt_select},
      {"isc_info_sql_stmt_select_for_upd", ib::kStmtSelectForUpdate, isc_info_sql_stmt_select_for_upd},
      {"isc_tpb_version3", ib::kTpbVersion3, isc_tpb_version3},
      {"isc_tpb_concurrency", ib::kTpbConcurrency, isc_tpb_concurrency},
      {"isc_tpb_protected", ib::kTpbProtected, isc_tpb_protected},
      {"isc_tpb_nowait", ib::kTpbNowait, isc_tpb_nowait},
      {"isc_tpb_write", ib::kTpbWrite, isc_tpb_write},
      {"isc_tpb_lock_write", ib::kTpbLockWrite, isc_tpb_lock_write},
      {"isc_network_error", static_cast<long>(ib::kIscNetworkError), isc_network_error},
      {"isc_lock_conflict", static_cast<long>(ib::kIscLockConflict), isc_lock_conflict},
  };
  for (const auto& c : constants) EXPECT_EQ(c.ours, c.published) << c.name;
}

// The entry points without an XSQLDA have exactly the published types (one calling convention
// here); those with one differ only in the struct, whose layout is compared above.
static_assert(std::is_same_v<ib::AttachDatabaseFn, decltype(&::isc_attach_database)>);
static_assert(std::is_same_v<ib::CreateDatabaseFn, decltype(&::isc_create_database)>);
static_assert(std::is_same_v<ib::DetachDatabaseFn, decltype(&::isc_detach_database)>);
static_assert(std::is_same_v<ib::StartTransactionFn, decltype(&::isc_start_transaction)>);
static_assert(std::is_same_v<ib::TransactionFn, decltype(&::isc_commit_retaining)>);
static_assert(std::is_same_v<ib::TransactionFn, decltype(&::isc_commit_transaction)>);
static_assert(std::is_same_v<ib::TransactionFn, decltype(&::isc_rollback_transaction)>);
static_assert(std::is_same_v<ib::AllocateStatementFn, decltype(&::isc_dsql_allocate_statement)>);
static_assert(std::is_same_v<ib::SqlInfoFn, decltype(&::isc_dsql_sql_info)>);
static_assert(std::is_same_v<ib::FreeStatementFn, decltype(&::isc_dsql_free_statement)>);
static_assert(std::is_same_v<ib::SqlCodeFn, decltype(&::isc_sqlcode)>);
static_assert(std::is_same_v<ib::FbInterpretFn, decltype(&::fb_interpret)>);

}  // namespace
}  // namespace kx::db
