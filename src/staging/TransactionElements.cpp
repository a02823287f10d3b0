// One transaction row as a DepotTrans element (with a SubTrans for a reinvested distribution),
// and the balance transaction of a first import.
#include <algorithm>
#include <cmath>

#include "staging/TransactionElements.h"
#include "util/Cp1252.h"
#include "util/Error.h"
#include "util/ProviderDate.h"
#include "util/RegionalFormats.h"
#include "util/Rounding.h"

namespace kx {
namespace {

// A field read that falls back to a value when the value does not convert; such failures are
// not reported. Only the library's own errors are meant: running out of memory is no 0.
template <typename Read, typename T>
T Guarded(Read read, T fallback) {
  try {
    return read();
  } catch (const Error&) {
    return fallback;
  }
}

std::string Fix(int decimals, double value) { return TXMLWriter::FormatFixed(15, decimals, value); }

// A transaction id in the pattern "#0". A whole number in digits is written from its text, since
// a double would give two ids above 2^53 one reference; other number forms go through the double.
std::string ExternalReference(std::string_view id, char decimalSeparator) {
  std::string_view digits = id;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  const bool whole = !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
  if (whole) {
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size() - 1));
    return (negative && digits != "0" ? "-" : "") + std::string(digits);
  }
  if (const std::optional<double> number = ParseDecimal(id, decimalSeparator)) {
    return TXMLWriter::FormatFixed(20, 0, *number);
  }
  return std::string(id);
}

// The values of one transaction row that the elements are made of.
struct TransactionValues {
  std::string extRef;
  int64_t typeCode = 0;
  double cashAmount = 0;
  double shareCount = 0;
  bool sharesZero = false;
  double totalAmount = 0;
  int sign = 0;
  bool hasFee = false;
  double fee = 0;
  double rate = 0;
  double price = 0;
  int priceStatus = 0;
};

// The charge contained in a gross amount that includes it, in cents rounded half to even.
void DeriveFee(const db::Row& row, TransactionValues& v) {
  if (std::llabs(v.typeCode) != 1 && std::llabs(v.typeCode) != 8) return;
  try {
    if (row.IsNull("TRABONPZ") || row.IsNull("FONAUSGABE")) return;
    v.hasFee = true;
    const long double charge = static_cast<long double>(row.AsDouble("FONAUSGABE")) / 100.0L;
    const long double reduction = static_cast<long double>(row.AsDouble("TRABONPZ")) / 100.0L;
    const long double r = charge * (1.0L - reduction);
    v.fee =
        r > 0 ? static_cast<double>(RoundHalfEven(v.totalAmount * r / (1.0L + r) * 100.0L) / 100.0L) : 0.0;
    if (!std::isfinite(v.fee))
      throw Error("fee out of range");  // unknown, like a field that does not convert
  } catch (const Error&) {
    v.hasFee = false;
    v.fee = 0;
  }
}

TransactionValues Derive(const db::Row& row, const FormatSettings& regional) {
  TransactionValues v;
  v.extRef = ExternalReference(Guarded([&] { return row.AsText("TRAID"); }, std::string()),
                               regional.DecimalSeparator);
  v.typeCode = Guarded([&] { return row.AsInt("TRATYPKZ"); }, int64_t{0});
  const double amount = Guarded([&] { return row.AsDouble("TRABETRAG"); }, 0.0);
  const bool amountOnly = Guarded([&] { return row.IsNull("TRASTK") && !row.IsNull("TRABETRAG"); }, false);
  const double shares = Guarded([&] { return row.AsDouble("TRASTK"); }, 0.0);
  v.cashAmount = amountOnly ? std::fabs(amount) : 0;
  v.shareCount = amountOnly ? 0 : std::fabs(shares);
  v.sharesZero = !amountOnly && shares == 0;
  v.totalAmount = std::fabs(amount);
  v.sign = amount > 0 ? 1 : (amount < 0 ? -1 : 0);
  DeriveFee(row, v);
  // A tiny amount can make the quotient infinite: such a rate is unknown, as for a zero amount.
  v.rate = Guarded([&] { return amount > 0 ? std::fabs(row.AsDouble("TRABETRAGEUR") / amount) : 0.0; }, 0.0);
  if (!std::isfinite(v.rate)) v.rate = 0;
  v.price = Guarded(
      [&] {
        double price = row.AsDouble("FONRPREIS");
        if (price == 0) {
          price = row.AsDouble("FONPREIS");
          if (price > 0) v.priceStatus = 21;
        }
        return price;
      },
      0.0);
  return v;
}

