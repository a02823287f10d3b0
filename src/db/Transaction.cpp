#include "db/Transaction.h"

#include <string>

#include "db/DatabaseError.h"
#include "db/TransactionImpl.h"

namespace kx::db {

namespace {

// Commits or rolls back. A failed commit leaves the transaction active, so that the caller can
// still roll it back.
void End(Transaction::Impl& impl, ib::TransactionFn function) {
  ib::Status status[ib::kStatusLength] = {};
  function(status, &impl.handle);
  impl.session->client.Check(status);
  impl.handle = ib::Handle{};
  impl.session->Forget(&impl.handle);
}

}  // namespace

Transaction::Transaction(Connection& connection)
    : impl_(std::make_unique<Impl>(Impl{connection.session_, ib::Handle{}})) {}

Transaction::~Transaction() {
  if (!IsActive()) return;
  ib::Status status[ib::kStatusLength] = {};
  impl_->session->client.Api().rollbackTransaction(status, &impl_->handle);
  impl_->session->Forget(&impl_->handle);
}

bool Transaction::IsActive() const { return impl_->handle != ib::Handle{}; }

void Transaction::Start() {
  // No transaction parameter block: the server's defaults.
  StartWith(std::string());
}

void Transaction::StartReserving(std::span<const std::string_view> tables) {
  std::string tpb{ib::kTpbVersion3, ib::kTpbConcurrency, ib::kTpbWrite, ib::kTpbNowait};
  for (const std::string_view table : tables) {
    if (table.empty() || table.size() > 255)
      throw DatabaseError("cannot reserve the table \"" + std::string(table) + "\"");
    tpb += ib::kTpbLockWrite;
    tpb += static_cast<char>(table.size());
    tpb += table;
    tpb += ib::kTpbProtected;
  }
  StartWith(tpb);
}

void Transaction::StartWith(const std::string& tpb) {
  if (IsActive()) throw DatabaseError("the transaction is already active");
  if (impl_->session->db == ib::Handle{})
    throw DatabaseError("cannot start a transaction: the connection is detached");
  ib::Status status[ib::kStatusLength] = {};
  // One database with its parameter block (none when empty).
  impl_->session->client.Api().startTransaction(status, &impl_->handle, static_cast<short>(1),
                                                &impl_->session->db, static_cast<short>(tpb.size()),
                                                tpb.empty() ? nullptr : tpb.data());
  impl_->session->client.Check(status);
  impl_->session->openTransactions.push_back(&impl_->handle);
}

void Transaction::CommitRetaining() {
  RequireActive("commit retaining");
  ib::Status status[ib::kStatusLength] = {};
  impl_->session->client.Api().commitRetaining(status, &impl_->handle);
  impl_->session->client.Check(status);
}

void Transaction::Commit() {
  RequireActive("commit");
  End(*impl_, impl_->session->client.Api().commitTransaction);
}

void Transaction::Rollback() {
  RequireActive("roll back");
  End(*impl_, impl_->session->client.Api().rollbackTransaction);
}

void Transaction::ExecuteImmediate(std::string_view sql) {
  RequireActive("execute a statement");
  const std::string text(sql);
  ib::Status status[ib::kStatusLength] = {};
  impl_->session->client.Api().executeImmediate(status, &impl_->session->db, &impl_->handle, 0, text.c_str(),
                                                ib::kDialect3, nullptr);
  impl_->session->client.Check(status);
}

void Transaction::RequireActive(const char* operation) const {
  if (!IsActive()) throw DatabaseError(std::string("cannot ") + operation + ": no transaction is active");
}

}  // namespace kx::db
