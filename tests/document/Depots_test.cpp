// Depots and positions: depot names, which positions a depot lists on first and follow-up
// imports, the share count after the transactions, the account-type rules of the queries, and
// the depots without customer of a follow-up import.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "DocumentTest.h"

namespace kx::documenttest {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

constexpr std::string_view kIsin = "DE0001234567";

// A purchase of one share for 10 EUR, and the DepotTrans it gives.
ProviderLine Purchase(std::string_view traid) {
  return Transaction(traid).Set("TRASTK", "1").Set("TRABETRAG", "10");
}
std::string PurchaseTrans(std::string_view traid) {
  return "<DepotTrans><DT_ExtRef>" + std::string(traid) +
         "</DT_ExtRef><DT_Mode>A</DT_Mode><DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung><DT_Waehrung>EUR</"
         "DT_Waehrung>"
         "<DT_Anteile>1.0000</DT_Anteile><DT_Gesamtbetrag>10.00</DT_Gesamtbetrag></DepotTrans>";
}

std::vector<std::string> Sorted(std::vector<std::string> values) {
  std::sort(values.begin(), values.end());
  return values;
}

using Depots = DocumentTest;

TEST_F(Depots, NameIsTheNumberWithAccountTypeAndSubAccountWhenPresent) {
  holdings = {Holding().Set("DEPSTNR", "100").Set("DEPKTOART", "FO"),
              Holding().Set("DEPSTNR", "200").Set("DEPKTOART", "FO").Set("DEPUNTERKTO", "01"),
              Holding().Set("DEPSTNR", "300").Set("DEPKTOART", "Null"),
              Holding().Set("DEPSTNR", "400").Set("DEPKTOART", "").Set("DEPUNTERKTO", "02")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DP_Name"), UnorderedElementsAre("100_FO", "200_FO_01", "300", "400_02"));
  EXPECT_EQ(Sorted(Elements(document, "DP_ExtRef")), Sorted(Elements(document, "DP_Name")));
}

TEST_F(Depots, DepotStartsWithNameExtRefTypeAndCurrency) {
  holdings = {Holding()};
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> depots = Elements(document, "Depot");
  ASSERT_EQ(depots.size(), 1u);
  EXPECT_THAT(depots[0],
              StartsWith("<DP_Name>4711_FO</DP_Name><DP_ExtRef>4711_FO</DP_ExtRef><DP_Type>U</DP_Type>"
                         "<DP_Waehrung>EUR</DP_Waehrung><DepotWert>"));
}

// The sub-account names the depot but does not select its positions.
TEST_F(Depots, DepotsDifferingOnlyInSubAccountAreBothWrittenWithTheSamePositions) {
  holdings = {Holding().Set("DEPUNTERKTO", "01").Set("FONISIN", "DE000000000A"),
              Holding().Set("DEPUNTERKTO", "02").Set("FONISIN", "DE000000000B")};
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> depots = Elements(document, "Depot");
  ASSERT_EQ(depots.size(), 2u);
  EXPECT_THAT(Elements(document, "DP_Name"), UnorderedElementsAre("4711_FO_01", "4711_FO_02"));
  for (const std::string& depot : depots) {
    EXPECT_THAT(Elements(depot, "DW_WKN"), UnorderedElementsAre("DE000000000A", "DE000000000B"));
  }
}

TEST_F(Depots, FirstImportGivesAPositionWithoutTransactionsOneBalanceTransaction) {
  holdings = {Holding()};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DepotWert"),
              ElementsAre("<DW_WertTyp>FONDS</DW_WertTyp><DW_WertName>Rentenfonds</DW_WertName>"
                          "<DW_WKN>DE0001234567</DW_WKN><DepotTrans><DT_Mode>B</DT_Mode>"
                          "<DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung><DT_Waehrung>EUR</DT_Waehrung>"
                          "<DT_Anteile>10</DT_Anteile></DepotTrans>"));
}

TEST_F(Depots, FollowUpImportWritesADepotWithoutTransactionsWithItsHeaderOnly) {
  args.LastImport = 1;
  holdings = {Holding(), Holding().Set("FONISIN", "DE000000000B")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Depot"),
              ElementsAre("<DP_Name>4711_FO</DP_Name><DP_ExtRef>4711_FO</DP_ExtRef><DP_Type>U</DP_Type>"
                          "<DP_Waehrung>EUR</DP_Waehrung>"));
}

// Without HAS_TRANS 0 a holding reaches the document only through its transactions.
TEST_F(Depots, AHoldingWithHasTransNullAndNoTransactionsGivesNoDepot) {
  holdings = {Holding().Set("HAS_TRANS", "Null")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Depot"), IsEmpty());
  EXPECT_THAT(Elements(document, "Person"), ElementsAre(Not(HasSubstr("<Depot>"))));
}

TEST_F(Depots, APositionWithoutIsinIsLookedUpByItsWknAndFindsNothing) {
  holdings = {Holding().Set("FONISIN", "Null").Set("FONWKNEXT", "A0XYZ1")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Depot"), ElementsAre(EndsWith("<DP_Waehrung>EUR</DP_Waehrung>")));
}

// The position rows of a holding without ISIN and of a transaction whose ISIN is that WKN have
// the same key; both find the transaction.
TEST_F(Depots, APositionWithoutIsinFindsTheTransactionsWhoseIsinIsItsWkn) {
  holdings = {Holding()
                  .Set("FONISIN", "Null")
                  .Set("FONWKNEXT", "W1")
                  .Set("FONNAMELANG", "Ohne ISIN")
                  .Set("BESTSTK", "4")};
  transactions = {Purchase("1").Set("FONISIN", "W1").Set("FONWKNEXT", "W1")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(PositionsWithKey(document, "W1"),
              UnorderedElementsAre(
                  "<DW_WertTyp>FONDS</DW_WertTyp><DW_WKN>W1</DW_WKN>" + PurchaseTrans("1"),
                  "<DW_WertTyp>FONDS</DW_WertTyp><DW_WertName>Ohne ISIN</DW_WertName><DW_WKN>W1</DW_WKN>" +
                      PurchaseTrans("1") + "<DW_BESTAND_ANTEILE>4.000</DW_BESTAND_ANTEILE>"));
}

// An empty ISIN and WKN would find the holding itself (its ISIN is the empty text): the row is
// skipped before any lookup.
TEST_F(Depots, ARowWithEmptyIsinAndWknIsNoPosition) {
  holdings = {Holding().Set("FONISIN", "").Set("FONWKNEXT", ""), Holding().Set("FONISIN", "DE000000000B")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DW_WKN"), ElementsAre("DE000000000B"));
}

TEST_F(Depots, ShareCountAfterTheTransactionsHasThreeDecimalsAndNeedsAHoldingsShareCount) {
  holdings = {HoldingWithTransactions().Set("FONISIN", "ISIN-A").Set("BESTSTK", "12.5"),
              HoldingWithTransactions().Set("FONISIN", "ISIN-B").Set("BESTSTK", "0.0004"),
              HoldingWithTransactions().Set("FONISIN", "ISIN-C").Set("BESTSTK", "-2.25"),
              HoldingWithTransactions().Set("FONISIN", "ISIN-D").Set("BESTSTK", "Null")};
  transactions = {Purchase("1").Set("FONISIN", "ISIN-A"), Purchase("2").Set("FONISIN", "ISIN-B"),
                  Purchase("3").Set("FONISIN", "ISIN-C"), Purchase("4").Set("FONISIN", "ISIN-D")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(PositionsWithKey(document, "ISIN-A"),
              ElementsAre(EndsWith("<DW_BESTAND_ANTEILE>12.500</DW_BESTAND_ANTEILE>")));
  EXPECT_THAT(PositionsWithKey(document, "ISIN-B"),
              ElementsAre(EndsWith("<DW_BESTAND_ANTEILE>0.000</DW_BESTAND_ANTEILE>")));
  EXPECT_THAT(PositionsWithKey(document, "ISIN-C"),
              ElementsAre(EndsWith("<DW_BESTAND_ANTEILE>-2.250</DW_BESTAND_ANTEILE>")));
  EXPECT_THAT(PositionsWithKey(document, "ISIN-D"), ElementsAre(EndsWith(PurchaseTrans("4"))));
}

TEST_F(Depots, APositionWithTransactionsButNoHoldingsRowHasNeitherNameNorShareCount) {
  holdings = {HoldingWithTransactions()};
  transactions = {Purchase("1").Set("FONISIN", "DE000000000B")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(
      PositionsWithKey(document, "DE000000000B"),
      ElementsAre("<DW_WertTyp>FONDS</DW_WertTyp><DW_WKN>DE000000000B</DW_WKN>" + PurchaseTrans("1")));
}

TEST_F(Depots, APositionInTwoPositionRowsIsWrittenTwiceEachWithAllItsTransactions) {
  holdings = {HoldingWithTransactions().Set("VERUNTER", "1").Set("BESTSTK", "5"),
              HoldingWithTransactions().Set("VERUNTER", "2").Set("BESTSTK", "7")};
  transactions = {Purchase("1"), Purchase("2").Set("TRADAT", "20240302")};
  ASSERT_EQ(Generate(), 0);
  const std::string both = PurchaseTrans("1") + PurchaseTrans("2");
  EXPECT_THAT(PositionsWithKey(document, kIsin),
              UnorderedElementsAre(EndsWith(both + "<DW_BESTAND_ANTEILE>5.000</DW_BESTAND_ANTEILE>"),
                                   EndsWith(both + "<DW_BESTAND_ANTEILE>7.000</DW_BESTAND_ANTEILE>")));
}

// The transactions of a position take account types that contain the depot's (ignoring case)
// and those without; the position rows match by equality, so the transactions of other account
// types add a second position row without holdings data, written with the same transactions.
TEST_F(Depots, TransactionsMatchTheAccountTypeByContainingIgnoringCaseOrNull) {
  holdings = {HoldingWithTransactions().Set("DEPKTOART", "AB")};
  transactions = {Purchase("1").Set("DEPKTOART", "AB"),
                  Purchase("2").Set("DEPKTOART", "XAB").Set("TRADAT", "20240302"),
                  Purchase("3").Set("DEPKTOART", "ab").Set("TRADAT", "20240303"),
                  Purchase("4").Set("DEPKTOART", "Null").Set("TRADAT", "20240304"),
                  Purchase("5").Set("DEPKTOART", "FO").Set("TRADAT", "20240305")};
  ASSERT_EQ(Generate(), 0);
  const std::string four = PurchaseTrans("1") + PurchaseTrans("2") + PurchaseTrans("3") + PurchaseTrans("4");
  EXPECT_THAT(PositionsWithKey(document, kIsin),
              UnorderedElementsAre("<DW_WertTyp>FONDS</DW_WertTyp><DW_WertName>Rentenfonds</DW_WertName>"
                                   "<DW_WKN>DE0001234567</DW_WKN>" +
                                       four + "<DW_BESTAND_ANTEILE>10.000</DW_BESTAND_ANTEILE>",
                                   "<DW_WertTyp>FONDS</DW_WertTyp><DW_WKN>DE0001234567</DW_WKN>" + four));
}

using UnassignedDepots = DocumentTest;

TEST_F(UnassignedDepots, TransactionsOfADepotWithoutHoldingsAreListedAfterTheCustomers) {
  args.LastImport = 1;
  holdings = {HoldingWithTransactions()};
  transactions = {Purchase("1"), Purchase("2").Set("DEPSTNR", "9999").Set("FONISIN", "DE000000000B")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(
      Elements(document, "Depotdaten_Ohne_Zuordnung"),
      ElementsAre("<Depot><DP_Name>9999_FO</DP_Name><DP_ExtRef>9999_FO</DP_ExtRef><DP_Type>U</DP_Type>"
                  "<DP_Waehrung>EUR</DP_Waehrung><DepotWert><DW_WertTyp>FONDS</DW_WertTyp>"
                  "<DW_WKN>DE000000000B</DW_WKN>" +
                  PurchaseTrans("2") + "</DepotWert></Depot>"));
  EXPECT_THAT(Elements(document, "Kundendaten"), ElementsAre(HasSubstr(PurchaseTrans("1"))));
}

TEST_F(UnassignedDepots, AreNotWrittenOnAFirstImport) {
  holdings = {HoldingWithTransactions()};
  transactions = {Purchase("1"), Purchase("2").Set("DEPSTNR", "9999")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "DT_ExtRef"), ElementsAre("1"));
  EXPECT_THAT(Elements(document, "Depotdaten_Ohne_Zuordnung"), IsEmpty());
}

TEST_F(UnassignedDepots, ADepotNumberWithACustomerUnderAnotherAccountTypeIsUnassigned) {
  args.LastImport = 1;
  holdings = {HoldingWithTransactions()};
  transactions = {Purchase("1").Set("DEPKTOART", "AB")};
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> section = Elements(document, "Depotdaten_Ohne_Zuordnung");
  ASSERT_EQ(section.size(), 1u);
  EXPECT_THAT(Elements(section[0], "DP_Name"), ElementsAre("4711_AB"));
  EXPECT_THAT(section[0], HasSubstr(PurchaseTrans("1")));
}

TEST_F(UnassignedDepots, ADepotUnderAnotherSubAccountIsUnassigned) {
  args.LastImport = 1;
  holdings = {HoldingWithTransactions().Set("DEPUNTERKTO", "01")};
  transactions = {Purchase("1").Set("DEPUNTERKTO", "02")};
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> section = Elements(document, "Depotdaten_Ohne_Zuordnung");
  ASSERT_EQ(section.size(), 1u);
  EXPECT_THAT(Elements(section[0], "DP_Name"), ElementsAre("4711_FO_02"));
}

TEST_F(UnassignedDepots, TransactionsOfAHoldingWithoutCustomerNumberAreUnassignedWithItsHoldingsData) {
  args.LastImport = 1;
  holdings = {HoldingWithTransactions()
                  .Set("INHKDNR1", "Null")
                  .Set("DEPSTNR", "5555")
                  .Set("FONNAMELANG", "Namenlos")};
  transactions = {Purchase("1").Set("DEPSTNR", "5555")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Kundendaten"), IsEmpty());
  EXPECT_THAT(
      Elements(document, "Depotdaten_Ohne_Zuordnung"),
      ElementsAre("<Depot><DP_Name>5555_FO</DP_Name><DP_ExtRef>5555_FO</DP_ExtRef><DP_Type>U</DP_Type>"
                  "<DP_Waehrung>EUR</DP_Waehrung><DepotWert><DW_WertTyp>FONDS</DW_WertTyp>"
                  "<DW_WertName>Namenlos</DW_WertName><DW_WKN>DE0001234567</DW_WKN>" +
                  PurchaseTrans("1") +
                  "<DW_BESTAND_ANTEILE>10.000</DW_BESTAND_ANTEILE></DepotWert></Depot>"));
}

// Two missing account types are equal when transactions are matched to holdings.
TEST_F(UnassignedDepots, TransactionsWithoutAccountTypeBelongToAHoldingWithoutOne) {
  args.LastImport = 1;
  holdings = {HoldingWithTransactions().Set("DEPKTOART", "Null")};
  transactions = {Purchase("1").Set("DEPKTOART", "Null")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Depotdaten_Ohne_Zuordnung"), ElementsAre(""));
  EXPECT_THAT(Elements(document, "Kundendaten"), ElementsAre(HasSubstr("<DP_Name>4711</DP_Name>")));
  EXPECT_THAT(Elements(document, "Kundendaten"), ElementsAre(HasSubstr(PurchaseTrans("1"))));
}

}  // namespace
}  // namespace kx::documenttest
