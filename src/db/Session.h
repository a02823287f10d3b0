#pragma once

#include <algorithm>
#include <vector>

#include "db/ClientLibrary.h"
#include "db/IbaseApi.h"

namespace kx::db::detail {

// What a connection shares with its transactions and statements. They hold it by shared_ptr, so
// they may be destroyed in any order; a zero db handle means the connection has been detached and
// every statement handle of it is gone.
struct Session {
  explicit Session(const ClientLibrary& library) : client(library) {}

  const ClientLibrary& client;
  ib::Handle db{};
  // Handles of the started transactions, so that a detach can end them first.
  std::vector<ib::Handle*> openTransactions;

  void Forget(ib::Handle* transaction) {
    openTransactions.erase(std::remove(openTransactions.begin(), openTransactions.end(), transaction),
                           openTransactions.end());
  }
};

}  // namespace kx::db::detail
