// Depot transactions: the mode of every type code and type text with its signs, fees, exchange
// rates, prices, references and dates, the order of a position's transactions, and the balance
// transaction of a first import.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "DocumentTest.h"

namespace kx::documenttest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Date and currency of every transaction row built by Transaction().
constexpr std::string_view kDateEur =
    "<DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung><DT_Waehrung>EUR</DT_Waehrung>";

// The contents of a DepotTrans: what comes before the date and currency, then what follows them.
std::string Trans(std::string_view head, std::string_view tail) {
  return std::string(head) + std::string(kDateEur) + std::string(tail);
}

// ---------------------------------------------------------------------------------------------
// The modes: one row (code, type text, TRASTK, TRABETRAG, other fields Null unless given), and
// the DepotTrans it gives, or none (mode ""). Elements are written "Name=value ..." for
// <DT_Name>value</DT_Name>...; a distribution's reinvestment stands in its SubTrans.

// "Name=value Name=value" as <DT_Name>value</DT_Name><DT_Name>value</DT_Name>.
std::string Dt(std::string_view fields) {
  std::string xml;
  std::istringstream in{std::string(fields)};
  for (std::string field; in >> field;) {
    const std::string name = field.substr(0, field.find('='));
    xml += "<DT_" + name + ">" + field.substr(name.size() + 1) + "</DT_" + name + ">";
  }
  return xml;
}

struct ModeCase {
  std::string name;
  std::string_view code;
  std::string_view text;
  std::string_view shares;
  std::string_view amount;
  std::string_view more;      // COLUMN=value ...
  std::string_view mode;      // "": no DepotTrans
  std::string_view elements;  // after the date and currency
  std::string_view subMode = "";
  std::string_view subElements = "";
};

// The DepotTrans of a case: a distribution's reference is 1_AU, its reinvestment's 1_WA.
std::string Expected(const ModeCase& c) {
  const std::string ref = c.mode.substr(0, 2) == "AU" ? "1_AU" : "1";
  std::string xml = Trans(Dt("ExtRef=" + ref + " Mode=" + std::string(c.mode)), Dt(c.elements));
  if (!c.subMode.empty()) {
    xml += "<SubTrans>" + Trans(Dt("ExtRef=1_WA Mode=" + std::string(c.subMode)), Dt(c.subElements)) +
           "</SubTrans>";
  }
  return xml;
}

