// Customers: which customer rows become Kundendaten, the person of the first holder with gender
// and date of birth, the contacts, the address, text escaping, and the progress over the rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DocumentTest.h"

namespace kx::documenttest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// A customer whose only holding has transactions that the file does not deliver: the depot has
// no position, so the person is written without Depot elements.
ProviderLine Customer(std::string_view number) {
  return HoldingWithTransactions().Set("INHKDNR1", number).Set("DEPSTNR", "D" + std::string(number));
}

using Customers = DocumentTest;

TEST_F(Customers, RowsWithCustomerNumberZeroOrNoneAreSkipped) {
  holdings = {Customer("0"), Customer("Null"), Customer("").Set("DEPSTNR", "D-empty"), Customer("1001")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "K_ExtRef"), ElementsAre("1001"));
}

TEST_F(Customers, AreWrittenInAscendingOrderOfTheirNumbers) {
  holdings = {Customer("2002"), Customer("1001"), Customer("10")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "K_ExtRef"), ElementsAre("10", "1001", "2002"));
}

TEST_F(Customers, ACustomerUnderTwoAdvisorNumbersIsWrittenTwiceWithAllDepots) {
  holdings = {Holding().Set("VERBERNR", "7"), Holding().Set("VERBERNR", "8").Set("DEPSTNR", "4712")};
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> customers = Elements(document, "Kundendaten");
  ASSERT_EQ(customers.size(), 2u);
  for (const std::string& customer : customers) {
    EXPECT_THAT(customer, HasSubstr("<K_ExtRef>1001</K_ExtRef>"));
    EXPECT_THAT(customer, HasSubstr("<DP_Name>4711_FO</DP_Name>"));
    EXPECT_THAT(customer, HasSubstr("<DP_Name>4712_FO</DP_Name>"));
  }
}

TEST_F(Customers, KundendatenHoldsKundeDepotVerwPersonAnschriftInThisOrder) {
  holdings = {Customer("1001").Set("INHORT1", "Bonn")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Kundendaten"),
              ElementsAre("<Kunde><K_BeraterKennung>BR-01</K_BeraterKennung><K_ExtRef>1001</K_ExtRef></Kunde>"
                          "<DepotVerw><DV_Waehrung>EUR</DV_Waehrung></DepotVerw>"
                          "<Person><P_PersonNr>1</P_PersonNr><P_PersonArt>V</P_PersonArt><P_GeburtsDatum />"
                          "<P_Nachname>Muster</P_Nachname></Person>"
                          "<Anschrift><AN_Standard>JA</AN_Standard><AN_Ort>Bonn</AN_Ort></Anschrift>"));
}

TEST_F(Customers, PersonFieldsComeInOrderAndEmptyOnesAreLeftOut) {
  holdings = {Customer("1001")
                  .Set("INHGESCH1", "W")
                  .Set("INHGEBTAG1", "19650312")
                  .Set("INHANREDE1", "Frau")
                  .Set("INHTITELTXT1", "Dr.")
                  .Set("INHVORNAME1", "")
                  .Set("INHNACHNAME1", "Muster")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Person"),
              ElementsAre("<P_PersonNr>1</P_PersonNr><P_PersonArt>V</P_PersonArt>"
                          "<P_GeburtsDatum>1965-03-12</P_GeburtsDatum><P_Geschlecht>W</P_Geschlecht>"
                          "<P_Anrede>Frau</P_Anrede><P_Nachname>Muster</P_Nachname><P_Titel>Dr.</P_Titel>"));
}

TEST_F(Customers, OnlyTheFirstHolderIsWritten) {
  holdings = {Customer("1001")
                  .Set("INHKDNR2", "1002")
                  .Set("INHNACHNAME2", "Zweitinhaber")
                  .Set("INHVORNAME2", "Zora")
                  .Set("INHTEL2", "0228 999")
                  .Set("INHSTRASSE2", "Nebenweg 2")
                  .Set("INHLANDTXT1", "Deutschland")
                  .Set("INHPOSTERG1", "c/o Firma")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "K_ExtRef"), ElementsAre("1001"));
  for (const char* text : {"1002", "Zweitinhaber", "Zora", "0228 999", "Nebenweg", "Deutschland", "c/o"}) {
    EXPECT_THAT(document, Not(HasSubstr(text)));
  }
}

// One run, one customer per case; the customers come in the order of their numbers.
TEST_F(Customers, GenderIsWrittenOnlyForExactlyMOrW) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"M", "<P_Geschlecht>M</P_Geschlecht>"},
      {"W", "<P_Geschlecht>W</P_Geschlecht>"},
      {"w", ""},
      {"m", ""},
      {"D", ""},
      {"MW", ""},
      {"", ""},
      {"Null", ""}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    holdings.push_back(Customer(std::to_string(101 + i)).Set("INHGESCH1", cases[i].first));
  }
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> persons = Elements(document, "Person");
  ASSERT_EQ(persons.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("INHGESCH1 " + std::string(cases[i].first));
    const std::string expected = "<P_GeburtsDatum />" + std::string(cases[i].second) + "<P_Nachname>";
    EXPECT_THAT(persons[i], HasSubstr(expected));
  }
}

