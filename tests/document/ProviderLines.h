#pragma once

// Hand-made provider records for the document tests: a holdings or transactions line with every
// column of the provider layout, so that a test names only the columns it is about.
#include <string>
#include <string_view>
#include <vector>

namespace kx::documenttest {

// The provider's column names in file order (install/PROVIDER-FILES.md).
const std::vector<std::string_view>& HoldingsColumns();      // 50
const std::vector<std::string_view>& TransactionsColumns();  // 24

class ProviderLine {
 public:
  // Every column starts as "Null", the provider's text for no value.
  explicit ProviderLine(const std::vector<std::string_view>& columns);

  // Sets a column by its provider name; an unknown name fails the test program at once.
  ProviderLine& Set(std::string_view column, std::string_view value);
  // The record as the provider writes it: ";"-separated, a field with ";" or a leading quote
  // quoted with doubled quotes inside; no line break.
  std::string Text() const;

 private:
  const std::vector<std::string_view>* columns_;
  std::vector<std::string> values_;
};

// A holding of depot 4711 (account type FO, no sub-account) of customer 1001 (surname Muster)
// under advisor number 7: fund DE0001234567 / A0B1C2 "Rentenfonds", 10 shares, price date
// 2024-03-01 in EUR, HAS_TRANS 0.
ProviderLine Holding();
// The same holding marked as having transactions (HAS_TRANS 1).
ProviderLine HoldingWithTransactions();
// A transaction of that position: the given id, type code 1 "Kauf", dated 2024-03-01 (TRADAT and
// price date), currency EUR; amounts, shares, prices, fees and start ids are Null.
ProviderLine Transaction(std::string_view traid);

// The whole file: the header line of column names, then the records, every line ending with
// CR LF.
std::string HoldingsFile(const std::vector<ProviderLine>& records);
std::string TransactionsFile(const std::vector<ProviderLine>& records);

}  // namespace kx::documenttest
