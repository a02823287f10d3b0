#include "db/Connection.h"

#include "db/DatabaseName.h"
#include "db/Session.h"

namespace kx::db {

Connection::Connection(const ClientLibrary& client, std::string databaseName,
                       const ConnectionParameters& parameters)
    : session_(std::make_shared<detail::Session>(client)),
      name_(std::move(databaseName)),
      embedded_(!GoesThroughServer(name_)) {
  const ParameterBlock dpb = AttachParameters(parameters, name_);
  ib::Status status[ib::kStatusLength] = {};
  client.Api().attachDatabase(status, 0, name_.c_str(), &session_->db, dpb.Size(), dpb.Data());
  client.Check(status);
}

Connection::~Connection() {
  try {
    Detach();
  } catch (...) {
    // A failed detach leaves nothing the caller could still do; the server drops the attachment
    // when the process ends.
  }
}

void Connection::Detach() {
  if (session_->db == ib::Handle{}) return;
  const ib::Functions& api = session_->client.Api();
  ib::Status status[ib::kStatusLength] = {};
  // Work that was never committed is not kept: the open transactions are rolled back.
  for (ib::Handle* transaction : session_->openTransactions) {
    api.rollbackTransaction(status, transaction);
    *transaction = ib::Handle{};
  }
  session_->openTransactions.clear();
  api.detachDatabase(status, &session_->db);
  session_->client.Check(status);
  session_->db = ib::Handle{};
}

bool Connection::IsAttached() const { return session_->db != ib::Handle{}; }

const ClientLibrary& Connection::Client() const { return session_->client; }

}  // namespace kx::db
