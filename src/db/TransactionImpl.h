#pragma once

// What a transaction holds of the client: only the files of src/db include this.
#include <memory>

#include "db/IbaseApi.h"
#include "db/Session.h"
#include "db/Transaction.h"

namespace kx::db {

struct Transaction::Impl {
  std::shared_ptr<detail::Session> session;
  ib::Handle handle{};  // at a fixed address: the session keeps a pointer to it while started
};

}  // namespace kx::db
