#include "staging/DepotRows.h"

#include <algorithm>

namespace kx {
namespace {

const std::vector<DepotRows::Kept> kNoRows;

}  // namespace

std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

void DepotRows::Add(const db::Row& row, const std::optional<std::string>& isin,
                    std::optional<std::string> accountType) {
  if (!isin) return;  // NULL equals no key
  const std::string_view key = WithoutTrailingBlanks(*isin);
  auto found = rows_.find(key);
  if (found == rows_.end()) found = rows_.emplace(std::string(key), std::vector<Kept>()).first;
  Kept& kept = found->second.emplace_back();
  kept.accountType = std::move(accountType);
  if (!orderColumn_.empty() && !row.IsNull(orderColumn_)) kept.order = row.AsInt(orderColumn_);
  kept.saved = row.Save();
}

// An index keeps rows of equal keys in record order: sorted stably by the order column, rows that
// came in record order (or already in index order) come as the index over (depot, ISIN, order
// column) gives them.
void DepotRows::Finish() {
  if (orderColumn_.empty()) return;
  for (auto& [key, rows] : rows_) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Kept& a, const Kept& b) { return a.order < b.order; });
  }
}

const std::vector<DepotRows::Kept>& DepotRows::Of(std::string_view key) const {
  const auto found = rows_.find(WithoutTrailingBlanks(key));
  return found != rows_.end() ? found->second : kNoRows;
}

}  // namespace kx
