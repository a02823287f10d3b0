#include "kxgen/ProviderData.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

#include "kxgen/Names.h"
#include "kxgen/ProviderData_Generator.h"
#include "staging/StagingColumns.h"
#include "util/Error.h"

namespace kx::gen {
namespace {

// The header line of a provider file: the staging columns its records fill, ";"-separated.
std::string HeaderLine(std::span<const std::string_view> columns) {
  std::string line;
  for (const std::string_view column : columns) line += (line.empty() ? "" : ";") + std::string(column);
  return line + "\r\n";
}

std::string HoldingsHeader() { return HeaderLine(staging_columns::kBestaende); }
std::string TransactionsHeader() { return HeaderLine(staging_columns::kTransactionsFileFields); }

// Holder fields, in file order.
enum HolderField {
  kNumber,
  kSalutation,
  kTitle,
  kGender,
  kSurname,
  kFirstName,
  kAddition,
  kStreet,
  kPostalCode,
  kTown,
  kCountry,
  kPhone,
  kFax,
  kEmail,
  kBirth
};

constexpr std::string_view kAdvisors[] = {"4711", "4712", "5020"};
constexpr std::string_view kIntermediaries[] = {"31412", "31413", "31560"};
constexpr std::string_view kSubIntermediaries[] = {"01", "00", "A7", ""};
constexpr std::string_view kAccountTypes[] = {"01", "01", "01", "AB", "AB", "X1", "02", "XAB", kNull, kNull};
constexpr std::string_view kSubAccounts[] = {kNull, kNull, kNull, kNull, kNull,
                                             kNull, "001", "001", "002", ""};
constexpr std::string_view kDiscounts[] = {"0", "0", "0", "10", "25.5", kNull};
constexpr std::string_view kFeePercents[] = {"0.5", "1", "0", "0.25", kNull};
constexpr std::string_view kOtherGenders[] = {"D", "w", "X", "", kNull};

// The holdings are valued as of this day; transactions lie before it.
const int64_t kAsOfDay = DaysFromCivil(2025, 6, 30);

uint64_t Milli(double mean, std::string_view what, double low, double high) {
  if (!(mean >= low && mean <= high)) {
    throw Error(std::string(what) + " must lie between " + std::to_string(low) + " and " +
                std::to_string(high));
  }
  return static_cast<uint64_t>(std::llround(mean * 1000));
}

std::string Digits(uint64_t value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

// Lower-case ASCII for e-mail addresses: umlauts spelt out, blanks and dots dropped.
std::string MailName(std::string_view cp1252) {
  std::string out;
  for (const char ch : cp1252) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 0xE4 || c == 0xC4)
      out += "ae";
    else if (c == 0xF6 || c == 0xD6)
      out += "oe";
    else if (c == 0xFC || c == 0xDC)
      out += "ue";
    else if (c == 0xDF)
      out += "ss";
    else if (c == 0xE9 || c == 0xE8)
      out += 'e';
    else if (c >= 'A' && c <= 'Z')
      out += static_cast<char>(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || c == '-')
      out += static_cast<char>(c);
  }
  return out;
}

std::string Phone(Random& rng, const Town& town) {
  const std::string number = std::to_string(rng.Between(20000, 99999999));
  switch (rng.Below(3)) {
    case 0:
      return std::string(town.areaCode) + " " + number;
    case 1:
      return std::string(town.areaCode) + "/" + number;
    default:
      return std::string(town.dialCode) + " " + std::string(town.areaCode.substr(1)) + " " + number;
  }
}

std::string BirthDate(Random& rng) {
  const unsigned roll = static_cast<unsigned>(rng.Below(1000));
  if (roll < 30) return std::string(kNull);
  if (roll < 60) return "0";
  if (roll < 75) return std::to_string(1965 + 6 * rng.Below(3)) + "0229";  // no such day
  return std::to_string(DateNumber(DaysFromCivil(1935, 1, 1) + rng.Between(0, 70 * 365)));
}

std::string Email(Random& rng, std::string_view first, std::string_view last) {
  std::string local = MailName(first) + "." + MailName(last);
  if (local.size() > 40) local = MailName(first.substr(0, 1)) + "." + MailName(last).substr(0, 30);
  return local + "@" + std::string(Pick(rng, kMailDomains));
}

// A 70-character surname for the column of 60.
std::string OverlongSurname() {
  std::string name("Freiherr von Hohenstein-Großbeerenbach zu Übersee-Rüdesheim und Wäldchenau"_cp1252);
  name.resize(70);
  return name;
}

}  // namespace

