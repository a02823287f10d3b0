#pragma once

#include <memory>
#include <string>

#include "db/ClientLibrary.h"
#include "db/ConnectionParameters.h"

namespace kx::db {

namespace detail {
struct Session;
}

// One attachment to a database. A name with a host part ("localhost:/srv/KXDB.IDB") goes through
// that server; a plain path is opened by the engine inside the process (see GoesThroughServer).
class Connection {
 public:
  // Attaches; raises DatabaseError with the client's message (server not reachable, file missing,
  // login refused).
  Connection(const ClientLibrary& client, std::string databaseName,
             const ConnectionParameters& parameters = {});
  // Detaches when still attached; never throws.
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Rolls back every transaction of this connection that is still open, then detaches. Statements
  // of the connection become unusable. Nothing happens when already detached.
  void Detach();
  bool IsAttached() const;
  // True when the engine runs inside this process (no server in the name).
  bool IsEmbedded() const { return embedded_; }
  const std::string& DatabaseName() const { return name_; }
  const ClientLibrary& Client() const;

 private:
  friend class Transaction;
  std::shared_ptr<detail::Session> session_;
  std::string name_;
  bool embedded_;
};

}  // namespace kx::db