// The mode of the general block, or nothing for codes without one.
struct Mode {
  std::string_view normal;
  std::string_view cancelled;
  int direction = 0;
  bool storno = false;
};

// The texts of the row that every form writes.
struct RowTexts {
  std::string executed;  // the price date
  std::string currency;
};

// A distribution: AU with the amounts, and its reinvestment as a SubTrans W when it has shares.
void WriteDistribution(TXMLWriter& w, const TransactionValues& v, const RowTexts& texts) {
  const bool storno = v.typeCode == 8 ? v.sign < 0 : v.sign > 0;
  const double factor = storno ? -1 : 1;
  w.WriteTag("DepotTrans", TXMLWriter::tkOpen);
  w.WriteElement("DT_ExtRef", v.extRef + "_AU");
  w.WriteElement("DT_Mode", storno ? "AU_STORNO" : "AU");
  w.WriteElement("DT_Ausfuehrung", texts.executed);
  w.WriteElement("DT_Waehrung", texts.currency);
  if (v.cashAmount > 0) w.WriteElement("DT_InvestKap", Fix(2, -factor * v.cashAmount));
  w.WriteElement("DT_Steuern", Fix(2, 0));
  if (v.totalAmount != 0) w.WriteElement("DT_Gesamtbetrag", Fix(2, factor * v.totalAmount));
  if (v.shareCount > 0) {
    w.WriteTag("SubTrans", TXMLWriter::tkOpen);
    w.WriteElement("DT_ExtRef", v.extRef + "_WA");
    w.WriteElement("DT_Mode", storno ? "W_STORNO" : "W");
    w.WriteElement("DT_Ausfuehrung", texts.executed);
    w.WriteElement("DT_Waehrung", texts.currency);
    if (v.rate > 0) w.WriteElement("DT_Waehrungkurs", Fix(8, v.rate));
    w.WriteElement("DT_Anteile", Fix(4, factor * v.shareCount));
    if (v.price > 0) w.WriteElement("DT_Preis", Fix(4, v.price));
    if (v.priceStatus > 0) w.WriteIntElement("DT_Preis_Status", v.priceStatus);
    if (v.hasFee) w.WriteElement("DT_Gebuehr", Fix(2, factor * v.fee));
    if (v.totalAmount != 0) w.WriteElement("DT_Gesamtbetrag", Fix(2, factor * v.totalAmount));
    w.WriteTag("SubTrans", TXMLWriter::tkClose);
  }
  w.WriteTag("DepotTrans", TXMLWriter::tkClose);
}

// The mode by type code, refined by keywords of the type text.
template <typename Contains>
Mode ModeOf(const TransactionValues& v, const Contains& typeTextContains) {
  switch (std::llabs(v.typeCode)) {
    case 1:
      if (typeTextContains("\xFC"
                           "bertrag") ||
          typeTextContains("Einbuchung") || typeTextContains("Eingang")) {
        return {"LE", "LE_STORNO", v.sign, v.sign < 0};
      }
      if (typeTextContains("spar") || typeTextContains("Regelm")) {
        return {"AS", "A_STORNO", v.sign, v.sign < 0};  // a cancelled savings-plan purchase is an A_STORNO
      }
      return {"A", "A_STORNO", v.sign, v.sign < 0};
    case 3:
      if (typeTextContains("\xFC"
                           "bertrag") ||
          typeTextContains("Ausbuchung") || typeTextContains("Ausgang")) {
        return {"LA", "LA_STORNO", v.sign, v.sign > 0};
      }
      return {"V", "V_STORNO", v.sign, v.sign > 0};
    case 4:
      return typeTextContains("tausch") ? Mode{"ASW", "ASW_STORNO", v.sign, v.sign < 0}
                                        : Mode{"A", "A_STORNO", v.sign, v.sign < 0};
    case 5:
      return typeTextContains("tausch") ? Mode{"VSW", "VSW_STORNO", v.sign, v.sign > 0}
                                        : Mode{"V", "V_STORNO", v.sign, v.sign > 0};
    case 6:
    case 7:
      return {"KO", "KO_STORNO", v.sign, v.sign > 0};
    default:
      return {};
  }
}

