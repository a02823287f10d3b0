/* A Wine builtin gds32.dll for the tests under Wine: every entry point the plug-in takes from the
 * database client, as the Windows client declares it, forwarded to Debian's libfbclient.so.2 of
 * the same width (i386 for the 32-bit DLL, amd64 for the 64-bit one). Through it the Windows
 * builds reach a real Firebird server.
 *
 * winegcc defines the Win32 macros, and ibase.h would then declare the Linux library's functions
 * __stdcall; they are plain cdecl, so the macros go before the header is read.
 *
 * 32 bits: the wrappers are entered from Win32 code, which keeps the stack 4-byte aligned only,
 * while the Linux library expects 16 bytes: force_align_arg_pointer realigns it on entry.
 * 64 bits: the wrappers take the Windows x64 convention (ms_abi) and call the Linux library with
 * the System V one; the compiler translates. The types agree: ISC_STATUS is pointer-sized and
 * ISC_LONG 32 bits on both sides, handles are 32-bit numbers.
 *
 * None of these calls takes a struct whose layout differs between msvcrt and glibc (the date
 * conversions with their struct tm are not among them), so arguments pass through unchanged. */
#undef WIN32
#undef _WIN32
#undef __WIN32
#undef __WIN32__
#include <ibase.h>
#include <stdarg.h>

#if defined(__x86_64__)
#define BRIDGE_STDCALL __attribute__((ms_abi))
#define BRIDGE_CDECL __attribute__((ms_abi))
/* A varargs function of the Windows convention walks its arguments with the Windows va_list. */
#define BRIDGE_VA_LIST __builtin_ms_va_list
#define BRIDGE_VA_START __builtin_ms_va_start
#define BRIDGE_VA_END __builtin_ms_va_end
#else
#define BRIDGE_STDCALL __attribute__((stdcall, force_align_arg_pointer))
#define BRIDGE_CDECL __attribute__((cdecl, force_align_arg_pointer))
#define BRIDGE_VA_LIST va_list
#define BRIDGE_VA_START va_start
#define BRIDGE_VA_END va_end
#endif

/* isc_start_multiple's vector: one entry per database of the transaction. */
struct teb {
  isc_db_handle* database;
  ISC_LONG tpb_length;
  const ISC_SCHAR* tpb;
};
enum { kMaxDatabases = 16 };

ISC_STATUS BRIDGE_STDCALL bridge_attach_database(ISC_STATUS* status, short name_length, const ISC_SCHAR* name,
                                                 isc_db_handle* db, short dpb_length, const ISC_SCHAR* dpb) {
  return isc_attach_database(status, name_length, name, db, dpb_length, dpb);
}

ISC_STATUS BRIDGE_STDCALL bridge_create_database(ISC_STATUS* status, short name_length, const ISC_SCHAR* name,
                                                 isc_db_handle* db, short dpb_length, const ISC_SCHAR* dpb,
                                                 short type) {
  return isc_create_database(status, name_length, name, db, dpb_length, dpb, type);
}

ISC_STATUS BRIDGE_STDCALL bridge_detach_database(ISC_STATUS* status, isc_db_handle* db) {
  return isc_detach_database(status, db);
}

/* The varargs call cannot be forwarded as it is: its (database, TPB length, TPB) triples are read
 * here and handed on as the vector of isc_start_multiple, which is what the client does itself. */
ISC_STATUS BRIDGE_CDECL bridge_start_transaction(ISC_STATUS* status, isc_tr_handle* transaction, short count,
                                                 ...) {
  struct teb vector[kMaxDatabases];
  BRIDGE_VA_LIST args;
  int i;
  if (count < 1 || count > kMaxDatabases) {
    status[0] = isc_arg_gds;
    status[1] = isc_bad_teb_form; /* "invalid format for transaction parameter block" */
    status[2] = isc_arg_end;
    return status[1];
  }
  BRIDGE_VA_START(args, count);
  for (i = 0; i < count; ++i) {
    vector[i].database = va_arg(args, isc_db_handle*);
    vector[i].tpb_length = va_arg(args, ISC_LONG);
    vector[i].tpb = va_arg(args, const ISC_SCHAR*);
  }
  BRIDGE_VA_END(args);
  return isc_start_multiple(status, transaction, count, vector);
}

ISC_STATUS BRIDGE_STDCALL bridge_commit_retaining(ISC_STATUS* status, isc_tr_handle* transaction) {
  return isc_commit_retaining(status, transaction);
}

ISC_STATUS BRIDGE_STDCALL bridge_commit_transaction(ISC_STATUS* status, isc_tr_handle* transaction) {
  return isc_commit_transaction(status, transaction);
}

ISC_STATUS BRIDGE_STDCALL bridge_rollback_transaction(ISC_STATUS* status, isc_tr_handle* transaction) {
  return isc_rollback_transaction(status, transaction);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_allocate_statement(ISC_STATUS* status, isc_db_handle* db,
                                                         isc_stmt_handle* statement) {
  return isc_dsql_allocate_statement(status, db, statement);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_prepare(ISC_STATUS* status, isc_tr_handle* transaction,
                                              isc_stmt_handle* statement, unsigned short length,
                                              const ISC_SCHAR* text, unsigned short dialect, XSQLDA* output) {
  return isc_dsql_prepare(status, transaction, statement, length, text, dialect, output);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_describe(ISC_STATUS* status, isc_stmt_handle* statement,
                                               unsigned short version, XSQLDA* output) {
  return isc_dsql_describe(status, statement, version, output);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_describe_bind(ISC_STATUS* status, isc_stmt_handle* statement,
                                                    unsigned short version, XSQLDA* input) {
  return isc_dsql_describe_bind(status, statement, version, input);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle* statement, short items_length,
                                               const ISC_SCHAR* items, short buffer_length, ISC_SCHAR* buffer) {
  return isc_dsql_sql_info(status, statement, items_length, items, buffer_length, buffer);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_execute(ISC_STATUS* status, isc_tr_handle* transaction,
                                              isc_stmt_handle* statement, unsigned short version,
                                              const XSQLDA* input) {
  return isc_dsql_execute(status, transaction, statement, version, input);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_execute2(ISC_STATUS* status, isc_tr_handle* transaction,
                                               isc_stmt_handle* statement, unsigned short version,
                                               const XSQLDA* input, const XSQLDA* output) {
  return isc_dsql_execute2(status, transaction, statement, version, input, output);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_execute_immediate(ISC_STATUS* status, isc_db_handle* db,
                                                        isc_tr_handle* transaction, unsigned short length,
                                                        const ISC_SCHAR* text, unsigned short dialect,
                                                        const XSQLDA* input) {
  return isc_dsql_execute_immediate(status, db, transaction, length, text, dialect, input);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short version,
                                            const XSQLDA* output) {
  return isc_dsql_fetch(status, statement, version, output);
}

ISC_STATUS BRIDGE_STDCALL bridge_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* statement,
                                                     unsigned short option) {
  return isc_dsql_free_statement(status, statement, option);
}

ISC_LONG BRIDGE_STDCALL bridge_sqlcode(const ISC_STATUS* status) { return isc_sqlcode(status); }

ISC_LONG BRIDGE_STDCALL bridge_fb_interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** cursor) {
  return fb_interpret(buffer, size, cursor);
}

/* The plug-in resolves this one too, and uses it only when fb_interpret is missing. */
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
ISC_LONG BRIDGE_STDCALL bridge_interprete(ISC_SCHAR* buffer, ISC_STATUS** cursor) {
  return isc_interprete(buffer, cursor);
}
