#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "db/Connection.h"

namespace kx::db {

// The transaction of a connection, started with the server's default parameters (no parameter
// block). One object can be started again after it has ended.
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  // Rolls back when still active; never throws.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Each raises DatabaseError; Start on an active and the others on an inactive transaction too.
  void Start();
  // Starts with the tables reserved for this transaction's writes alone (protected write, snapshot,
  // no wait): while it is active, with every commit retaining, no other transaction of any
  // attachment, process or machine writes or reserves them; readers still read. The engine
  // releases the reservation when the transaction ends, also when its attachment or process dies.
  // When another transaction holds them or has written them and not yet ended, the start fails
  // at once, and HeldElsewhere (DatabaseError.h) is true of the error.
  void StartReserving(std::span<const std::string_view> tables);
  // Commits the work so far; the transaction stays active with the same handle.
  void CommitRetaining();
  void Commit();
  void Rollback();
  bool IsActive() const;

  // Runs one statement without parameters and result (DDL, "delete from T") in this transaction.
  void ExecuteImmediate(std::string_view sql);

  // The session and the client's handle: defined and used inside the database layer only.
  struct Impl;

 private:
  friend class Statement;
  void StartWith(const std::string& tpb);
  void RequireActive(const char* operation) const;

  std::unique_ptr<Impl> impl_;
};

}  // namespace kx::db
