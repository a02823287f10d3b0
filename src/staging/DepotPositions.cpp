#include "staging/DepotPositions.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kx {
namespace {

// Texts compared as the database compares them in a binary collation: bytes in turn, the shorter
// one padded with blanks, so that "AB" equals "AB " and sorts after "AB\x01".
int PadCompare(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  const bool aLonger = a.size() > b.size();
  for (const char c : (aLonger ? a : b).substr(common)) {
    const auto x = static_cast<unsigned char>(c);
    if (x != ' ') return (x > ' ') == aLonger ? 1 : -1;
  }
  return 0;
}

// NULL first, then by value.
template <typename T, typename Compare>
int CompareNullable(const std::optional<T>& a, const std::optional<T>& b, Compare compare) {
  if (!a || !b) return a ? 1 : (b ? -1 : 0);
  return compare(*a, *b);
}

int CompareText(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  return CompareNullable(a, b, PadCompare);
}

template <typename T>
int CompareNumber(const std::optional<T>& a, const std::optional<T>& b) {
  return CompareNullable(a, b, [](T x, T y) { return x < y ? -1 : (y < x ? 1 : 0); });
}

bool EqualText(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  return a && b && PadCompare(*a, *b) == 0;
}

// One row of the position query: WKN, ISIN, fund name, share count, HAS_TRANS.
struct PositionRow {
  const std::optional<std::string>* wkn;
  const std::optional<std::string>* isin;
  const std::optional<std::string>* name;
  std::optional<double> shares;
  std::optional<int64_t> hasTransactions;
};

int Compare(const PositionRow& a, const PositionRow& b) {
  if (const int c = CompareText(*a.wkn, *b.wkn); c != 0) return c;
  if (const int c = CompareText(*a.isin, *b.isin); c != 0) return c;
  if (const int c = CompareText(*a.name, *b.name); c != 0) return c;
  if (const int c = CompareNumber(a.shares, b.shares); c != 0) return c;
  return CompareNumber(a.hasTransactions, b.hasTransactions);
}

bool EndsInBlank(const std::optional<std::string>& text) {
  return text && !text->empty() && text->back() == ' ';
}

// Whether the row holds a value whose written form the database's choice among equal values decides.
bool Undecided(const PositionColumns& row) {
  if (EndsInBlank(row.wkn) || EndsInBlank(row.isin) || EndsInBlank(row.name)) return true;
  return row.shares && (std::isnan(*row.shares) || (*row.shares == 0 && std::signbit(*row.shares)));
}

const std::optional<std::string> kNull;

}  // namespace

void DepotPositions::AddTransaction(PositionColumns row) {
  undecided_ = undecided_ || Undecided(row);
  transactions_.emplace(std::move(row.wkn), std::move(row.isin), std::move(row.accountType));
}

void DepotPositions::AddHolding(PositionColumns row) {
  undecided_ = undecided_ || Undecided(row);
  holdings_.push_back(std::move(row));
}

std::optional<std::vector<DepotPosition>> DepotPositions::For(std::string_view accountType) const {
  if (undecided_) return std::nullopt;
  const std::optional<std::string> type{std::string(accountType)};
  std::vector<PositionRow> rows;
  // The transactions left-joined to the holdings of their ISIN and a matching account type (or a
  // NULL one on either side), kept where the transaction's type is the depot's or one side is NULL.
  for (const auto& [wkn, isin, accountType] : transactions_) {
    bool joined = false;
    for (const PositionColumns& h : holdings_) {
      if (!EqualText(isin, h.isin)) continue;
      if (accountType && h.accountType && !EqualText(accountType, h.accountType)) continue;
      joined = true;
      if (EqualText(accountType, type) || !accountType || !h.accountType) {
        rows.push_back({&wkn, &isin, &h.name, h.shares, h.hasTransactions});
      }
    }
    if (!joined) rows.push_back({&wkn, &isin, &kNull, std::nullopt, std::nullopt});
  }
  // The holdings marked as having no transactions, of the depot's account type or none.
  for (const PositionColumns& h : holdings_) {
    if (h.hasTransactions != 0 || (h.accountType && !EqualText(h.accountType, type))) continue;
    rows.push_back({&h.wkn, &h.isin, &h.name, h.shares, h.hasTransactions});
  }
  std::sort(rows.begin(), rows.end(),
            [](const PositionRow& a, const PositionRow& b) { return Compare(a, b) < 0; });
  rows.erase(std::unique(rows.begin(), rows.end(),
                         [](const PositionRow& a, const PositionRow& b) { return Compare(a, b) == 0; }),
             rows.end());

  std::vector<DepotPosition> positions;
  positions.reserve(rows.size());
  for (const PositionRow& row : rows) {
    DepotPosition& position = positions.emplace_back();
    position.key = KeyOfPosition(row.isin->value_or(std::string()), row.wkn->value_or(std::string()));
    position.name = row.name->value_or(std::string());
    position.shares = row.shares;
  }
  return positions;
}

}  // namespace kx
