// install/KORVALIX.xsd itself: it accepts a document that follows the rules and refuses each
// single break of them, so that a document validating against it means something.
#include <gtest/gtest.h>

#include <random>

#include "DocumentTest.h"

namespace kx::documenttest {
namespace {

// A document in the writer's form (compacted), with a booked transaction, a distribution with
// reinvestment and a balance transaction in the regional form.
constexpr std::string_view kValid =
    "<XML><Import><I_Herkunft>KORVALIX</I_Herkunft><I_ImportVersion>2.1.2</I_ImportVersion>"
    "<I_BeraterRef>BR-01</I_BeraterRef><I_Datum>2026-12-09</I_Datum><I_Reimport>clear</I_Reimport>"
    "<I_CustomData><PARAM>startid1=S-1</PARAM><PARAM>startid2=S-2</PARAM></I_CustomData></Import>"
    "<Kundendaten><Kunde><K_BeraterKennung>BR-01</K_BeraterKennung><K_ExtRef>1001</K_ExtRef></Kunde>"
    "<DepotVerw><DV_Waehrung>EUR</DV_Waehrung></DepotVerw>"
    "<Person><P_PersonNr>1</P_PersonNr><P_PersonArt>V</P_PersonArt><P_GeburtsDatum />"
    "<P_Geschlecht>W</P_Geschlecht><P_Nachname>Muster</P_Nachname>"
    "<Depot><DP_Name>4711_FO</DP_Name><DP_ExtRef>4711_FO</DP_ExtRef><DP_Type>U</DP_Type>"
    "<DP_Waehrung>EUR</DP_Waehrung>"
    "<DepotWert><DW_WertTyp>FONDS</DW_WertTyp><DW_WertName>Rentenfonds</DW_WertName><DW_WKN>DE0001234567</"
    "DW_WKN>"
    "<DepotTrans><DT_ExtRef>42</DT_ExtRef><DT_Mode>A</DT_Mode><DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung>"
    "<DT_Waehrung>EUR</DT_Waehrung><DT_Waehrungkurs>0.90909091</DT_Waehrungkurs><DT_Anteile>3.0000</"
    "DT_Anteile>"
    "<DT_Preis>99.5000</DT_Preis><DT_Preis_Status>21</DT_Preis_Status><DT_Gebuehr>-0.12</DT_Gebuehr>"
    "<DT_InvestKap>300.00</DT_InvestKap><DT_Gesamtbetrag>300.00</DT_Gesamtbetrag>"
    "<DT_Summe_Status>0</DT_Summe_Status></DepotTrans>"
    "<DepotTrans><DT_ExtRef>43_AU</DT_ExtRef><DT_Mode>AU</DT_Mode><DT_Ausfuehrung>1899-12-30</DT_Ausfuehrung>"
    "<DT_Waehrung>EUR</DT_Waehrung><DT_Steuern>0.00</DT_Steuern><DT_Gesamtbetrag>30.00</DT_Gesamtbetrag>"
    "<SubTrans><DT_ExtRef>43_WA</DT_ExtRef><DT_Mode>W</DT_Mode><DT_Ausfuehrung>2024-03-02</DT_Ausfuehrung>"
    "<DT_Waehrung>EUR</DT_Waehrung><DT_Anteile>0.2500</DT_Anteile><DT_Gesamtbetrag>30.00</DT_Gesamtbetrag>"
    "</SubTrans></DepotTrans>"
    "<DW_BESTAND_ANTEILE>3.000</DW_BESTAND_ANTEILE></DepotWert>"
    "<DepotWert><DW_WertTyp>FONDS</DW_WertTyp><DW_WKN>A0B1C2</DW_WKN>"
    "<DepotTrans><DT_Mode>B</DT_Mode><DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung><DT_Waehrung>USD</"
    "DT_Waehrung>"
    "<DT_Anteile>12,5</DT_Anteile></DepotTrans></DepotWert></Depot>"
    "<TeleKontakt><TK_Art>TEL</TK_Art><Privat>JA</Privat><TK_Nummer>0228 123</TK_Nummer></TeleKontakt>"
    "<TeleKontakt><TK_Art>EMAIL</TK_Art><TK_Nummer>a@b.example</TK_Nummer></TeleKontakt></Person>"
    "<Anschrift><AN_Standard>JA</AN_Standard></Anschrift></Kundendaten>"
    "<Depotdaten_Ohne_Zuordnung></Depotdaten_Ohne_Zuordnung></XML>";

class Schema : public ::testing::Test {
 protected:
  ::testing::AssertionResult Validates(std::string_view xml) const {
    return ValidatesAgainstSchema(dir_.WriteFile("document.xml", xml));
  }

