#pragma once

// The few types, constants and entry points of the InterBase/Firebird C client (ibase.h) that this
// layer uses, declared here so that both builds compile without a client header: the MinGW
// cross compiler has none. Layouts and values are those of the published header; a test
// compares them with the host's ibase.h.
#include <cstddef>
#include <cstdint>

// On 32-bit Windows the client exports __stdcall functions, except the varargs ones (__cdecl).
#if defined(_WIN32) && defined(__i386__)
#define KX_ISC_CALL __stdcall
#define KX_ISC_VARARG_CALL __cdecl
#else
#define KX_ISC_CALL
#define KX_ISC_VARARG_CALL
#endif

namespace kx::db::ib {

using Status = std::intptr_t;  // ISC_STATUS
inline constexpr int kStatusLength = 20;

// FB_API_HANDLE: a 32-bit number on 64-bit platforms, a pointer on 32-bit ones.
#if UINTPTR_MAX > 0xFFFFFFFFu
using Handle = unsigned int;
#else
using Handle = void*;
#endif

struct XSQLVAR {
  int16_t sqltype;
  int16_t sqlscale;
  int16_t sqlsubtype;
  int16_t sqllen;
  char* sqldata;
  int16_t* sqlind;
  int16_t sqlname_length;
  char sqlname[32];
  int16_t relname_length;
  char relname[32];
  int16_t ownname_length;
  char ownname[32];
  int16_t aliasname_length;
  char aliasname[32];
};

struct XSQLDA {
  int16_t version;
  char sqldaid[8];
  int32_t sqldabc;
  int16_t sqln;
  int16_t sqld;
  XSQLVAR sqlvar[1];
};

// The published layouts, which the MinGW build cannot compare with a header: 152 and 20 bytes
// on 32-bit platforms, 160 and 24 on 64-bit ones.
static_assert(sizeof(XSQLVAR) == (sizeof(void*) == 4 ? 152 : 160));
static_assert(offsetof(XSQLDA, sqlvar) == (sizeof(void*) == 4 ? 20 : 24));

inline constexpr int16_t kSqldaVersion1 = 1;
inline constexpr unsigned short kDialect3 = 3;

// sqltype values; the lowest bit set means "nullable, sqlind is used".
inline constexpr int16_t kSqlText = 452;
inline constexpr int16_t kSqlVarying = 448;
inline constexpr int16_t kSqlShort = 500;
inline constexpr int16_t kSqlLong = 496;
inline constexpr int16_t kSqlFloat = 482;
inline constexpr int16_t kSqlDouble = 480;
inline constexpr int16_t kSqlDFloat = 530;
inline constexpr int16_t kSqlTimestamp = 510;
inline constexpr int16_t kSqlBlob = 520;
inline constexpr int16_t kSqlArray = 540;
inline constexpr int16_t kSqlQuad = 550;
inline constexpr int16_t kSqlTypeTime = 560;
inline constexpr int16_t kSqlTypeDate = 570;
inline constexpr int16_t kSqlInt64 = 580;
inline constexpr int16_t kSqlBoolean = 32764;
inline constexpr int16_t kSqlNull = 32766;

// isc_dsql_free_statement options.
inline constexpr unsigned short kDsqlClose = 1;
inline constexpr unsigned short kDsqlDrop = 2;

// Database parameter block items.
inline constexpr char kDpbVersion1 = 1;
inline constexpr char kDpbPageSize = 4;
inline constexpr char kDpbUserName = 28;
inline constexpr char kDpbPassword = 29;
inline constexpr char kDpbLcCtype = 48;
inline constexpr char kDpbSqlDialect = 63;
inline constexpr char kDpbSetDbCharset = 68;
inline constexpr char kDpbConfig = 87;

// Transaction parameter block items: the version, then flags, and a table reservation as
// lock_write, the name's length, the name, then its mode (protected).
inline constexpr char kTpbVersion3 = 3;
inline constexpr char kTpbConcurrency = 2;
inline constexpr char kTpbProtected = 4;
inline constexpr char kTpbNowait = 7;
inline constexpr char kTpbWrite = 9;
inline constexpr char kTpbLockWrite = 11;

// isc_dsql_sql_info items and statement types.
inline constexpr char kInfoEnd = 1;
inline constexpr char kInfoTruncated = 2;
inline constexpr char kInfoSqlStmtType = 21;
inline constexpr int kStmtSelect = 1;
inline constexpr int kStmtSelectForUpdate = 12;

// Error codes (gdscode) the layer itself looks at.
inline constexpr Status kIscNetworkError = 335544721;
inline constexpr Status kIscLockConflict = 335544345;  // "lock conflict on no wait transaction"

using AttachDatabaseFn = Status(KX_ISC_CALL*)(Status*, short, const char*, Handle*, short, const char*);
using CreateDatabaseFn = Status(KX_ISC_CALL*)(Status*, short, const char*, Handle*, short, const char*,
                                              short);
using DetachDatabaseFn = Status(KX_ISC_CALL*)(Status*, Handle*);
using StartTransactionFn = Status(KX_ISC_VARARG_CALL*)(Status*, Handle*, short, ...);
using TransactionFn = Status(KX_ISC_CALL*)(Status*, Handle*);  // commit, commit retaining, rollback
using AllocateStatementFn = Status(KX_ISC_CALL*)(Status*, Handle*, Handle*);
using PrepareFn = Status(KX_ISC_CALL*)(Status*, Handle*, Handle*, unsigned short, const char*, unsigned short,
                                       XSQLDA*);
using DescribeFn = Status(KX_ISC_CALL*)(Status*, Handle*, unsigned short, XSQLDA*);
using SqlInfoFn = Status(KX_ISC_CALL*)(Status*, Handle*, short, const char*, short, char*);
using ExecuteFn = Status(KX_ISC_CALL*)(Status*, Handle*, Handle*, unsigned short, const XSQLDA*);
using Execute2Fn = Status(KX_ISC_CALL*)(Status*, Handle*, Handle*, unsigned short, const XSQLDA*,
                                        const XSQLDA*);
using ExecuteImmediateFn = Status(KX_ISC_CALL*)(Status*, Handle*, Handle*, unsigned short, const char*,
                                                unsigned short, const XSQLDA*);
using FetchFn = Status(KX_ISC_CALL*)(Status*, Handle*, unsigned short, const XSQLDA*);
using FreeStatementFn = Status(KX_ISC_CALL*)(Status*, Handle*, unsigned short);
using SqlCodeFn = int32_t(KX_ISC_CALL*)(const Status*);
using FbInterpretFn = int32_t(KX_ISC_CALL*)(char*, unsigned int, const Status**);
using IscInterpreteFn = int32_t(KX_ISC_CALL*)(char*, Status**);  // older clients without fb_interpret

// The entry points, resolved by ClientLibrary.
struct Functions {
  AttachDatabaseFn attachDatabase = nullptr;
  CreateDatabaseFn createDatabase = nullptr;
  DetachDatabaseFn detachDatabase = nullptr;
  StartTransactionFn startTransaction = nullptr;
  TransactionFn commitRetaining = nullptr;
  TransactionFn commitTransaction = nullptr;
  TransactionFn rollbackTransaction = nullptr;
  AllocateStatementFn allocateStatement = nullptr;
  PrepareFn prepare = nullptr;
  DescribeFn describe = nullptr;
  DescribeFn describeBind = nullptr;
  SqlInfoFn sqlInfo = nullptr;
  ExecuteFn execute = nullptr;
  Execute2Fn execute2 = nullptr;
  ExecuteImmediateFn executeImmediate = nullptr;
  FetchFn fetch = nullptr;
  FreeStatementFn freeStatement = nullptr;
  SqlCodeFn sqlCode = nullptr;
  FbInterpretFn fbInterpret = nullptr;  // one of these two is there
  IscInterpreteFn iscInterprete = nullptr;
};

}  // namespace kx::db::ib