// \334 and \374 are the capital and small u umlaut (the capital one is matched by lower-casing).
std::vector<ModeCase> ModeCases() {
  return {
      {"A", "1", "Kauf", "2", "200", "", "A", "Anteile=2.0000 Gesamtbetrag=200.00"},
      {"A_NegativeSharesCountAsTheirAbsoluteValue", "1", "Kauf", "-2", "200", "", "A",
       "Anteile=2.0000 Gesamtbetrag=200.00"},
      {"A_NeitherSharesNorAmount", "1", "Kauf", "Null", "Null", "", "A", "Anteile=0.0000"},
      {"A_STORNO", "1", "Kauf", "2", "-200", "", "A_STORNO", "Anteile=-2.0000 Gesamtbetrag=-200.00"},
      {"AS_SavingsPlanAmountOnly", "1", "Sparplan", "Null", "100", "", "AS",
       "InvestKap=100.00 Gesamtbetrag=100.00"},
      {"AS_AmountOnlyWithFee", "1", "Sparplan", "Null", "100", "FONAUSGABE=5 TRABONPZ=0", "AS",
       "Gebuehr=4.76 InvestKap=100.00 Gesamtbetrag=100.00"},
      {"AS_Regular", "1", "Regelm. Anlage", "1.5", "150", "", "AS", "Anteile=1.5000 Gesamtbetrag=150.00"},
      {"AS_CancelledIsA_STORNO", "1", "Sparplan", "Null", "-100", "", "A_STORNO",
       "InvestKap=100.00 Gesamtbetrag=-100.00"},
      {"LE_Transfer", "1", "\334bertrag", "3", "0", "", "LE", "Anteile=3.0000"},
      {"LE_Booking", "1", "Einbuchung", "3", "0", "", "LE", "Anteile=3.0000"},
      {"LE_STORNO", "1", "Eingang", "3", "-30", "", "LE_STORNO", "Anteile=-3.0000 Gesamtbetrag=-30.00"},
      {"V", "3", "Verkauf", "5", "-500", "", "V", "Anteile=5.0000 Gesamtbetrag=500.00"},
      {"V_STORNO", "3", "Verkauf", "5", "500", "", "V_STORNO", "Anteile=-5.0000 Gesamtbetrag=-500.00"},
      {"LA_Booking", "3", "Ausbuchung", "4", "0", "", "LA", "Anteile=4.0000"},
      {"LA_Outgoing", "3", "Ausgang", "4", "-40", "", "LA", "Anteile=4.0000 Gesamtbetrag=40.00"},
      {"LA_STORNO", "3", "Depot\374bertrag", "4", "40", "", "LA_STORNO",
       "Anteile=-4.0000 Gesamtbetrag=-40.00"},
      {"ASW", "4", "Tausch Kauf", "6", "600", "", "ASW", "Anteile=6.0000 Gesamtbetrag=600.00"},
      {"ASW_STORNO", "4", "Umtausch", "6", "-600", "", "ASW_STORNO", "Anteile=-6.0000 Gesamtbetrag=-600.00"},
      {"A_Code4", "4", "Kauf", "6", "600", "", "A", "Anteile=6.0000 Gesamtbetrag=600.00"},
      {"VSW_AmountOnly", "5", "Tausch", "Null", "-20", "", "VSW", "InvestKap=-20.00 Gesamtbetrag=20.00"},
      {"VSW_STORNO", "5", "Tausch", "2", "20", "", "VSW_STORNO", "Anteile=-2.0000 Gesamtbetrag=-20.00"},
      {"V_Code5", "5", "Verkauf", "2", "-20", "", "V", "Anteile=2.0000 Gesamtbetrag=20.00"},
      {"KO", "6", "Depotgeb\xFChr", "Null", "-12.5", "", "KO",
       "Gebuehr=12.50 InvestKap=-12.50 Gesamtbetrag=0.00"},
      {"KO_STORNO", "6", "Depotgeb\xFChr", "Null", "12.5", "", "KO_STORNO",
       "Gebuehr=-12.50 InvestKap=-12.50 Gesamtbetrag=0.00"},
      {"KO_Code7", "7", "Kosten", "Null", "-5", "", "KO", "Gebuehr=5.00 InvestKap=-5.00 Gesamtbetrag=0.00"},
      {"KO_WithShares", "7", "Kosten", "1", "-5", "", "KO", "Anteile=1.0000 Gebuehr=5.00 Gesamtbetrag=0.00"},
      {"AU_Cash", "8", "Aussch\xFCttung", "Null", "30", "", "AU",
       "InvestKap=-30.00 Steuern=0.00 Gesamtbetrag=30.00"},
      {"AU_STORNO_Cash", "8", "Aussch\xFCttung", "Null", "-30", "", "AU_STORNO",
       "InvestKap=30.00 Steuern=0.00 Gesamtbetrag=-30.00"},
      {"AU_Reinvested", "8", "Wiederanlage", "0.25", "30", "FONRPREIS=120", "AU",
       "Steuern=0.00 Gesamtbetrag=30.00", "W", "Anteile=0.2500 Preis=120.0000 Gesamtbetrag=30.00"},
      {"AU_STORNO_Reinvested", "8", "Wiederanlage", "0.25", "-30", "FONRPREIS=120", "AU_STORNO",
       "Steuern=0.00 Gesamtbetrag=-30.00", "W_STORNO", "Anteile=-0.2500 Preis=120.0000 Gesamtbetrag=-30.00"},
      {"AU_Code5Coupon", "5", "Kupon", "Null", "-20", "", "AU",
       "InvestKap=-20.00 Steuern=0.00 Gesamtbetrag=20.00"},
      {"AU_STORNO_Code5Income", "5", "ERTRAG", "Null", "20", "", "AU_STORNO",
       "InvestKap=20.00 Steuern=0.00 Gesamtbetrag=-20.00"},
      {"Code2WritesNothing", "2", "Kauf", "2", "200", "FONRPREIS=100", "", ""},
      {"Code8AmountZeroWritesNothing", "8", "Aussch\xFCttung", "Null", "0", "", "", ""},
      {"Code8SharesButAmountZeroWritesNothing", "8", "Wiederanlage", "0.25", "0", "", "", ""},
  };
}

