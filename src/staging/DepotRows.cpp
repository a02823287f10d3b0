#include "staging/DepotRows.h"

namespace kx {
namespace {

// Texts that differ only in trailing blanks are equal to the database, in comparisons and in the
// index that orders the rows.
std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

const std::vector<std::string> kNoRows;

}  // namespace

bool DepotRows::Load(db::Statement& query, std::string_view depotNo, std::string_view accountType) {
  rows_.clear();
  query.SetText("parDEPSTNR", depotNo);
  query.SetText("parDEPKTOART", accountType);
  query.Open();
  const int isin = query.CurrentRow().ColumnCount() - 1;
  std::size_t count = 0;
  while (query.Fetch()) {
    if (++count > maxRows_) {
      query.Close();
      rows_.clear();
      return false;
    }
    if (query.CurrentRow().IsNull(isin)) continue;  // equal to no key
    const std::string key(WithoutTrailingBlanks(query.CurrentRow().AsText(isin)));
    auto found = rows_.find(key);
    if (found == rows_.end()) found = rows_.emplace(key, std::vector<std::string>()).first;
    found->second.push_back(query.CurrentRow().Save());
  }
  query.Close();
  return true;
}

const std::vector<std::string>& DepotRows::Of(std::string_view key) const {
  const auto found = rows_.find(WithoutTrailingBlanks(key));
  return found != rows_.end() ? found->second : kNoRows;
}

}  // namespace kx