// Every other transaction: the general block with the mode.
void WriteBookedTransaction(TXMLWriter& w, TransactionValues v, const RowTexts& texts, const Mode& mode) {
  w.WriteTag("DepotTrans", TXMLWriter::tkOpen);
  w.WriteElement("DT_ExtRef", v.extRef);
  if (!mode.normal.empty()) w.WriteElement("DT_Mode", mode.storno ? mode.cancelled : mode.normal);
  bool costBooking = false;
  if (std::llabs(v.typeCode) == 6 || std::llabs(v.typeCode) == 7) {  // the amount is the cost
    v.hasFee = true;
    v.fee = v.totalAmount;
    costBooking = true;
    v.totalAmount = 0;
  }
  const double factor = mode.storno ? -1 : 1;
  const double signedDirection = factor * mode.direction;

  w.WriteElement("DT_Ausfuehrung", texts.executed);
  w.WriteElement("DT_Waehrung", texts.currency);
  if (v.rate > 0) w.WriteElement("DT_Waehrungkurs", Fix(8, v.rate));
  if (v.shareCount > 0 || v.sharesZero) w.WriteElement("DT_Anteile", Fix(4, factor * v.shareCount));
  if (v.price > 0) w.WriteElement("DT_Preis", Fix(4, v.price));
  if (v.priceStatus > 0) w.WriteIntElement("DT_Preis_Status", v.priceStatus);
  if (v.hasFee) w.WriteElement("DT_Gebuehr", Fix(2, factor * v.fee));
  if (v.cashAmount > 0) {
    w.WriteElement("DT_InvestKap", Fix(2, signedDirection * v.cashAmount));
  } else if (v.hasFee && v.fee == 0 && v.totalAmount > 0) {
    w.WriteElement("DT_InvestKap", Fix(2, signedDirection * v.totalAmount));
  }
  if (v.totalAmount != 0 || costBooking) {
    w.WriteElement("DT_Gesamtbetrag", Fix(2, factor * v.totalAmount));
    if (v.sharesZero) w.WriteIntElement("DT_Summe_Status", 0);
  }
  w.WriteTag("DepotTrans", TXMLWriter::tkClose);
}

// The price date of a row in the document's date form.
std::string PriceDate(const db::Row& row, std::string_view column) {
  return TXMLWriter::FormatIsoDate(ParseProviderDate(row.AsText(column)));
}

// Whether the lower-cased type text contains the keyword, compared in lower case.
bool Contains(const std::string& lowerTypeText, std::string_view keyword) {
  std::string lower(keyword);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return !lowerTypeText.empty() && lowerTypeText.find(lower) != std::string::npos;
}

}  // namespace

void WriteTransaction(TXMLWriter& w, const db::Row& row, const TransactionForms& forms) {
  const TransactionValues v = Derive(row, forms.formats);
  const std::string typeText =
      Guarded([&] { return forms.regional.LowerCase(row.AsText("TRATYPKZTXT")); }, std::string());
  if (v.typeCode == 2) return;
  const auto contains = [&typeText](std::string_view keyword) { return Contains(typeText, keyword); };
  const bool distribution = v.typeCode == 8 || (v.typeCode == 5 && (contains("Kupon") || contains("Ertrag")));
  if (distribution && v.cashAmount == 0 && v.totalAmount == 0) return;
  const RowTexts texts{PriceDate(row, "FONPREISDAT"), row.AsText("TRAWAEHR")};
  if (distribution) {
    WriteDistribution(w, v, texts);
  } else {
    WriteBookedTransaction(w, v, texts, ModeOf(v, contains));
  }
}

void WriteBalanceTransaction(TXMLWriter& w, const db::Row& row, const TransactionForms& forms) {
  w.WriteTag("DepotTrans", TXMLWriter::tkOpen);
  w.WriteElement("DT_Mode", "B");
  w.WriteElement("DT_Ausfuehrung", PriceDate(row, "FONPREISDAT"));
  w.WriteElement("DT_Waehrung", row.AsText("FONWAEHR"));
  const double rate = row.AsDouble("DEVKURS");
  if (rate > 0 && std::isfinite(1 / rate)) w.WriteElement("DT_Waehrungkurs", Fix(8, 1 / rate));
  if (!row.IsNull("BESTSTK")) {
    w.WriteElement("DT_Anteile", FormatFloatDefault(row.AsDouble("BESTSTK"), forms.formats.DecimalSeparator));
  }
  // The price goes through its text form (15 significant digits) and back, as a field's text does.
  if (const std::optional<double> price = ParseDecimal(row.AsText("FONRUECKPREIS"), '.')) {
    w.WriteElement("DT_Preis", Fix(4, *price));
  }
  w.WriteTag("DepotTrans", TXMLWriter::tkClose);
}

}  // namespace kx