// One test over the whole table, so that its rows share one database.
using ModeTable = DocumentTest;

TEST_F(ModeTable, EveryRowGivesItsDepotTrans) {
  for (const ModeCase& c : ModeCases()) {
    SCOPED_TRACE(c.name);
    ProviderLine row = Transaction("1").Set("TRATYPKZ", c.code).Set("TRATYPKZTXT", c.text);
    row.Set("TRASTK", c.shares).Set("TRABETRAG", c.amount);
    std::istringstream more{std::string(c.more)};
    for (std::string field; more >> field;) {
      const std::size_t eq = field.find('=');
      row.Set(field.substr(0, eq), field.substr(eq + 1));
    }
    const std::vector<std::string> written = TransactionsOf({row});
    if (!c.mode.empty()) {
      EXPECT_THAT(written, ElementsAre(Expected(c)));
    } else {
      EXPECT_THAT(written, IsEmpty());
      EXPECT_EQ(PositionsWithKey(document, "DE0001234567").size(), 1u)
          << "the position has its transaction row";
    }
  }
}

// ---------------------------------------------------------------------------------------------

using Transactions = DocumentTest;

// A purchase of 10.5 shares at 100 for 1050 including an issue charge of 5 % reduced by half:
// r = 0.025, fee = 1050 * r / (1 + r) = 25.6097..., 2561 cents.
ProviderLine FeeExample(std::string_view amount) {
  return Transaction("1")
      .Set("TRASTK", "10.5")
      .Set("TRABETRAG", amount)
      .Set("TRABETRAGEUR", amount)
      .Set("FONRPREIS", "100")
      .Set("FONAUSGABE", "5")
      .Set("TRABONPZ", "50");
}

TEST_F(Transactions, TheFeeContainedInTheAmountIsWrittenWithTheRate) {
  EXPECT_THAT(
      TransactionsOf({FeeExample("1050")}),
      ElementsAre(Trans("<DT_ExtRef>1</DT_ExtRef><DT_Mode>A</DT_Mode>",
                        "<DT_Waehrungkurs>1.00000000</DT_Waehrungkurs><DT_Anteile>10.5000</DT_Anteile>"
                        "<DT_Preis>100.0000</DT_Preis><DT_Gebuehr>25.61</DT_Gebuehr>"
                        "<DT_Gesamtbetrag>1050.00</DT_Gesamtbetrag>")));
}

TEST_F(Transactions, ACancelledPurchaseNegatesFeeSharesAndAmountAndHasNoRate) {
  EXPECT_THAT(
      TransactionsOf({FeeExample("-1050")}),
      ElementsAre(Trans("<DT_ExtRef>1</DT_ExtRef><DT_Mode>A_STORNO</DT_Mode>",
                        "<DT_Anteile>-10.5000</DT_Anteile><DT_Preis>100.0000</DT_Preis>"
                        "<DT_Gebuehr>-25.61</DT_Gebuehr><DT_Gesamtbetrag>-1050.00</DT_Gesamtbetrag>")));
}