uint64_t Cumulative(uint64_t total, uint64_t n, uint64_t j, uint64_t seed, uint64_t stream) {
  if (j == 0) return 0;
  if (j >= n) return total;
  const uint64_t slack = total - n;
  const uint64_t jitter = slack == 0 ? 0 : Hash(seed, stream, j) % (slack + 1);
  return (j * total + jitter) / n;
}

PositionKind KindOfPosition(uint64_t seed, uint64_t position) {
  // The first positions take every kind once, so that small files have all of them.
  constexpr PositionKind kFirst[] = {PositionKind::kWithTransactions, PositionKind::kWithoutTransactions,
                                     PositionKind::kNullWith, PositionKind::kNullWithout,
                                     PositionKind::kWithoutIsin};
  if (position < std::size(kFirst)) return kFirst[position];
  const uint64_t roll = Hash(seed, kPositionKindStream, position) % 1000;
  if (roll < 780) return PositionKind::kWithTransactions;
  if (roll < 920) return PositionKind::kWithoutTransactions;
  if (roll < 935) return PositionKind::kWithoutIsin;
  if (roll < 968) return PositionKind::kNullWith;
  return PositionKind::kNullWithout;
}

bool HasTransactions(PositionKind kind) {
  return kind == PositionKind::kWithTransactions || kind == PositionKind::kNullWith;
}

bool HasExtraPosition(uint64_t seed, uint64_t depot) {
  return depot == 1 || Hash(seed, kExtraPositionStream, depot) % 1000 < 40;
}

std::pair<std::string, std::string> DefaultStartIds(uint64_t seed) {
  return {std::to_string(100000000 + Hash(seed, kStartIdStream, 1) % 900000000),
          std::to_string(1000 + Hash(seed, kStartIdStream, 2) % 9000)};
}

Generator::Generator(const Sizes& sizes, uint64_t seed, Writer& writer)
    : sizes_(sizes), seed_(seed), writer_(writer) {
  if (sizes.customers < 1 || sizes.customers > 10'000'000)
    throw Error("customers must lie between 1 and 10000000");
  if (sizes.unassignedDepots > 1'000'000) throw Error("at most 1000000 unassigned depots");
  const uint64_t depots = Milli(sizes.depotsPerCustomer, "depots per customer", 1, 100);
  positionsMilli_ = Milli(sizes.positionsPerDepot, "positions per depot", 1, 400);
  transactionsMilli_ = Milli(sizes.transactionsPerPosition, "transactions per position", 1, 1000);
  depotTotal_ = sizes.customers * depots / 1000;
  positionTotal_ = depotTotal_ * positionsMilli_ / 1000;
  if (depotTotal_ > 10'000'000 || positionTotal_ > 100'000'000) {
    throw Error("more than 10000000 depots or 100000000 holdings rows");
  }
  for (uint64_t k = 0; k < positionTotal_; ++k)
    bearingTotal_ += HasTransactions(KindOfPosition(seed, k)) ? 1 : 0;
  for (uint64_t d = 0; d < depotTotal_; ++d) bearingTotal_ += HasExtraPosition(seed, d) ? 1 : 0;
  transactionTotal_ = std::max(positionTotal_ * transactionsMilli_ / 1000, bearingTotal_);
  const uint64_t unassignedPositions = sizes.unassignedDepots * positionsMilli_ / 1000;
  if (transactionTotal_ > 1'000'000'000 || unassignedPositions * transactionsMilli_ / 1000 > 1'000'000'000) {
    throw Error("more than 1000000000 transactions");
  }
  startIds_ = sizes.startIds ? *sizes.startIds : DefaultStartIds(seed);
}

Counts Generator::Run() {
  WriteHeaders();
  for (uint64_t customer = 0; customer < sizes_.customers; ++customer) WriteCustomer(customer);
  counts_.customers = sizes_.customers;
  WriteUnassignedDepots();
  if (sizes_.duplicateTraid) WriteDuplicateTraid();
  return counts_;
}

void Generator::WriteHeaders() {
  writer_.Holdings(HoldingsHeader());
  writer_.Transactions(TransactionsHeader());
}

