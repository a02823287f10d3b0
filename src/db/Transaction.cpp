#include "db/Transaction.h"

#include <string>

#include "db/DatabaseError.h"
#include "db/Session.h"

namespace kx::db {

Transaction::Transaction(Connection& connection) : session_(connection.session_) {}

Transaction::~Transaction() {
  if (!IsActive()) return;
  ib::Status status[ib::kStatusLength] = {};
  session_->client.Api().rollbackTransaction(status, &handle_);
  session_->Forget(&handle_);
}

void Transaction::Start() {
  if (IsActive()) throw DatabaseError("the transaction is already active");
  if (session_->db == ib::Handle{})
    throw DatabaseError("cannot start a transaction: the connection is detached");
  ib::Status status[ib::kStatusLength] = {};
  // One database, no transaction parameter block: the server's defaults.
  session_->client.Api().startTransaction(status, &handle_, static_cast<short>(1), &session_->db, 0,
                                          static_cast<const char*>(nullptr));
  session_->client.Check(status);
  session_->openTransactions.push_back(&handle_);
}

void Transaction::CommitRetaining() {
  RequireActive("commit retaining");
  ib::Status status[ib::kStatusLength] = {};
  session_->client.Api().commitRetaining(status, &handle_);
  session_->client.Check(status);
}

void Transaction::Commit() {
  RequireActive("commit");
  End(session_->client.Api().commitTransaction);
}

void Transaction::Rollback() {
  RequireActive("roll back");
  End(session_->client.Api().rollbackTransaction);
}

void Transaction::ExecuteImmediate(std::string_view sql) {
  RequireActive("execute a statement");
  const std::string text(sql);
  ib::Status status[ib::kStatusLength] = {};
  session_->client.Api().executeImmediate(status, &session_->db, &handle_, 0, text.c_str(), ib::kDialect3,
                                          nullptr);
  session_->client.Check(status);
}

void Transaction::RequireActive(const char* operation) const {
  if (!IsActive()) throw DatabaseError(std::string("cannot ") + operation + ": no transaction is active");
}

void Transaction::End(ib::TransactionFn function) {
  ib::Status status[ib::kStatusLength] = {};
  function(status, &handle_);
  // A failed commit leaves the transaction active, so that the caller can still roll it back.
  session_->client.Check(status);
  handle_ = ib::Handle{};
  session_->Forget(&handle_);
}

}  // namespace kx::db