TEST_F(Transactions, AFullyReducedIssueChargeGivesFeeZeroAndTheAmountAsInvestedCapital) {
  const ProviderLine row = Transaction("1")
                               .Set("TRASTK", "2")
                               .Set("TRABETRAG", "200")
                               .Set("FONAUSGABE", "5")
                               .Set("TRABONPZ", "100");
  EXPECT_THAT(
      TransactionsOf({row}),
      ElementsAre(Trans("<DT_ExtRef>1</DT_ExtRef><DT_Mode>A</DT_Mode>",
                        "<DT_Anteile>2.0000</DT_Anteile><DT_Gebuehr>0.00</DT_Gebuehr>"
                        "<DT_InvestKap>200.00</DT_InvestKap><DT_Gesamtbetrag>200.00</DT_Gesamtbetrag>")));
}

TEST_F(Transactions, WithoutIssueChargeOrReductionThereIsNoFee) {
  const std::vector<std::string> written =
      TransactionsOf({Transaction("1").Set("TRASTK", "2").Set("TRABETRAG", "200").Set("FONAUSGABE", "5"),
                      Transaction("2")
                          .Set("TRASTK", "2")
                          .Set("TRABETRAG", "200")
                          .Set("TRABONPZ", "0")
                          .Set("TRADAT", "20240302")});
  const std::string tail = "<DT_Anteile>2.0000</DT_Anteile><DT_Gesamtbetrag>200.00</DT_Gesamtbetrag>";
  EXPECT_THAT(written, ElementsAre(Trans("<DT_ExtRef>1</DT_ExtRef><DT_Mode>A</DT_Mode>", tail),
                                   Trans("<DT_ExtRef>2</DT_ExtRef><DT_Mode>A</DT_Mode>", tail)));
}

TEST_F(Transactions, OnlyPurchasesAndDistributionsCarryAFee) {
  const ProviderLine sale = Transaction("1")
                                .Set("TRATYPKZ", "3")
                                .Set("TRATYPKZTXT", "Verkauf")
                                .Set("TRASTK", "2")
                                .Set("TRABETRAG", "-200");
  EXPECT_THAT(TransactionsOf({ProviderLine(sale).Set("FONAUSGABE", "5").Set("TRABONPZ", "0")}),
              ElementsAre(Trans("<DT_ExtRef>1</DT_ExtRef><DT_Mode>V</DT_Mode>",
                                "<DT_Anteile>2.0000</DT_Anteile><DT_Gesamtbetrag>200.00</DT_Gesamtbetrag>")));
}

// r = 1: the fee is half the amount; 0.125 and 0.375 are exact halves of a cent.
TEST_F(Transactions, FeeCentsAreRoundedHalfToEven) {
  auto row = [](std::string_view traid, std::string_view amount, std::string_view date) {
    return Transaction(traid)
        .Set("TRASTK", "1")
        .Set("TRABETRAG", amount)
        .Set("FONAUSGABE", "100")
        .Set("TRABONPZ", "0")
        .Set("TRADAT", date);
  };
  const std::vector<std::string> written =
      TransactionsOf({row("1", "0.25", "20240301"), row("2", "0.75", "20240302")});
  ASSERT_EQ(written.size(), 2u);
  EXPECT_THAT(Elements(written[0], "DT_Gebuehr"), ElementsAre("0.12"));
  EXPECT_THAT(Elements(written[1], "DT_Gebuehr"), ElementsAre("0.38"));
}

