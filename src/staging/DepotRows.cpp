#include "staging/DepotRows.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>

namespace kx {
namespace {

// Texts that differ only in trailing blanks are equal to the database, in comparisons and in the
// index that orders the rows.
std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

const std::vector<std::string> kNoRows;

// Puts a position's rows, which came in the table's record order, in the order of their value of
// the order column (NULL first), rows of one value staying in record order: the order in which the
// index over (depot, ISIN, order column) gives them, since an index keeps equal keys by record.
void SortStably(std::vector<std::string>& rows, std::vector<std::optional<int64_t>>& order) {
  std::vector<std::size_t> by(rows.size());
  std::iota(by.begin(), by.end(), 0);
  std::stable_sort(by.begin(), by.end(),
                   [&order](std::size_t a, std::size_t b) { return order[a] < order[b]; });
  std::vector<std::string> sorted;
  sorted.reserve(rows.size());
  for (const std::size_t i : by) sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

}  // namespace

bool DepotRows::Load(db::Statement& query, const StagingDepot& depot,
                     const std::function<void(const db::Row&)>& eachRow, std::string_view orderColumn) {
  rows_.clear();
  // A position's values of the order column, beside its rows.
  std::map<std::string, std::vector<std::optional<int64_t>>, std::less<>> order;
  query.SetText("parDEPSTNR", depot.number);
  query.SetText("parDEPKTOART", depot.accountType);
  query.Open();
  const db::Row& row = query.CurrentRow();
  const int isin = row.ColumnCount() - 1;
  const int matching = row.ColumnIndex("MATCHING");
  const int orderBy = orderColumn.empty() ? -1 : row.ColumnIndex(orderColumn);
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
    if (orderBy >= 0)
      order[key].push_back(row.IsNull(orderBy) ? std::nullopt : std::optional(row.AsInt(orderBy)));
  }
  query.Close();
  for (auto& [key, values] : order) SortStably(rows_[key], values);
  return true;
}

const std::vector<std::string>& DepotRows::Of(std::string_view key) const {
  const auto found = rows_.find(WithoutTrailingBlanks(key));
  return found != rows_.end() ? found->second : kNoRows;
}

}  // namespace kx
