#include "ProviderLines.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "staging/StagingColumns.h"

namespace kx::documenttest {
namespace {

std::string FileOf(const std::vector<std::string_view>& columns, const std::vector<ProviderLine>& records) {
  std::string text;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += ';';
    text += columns[i];
  }
  text += "\r\n";
  for (const ProviderLine& record : records) text += record.Text() + "\r\n";
  return text;
}

}  // namespace

const std::vector<std::string_view>& HoldingsColumns() {
  static const std::vector<std::string_view> columns(staging_columns::kBestaende.begin(),
                                                     staging_columns::kBestaende.end());
  return columns;
}

const std::vector<std::string_view>& TransactionsColumns() {
  static const std::vector<std::string_view> columns(staging_columns::kTransactionsFileFields.begin(),
                                                     staging_columns::kTransactionsFileFields.end());
  return columns;
}

ProviderLine::ProviderLine(const std::vector<std::string_view>& columns)
    : columns_(&columns), values_(columns.size(), "Null") {}

ProviderLine& ProviderLine::Set(std::string_view column, std::string_view value) {
  const auto it = std::find(columns_->begin(), columns_->end(), column);
  if (it == columns_->end()) {
    std::fprintf(stderr, "no provider column %.*s\n", static_cast<int>(column.size()), column.data());
    std::abort();
  }
  values_[static_cast<std::size_t>(it - columns_->begin())] = value;
  return *this;
}

std::string ProviderLine::Text() const {
  std::string line;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    if (i > 0) line += ';';
    const std::string& value = values_[i];
    if (value.find(';') == std::string::npos && (value.empty() || value.front() != '"')) {
      line += value;
      continue;
    }
    line += '"';
    for (const char c : value) line += c == '"' ? std::string("\"\"") : std::string(1, c);
    line += '"';
  }
  return line;
}

ProviderLine Holding() {
  ProviderLine line(HoldingsColumns());
  line.Set("VERBERNR", "7")
      .Set("VERNR", "1")
      .Set("VERUNTER", "0")
      .Set("DEPSTNR", "4711")
      .Set("DEPEINR", "1")
      .Set("INHKDNR1", "1001")
      .Set("INHNACHNAME1", "Muster")
      .Set("FONWKNEXT", "A0B1C2")
      .Set("FONISIN", "DE0001234567")
      .Set("FONNAMELANG", "Rentenfonds")
      .Set("FONPREISDAT", "20240301")
      .Set("FONWAEHR", "EUR")
      .Set("BESTSTK", "10")
      .Set("DEPKTOART", "FO")
      .Set("HAS_TRANS", "0");
  return line;
}

ProviderLine HoldingWithTransactions() { return Holding().Set("HAS_TRANS", "1"); }

ProviderLine Transaction(std::string_view traid) {
  ProviderLine line(TransactionsColumns());
  line.Set("TRAID", traid)
      .Set("VERBERNR", "7")
      .Set("VERNR", "1")
      .Set("VERUNTER", "0")
      .Set("DEPSTNR", "4711")
      .Set("TRATYPKZ", "1")
      .Set("TRATYPKZTXT", "Kauf")
      .Set("TRADAT", "20240301")
      .Set("FONPREISDAT", "20240301")
      .Set("TRAWAEHR", "EUR")
      .Set("FONWKNEXT", "A0B1C2")
      .Set("FONISIN", "DE0001234567")
      .Set("DEPKTOART", "FO");
  return line;
}

std::string HoldingsFile(const std::vector<ProviderLine>& records) {
  return FileOf(HoldingsColumns(), records);
}

std::string TransactionsFile(const std::vector<ProviderLine>& records) {
  return FileOf(TransactionsColumns(), records);
}

}  // namespace kx::documenttest