TEST_F(Transactions, TheFeeOfAReinvestedDistributionStandsInTheSubTrans) {
  const ProviderLine row = Transaction("1")
                               .Set("TRATYPKZ", "8")
                               .Set("TRASTK", "0.25")
                               .Set("TRABETRAG", "30")
                               .Set("TRABETRAGEUR", "30")
                               .Set("FONAUSGABE", "5")
                               .Set("TRABONPZ", "0");
  EXPECT_THAT(
      TransactionsOf({row}),
      ElementsAre(Trans("<DT_ExtRef>1_AU</DT_ExtRef><DT_Mode>AU</DT_Mode>",
                        "<DT_Steuern>0.00</DT_Steuern><DT_Gesamtbetrag>30.00</DT_Gesamtbetrag><SubTrans>") +
                  Trans("<DT_ExtRef>1_WA</DT_ExtRef><DT_Mode>W</DT_Mode>",
                        "<DT_Waehrungkurs>1.00000000</DT_Waehrungkurs><DT_Anteile>0.2500</DT_Anteile>"
                        "<DT_Gebuehr>1.43</DT_Gebuehr><DT_Gesamtbetrag>30.00</DT_Gesamtbetrag></SubTrans>")));
}

TEST_F(Transactions, TheRateIsEurPerUnitOfTheTransactionCurrency) {
  const ProviderLine row = Transaction("1")
                               .Set("TRASTK", "1")
                               .Set("TRABETRAG", "110")
                               .Set("TRABETRAGEUR", "100")
                               .Set("TRAWAEHR", "USD");
  EXPECT_THAT(
      TransactionsOf({row}),
      ElementsAre("<DT_ExtRef>1</DT_ExtRef><DT_Mode>A</DT_Mode><DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung>"
                  "<DT_Waehrung>USD</DT_Waehrung><DT_Waehrungkurs>0.90909091</DT_Waehrungkurs>"
                  "<DT_Anteile>1.0000</DT_Anteile><DT_Gesamtbetrag>110.00</DT_Gesamtbetrag>"));
}

// Values at the edges of a double. A rate that is not finite (a tiny amount) is left out like the
// rate of a zero amount, magnitudes from 10^15 take the exponent form, and Generate checks the
// document against the schema.
TEST_F(Transactions, ExtremeValuesGiveFiniteNumbersInTheSchemasForms) {
  const std::vector<ProviderLine> rows = {
      Transaction("1").Set("TRASTK", "1").Set("TRABETRAG", "1e-300").Set("TRABETRAGEUR", "1e300"),
      Transaction("2")
          .Set("TRASTK", "1e20")
          .Set("TRABETRAG", "1e300")
          .Set("TRABETRAGEUR", "1e300")
          .Set("FONRPREIS", "1e300")
          .Set("FONAUSGABE", "1e300")
          .Set("TRABONPZ", "0")
          .Set("TRADAT", "20240302")};
  const std::vector<std::string> written = TransactionsOf(rows);
  ASSERT_EQ(written.size(), 2U);
  EXPECT_EQ(written[0], Trans(Dt("ExtRef=1 Mode=A"), Dt("Anteile=1.0000 Gesamtbetrag=0.00")));
  EXPECT_EQ(written[1],
            Trans(Dt("ExtRef=2 Mode=A"), Dt("Waehrungkurs=1.00000000 Anteile=1.00000000000000E+20 "
                                            "Preis=1.00000000000000E+300 Gebuehr=1.00000000000000E+300 "
                                            "Gesamtbetrag=1.00000000000000E+300")));
}

TEST_F(Transactions, ZeroSharesWithAnAmountAddSummeStatusZero) {
  EXPECT_THAT(TransactionsOf({Transaction("1").Set("TRASTK", "0").Set("TRABETRAG", "50")}),
              ElementsAre(Trans("<DT_ExtRef>1</DT_ExtRef><DT_Mode>A</DT_Mode>",
                                "<DT_Anteile>0.0000</DT_Anteile><DT_Gesamtbetrag>50.00</DT_Gesamtbetrag>"
                                "<DT_Summe_Status>0</DT_Summe_Status>")));
}

