#include <string>

#include "kxgen/Names.h"
#include "kxgen/ProviderData_Generator.h"

namespace kx::gen {
namespace {

// The ISIN check digit: letters become 10..35, then the Luhn sum over all digits.
char IsinCheckDigit(std::string_view body) {
  std::string digits;
  for (const char c : body) {
    if (c >= '0' && c <= '9')
      digits.push_back(c);
    else
      digits.append(std::to_string(c - 'A' + 10));
  }
  int sum = 0;
  bool twice = true;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it, twice = !twice) {
    int d = *it - '0';
    if (twice) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// index -> index * 7919 + offset modulo m is one-to-one for m without the factors 7919, so
// every fund gets its own WKN and ISIN.
uint64_t Scatter(uint64_t index, uint64_t offset, uint64_t m) { return (index * 7919 + offset) % m; }

// Digits and capitals without I and O, as in WKNs.
constexpr std::string_view kWknAlphabet = "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ";
constexpr uint64_t kWknLetterCodes = 45435424;  // 34^5

std::string WknLetters(uint64_t value, std::size_t width) {
  std::string text(width, '0');
  for (std::size_t i = width; i-- > 0; value /= kWknAlphabet.size())
    text[i] = kWknAlphabet[value % kWknAlphabet.size()];
  return text;
}

std::string Decimal(uint64_t value, std::size_t width) {
  std::string text = std::to_string(value);
  return std::string(width - text.size(), '0') + text;
}

std::string FundName(Random& rng, uint64_t index) {
  std::string house(Pick(rng, kFundHouses));
  // Names with ";" and quotes, which the provider writes quoted (or, with an inner quote only,
  // as they are).
  switch (index % 101) {
    case 1:
      return house.append(" Fonds \"Spezial\"; Ausschüttend"_cp1252);
    case 2:
      return "\"Premium\" " + house + " Renten";
    case 3:
      return house + " \"Klassik\" Europa";
    case 4:
      return house + " Aktien Deutschland; Inhaber-Anteile";
    default:
      return house.append(" ")
          .append(Pick(rng, kFundAssets))
          .append(" ")
          .append(Pick(rng, kFundRegions))
          .append(Pick(rng, kFundClasses));
  }
}

}  // namespace

Fund MakeFund(uint64_t seed, uint64_t index) {
  Random rng(seed, kFundStream, index);
  const uint64_t offset = Hash(seed, kFundStream, kFundCount);
  Fund fund;
  if (index % 3 == 0)
    fund.wkn = Decimal(800000 + Scatter(index, offset, 100000), 6);
  else
    fund.wkn = "A" + WknLetters(Scatter(index, offset, kWknLetterCodes), 5);

  std::string body;
  switch (index % 20) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
      body = "DE000" + fund.wkn;
      break;
    case 16:
    case 17:
    case 18:
      body = "IE" + Decimal(Scatter(index, offset, 1000000000), 9);
      break;
    case 19:
      body = "AT" + Decimal(Scatter(index, offset, 1000000000), 9);
      break;
    default:
      body = "LU" + Decimal(Scatter(index, offset, 1000000000), 9);
      break;
  }
  fund.isin = body + IsinCheckDigit(body);
  fund.name = FundName(rng, index);

  fund.currency = "EUR";
  if (index % 13 == 0)
    fund.currency = "USD", fund.fxRate = 10832;
  else if (index % 13 == 5)
    fund.currency = "CHF", fund.fxRate = 9412;
  else if (index % 29 == 3)
    fund.currency = "GBP", fund.fxRate = 8567;
  else if (index % 31 == 7)
    fund.currency = "JPY", fund.fxRate = 1623500;

  fund.priceDecimals = index % 4 == 1 ? 4 : 2;
  fund.price = rng.Between(1000, 50000) * 100;
  if (fund.priceDecimals == 4) fund.price += rng.Between(1, 99);
  constexpr int64_t kCharges[] = {0, 250, 300, 400, 500, 500};
  fund.issueCharge = Pick(rng, kCharges);
  return fund;
}

}  // namespace kx::gen
