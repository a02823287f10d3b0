#pragma once

// What a statement holds of the client: only the files of src/db include this.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/IbaseApi.h"
#include "db/Session.h"
#include "db/Sqlda.h"
#include "db/Statement.h"

namespace kx::db {

struct Statement::Impl {
  // The value of one parameter, at a fixed address for the XSQLVAR that points to it.
  struct Bound {
    std::string text;  // as SQL_VARYING: a 16-bit length, then the bytes
    int64_t integer = 0;
    double real = 0;
    int16_t indicator = -1;
    int16_t textSubtype = 0;  // the character set the parameter was described with
    // The sqllen a text is bound with: the described length of a text parameter, or the longest
    // text bound so far. Kept from one value to the next, so that the layout of the parameters
    // stays the same and the client does not describe the message anew for every execute.
    int16_t textCapacity = 0;
  };

  Impl(std::shared_ptr<detail::Session> s, ib::Handle* t) : session(std::move(s)), transaction(t) {}

  const ib::Functions& Api() const { return session->client.Api(); }
  void Check(const ib::Status* status) const { session->client.Check(status); }

  std::shared_ptr<detail::Session> session;
  ib::Handle* transaction;  // of the Transaction, which keeps it at a fixed address
  ib::Handle handle{};
  int statementType = 0;
  Sqlda in{1};
  Sqlda out{1};
  std::vector<Bound> bound;  // never resized after the set-up: the XSQLVARs point into it
};

}  // namespace kx::db