// One row per case, dated a day apart so that they come in this order.
TEST_F(Transactions, ThePriceIsTheRedemptionPriceElseTheFundPriceWithStatus21) {
  const std::vector<std::pair<std::pair<std::string_view, std::string_view>, std::string_view>> cases = {
      {{"100", "99.5"}, "<DT_Preis>100.0000</DT_Preis>"},
      {{"0", "99.5"}, "<DT_Preis>99.5000</DT_Preis><DT_Preis_Status>21</DT_Preis_Status>"},
      {{"Null", "99.5"}, "<DT_Preis>99.5000</DT_Preis><DT_Preis_Status>21</DT_Preis_Status>"},
      {{"0", "0"}, ""},
      {{"0", "Null"}, ""},
      {{"120.123456", "Null"}, "<DT_Preis>120.1235</DT_Preis>"}};
  std::vector<ProviderLine> rows;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    rows.push_back(Transaction(std::to_string(i + 1))
                       .Set("TRASTK", "1")
                       .Set("TRABETRAG", "10")
                       .Set("FONRPREIS", cases[i].first.first)
                       .Set("FONPREIS", cases[i].first.second)
                       .Set("TRADAT", std::to_string(20240301 + i)));
  }
  const std::vector<std::string> written = TransactionsOf(rows);
  ASSERT_EQ(written.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("FONRPREIS " + std::string(cases[i].first.first) + ", FONPREIS " +
                 std::string(cases[i].first.second));
    EXPECT_EQ(written[i], Trans("<DT_ExtRef>" + std::to_string(i + 1) + "</DT_ExtRef><DT_Mode>A</DT_Mode>",
                                "<DT_Anteile>1.0000</DT_Anteile>" + std::string(cases[i].second) +
                                    "<DT_Gesamtbetrag>10.00</DT_Gesamtbetrag>"));
  }
}

// A transaction id that is a number under the German settings is written as a whole number; one
// in digits keeps every digit, however long.
TEST_F(Transactions, ANumericTransactionIdIsWrittenAsAWholeNumber) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"00012345", "12345"},
      {"A-77", "A-77"},
      {"12,5", "13"},
      {"-7", "-7"},
      {"1.5", "1.5"},
      {"2E3", "2000"},
      {"12345678901234567", "12345678901234567"},
      {"12345678901234568", "12345678901234568"},
      {"98765432109876543210", "98765432109876543210"},
      {"-0012", "-12"},
      {"0", "0"},
      {"000", "0"},
      {"-0", "0"},
      {"+42", "42"},
      {"999999999999999", "999999999999999"}};
  std::vector<ProviderLine> rows;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    rows.push_back(Transaction(cases[i].first)
                       .Set("TRASTK", "1")
                       .Set("TRABETRAG", "10")
                       .Set("TRADAT", std::to_string(20240301 + i)));
  }
  rows.push_back(Transaction("0008").Set("TRATYPKZ", "8").Set("TRABETRAG", "5").Set("TRADAT", "20240401"));
  const std::vector<std::string> written = TransactionsOf(rows);
  ASSERT_EQ(written.size(), cases.size() + 1);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_THAT(Elements(written[i], "DT_ExtRef"), ElementsAre(cases[i].second))
        << "TRAID " << cases[i].first;
  }
  EXPECT_THAT(Elements(written.back(), "DT_ExtRef"), ElementsAre("8_AU"));
}

TEST_F(Transactions, TheExecutionDateIsThePriceDateAndAnUnknownOneIsDayZero) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"20240315", "2024-03-15"}, {"Null", "1899-12-30"}, {"20240231", "1899-12-30"}, {"0", "1899-12-30"}};
  std::vector<ProviderLine> rows;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    rows.push_back(Transaction(std::to_string(i + 1))
                       .Set("TRASTK", "1")
                       .Set("TRABETRAG", "10")
                       .Set("FONPREISDAT", cases[i].first)
                       .Set("TRADAT", std::to_string(20240301 + i)));
  }
  const std::vector<std::string> written = TransactionsOf(rows);
  ASSERT_EQ(written.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_THAT(Elements(written[i], "DT_Ausfuehrung"), ElementsAre(cases[i].second))
        << "FONPREISDAT " << cases[i].first;
  }
}