TEST_F(Customers, BirthDateIsWrittenWhenValidAndAsAnEmptyElementOtherwise) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {{"19650312", "1965-03-12"},
                                                                            {"20000229", "2000-02-29"},
                                                                            {"19650229", ""},
                                                                            {"Null", ""},
                                                                            {"0", ""},
                                                                            {"650312", ""},
                                                                            {"19651301", ""}};
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    holdings.push_back(Customer(std::to_string(101 + i)).Set("INHGEBTAG1", cases[i].first));
    expected.emplace_back(cases[i].second);
  }
  ASSERT_EQ(Generate(), 0);
  EXPECT_EQ(Elements(document, "P_GeburtsDatum"), expected);
  EXPECT_THAT(document, HasSubstr("\r\n      <P_GeburtsDatum />\r\n"));
}

TEST_F(Customers, TelephoneAndEmailWithoutFaxGiveTwoContactsOnlyTheTelephonePrivate) {
  holdings = {Customer("1001").Set("INHTEL1", "0228 123").Set("INHFAX1", "").Set("INHEMAIL1", "a@b.example")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "TeleKontakt"),
              ElementsAre("<TK_Art>TEL</TK_Art><Privat>JA</Privat><TK_Nummer>0228 123</TK_Nummer>",
                          "<TK_Art>EMAIL</TK_Art><TK_Nummer>a@b.example</TK_Nummer>"));
}

TEST_F(Customers, ContactsComeAsTelephoneFaxEmailAfterTheDepots) {
  holdings = {Holding().Set("INHTEL1", "1").Set("INHFAX1", "2").Set("INHEMAIL1", "3")};
  ASSERT_EQ(Generate(), 0);
  const std::vector<std::string> persons = Elements(document, "Person");
  ASSERT_EQ(persons.size(), 1u);
  EXPECT_THAT(persons[0],
              HasSubstr("</Depot><TeleKontakt><TK_Art>TEL</TK_Art><Privat>JA</Privat>"
                        "<TK_Nummer>1</TK_Nummer></TeleKontakt>"
                        "<TeleKontakt><TK_Art>FAX</TK_Art><TK_Nummer>2</TK_Nummer></TeleKontakt>"
                        "<TeleKontakt><TK_Art>EMAIL</TK_Art><TK_Nummer>3</TK_Nummer></TeleKontakt>"));
}

TEST_F(Customers, AddressIsWrittenForEveryCustomerEvenWithoutStreetCodeAndTown) {
  holdings = {
      Customer("1001").Set("INHSTRASSE1", "Hauptstr. 1").Set("INHPLZ1", "53111").Set("INHORT1", "Bonn"),
      Customer("1002")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "Anschrift"),
              ElementsAre("<AN_Standard>JA</AN_Standard><AN_Strasse>Hauptstr. 1</AN_Strasse>"
                          "<AN_PLZ>53111</AN_PLZ><AN_Ort>Bonn</AN_Ort>",
                          "<AN_Standard>JA</AN_Standard>"));
}

// The provider's Windows-1252 bytes pass the staging database unchanged; the writer escapes the
// markup characters and writes every byte above 127 as a character reference.
TEST_F(Customers, TextIsEscapedAndBytesAbove127BecomeCharacterReferences) {
  holdings = {Customer("1001")
                  .Set("INHNACHNAME1", "M\xFCller & \"S\xF6hne\"")
                  .Set("INHSTRASSE1", "<Am Gro\xDF-Markt 1>")
                  .Set("INHVORNAME1", "J\xF6rg's")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(Elements(document, "P_Nachname"), ElementsAre("M&#252;ller &amp; &quot;S&#246;hne&quot;"));
  EXPECT_THAT(Elements(document, "P_Vorname"), ElementsAre("J&#246;rg&apos;s"));
  EXPECT_THAT(Elements(document, "AN_Strasse"), ElementsAre("&lt;Am Gro&#223;-Markt 1&gt;"));
}

std::vector<std::string> Texts(const std::vector<test::Message>& messages) {
  std::vector<std::string> texts;
  for (const test::Message& m : messages) {
    texts.push_back(std::to_string(m.kind) + "," + std::to_string(m.value) + " " + m.text);
  }
  return texts;
}

// Four customer rows (one of them skipped, which counts all the same): 76.25, 82.5, 88.75 and 95
// rounded, 82.5 to the even 82.
TEST_F(Customers, ProgressRunsFrom70To95OverTheCustomerRows) {
  holdings = {Customer("0"), Customer("1001"), Customer("1002"), Customer("1003")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_THAT(
      Texts(progress.messages),
      ElementsAre("3,0 ImportDB = " + args.ImportDb, "1,10 Import " + args.DataDir + "bestandsdaten.csv",
                  "1,40 Import " + args.DataDir + "transaktionsdaten.csv",
                  "1,70 Erstelle XML-Datei: " + DocumentPath(), "2,76 ", "2,82 ", "2,89 ", "2,95 "));
  EXPECT_THAT(Elements(document, "K_ExtRef"), ElementsAre("1001", "1002", "1003"));
}

}  // namespace
}  // namespace kx::documenttest
