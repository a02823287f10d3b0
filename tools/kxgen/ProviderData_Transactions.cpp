#include <array>
#include <cmath>
#include <string>

#include "kxgen/Names.h"
#include "kxgen/ProviderData_Generator.h"

namespace kx::gen {
namespace {

enum class Shares { kPositive, kZero, kNone };  // kNone: TRASTK is Null, the row carries an amount only
enum class Fee { kCharged, kFullyReduced, kFieldMissing, kOther };
enum class Amount { kPurchase, kSavings, kSale, kTransfer, kCost, kDistribution, kInfo };

// One kind of transaction line: a type code with type texts, and the shape of its values. The
// list holds every code 1 to 8, each with the type texts, signs and share counts that lead the
// import document to its different modes, cancellations and branches; the comments name the
// mode the document gives the line. The last four codes are rejected by the transactions load.
struct Kind {
  std::string_view code;
  std::array<std::string_view, 3> texts;
  Shares shares;
  int sign;
  Fee fee;
  Amount amount;
  unsigned weight;
  bool opening;  // may be the first transaction of a position
};

constexpr Kind kKinds[] = {
    {"1", {"Kauf"}, Shares::kPositive, 1, Fee::kCharged, Amount::kPurchase, 160, true},      // A, fee
    {"1", {"Kauf"}, Shares::kPositive, -1, Fee::kCharged, Amount::kPurchase, 8, false},      // A_STORNO
    {"1", {"Kauf"}, Shares::kPositive, 1, Fee::kFullyReduced, Amount::kPurchase, 15, true},  // fee 0.00
    {"1", {"Kauf"}, Shares::kPositive, 1, Fee::kFieldMissing, Amount::kPurchase, 15, true},  // no fee
    {"1",
     {"Sparplan", "Kauf Sparplan", "SPARPLAN"},
     Shares::kNone,
     1,
     Fee::kCharged,
     Amount::kSavings,
     90,
     true},  // AS, amount only
    {"1",
     {"Regelmäßige Anlage"_cp1252, "Regelm. Kauf"},
     Shares::kPositive,
     1,
     Fee::kCharged,
     Amount::kSavings,
     30,
     true},  // AS
    {"1",
     {"Übertrag Eingang"_cp1252, "ÜBERTRAG EINGANG"_cp1252, "Einbuchung"},
     Shares::kPositive,
     0,
     Fee::kFieldMissing,
     Amount::kTransfer,
     20,
     true},                                                                                      // LE
    {"1", {"Eingang"}, Shares::kPositive, -1, Fee::kFieldMissing, Amount::kPurchase, 3, false},  // LE_STORNO
    {"1", {"Kauf"}, Shares::kZero, 1, Fee::kCharged, Amount::kPurchase, 5, false},  // DT_Summe_Status
    {"2", {"Zwischengewinn", "Information"}, Shares::kNone, 1, Fee::kOther, Amount::kInfo, 20, false},
    {"3", {"Verkauf"}, Shares::kPositive, -1, Fee::kOther, Amount::kSale, 90, false},  // V
    {"3", {"Verkauf"}, Shares::kPositive, 1, Fee::kOther, Amount::kSale, 6, false},    // V_STORNO
    {"3",
     {"Übertrag Ausgang"_cp1252, "DEPOTÜBERTRAG"_cp1252, "Ausbuchung"},
     Shares::kPositive,
     0,
     Fee::kOther,
     Amount::kTransfer,
     15,
     false},                                                                         // LA
    {"3", {"Ausgang"}, Shares::kPositive, 1, Fee::kOther, Amount::kSale, 3, false},  // LA_STORNO
    {"4",
     {"Tausch Kauf", "Fondstausch Kauf"},
     Shares::kPositive,
     1,
     Fee::kCharged,
     Amount::kPurchase,
     20,
     false},                                                                                    // ASW
    {"4", {"Tausch Kauf"}, Shares::kPositive, -1, Fee::kCharged, Amount::kPurchase, 3, false},  // ASW_STORNO
    {"4", {"Umschichtung Kauf"}, Shares::kPositive, 1, Fee::kCharged, Amount::kPurchase, 10, false},  // A
    {"5",
     {"Tausch Verkauf", "Fondstausch"},
     Shares::kPositive,
     -1,
     Fee::kOther,
     Amount::kSale,
     20,
     false},                                                                                // VSW
    {"5", {"Tausch Verkauf"}, Shares::kPositive, 1, Fee::kOther, Amount::kSale, 3, false},  // VSW_STORNO
    {"5",
     {"Rücknahme"_cp1252, "Verkauf Umschichtung"},
     Shares::kPositive,
     -1,
     Fee::kOther,
     Amount::kSale,
     15,
     false},                                                                                             // V
    {"5", {"Kupon", "Kuponzahlung"}, Shares::kNone, -1, Fee::kOther, Amount::kDistribution, 10, false},  // AU
    {"5",
     {"Ertragsgutschrift", "Ertrag"},
     Shares::kNone,
     1,
     Fee::kOther,
     Amount::kDistribution,
     4,
     false},  // AU_STORNO
    {"6",
     {"Depotgebühr"_cp1252, "Depotentgelt"},
     Shares::kNone,
     -1,
     Fee::kOther,
     Amount::kCost,
     40,
     false},                                                                                // KO
    {"6", {"Depotgebühr"_cp1252}, Shares::kNone, 1, Fee::kOther, Amount::kCost, 4, false},  // KO_STORNO
    {"7",
     {"Verwaltungsentgelt", "Kontoführung"_cp1252},
     Shares::kNone,
     -1,
     Fee::kOther,
     Amount::kCost,
     15,
     false},  // KO
    {"8",
     {"Ausschüttung"_cp1252, "Ertragsausschüttung"_cp1252},
     Shares::kNone,
     1,
     Fee::kOther,
     Amount::kDistribution,
     50,
     false},  // AU
    {"8",
     {"Wiederanlage", "Ausschüttung"_cp1252},
     Shares::kPositive,
     1,
     Fee::kCharged,
     Amount::kDistribution,
     50,
     false},  // AU with W
    {"8",
     {"Ausschüttung"_cp1252},
     Shares::kNone,
     0,
     Fee::kOther,
     Amount::kDistribution,
     4,
     false},  // nothing written
    {"8",
     {"Ausschüttung Storno"_cp1252},
     Shares::kPositive,
     -1,
     Fee::kCharged,
     Amount::kDistribution,
     4,
     false},  // AU_STORNO with W_STORNO
    {"0", {"Storniert"}, Shares::kPositive, 1, Fee::kOther, Amount::kPurchase, 8, false},
    {"9", {"Sonstiges"}, Shares::kNone, 1, Fee::kOther, Amount::kInfo, 8, false},
    {"x", {"Unbekannt"}, Shares::kPositive, -1, Fee::kOther, Amount::kSale, 8, false},
    {"", {"Kauf"}, Shares::kPositive, 1, Fee::kCharged, Amount::kPurchase, 8, false},
};
constexpr std::size_t kKindCount = std::size(kKinds);

// Variations of the price fields that any line may carry.
enum class Variant {
  kNone,
  kRedemptionPriceZero,
  kPricesZero,
  kPriceDateNull,
  kPriceDateZero,
  kPriceDateInvalid
};
constexpr std::size_t kVariantCount = 6;

struct Choice {
  std::size_t kind;
  Variant variant;
};

// The first lines take every kind and then every variant once (on a plain purchase); after them
// the choice is random.
constexpr std::size_t kScheduleLength = kKindCount + kVariantCount - 1;

bool Accepted(std::string_view code) { return code.size() == 1 && code[0] >= '1' && code[0] <= '8'; }

std::size_t RandomKind(Random& rng, bool opening) {
  unsigned total = 0;
  for (const auto& kind : kKinds) total += opening && !kind.opening ? 0 : kind.weight;
  auto roll = static_cast<unsigned>(rng.Below(total));
  for (std::size_t i = 0; i < kKindCount; ++i) {
    const unsigned weight = opening && !kKinds[i].opening ? 0 : kKinds[i].weight;
    if (roll < weight) return i;
    roll -= weight;
  }
  return 0;
}

Variant RandomVariant(Random& rng) {
  const auto roll = rng.Below(1000);
  if (roll < 40) return Variant::kRedemptionPriceZero;
  if (roll < 55) return Variant::kPricesZero;
  if (roll < 70) return Variant::kPriceDateNull;
  if (roll < 80) return Variant::kPriceDateZero;
  if (roll < 85) return Variant::kPriceDateInvalid;
  return Variant::kNone;
}

int64_t Pow10(int n) {
  int64_t value = 1;
  while (n-- > 0) value *= 10;
  return value;
}

// A percentage in 1/100 as the provider writes it: "5", "5.00" or "2.5".
std::string Percent(Random& rng, int64_t hundredths) {
  if (hundredths % 100 == 0 && rng.Chance(500)) return std::to_string(hundredths / 100);
  return FixedText(hundredths, 2);
}

std::string TransactionId(Random& rng, uint64_t t) {
  // Numbers with leading zeros become plain numbers in the document; the others stay as they are.
  if (t == 0 || (t != 1 && rng.Chance(700))) {
    std::string digits = std::to_string(1000 + t * 10 + rng.Below(10));
    return std::string(digits.size() < 10 ? 10 - digits.size() : 0, '0') + digits;
  }
  constexpr std::string_view kPrefixes[] = {"A-", "TX", "KX-"};
  return std::string(kPrefixes[rng.Below(3)]) + std::to_string(t + 1);
}

}  // namespace

void Generator::WritePositionTransactions(const PositionContext& position, uint64_t count) {
  Random rng(seed_, kTransactionStream, position.index);
  const Depot& depot = *position.depot;
  const Fund& fund = position.fund;
  int64_t day = DaysFromCivil(2012, 1, 2) + rng.Between(0, 8 * 365);
  TransactionFields f;
  for (uint64_t n = 0; n < count; ++n) {
    day += rng.Between(1, 45);
    Choice choice{RandomKind(rng, n == 0), RandomVariant(rng)};
    if (scheduleIndex_ < kScheduleLength) {
      const std::size_t s = scheduleIndex_;
      const Choice scheduled =
          s < kKindCount ? Choice{s, Variant::kNone} : Choice{0, static_cast<Variant>(s - kKindCount + 1)};
      // A position's first line stays a valid opening, so that HAS_TRANS 1 keeps its promise.
      if (n > 0 || kKinds[scheduled.kind].opening) {
        choice = scheduled;
        ++scheduleIndex_;
      }
    }
    const Kind& kind = kKinds[choice.kind];

    f[0] = TransactionId(rng, transactionIndex_);
    f[1] = depot.advisor;
    f[2] = depot.intermediary;
    f[3] = depot.subIntermediary;
    f[4] = depot.number;
    f[5] = kind.code;
    const std::size_t texts = kind.texts[2].empty() ? (kind.texts[1].empty() ? 1 : 2) : 3;
    f[6] = kind.texts[rng.Below(texts)];
    f[7] = std::to_string(DateNumber(day));
    switch (choice.variant) {
      case Variant::kPriceDateNull:
        f[8] = kNull;
        break;
      case Variant::kPriceDateZero:
        f[8] = "0";
        break;
      case Variant::kPriceDateInvalid:
        f[8] = std::to_string(DateNumber(day) / 10000 * 10000 + 231);
        break;
      default:
        f[8] = std::to_string(DateNumber(day + rng.Between(0, 2)));
    }

    // Fee fields: FONAUSGABE is the issue charge, TRABONPZ the reduction of it, both in percent.
    const int64_t charge = fund.issueCharge > 0 ? fund.issueCharge : 500;
    int64_t reduction = 0;
    double rate = 0;  // the charge contained in a gross amount
    switch (kind.fee) {
      case Fee::kCharged:
      case Fee::kFullyReduced:
        reduction = kind.fee == Fee::kFullyReduced ? 10000 : 2500 * static_cast<int64_t>(rng.Below(3));
        f[15] = Percent(rng, charge);
        f[14] = Percent(rng, reduction);
        rate = static_cast<double>(charge) / 1e4 * (1 - static_cast<double>(reduction) / 1e4);
        break;
      case Fee::kFieldMissing:
        f[15] = rng.Chance(500) ? std::string(kNull) : Percent(rng, charge);
        f[14] = f[15] == kNull ? Percent(rng, 0) : std::string(kNull);
        break;
      case Fee::kOther: {
        const auto roll = rng.Below(10);
        f[15] = roll < 5 ? "0" : roll < 8 ? std::string(kNull) : Percent(rng, fund.issueCharge);
        f[14] = roll < 5 ? "0" : roll < 8 ? std::string(kNull) : "0";
      }
    }

    // Price of this day: the fund's price moved by up to 20 %.
    int64_t price = fund.price * rng.Between(800, 1200) / 1000;
    if (fund.priceDecimals == 2) price = price / 100 * 100;
    if (price <= 0) price = 100;
    const double unitPrice = static_cast<double>(price) / 1e4;

    int64_t gross = 0;  // cents
    switch (kind.amount) {
      case Amount::kPurchase:
      case Amount::kSale:
      case Amount::kTransfer:
        gross = rng.Between(2500, 2'500'000);
        break;
      case Amount::kSavings:
        gross = rng.Between(2500, 50'000);
        break;
      case Amount::kCost:
        gross = rng.Between(500, 5000);
        break;
      case Amount::kDistribution:
        gross = rng.Between(100, 50'000);
        break;
      case Amount::kInfo:
        gross = rng.Between(1, 20'000);
        break;
    }
    const int decimals = rng.Chance(150) ? 6 : rng.Chance(300) ? 4 : 3;
    int64_t shareUnits = std::llround(static_cast<double>(gross) / 100 / (1 + rate) / unitPrice *
                                      static_cast<double>(Pow10(decimals)));
    if (shareUnits <= 0) shareUnits = 1;
    if (kind.amount == Amount::kSale) {
      gross = std::llround(static_cast<double>(shareUnits) / static_cast<double>(Pow10(decimals)) *
                           unitPrice * 100);
    }
    if (kind.sign == 0) {
      f[9] = rng.Chance(500) ? "0" : "0.00";
      f[10] = f[9];
    } else {
      f[9] = FixedText(kind.sign * gross, 2);
      if (fund.fxRate == 10000) {
        f[10] = f[9];
      } else {
        const double euro = static_cast<double>(gross) / 100 / (static_cast<double>(fund.fxRate) / 1e4);
        f[10] = FixedText(kind.sign * std::llround(euro * 1e6), 6);
      }
    }
    f[11] = fund.currency;

    // FONPREIS is the issue price, FONRPREIS the redemption price the document prefers.
    const double issuePrice = unitPrice * (1 + static_cast<double>(fund.issueCharge) / 1e4);
    f[12] = rng.Chance(200) ? FixedText(std::llround(issuePrice * 1e6), 6)
                            : FixedText(std::llround(issuePrice * 1e4), 4);
    f[13] = FixedText(fund.priceDecimals == 2 ? price / 100 : price, fund.priceDecimals);
    if (choice.variant == Variant::kRedemptionPriceZero) f[13] = rng.Chance(500) ? "0" : "0.00";
    if (choice.variant == Variant::kPricesZero) f[12] = f[13] = "0";

    switch (kind.shares) {
      case Shares::kPositive:
        f[16] = FixedText(shareUnits, decimals);
        break;
      case Shares::kZero:
        f[16] = rng.Chance(500) ? "0" : "0.000";
        break;
      case Shares::kNone:
        f[16] = rng.Chance(900) ? std::string(kNull) : std::string();
        break;
    }
    f[17] = fund.wkn;
    f[18] = position.isin;
    f[19] = rng.Chance(700) ? std::string(kNull) : FixedText(rng.Between(-5000, 5000), 2);
    f[20] = depot.accountType;
    f[21] = depot.subAccount;

    WriteTransactionLine(f);
    ++transactionIndex_;
    if (Accepted(kind.code)) {
      ++counts_.acceptedTransactionRows;
      if (!haveAccepted_) {
        firstAccepted_ = f;
        haveAccepted_ = true;
      }
    }
  }
}

void Generator::WriteTransactionLine(const TransactionFields& fields) {
  line_.Clear();
  for (const auto& field : fields) line_.Text(field);
  line_.Text(startIds_.first);
  line_.Text(startIds_.second);
  writer_.Transactions(line_.Finish());
  ++counts_.transactionRows;
}

void Generator::WriteUnassignedDepots() {
  const uint64_t depots = sizes_.unassignedDepots;
  if (depots == 0) return;
  const uint64_t positions = depots * positionsMilli_ / 1000;
  const uint64_t transactions = std::max(positions * transactionsMilli_ / 1000, positions);
  constexpr std::string_view kTypes[] = {"01", "AB", "X1", kNull};
  for (uint64_t u = 0; u < depots; ++u) {
    Random rng(seed_, kUnassignedStream, u);
    Depot depot;
    depot.advisor = "4711";
    depot.intermediary = "31412";
    depot.subIntermediary = "01";
    if (u + 1 == depots && depots >= 2 && !firstDepotNumber_.empty()) {
      // A customer's depot number under an account type that no holdings row has.
      depot.number = firstDepotNumber_;
      depot.accountType = "Z9";
      depot.subAccount = kNull;
    } else {
      depot.number = "9" + std::to_string(100000000 + u * 97 + rng.Below(97)).substr(1);
      depot.accountType = kTypes[rng.Below(std::size(kTypes))];
      depot.subAccount = rng.Chance(800) ? std::string(kNull) : "001";
    }
    depot.fundStart = rng.Below(kFundCount);
    depot.fundStride = 1 + rng.Below(kFundCount - 1);

    const uint64_t first = Cumulative(positions, depots, u, seed_, kUnassignedPositionShareStream);
    const uint64_t end = Cumulative(positions, depots, u + 1, seed_, kUnassignedPositionShareStream);
    for (uint64_t k = first; k < end; ++k) {
      PositionContext position;
      position.depot = &depot;
      position.index = (uint64_t{1} << 41) + k;
      position.fund = MakeFund(seed_, (depot.fundStart + (k - first) * depot.fundStride) % kFundCount);
      position.isin = position.fund.isin;
      const uint64_t count =
          Cumulative(transactions, positions, k + 1, seed_, kUnassignedTransactionShareStream) -
          Cumulative(transactions, positions, k, seed_, kUnassignedTransactionShareStream);
      WritePositionTransactions(position, count);
      ++counts_.positions;
    }
    ++counts_.depots;
    ++counts_.unassignedDepots;
  }
}

void Generator::WriteDuplicateTraid() {
  if (!haveAccepted_) return;
  TransactionFields copy = firstAccepted_;
  copy[9] = copy[10] = "0.01";
  WriteTransactionLine(copy);
  ++counts_.acceptedTransactionRows;
  ++counts_.duplicateTraids;
}

}  // namespace kx::gen
