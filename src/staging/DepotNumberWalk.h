#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/ReadAhead.h"
#include "db/Row.h"
#include "db/Statement.h"

namespace kx {

// The rows of every depot number from one query ordered by the number in its first column (through
// its index: NULL first, then the numbers as the index keys order them), walked forward as the
// document asks for depots. The document asks in the order of its customers, which is the numbers'
// order whenever depot numbers rise with customer numbers: then one query serves every depot, in
// place of one execution per depot (a round trip each through a server). The rows are read ahead
// on a thread of their own while the document is written from the earlier ones.
class DepotNumberWalk {
 public:
  explicit DepotNumberWalk(db::Statement& query) : rows_(query) {}
  DepotNumberWalk(const DepotNumberWalk&) = delete;
  DepotNumberWalk& operator=(const DepotNumberWalk&) = delete;

  // Hands every row of the depot number to eachRow, in the query's order, and returns true; false,
  // handing nothing, when the walk has passed the number already (asked again, or out of order).
  bool Rows(std::string_view number, const std::function<void(const db::Row&)>& eachRow);

 private:
  // The row's number against key in the index's order: bytes compared unsigned, trailing blanks
  // ignored, a shorter number first.
  int CompareRow(std::string_view key) const;

  db::ReadAhead rows_;
  bool opened_ = false;
  bool hasRow_ = false;
  std::optional<std::string> passed_;  // the last number asked for, trailing blanks removed
};

}  // namespace kx
