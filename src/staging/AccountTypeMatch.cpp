#include "staging/AccountTypeMatch.h"

#include "staging/QueryCloser.h"

namespace kx {

AccountTypeMatch::AccountTypeMatch(db::Transaction& transaction)
    : query_(transaction,
             "select iif(cast(:ROWTYPE as varchar(40)) containing cast(:DEPOTTYPE as varchar(40)), 1, 0) "
             "from RDB$DATABASE") {}

bool AccountTypeMatch::operator()(const std::optional<std::string>& rowType, const std::string& depotType) {
  if (!rowType) return true;
  std::pair<std::string, std::string> key{*rowType, depotType};
  if (const auto found = answers_.find(key); found != answers_.end()) return found->second;
  query_.SetText("ROWTYPE", *rowType);
  query_.SetText("DEPOTTYPE", depotType);
  const QueryCloser closer(query_);
  query_.Open();
  const bool matches = query_.Fetch() && query_.CurrentRow().AsInt(0) == 1;
  answers_.emplace(std::move(key), matches);
  return matches;
}

}  // namespace kx