std::array<std::string, 15> Generator::MakeHolder(Random& rng, int64_t number, int gender, bool overlong) {
  std::array<std::string, 15> h;
  h[kNumber] = std::to_string(number);
  const std::string_view first = gender == 0   ? Pick(rng, kMaleFirstNames)
                                 : gender == 1 ? Pick(rng, kFemaleFirstNames)
                                               : Pick(rng, kOtherFirstNames);
  h[kGender] = gender == 0 ? "M" : gender == 1 ? "W" : std::string(Pick(rng, kOtherGenders));
  h[kSalutation] = gender == 0 ? "Herr" : gender == 1 ? "Frau" : rng.Chance(500) ? "Familie" : "";
  if (rng.Chance(15)) h[kSalutation] = kNull;
  h[kTitle] = rng.Chance(800) ? "" : std::string(Pick(rng, kTitles));
  h[kFirstName] = first;
  h[kSurname] = overlong ? OverlongSurname() : std::string(Pick(rng, kSurnames));
  h[kAddition] = rng.Chance(850) ? "" : std::string(Pick(rng, kAddressAdditions));
  h[kStreet] = std::string(Pick(rng, kStreets)) + " " + std::to_string(rng.Between(1, 199));
  if (rng.Chance(100)) h[kStreet] += rng.Chance(500) ? "a" : "; Hinterhof";
  const Town& town = Pick(rng, kTowns);
  h[kPostalCode] = town.postalCode;
  h[kTown] = town.name;
  h[kCountry] = town.country.empty() ? (rng.Chance(900)   ? "Deutschland"
                                        : rng.Chance(700) ? ""
                                                          : "Null")
                                     : std::string(town.country);
  h[kPhone] = rng.Chance(750) ? Phone(rng, town) : "";
  h[kFax] = rng.Chance(250) ? Phone(rng, town) : "";
  h[kEmail] = rng.Chance(600) ? Email(rng, first, h[kSurname]) : "";
  h[kBirth] = BirthDate(rng);
  return h;
}

void Generator::WriteCustomer(uint64_t customer) {
  Random rng(seed_, kCustomerStream, customer);
  const int64_t number = 100000 + static_cast<int64_t>(customer) * 10 + rng.Between(0, 9);
  const unsigned genderRoll = static_cast<unsigned>(rng.Below(1000));
  const int gender = customer == 2 ? 2 : genderRoll < 480 ? 0 : genderRoll < 960 ? 1 : 2;
  auto holder = MakeHolder(rng, number, gender, sizes_.overlong && customer == 0);
  // Unknown dates of birth early on, so that small files have them.
  if (customer == 1) holder[kBirth] = kNull;
  if (customer == 3) holder[kBirth] = "0";
  if (customer == 4) holder[kBirth] = "19650229";

  Depot keys;
  keys.advisor = Pick(rng, kAdvisors);
  keys.intermediary = Pick(rng, kIntermediaries);
  keys.subIntermediary = Pick(rng, kSubIntermediaries);

  const uint64_t first = Cumulative(depotTotal_, sizes_.customers, customer, seed_, kDepotShareStream);
  const uint64_t end = Cumulative(depotTotal_, sizes_.customers, customer + 1, seed_, kDepotShareStream);
  Depot previous;
  bool previousShared = false;
  bool secondAdvisor = false;
  for (uint64_t d = first; d < end; ++d) {
    bool shared = false;
    const bool last = d + 1 == end;
    Depot depot = MakeDepot(holder, keys, d, d == first ? nullptr : &previous, previousShared, shared, last);
    secondAdvisor = secondAdvisor || depot.advisor != keys.advisor;
    WriteDepot(depot, holder, d);
    previous = std::move(depot);
    previousShared = shared;
  }
  counts_.customerRows += secondAdvisor ? 2 : 1;
}

