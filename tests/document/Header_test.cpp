// The document as a whole and its Import element: provider, version, advisor reference, date,
// clear re-import, start ids; the first import without customers (-28) and the follow-up import
// with its section of depots without customer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DocumentTest.h"

namespace kx::documenttest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

using Header = DocumentTest;

TEST_F(Header, ImportNamesProviderVersionTrimmedAdvisorRefAndDate) {
  holdings = {Holding()};
  args.AdvisorRef = " \tBR-01 \r\n";
  args.ImportDate = EncodeDate(2025, 1, 7);
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Import"),
              ElementsAre("<I_Herkunft>KORVALIX</I_Herkunft><I_ImportVersion>2.1.2</I_ImportVersion>"
                          "<I_BeraterRef>BR-01</I_BeraterRef><I_Datum>2025-01-07</I_Datum>"));
  EXPECT_THAT(Elements(document, "K_BeraterKennung"), ElementsAre("BR-01"));
}

TEST_F(Header, EmptyAdvisorRefLeavesOutBothAdvisorElements) {
  holdings = {Holding()};
  args.AdvisorRef = "  ";
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "I_BeraterRef"), IsEmpty());
  EXPECT_THAT(Elements(document, "Kunde"), ElementsAre("<K_ExtRef>1001</K_ExtRef>"));
}

TEST_F(Header, ClearReimportIsAnnouncedAfterTheDate) {
  holdings = {Holding()};
  args.ClearReimport = true;
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Import"),
              ElementsAre("<I_Herkunft>KORVALIX</I_Herkunft><I_ImportVersion>2.1.2</I_ImportVersion>"
                          "<I_BeraterRef>BR-01</I_BeraterRef><I_Datum>2026-12-09</I_Datum>"
                          "<I_Reimport>clear</I_Reimport>"));
}

TEST_F(Header, StartIdsComeFromTheFirstTransactionLine) {
  holdings = {HoldingWithTransactions()};
  transactions = {Transaction("1").Set("STARTID1", "4711").Set("STARTID2", "A-9"),
                  Transaction("2").Set("STARTID1", "4712").Set("STARTID2", "A-10")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "I_CustomData"),
              ElementsAre("<PARAM>startid1=4711</PARAM><PARAM>startid2=A-9</PARAM>"));
}

TEST_F(Header, StartIdsAreTakenEvenFromALineWhoseTypeCodeIsNotLoaded) {
  holdings = {HoldingWithTransactions()};
  transactions = {Transaction("1").Set("TRATYPKZ", "9").Set("STARTID1", "S1").Set("STARTID2", "S2")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "I_CustomData"),
              ElementsAre("<PARAM>startid1=S1</PARAM><PARAM>startid2=S2</PARAM>"));
  EXPECT_THAT(Elements(document, "DepotTrans"), IsEmpty());
}

TEST_F(Header, AnEmptySecondStartIdGivesASingleParam) {
  holdings = {HoldingWithTransactions()};
  transactions = {Transaction("1").Set("STARTID1", "4711").Set("STARTID2", "")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "I_CustomData"), ElementsAre("<PARAM>startid1=4711</PARAM>"));
}

TEST_F(Header, AnEmptyFirstStartIdGivesOnlyTheSecond) {
  holdings = {HoldingWithTransactions()};
  transactions = {Transaction("1").Set("STARTID1", "Null").Set("STARTID2", "B7")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "I_CustomData"), ElementsAre("<PARAM>startid2=B7</PARAM>"));
}

TEST_F(Header, AnOutputDirectoryWithATrailingSeparatorGetsTheDocumentAllTheSame) {
  holdings = {Holding()};
  args.OutputDir += "/";
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "K_ExtRef"), ElementsAre("1001"));
  EXPECT_EQ(progress.messages.at(3).text, "Erstelle XML-Datei: " + args.OutputDir + "/KORVALIX.XML");
}

