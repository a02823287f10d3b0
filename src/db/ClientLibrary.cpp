#include "db/ClientLibrary.h"

#include <cstring>
#include <type_traits>

#include "db/DatabaseError.h"
#include "db/IbaseApi.h"

namespace kx::db {
namespace {

// Fills api from library; returns the name of the first required entry point it lacks, or null.
const char* ResolveAll(SharedLibrary& library, ib::Functions& api) {
  struct Entry {
    const char* name;
    void* slot;  // the member of api, a function pointer
    bool required;
  };
  const Entry entries[] = {
      {"isc_attach_database", &api.attachDatabase, true},
      {"isc_create_database", &api.createDatabase, true},
      {"isc_detach_database", &api.detachDatabase, true},
      {"isc_start_transaction", &api.startTransaction, true},
      {"isc_commit_retaining", &api.commitRetaining, true},
      {"isc_commit_transaction", &api.commitTransaction, true},
      {"isc_rollback_transaction", &api.rollbackTransaction, true},
      {"isc_dsql_allocate_statement", &api.allocateStatement, true},
      {"isc_dsql_prepare", &api.prepare, true},
      {"isc_dsql_describe", &api.describe, true},
      {"isc_dsql_describe_bind", &api.describeBind, true},
      {"isc_dsql_sql_info", &api.sqlInfo, true},
      {"isc_dsql_execute", &api.execute, true},
      {"isc_dsql_execute2", &api.execute2, true},
      {"isc_dsql_execute_immediate", &api.executeImmediate, true},
      {"isc_dsql_fetch", &api.fetch, true},
      {"isc_dsql_free_statement", &api.freeStatement, true},
      {"isc_sqlcode", &api.sqlCode, true},
      {"fb_interpret", &api.fbInterpret, false},
      {"isc_interprete", &api.iscInterprete, false},
  };
  // Function and object pointers have the same size on every platform this builds for.
  static_assert(sizeof(ib::AttachDatabaseFn) == sizeof(void*));
  for (const Entry& entry : entries) {
    void* address = library.Symbol(entry.name);
    std::memcpy(entry.slot, &address, sizeof address);
    if (entry.required && address == nullptr) return entry.name;
  }
  if (api.fbInterpret == nullptr && api.iscInterprete == nullptr) return "fb_interpret";
  return nullptr;
}

}  // namespace

ClientLibrary::ClientLibrary() : ClientLibrary(DefaultSharedLibraryLoader(), DefaultNames()) {}

ClientLibrary::ClientLibrary(SharedLibraryLoader& loader, const std::vector<std::string>& names) {
  std::string reasons;
  for (const std::string& name : names) {
    std::unique_ptr<SharedLibrary> library;
    try {
      library = loader.Open(name);
    } catch (const Error& error) {
      reasons += std::string(reasons.empty() ? "" : "; ") + error.what();
      continue;
    }
    ib::Functions api;
    if (const char* missing = ResolveAll(*library, api)) {
      reasons += std::string(reasons.empty() ? "" : "; ") + name + " does not export " + missing;
      continue;
    }
    library_ = std::move(library);
    name_ = name;
    api_ = std::make_unique<ib::Functions>(api);
    return;
  }
  throw DatabaseError("cannot load the database client library: " +
                      (reasons.empty() ? std::string("no library name given") : reasons));
}

ClientLibrary::~ClientLibrary() = default;

const std::vector<std::string>& ClientLibrary::DefaultNames() {
#if defined(_WIN32)
  static const std::vector<std::string> names{"gds32.dll", "fbclient.dll"};
#else
  static const std::vector<std::string> names{"libfbclient.so.2"};
#endif
  return names;
}

static_assert(std::is_same_v<ib::Status, std::intptr_t>);

std::string ClientLibrary::MessageText(const std::intptr_t* status) const {
  std::string text;
  char part[1024];
  if (api_->fbInterpret != nullptr) {
    const ib::Status* cursor = status;
    while (api_->fbInterpret(part, sizeof part, &cursor) > 0) {
      if (!text.empty()) text += "\r\n";
      text += part;
    }
  } else {
    // isc_interprete has no buffer size; 1024 bytes is what its documentation asks for.
    ib::Status* cursor = const_cast<ib::Status*>(status);
    while (api_->iscInterprete(part, &cursor) > 0) {
      if (!text.empty()) text += "\r\n";
      text += part;
    }
  }
  return text;
}

void ClientLibrary::Raise(const std::intptr_t* status) const {
  std::string text = MessageText(status);
  if (text.empty()) text = "database error " + std::to_string(status[1]);
  throw DatabaseError(text, api_->sqlCode(status), static_cast<int64_t>(status[1]));
}

}  // namespace kx::db
