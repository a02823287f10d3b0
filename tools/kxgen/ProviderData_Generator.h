#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "kxgen/ProviderData.h"
#include "kxgen/Random.h"
#include "kxgen/RecordLine.h"

// The generator behind Generate(): ProviderData.cpp builds customers, depots and holdings rows,
// ProviderData_Transactions.cpp the transaction lines of each position.
namespace kx::gen {

// One random stream per kind of entity (second argument of Hash).
enum Stream : uint64_t {
  kCustomerStream = 1,
  kDepotStream,
  kDepotShareStream,
  kPositionShareStream,
  kTransactionShareStream,
  kPositionKindStream,
  kExtraPositionStream,
  kPositionStream,
  kTransactionStream,
  kFundStream,
  kStartIdStream,
  kUnassignedStream,
  kUnassignedPositionShareStream,
  kUnassignedTransactionShareStream,
};

// Of n parents sharing total children (total >= n), the first j together get this many; every
// parent gets at least one and the last ones end exactly at total. The jitter of each boundary
// depends only on (seed, stream, j), so any parent's count can be computed on its own.
uint64_t Cumulative(uint64_t total, uint64_t n, uint64_t j, uint64_t seed, uint64_t stream);

// Number of funds to choose from: a prime, so that every stride walks through all of them.
inline constexpr uint64_t kFundCount = 997;

struct Fund {
  std::string isin;
  std::string wkn;
  std::string name;
  std::string_view currency;
  int64_t price = 0;        // redemption price in 1/10000
  int priceDecimals = 2;    // as the provider writes it
  int64_t issueCharge = 0;  // percent in 1/100
  int64_t fxRate = 10000;   // units of the currency per EUR, in 1/10000
};

Fund MakeFund(uint64_t seed, uint64_t index);

// The values a depot's lines share.
struct Depot {
  std::string advisor;          // VERBERNR
  std::string intermediary;     // VERNR
  std::string subIntermediary;  // VERUNTER
  std::string number;           // DEPSTNR
  std::string entry;            // DEPEINR
  std::string accountType;      // DEPKTOART, kNull for none
  std::string subAccount;       // DEPUNTERKTO, kNull for none
  std::string discount;         // DEPRABATT
  std::string feePercent;       // DEPGEBPROZ
  std::array<std::string, 15> secondHolder;
  uint64_t fundStart = 0;
  uint64_t fundStride = 1;
};

// What a holdings position promises about transactions.
enum class PositionKind {
  kWithTransactions,     // HAS_TRANS 1
  kWithoutTransactions,  // HAS_TRANS 0
  kWithoutIsin,          // HAS_TRANS 0, no ISIN: the WKN is the position's key
  kNullWith,             // HAS_TRANS Null, with transactions
  kNullWithout,          // HAS_TRANS Null, without transactions
};

PositionKind KindOfPosition(uint64_t seed, uint64_t position);
bool HasTransactions(PositionKind kind);
// Whether depot d also has a fund that occurs only in the transactions (sold off, no holdings row).
bool HasExtraPosition(uint64_t seed, uint64_t depot);

// The 22 mapped fields of a transaction line, in file order (the start ids follow them).
using TransactionFields = std::array<std::string, 22>;

struct PositionContext {
  const Depot* depot = nullptr;
  Fund fund;
  std::string isin;    // as written into the lines
  uint64_t index = 0;  // global position number, seeds the position's stream
};

class Generator {
 public:
  Generator(const Sizes& sizes, uint64_t seed, Writer& writer);
  Counts Run();

 private:
  // ProviderData.cpp
  void WriteHeaders();
  void WriteCustomer(uint64_t customer);
  // The 15 holder fields; gender 0 is a man, 1 a woman, 2 a code other than M and W.
  std::array<std::string, 15> MakeHolder(Random& rng, int64_t number, int gender, bool overlong);
  Depot MakeDepot(const std::array<std::string, 15>& holder, const Depot& keys, uint64_t depot,
                  const Depot* previous, bool previousShared, bool& shared, bool lastOfCustomer);
  void WriteDepot(const Depot& depot, const std::array<std::string, 15>& holder, uint64_t depotIndex);
  void WriteHoldingsRow(const Depot& depot, const std::array<std::string, 15>& holder,
                        const PositionContext& position, PositionKind kind);

  // ProviderData_Transactions.cpp
  void WritePositionTransactions(const PositionContext& position, uint64_t count);
  void WriteUnassignedDepots();
  void WriteDuplicateTraid();
  void WriteTransactionLine(const TransactionFields& fields);

  const Sizes& sizes_;
  uint64_t seed_;
  Writer& writer_;
  Counts counts_;
  std::pair<std::string, std::string> startIds_;
  RecordLine line_;

  // Means in thousandths, and the totals fixed before the first line.
  uint64_t positionsMilli_ = 0;
  uint64_t transactionsMilli_ = 0;
  uint64_t depotTotal_ = 0;
  uint64_t positionTotal_ = 0;
  uint64_t bearingTotal_ = 0;  // positions of customer depots that have transactions
  uint64_t transactionTotal_ = 0;

  // Running numbers.
  uint64_t bearingIndex_ = 0;
  uint64_t transactionIndex_ = 0;
  uint64_t scheduleIndex_ = 0;

  // Features that the first opportunity gets, so that small data sets have each of them.
  bool sharedNumberDone_ = false;
  bool sharedSubAccountDone_ = false;
  bool secondHolderDone_ = false;
  bool secondAdvisorDone_ = false;

  // The first accepted transaction line, repeated with --duplicate-traid.
  bool haveAccepted_ = false;
  TransactionFields firstAccepted_;
  std::string firstDepotNumber_;
};

}  // namespace kx::gen
