#pragma once

#include "db/Statement.h"

namespace kx {

// Closes a query on every way out of the block that opened it.
class QueryCloser {
 public:
  explicit QueryCloser(db::Statement& query) : query_(query) {}
  ~QueryCloser() { query_.Close(); }
  QueryCloser(const QueryCloser&) = delete;
  QueryCloser& operator=(const QueryCloser&) = delete;

 private:
  db::Statement& query_;
};

}  // namespace kx
