#pragma once

#include <cstdint>
#include <string>

#include "util/Error.h"

namespace kx::db {

// A failure of the database client or of a statement. The message is the client's whole text
// (every part, one per line); SqlCode() is its SQL code (isc_sqlcode, for example -803 for a
// duplicate key) and IscCode() the first error code of the status vector (gdscode). Failures
// this layer detects itself (an unknown parameter name, a library that does not load) carry 0.
class DatabaseError : public Error {
 public:
  explicit DatabaseError(const std::string& message, int32_t sqlCode = 0, int64_t iscCode = 0)
      : Error(message), sqlCode_(sqlCode), iscCode_(iscCode) {}
  int32_t SqlCode() const { return sqlCode_; }
  int64_t IscCode() const { return iscCode_; }

 private:
  int32_t sqlCode_;
  int64_t iscCode_;
};

// The database is in use elsewhere in a way that ends by itself: a no-wait start refused because
// another transaction reserves or writes the tables asked for, or the file open in another engine
// (the server, or another process's engine), which the client reports as -902, an I/O error of
// its "lock" operation.
bool HeldElsewhere(const DatabaseError& error);

}  // namespace kx::db