Depot Generator::MakeDepot(const std::array<std::string, 15>& holder, const Depot& keys, uint64_t d,
                           const Depot* previous, bool previousShared, bool& shared, bool last) {
  Random rng(seed_, kDepotStream, d);
  Depot depot = keys;
  // A customer who also has a depot under a second advisor number forms two customer rows.
  if (last && previous != nullptr && (!secondAdvisorDone_ || rng.Chance(30))) {
    for (const auto advisor : kAdvisors) {
      if (advisor != keys.advisor) {
        depot.advisor = advisor;
        break;
      }
    }
    secondAdvisorDone_ = true;
  }
  // One depot number with two account types, or with two sub-accounts: two depots of one customer.
  if (previous != nullptr && !previousShared && (!sharedNumberDone_ || rng.Chance(120))) {
    shared = true;
    depot.number = previous->number;
    depot.fundStart = previous->fundStart;
    depot.fundStride = previous->fundStride;
    if (sharedNumberDone_ && (!sharedSubAccountDone_ || rng.Chance(200))) {
      depot.accountType = previous->accountType;
      depot.subAccount = previous->subAccount == "001" ? "002" : "001";
      sharedSubAccountDone_ = true;
    } else {
      const std::string& type = previous->accountType;
      depot.accountType = type == "01"    ? "AB"
                          : type == "AB"  ? "XAB"
                          : type == "XAB" ? "ab"
                          : type == "X1"  ? "Null"
                                          : "01";
      depot.subAccount = previous->subAccount;
    }
    sharedNumberDone_ = true;
  } else {
    depot.number = "7" + Digits(d * 97 + rng.Below(97), 9);
    depot.accountType = Pick(rng, kAccountTypes);
    depot.subAccount = Pick(rng, kSubAccounts);
    if (d == 2) depot.accountType = depot.subAccount = kNull;
    // The first depots walk through the first funds, which include every special fund name.
    depot.fundStart = d < 8 ? d : rng.Below(kFundCount);
    depot.fundStride = d < 8 ? 1 : 1 + rng.Below(kFundCount - 1);
  }
  if (d == 0) firstDepotNumber_ = depot.number;
  depot.entry = rng.Chance(900) ? "1" : "2";
  depot.discount = Pick(rng, kDiscounts);
  depot.feePercent = Pick(rng, kFeePercents);

  if (!secondHolderDone_ || rng.Chance(150)) {
    secondHolderDone_ = true;
    auto& second = depot.secondHolder;
    second = holder;
    const int gender = holder[kGender] == "M" ? 1 : 0;
    second[kNumber] = std::to_string(50000000 + d * 10 + rng.Below(10));
    second[kGender] = gender == 0 ? "M" : "W";
    second[kSalutation] = gender == 0 ? "Herr" : "Frau";
    second[kTitle] = rng.Chance(800) ? "" : std::string(Pick(rng, kTitles));
    second[kFirstName] = gender == 0 ? Pick(rng, kMaleFirstNames) : Pick(rng, kFemaleFirstNames);
    if (second[kSurname].size() > 40) second[kSurname] = Pick(rng, kSurnames);
    second[kFax] = "";
    second[kEmail] = rng.Chance(500) ? Email(rng, second[kFirstName], second[kSurname]) : "";
    second[kBirth] = BirthDate(rng);
  } else {
    depot.secondHolder.fill(rng.Chance(800) ? std::string() : std::string(kNull));
  }
  return depot;
}

void Generator::WriteDepot(const Depot& depot, const std::array<std::string, 15>& holder, uint64_t d) {
  const uint64_t first = Cumulative(positionTotal_, depotTotal_, d, seed_, kPositionShareStream);
  const uint64_t end = Cumulative(positionTotal_, depotTotal_, d + 1, seed_, kPositionShareStream);
  const uint64_t n = end - first;
  for (uint64_t m = 0; m <= n; ++m) {
    const bool extra = m == n;
    if (extra && !HasExtraPosition(seed_, d)) break;
    PositionContext position;
    position.depot = &depot;
    position.index = extra ? (uint64_t{1} << 40) + d : first + m;
    position.fund = MakeFund(seed_, (depot.fundStart + m * depot.fundStride) % kFundCount);
    position.isin = position.fund.isin;
    const PositionKind kind = extra ? PositionKind::kWithTransactions : KindOfPosition(seed_, position.index);
    if (kind == PositionKind::kWithoutIsin) position.isin = position.index % 2 ? "" : std::string(kNull);
    if (sizes_.overlong && position.index == 0) position.isin += "XXXXXXXXXXXXX";  // 25 characters

    ++counts_.positions;
    if (!extra) WriteHoldingsRow(depot, holder, position, kind);
    if (HasTransactions(kind)) {
      const uint64_t j = bearingIndex_++;
      const uint64_t count =
          Cumulative(transactionTotal_, bearingTotal_, j + 1, seed_, kTransactionShareStream) -
          Cumulative(transactionTotal_, bearingTotal_, j, seed_, kTransactionShareStream);
      WritePositionTransactions(position, count);
    }
  }
  ++counts_.depots;
}

