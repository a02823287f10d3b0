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

bool DepotRows::Load(db::Statement& query, const StagingDepot& depot,
                     const std::function<void(const db::Row&)>& eachRow) {
  rows_.clear();
  query.SetText("parDEPSTNR", depot.number);
  query.SetText("parDEPKTOART", depot.accountType);
  query.Open();
  const db::Row& row = query.CurrentRow();
  const int isin = row.ColumnCount() - 1;
  const int matching = row.ColumnIndex("MATCHING");
  std::size_t count = 0;
  while (query.Fetch()) {
    if (++count > maxRows_) {
      query.Close();
      rows_.clear();
      return false;
    }
    eachRow(row);
    if (row.IsNull(isin) || row.AsInt(matching) != 1) continue;  // NULL equals no key
    const std::string key(WithoutTrailingBlanks(row.AsText(isin)));
    auto found = rows_.find(key);
    if (found == rows_.end()) found = rows_.emplace(key, std::vector<std::string>()).first;
    found->second.push_back(row.Save());
  }
  query.Close();
  return true;
}

const std::vector<std::string>& DepotRows::Of(std::string_view key) const {
  const auto found = rows_.find(WithoutTrailingBlanks(key));
  return found != rows_.end() ? found->second : kNoRows;
}

}  // namespace kx