TEST_F(Header, AMissingOutputDirectoryFailsTheRun) {
  holdings = {Holding()};
  args.OutputDir += "/missing";
  try {
    RunGenerateImport();
    ADD_FAILURE() << "no error";
  } catch (const std::exception& error) {
    EXPECT_THAT(error.what(), HasSubstr(args.OutputDir));
  }
}

// The document step removes the earlier document first: after a failure while writing there is
// neither a half document nor a stale one. The message names the document, not its temporary.
TEST_F(Header, AFailingDocumentStepLeavesNoDocumentAndNamesKorvalixXml) {
  holdings = {Holding()};
  std::ofstream(DocumentPath()) << "earlier";
  std::filesystem::create_directory(DocumentPath() + ".kxtmp");  // the temporary cannot be created
  try {
    RunGenerateImport();
    ADD_FAILURE() << "no error";
  } catch (const std::exception& error) {
    EXPECT_THAT(error.what(), HasSubstr(DocumentPath()));
    EXPECT_THAT(error.what(), Not(HasSubstr(".kxtmp"))) << error.what();
  }
  EXPECT_FALSE(std::filesystem::exists(DocumentPath()));
}

TEST_F(Header, WithoutTransactionsThereIsNoCustomData) {
  holdings = {Holding()};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "I_CustomData"), IsEmpty());
}

// The whole file, byte for byte: the layout of the writer with nothing but the header in it.
TEST_F(Header, FirstImportWithoutCustomersIsMinus28AndTheDocumentHoldsOnlyImport) {
  EXPECT_EQ(Generate(), -28);
  EXPECT_EQ(document, Document({"<XML>", "  <Import>", "    <I_Herkunft>KORVALIX</I_Herkunft>",
                                "    <I_ImportVersion>2.1.2</I_ImportVersion>",
                                "    <I_BeraterRef>BR-01</I_BeraterRef>", "    <I_Datum>2026-12-09</I_Datum>",
                                "  </Import>", "</XML>"}));
}

TEST_F(Header, FollowUpImportWithoutCustomersEndsWithAnEmptyUnassignedSection) {
  args.LastImport = 45000.5;
  EXPECT_EQ(Generate(), 0);
  EXPECT_EQ(document, Document({"<XML>", "  <Import>", "    <I_Herkunft>KORVALIX</I_Herkunft>",
                                "    <I_ImportVersion>2.1.2</I_ImportVersion>",
                                "    <I_BeraterRef>BR-01</I_BeraterRef>", "    <I_Datum>2026-12-09</I_Datum>",
                                "  </Import>", "  <Depotdaten_Ohne_Zuordnung>",
                                "  </Depotdaten_Ohne_Zuordnung>", "</XML>"}));
}

// Skipped customer rows are still visited: a first import that has only such rows is no -28.
TEST_F(Header, FirstImportWithOnlySkippedCustomerRowsIsNoMinus28) {
  holdings = {Holding().Set("INHKDNR1", "0")};
  EXPECT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Kundendaten"), IsEmpty());
}

TEST_F(Header, NegativeLastImportWritesNoUnassignedSectionAndIsNoMinus28) {
  args.LastImport = -1;
  transactions = {Transaction("1").Set("TRABETRAG", "100").Set("TRASTK", "1")};
  EXPECT_EQ(Generate(), 0);
  EXPECT_EQ(document.find("Depotdaten_Ohne_Zuordnung"), std::string::npos);
}

TEST_F(Header, FollowUpImportPutsTheUnassignedSectionLast) {
  args.LastImport = 1;
  holdings = {HoldingWithTransactions()};
  transactions = {Transaction("1").Set("TRABETRAG", "100").Set("TRASTK", "1")};
  ASSERT_EQ(Generate(), 0);
  const std::string compact = Compact(document);
  EXPECT_TRUE(
      compact.ends_with("</Kundendaten><Depotdaten_Ohne_Zuordnung></Depotdaten_Ohne_Zuordnung></XML>"))
      << compact;
}

}  // namespace
}  // namespace kx::documenttest