 private:
  testsupport::TempDir dir_;
};

TEST_F(Schema, AcceptsADocumentThatFollowsTheRules) { EXPECT_TRUE(Validates(kValid)); }

// A provider text made only of bytes the writer drops gives an empty element.
TEST_F(Schema, AcceptsEmptyTextElementsAndStartIds) {
  for (const auto& [from, to] : std::vector<std::pair<std::string_view, std::string_view>>{
           {"<P_Nachname>Muster</P_Nachname>", "<P_Nachname></P_Nachname>"},
           {"<DT_ExtRef>42</DT_ExtRef>", "<DT_ExtRef />"},
           {"<PARAM>startid1=S-1</PARAM>", "<PARAM>startid1=</PARAM>"},
           {"<PARAM>startid1=S-1</PARAM><PARAM>startid2=S-2</PARAM>", "<PARAM>startid2=S-2</PARAM>"}}) {
    std::string xml(kValid);
    xml.replace(xml.find(from), from.size(), to);
    EXPECT_TRUE(Validates(xml)) << to;
  }
}

TEST_F(Schema, AcceptsTheWritersLayoutAndTheSmallestDocument) {
  EXPECT_TRUE(Validates(
      "\r\n<XML>\r\n  <Import>\r\n    <I_Herkunft>KORVALIX</I_Herkunft>\r\n    <I_ImportVersion>2.1.2"
      "</I_ImportVersion>\r\n    <I_Datum>2026-12-09</I_Datum>\r\n  </Import>\r\n</XML>"));
}

struct Break {
  const char* name;
  std::string_view from;  // replaced at its first occurrence in kValid
  std::string_view to;
};

void PrintTo(const Break& b, std::ostream* out) { *out << b.name; }

class SchemaRefuses : public Schema, public ::testing::WithParamInterface<Break> {};

TEST_P(SchemaRefuses, TheBrokenDocument) {
  std::string xml(kValid);
  const std::size_t at = xml.find(GetParam().from);
  ASSERT_NE(at, std::string::npos) << GetParam().from;
  xml.replace(at, GetParam().from.size(), GetParam().to);
  EXPECT_FALSE(Validates(xml));
}

constexpr std::string_view kSecondSubTrans =
    "</SubTrans><SubTrans><DT_ExtRef>43_WA</DT_ExtRef><DT_Mode>W</DT_Mode><DT_Ausfuehrung>2024-03-02</"
    "DT_Ausfuehrung>"
    "<DT_Anteile>0.2500</DT_Anteile></SubTrans>";
constexpr std::string_view kFourContacts =
    "<TeleKontakt><TK_Art>FAX</TK_Art><TK_Nummer>1</TK_Nummer></TeleKontakt>"
    "<TeleKontakt><TK_Art>FAX</TK_Art><TK_Nummer>2</TK_Nummer></TeleKontakt>"
    "<TeleKontakt><TK_Art>EMAIL</TK_Art><TK_Nummer>a@b.example</TK_Nummer></TeleKontakt></Person>";

INSTANTIATE_TEST_SUITE_P(
    Breaks, SchemaRefuses,
    ::testing::Values(
        Break{"SharesWithTwoDecimals", "<DT_Anteile>3.0000</DT_Anteile>", "<DT_Anteile>3.00</DT_Anteile>"},
        Break{"ReinvestedSharesInRegionalForm", "<DT_Anteile>0.2500</DT_Anteile>",
              "<DT_Anteile>0,25</DT_Anteile>"},
        Break{"AmountMinusZero", "<DT_Gesamtbetrag>300.00</DT_Gesamtbetrag>",
              "<DT_Gesamtbetrag>-0.00</DT_Gesamtbetrag>"},
        Break{"AmountWithOneDecimal", "<DT_Gesamtbetrag>300.00</DT_Gesamtbetrag>",
              "<DT_Gesamtbetrag>300.0</DT_Gesamtbetrag>"},
        Break{"AmountWithGrouping", "<DT_InvestKap>300.00</DT_InvestKap>",
              "<DT_InvestKap>1,300.00</DT_InvestKap>"},
        Break{"RateWithSevenDecimals", "0.90909091", "0.9090909"},
        Break{"NegativeRate", "0.90909091", "-0.90909091"},
        Break{"NegativeReinvestmentPrice", "<DT_Anteile>0.2500</DT_Anteile>",
              "<DT_Anteile>0.2500</DT_Anteile><DT_Preis>-1.0000</DT_Preis>"},
        Break{"PriceStatusOtherThan21", "<DT_Preis_Status>21</DT_Preis_Status>",
              "<DT_Preis_Status>0</DT_Preis_Status>"},
        Break{"TaxesOtherThanZero", "<DT_Steuern>0.00</DT_Steuern>", "<DT_Steuern>1.00</DT_Steuern>"},
        Break{"ShareCountWithTwoDecimals", "3.000</DW_BESTAND_ANTEILE>", "3.00</DW_BESTAND_ANTEILE>"},
        Break{"UnknownMode", "<DT_Mode>A</DT_Mode>", "<DT_Mode>X</DT_Mode>"},
        Break{"ReinvestmentModeOutsideSubTrans", "<DT_Mode>A</DT_Mode>", "<DT_Mode>W</DT_Mode>"},
        Break{"TwoSubTrans", "</SubTrans>", kSecondSubTrans},
        Break{"MonthWithoutLeadingZero", "2024-03-01", "2024-3-01"},
        Break{"NoSuchDay", "2024-03-01", "2024-02-30"},
        Break{"CustomerNumberZero", "<K_ExtRef>1001</K_ExtRef>", "<K_ExtRef>0</K_ExtRef>"},
        Break{"GenderLowerCase", "<P_Geschlecht>W</P_Geschlecht>", "<P_Geschlecht>w</P_Geschlecht>"},
        Break{"NoDepotVerw", "<DepotVerw><DV_Waehrung>EUR</DV_Waehrung></DepotVerw>", ""},
        Break{"NoAddress", "<Anschrift><AN_Standard>JA</AN_Standard></Anschrift>", ""},
        Break{"NoBirthDateElement", "<P_GeburtsDatum />", ""},
        Break{"DepotCurrencyNotEur", "<DP_Waehrung>EUR</DP_Waehrung>", "<DP_Waehrung>USD</DP_Waehrung>"},
        Break{"FourContacts",
              "<TeleKontakt><TK_Art>EMAIL</TK_Art><TK_Nummer>a@b.example</TK_Nummer></TeleKontakt></Person>",
              kFourContacts},
        Break{"EmptyCustomData", "<PARAM>startid1=S-1</PARAM><PARAM>startid2=S-2</PARAM>", ""},
        Break{"TwoStartId1", "<PARAM>startid2=S-2</PARAM>", "<PARAM>startid1=S-2</PARAM>"},
        Break{"StartId2BeforeStartId1", "<PARAM>startid1=S-1</PARAM><PARAM>startid2=S-2</PARAM>",
              "<PARAM>startid2=S-2</PARAM><PARAM>startid1=S-1</PARAM>"},
        Break{"ThreeStartIds", "</I_CustomData>", "<PARAM>startid2=S-3</PARAM></I_CustomData>"},
        Break{"ReimportOtherThanClear", "<I_Reimport>clear</I_Reimport>", "<I_Reimport>yes</I_Reimport>"},
        Break{"TwoUnassignedSections", "</Kundendaten>",
              "</Kundendaten><Depotdaten_Ohne_Zuordnung></Depotdaten_Ohne_Zuordnung>"},
        Break{"AnAttribute", "<DP_Type>U</DP_Type>", "<DP_Type x=\"1\">U</DP_Type>"}),
    [](const ::testing::TestParamInfo<Break>& info) { return std::string(info.param.name); });

// Whatever bytes the provider puts into its texts, the document validates: every text column of
// both files gets random bytes (none that break a line), on a first and a follow-up import.
using SchemaOfGeneratedDocuments = DocumentTest;

TEST_F(SchemaOfGeneratedDocuments, RandomBytesInEveryTextColumnGiveAValidDocument) {
  std::mt19937 random(20261209);
  auto bytes = [&random] {
    std::string text(random() % 13, ' ');
    for (char& c : text) {
      c = static_cast<char>(1 + random() % 255);
      if (c == '\n' || c == '\r') c = '\x7F';  // no line breaks: a record is one line
    }
    return text;
  };
  const std::vector<std::string_view> holdingTexts = {
      "VERUNTER",    "INHANREDE1",  "INHTITELTXT1", "INHGESCH1",    "INHNACHNAME1", "INHVORNAME1",
      "INHPOSTERG1", "INHSTRASSE1", "INHPLZ1",      "INHORT1",      "INHLANDTXT1",  "INHTEL1",
      "INHFAX1",     "INHEMAIL1",   "INHANREDE2",   "INHTITELTXT2", "INHGESCH2",    "INHNACHNAME2",
      "INHVORNAME2", "INHPOSTERG2", "INHSTRASSE2",  "INHPLZ2",      "INHORT2",      "INHLANDTXT2",
      "INHTEL2",     "INHFAX2",     "INHEMAIL2",    "FONWKNEXT",    "FONNAMELANG",  "FONWAEHR"};
  const std::vector<std::string_view> transactionTexts = {"TRAID",     "VERUNTER", "TRATYPKZTXT", "TRAWAEHR",
                                                          "FONWKNEXT", "STARTID1", "STARTID2"};
  for (const double lastImport : {0.0, 1.0}) {
    holdings.clear();
    transactions.clear();
    for (int customer = 1; customer <= 6; ++customer) {
      // The keys that join a holding to its transactions are the same random texts in both files.
      const std::string depot = bytes(), isin = bytes(), account = bytes(), subAccount = bytes();
      ProviderLine holding = HoldingWithTransactions();
      holding.Set("INHKDNR1", std::to_string(customer)).Set("DEPSTNR", depot).Set("FONISIN", isin);
      holding.Set("DEPKTOART", account).Set("DEPUNTERKTO", subAccount);
      for (const std::string_view column : holdingTexts) holding.Set(column, bytes());
      if (customer == 1) holding.Set("INHNACHNAME1", "\x7F\x7F");  // only bytes the writer drops
      holdings.push_back(holding);
      for (int n = 0; n < 3; ++n) {
        ProviderLine transaction = Transaction("");
        transaction.Set("DEPSTNR", depot).Set("FONISIN", isin).Set("DEPKTOART", account);
        transaction.Set("DEPUNTERKTO", subAccount).Set("TRASTK", "1").Set("TRABETRAG", "10");
        transaction.Set("TRATYPKZ", std::to_string(1 + random() % 8));
        for (const std::string_view column : transactionTexts) transaction.Set(column, bytes());
        if (customer == 1 && n == 0) transaction.Set("STARTID1", "\x01\x7F");
        transactions.push_back(transaction);
      }
    }
    args.LastImport = lastImport;
    Generate();  // validates the document
  }
}

}  // namespace
}  // namespace kx::documenttest
