#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "db/Statement.h"
#include "db/Transaction.h"

namespace kx {

// Whether a row of an account type belongs to a depot asked with another, as the position's
// queries select it: "DEPKTOART containing :parDEPKTOART or DEPKTOART is NULL". CONTAINING
// compares without regard to case by the rules of the column's character set, so the database
// answers each pair once; an import has a handful of account types.
class AccountTypeMatch {
 public:
  explicit AccountTypeMatch(db::Transaction& transaction);

  bool operator()(const std::optional<std::string>& rowType, const std::string& depotType);

 private:
  db::Statement query_;
  std::map<std::pair<std::string, std::string>, bool, std::less<>> answers_;
};

}  // namespace kx
