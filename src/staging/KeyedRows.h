#pragma once

#include <cstdint>

#include "db/Statement.h"

namespace kx {

// One query over every customer at once, ordered by the customer number in its first column,
// walked alongside the customers in the same order: each customer's rows come in turn, and the
// walk only goes forward. It replaces one execution of a per-customer query by customer.
class KeyedRows {
 public:
  explicit KeyedRows(db::Statement& query) : query_(query) {}
  ~KeyedRows() { query_.Close(); }
  KeyedRows(const KeyedRows&) = delete;
  KeyedRows& operator=(const KeyedRows&) = delete;

  void Open() {
    query_.Open();
    hasRow_ = query_.Fetch();
  }
  // Moves forward to the first row of key; false when there is none. Rows of smaller (and NULL)
  // keys are passed over; the current row stays when it has the key already.
  bool SeekTo(int64_t key) {
    while (hasRow_ && (query_.CurrentRow().IsNull(0) || query_.CurrentRow().AsInt(0) < key))
      hasRow_ = query_.Fetch();
    return AtKey(key);
  }
  // Whether the current row has key.
  bool AtKey(int64_t key) const {
    return hasRow_ && !query_.CurrentRow().IsNull(0) && query_.CurrentRow().AsInt(0) == key;
  }
  void Next() { hasRow_ = query_.Fetch(); }
  const db::Row& Row() const { return query_.CurrentRow(); }

 private:
  db::Statement& query_;
  bool hasRow_ = false;
};

}  // namespace kx