TEST_F(Transactions, APositionsTransactionsComeInOrderOfTheirTradeDate) {
  const std::vector<std::string> written =
      TransactionsOf({Transaction("1").Set("TRADAT", "20240303").Set("TRASTK", "1"),
                      Transaction("2").Set("TRADAT", "20240301").Set("TRASTK", "1"),
                      Transaction("3").Set("TRADAT", "20240302").Set("TRASTK", "1")});
  std::vector<std::string> refs;
  for (const std::string& trans : written) refs.push_back(Elements(trans, "DT_ExtRef").at(0));
  EXPECT_THAT(refs, ElementsAre("2", "3", "1"));
}

// ---------------------------------------------------------------------------------------------

using BalanceTransaction = DocumentTest;

TEST_F(BalanceTransaction, HasModeBTheReciprocalRateAndTheRegionalShareCount) {
  holdings = {Holding()
                  .Set("BESTSTK", "12.5")
                  .Set("DEVKURS", "1.1")
                  .Set("FONRUECKPREIS", "Null")
                  .Set("FONWAEHR", "USD")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(
      Elements(document, "DepotTrans"),
      ElementsAre(
          "<DT_Mode>B</DT_Mode><DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung><DT_Waehrung>USD</DT_Waehrung>"
          "<DT_Waehrungkurs>0.90909091</DT_Waehrungkurs><DT_Anteile>12,5</DT_Anteile>"));
}

TEST_F(BalanceTransaction, WritesThePriceWithFourDecimalsAndAnUnknownDateAsDayZero) {
  holdings = {Holding()
                  .Set("BESTSTK", "2")
                  .Set("DEVKURS", "0")
                  .Set("FONRUECKPREIS", "50.25549")
                  .Set("FONPREISDAT", "Null")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(
      Elements(document, "DepotTrans"),
      ElementsAre(
          "<DT_Mode>B</DT_Mode><DT_Ausfuehrung>1899-12-30</DT_Ausfuehrung><DT_Waehrung>EUR</DT_Waehrung>"
          "<DT_Anteile>2</DT_Anteile><DT_Preis>50.2555</DT_Preis>"));
}

TEST_F(BalanceTransaction, WritesAShareCountOf10ToThe15OrMoreWithAnExponent) {
  holdings = {Holding().Set("BESTSTK", "2500000000000000")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DT_Anteile"), ElementsAre("2,5E15"));
}

TEST_F(BalanceTransaction, WritesAShareCountBelow0_0001WithAnExponent) {
  holdings = {Holding().Set("BESTSTK", "0.00004")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DT_Anteile"), ElementsAre("4E-5"));
}

// Unlike a booked transaction, the balance writes any price the holding has, zero included.
TEST_F(BalanceTransaction, WritesARedemptionPriceOfZero) {
  holdings = {Holding().Set("FONRUECKPREIS", "0")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DT_Preis"), ElementsAre("0.0000"));
}

TEST_F(BalanceTransaction, LeavesOutTheShareCountWhenThereIsNone) {
  holdings = {Holding().Set("BESTSTK", "Null").Set("FONRUECKPREIS", "20")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(
      Elements(document, "DepotTrans"),
      ElementsAre(
          "<DT_Mode>B</DT_Mode><DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung><DT_Waehrung>EUR</DT_Waehrung>"
          "<DT_Preis>20.0000</DT_Preis>"));
}

TEST_F(BalanceTransaction, LeavesOutARateWhoseReciprocalIsNotFinite) {
  holdings = {Holding().Set("DEVKURS", "1e-310")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DT_Waehrungkurs"), IsEmpty());
}

}  // namespace
}  // namespace kx::documenttest
