#pragma once

#include <cstddef>
#include <memory>

#include "db/IbaseApi.h"

namespace kx::db {

// Storage for an XSQLDA with room for a given number of XSQLVARs.
class Sqlda {
 public:
  explicit Sqlda(int capacity) { Resize(capacity); }

  // Discards the content: a zeroed descriptor of the new capacity (at least one).
  void Resize(int capacity);

  ib::XSQLDA* Get() { return reinterpret_cast<ib::XSQLDA*>(storage_.get()); }
  const ib::XSQLDA* Get() const { return reinterpret_cast<const ib::XSQLDA*>(storage_.get()); }
  int Capacity() const { return Get()->sqln; }
  // How many variables the last describe reported (may exceed Capacity()).
  int Described() const { return Get()->sqld; }
  ib::XSQLVAR& Var(int index) { return Get()->sqlvar[index]; }
  const ib::XSQLVAR& Var(int index) const { return Get()->sqlvar[index]; }

 private:
  std::unique_ptr<std::byte[]> storage_;
};

}  // namespace kx::db
