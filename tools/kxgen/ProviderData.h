#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "staging/StagingColumns.h"

// Deterministic provider files (bestandsdaten.csv, transaktionsdaten.csv) for tests, the demo
// and benchmarks. The same sizes and seed give the same bytes on every machine.
namespace kx::gen {

// How much to generate. The "per" sizes are means: each parent gets its own count between 1 and
// about twice the mean, while the total is fixed in advance (customers x depotsPerCustomer
// depots, and so on, rounded down). They are read with three decimals, so 2.5 is possible.
struct Sizes {
  uint64_t customers = 5;
  double depotsPerCustomer = 2;        // at least 1
  double positionsPerDepot = 3;        // holdings rows per depot, at least 1, at most 400
  double transactionsPerPosition = 4;  // per holdings row (spread over the positions that have
                                       // transactions), at least 1
  uint64_t unassignedDepots = 2;       // depots with transactions but no holdings row
  // STARTID1 and STARTID2 of every transaction line; derived from the seed when not given.
  std::optional<std::pair<std::string, std::string>> startIds;
  bool duplicateTraid = false;  // one extra transaction line repeating an earlier TRAID
  bool overlong = false;        // a 70-character surname and a 25-character ISIN
};

// What the files contain; a load and the import document can be checked against these.
struct Counts {
  uint64_t holdingsRows = 0;
  uint64_t transactionRows = 0;
  uint64_t acceptedTransactionRows = 0;      // type code 1 to 8: the rows the transactions load keeps
  uint64_t duplicateTraids = 0;              // accepted rows whose TRAID an earlier row already has
  uint64_t customers = 0;                    // distinct INHKDNR1
  uint64_t customerRows = 0;                 // distinct (VERBERNR, INHKDNR1): one Kundendaten each
  uint64_t depots = 0;                       // distinct (DEPSTNR, DEPKTOART, DEPUNTERKTO), both files
  uint64_t unassignedDepots = 0;             // of those, the ones with no holdings row
  uint64_t positions = 0;                    // distinct (depot, ISIN or else WKN), both files
  uint64_t holdingsWithoutTransactions = 0;  // holdings rows with HAS_TRANS 0
};

// Receives the two files line by line, each line with its CR LF; the header line comes first.
class Writer {
 public:
  virtual ~Writer() = default;
  virtual void Holdings(std::string_view line) = 0;
  virtual void Transactions(std::string_view line) = 0;
};

// A writer that keeps nothing, for counting only.
class DiscardWriter : public Writer {
 public:
  void Holdings(std::string_view) override {}
  void Transactions(std::string_view) override {}
};

// Writes both files through writer and returns what they contain. Throws kx::Error for sizes
// out of range.
Counts Generate(const Sizes& sizes, uint64_t seed, Writer& writer);

// The counts alone (generates into a DiscardWriter).
Counts Count(const Sizes& sizes, uint64_t seed);

// The start ids used when Sizes::startIds is empty.
std::pair<std::string, std::string> DefaultStartIds(uint64_t seed);

// "key=value" lines, one per count.
std::string SummaryText(const Counts& counts);

// Fields of every record of the two files.
inline constexpr std::size_t kHoldingsColumns = staging_columns::kBestaende.size();
inline constexpr std::size_t kTransactionColumns = staging_columns::kTransactionsFileFields.size();

}  // namespace kx::gen