void Generator::WriteHoldingsRow(const Depot& depot, const std::array<std::string, 15>& holder,
                                 const PositionContext& position, PositionKind kind) {
  Random rng(seed_, kPositionStream, position.index);
  const uint64_t k = position.index;
  const Fund& fund = position.fund;
  RecordLine& line = line_;
  line.Clear();
  line.Text(depot.advisor);
  line.Text(depot.intermediary);
  line.Text(depot.subIntermediary);
  line.Text(depot.number);
  line.Text(depot.entry);
  for (const auto& field : holder) line.Text(field);
  for (const auto& field : depot.secondHolder) line.Text(field);
  line.Text(fund.wkn);
  line.Text(position.isin);
  line.Text(rng.Chance(10) ? std::string(kNull) : fund.name);

  // Unknown values in the fields the balance transaction and the share count read.
  const bool priceNull = k == 3 || rng.Chance(15);
  const bool priceZero = !priceNull && rng.Chance(10);
  if (priceNull)
    line.Text(kNull);
  else if (priceZero)
    line.Text("0");
  else
    line.Fixed(fund.priceDecimals == 2 ? fund.price / 100 : fund.price, fund.priceDecimals);
  const int64_t priceDay = kAsOfDay - rng.Between(0, 3);
  if (k == 4 || rng.Chance(15))
    line.Text(kNull);
  else if (rng.Chance(10))
    line.Text("0");
  else
    line.Int(DateNumber(priceDay));
  line.Text(fund.currency);
  if (k == 3 || rng.Chance(10))
    line.Text(kNull);
  else if (rng.Chance(5))
    line.Text("0");
  else
    line.Fixed(fund.fxRate, 4);
  if (rng.Chance(100))
    line.Text(kNull);
  else
    line.Int(DateNumber(priceDay));

  int64_t sharesMicro = rng.Between(500'000, 2'500'000'000);
  bool sharesKnown = true;
  if (k == 1 || rng.Chance(15)) {
    line.Text(kNull);
    sharesKnown = false;
  } else if (k == 2 || rng.Chance(2)) {
    line.Text("0.00004");  // the balance transaction writes this in exponent form
    sharesMicro = 40;
  } else if (k == 5 || rng.Chance(2)) {
    line.Text("0.0004");  // rounds to 0.000 in the share count of a position
    sharesMicro = 400;
  } else {
    const int decimals = rng.Chance(200) ? 6 : rng.Chance(300) ? 4 : 3;
    int64_t scale = 1;
    for (int i = decimals; i < 6; ++i) scale *= 10;
    line.Fixed(sharesMicro / scale, decimals);
    sharesMicro = sharesMicro / scale * scale;
  }
  if (!sharesKnown || priceNull) {
    line.Text(kNull);
  } else {
    const double value = static_cast<double>(sharesMicro) / 1e6 *
                         (priceZero ? 0.0 : static_cast<double>(fund.price) / 1e4) /
                         (static_cast<double>(fund.fxRate) / 1e4);
    line.Fixed(std::llround(value * 100), 2);
  }
  line.Text(depot.discount);
  line.Text(depot.feePercent);
  line.Text(depot.accountType);
  line.Text(depot.subAccount);
  switch (kind) {
    case PositionKind::kWithTransactions:
      line.Text("1");
      break;
    case PositionKind::kWithoutTransactions:
    case PositionKind::kWithoutIsin:
      line.Text("0");
      ++counts_.holdingsWithoutTransactions;
      break;
    default:
      line.Text(kNull);
      break;
  }
  writer_.Holdings(line.Finish());
  ++counts_.holdingsRows;
}

Counts Generate(const Sizes& sizes, uint64_t seed, Writer& writer) {
  Generator generator(sizes, seed, writer);
  return generator.Run();
}

Counts Count(const Sizes& sizes, uint64_t seed) {
  DiscardWriter writer;
  return Generate(sizes, seed, writer);
}

std::string SummaryText(const Counts& c) {
  std::string text;
  auto add = [&](std::string_view key, uint64_t value) {
    text.append(key).append("=").append(std::to_string(value)).append("\n");
  };
  add("holdings_rows", c.holdingsRows);
  add("holdings_without_transactions", c.holdingsWithoutTransactions);
  add("transaction_rows", c.transactionRows);
  add("accepted_transaction_rows", c.acceptedTransactionRows);
  add("duplicate_traids", c.duplicateTraids);
  add("customers", c.customers);
  add("customer_rows", c.customerRows);
  add("depots", c.depots);
  add("unassigned_depots", c.unassignedDepots);
  add("positions", c.positions);
  return text;
}

}  // namespace kx::gen
