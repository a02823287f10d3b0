// Whole documents byte for byte (layout, CR LF, no final line break) for a first and a follow-up
// import, and a generated data set that must give one Kundendaten per customer row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DocumentTest.h"
#include "kxgen/ProviderData.h"

namespace kx::documenttest {
namespace {

using WholeDocument = DocumentTest;

// One customer with every person field, one depot with a sub-account, one position without
// transactions (a balance transaction); the transactions file delivers the start ids and a
// transaction of another depot, which a first import does not write.
TEST_F(WholeDocument, FirstImport) {
  holdings = {Holding()
                  .Set("DEPUNTERKTO", "01")
                  .Set("INHANREDE1", "Herr")
                  .Set("INHTITELTXT1", "Dr.")
                  .Set("INHGESCH1", "M")
                  .Set("INHVORNAME1", "Hans")
                  .Set("INHNACHNAME1", "M\xFCller")
                  .Set("INHSTRASSE1", "Hauptstr. 1")
                  .Set("INHPLZ1", "53111")
                  .Set("INHORT1", "Bonn")
                  .Set("INHTEL1", "0228 123")
                  .Set("INHFAX1", "0228 124")
                  .Set("INHEMAIL1", "hans@example.org")
                  .Set("INHGEBTAG1", "19650312")
                  .Set("FONNAMELANG", "Rentenfonds & Co")
                  .Set("FONRUECKPREIS", "50.5")
                  .Set("DEVKURS", "1")
                  .Set("BESTSTK", "12.5")};
  transactions = {Transaction("1")
                      .Set("DEPSTNR", "9999")
                      .Set("TRASTK", "1")
                      .Set("TRABETRAG", "10")
                      .Set("STARTID1", "S-1")
                      .Set("STARTID2", "S-2")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_EQ(document, Document({"<XML>",
                                "  <Import>",
                                "    <I_Herkunft>KORVALIX</I_Herkunft>",
                                "    <I_ImportVersion>2.1.2</I_ImportVersion>",
                                "    <I_BeraterRef>BR-01</I_BeraterRef>",
                                "    <I_Datum>2026-12-09</I_Datum>",
                                "    <I_CustomData>",
                                "      <PARAM>startid1=S-1</PARAM>",
                                "      <PARAM>startid2=S-2</PARAM>",
                                "    </I_CustomData>",
                                "  </Import>",
                                "  <Kundendaten>",
                                "    <Kunde>",
                                "      <K_BeraterKennung>BR-01</K_BeraterKennung>",
                                "      <K_ExtRef>1001</K_ExtRef>",
                                "    </Kunde>",
                                "    <DepotVerw>",
                                "      <DV_Waehrung>EUR</DV_Waehrung>",
                                "    </DepotVerw>",
                                "    <Person>",
                                "      <P_PersonNr>1</P_PersonNr>",
                                "      <P_PersonArt>V</P_PersonArt>",
                                "      <P_GeburtsDatum>1965-03-12</P_GeburtsDatum>",
                                "      <P_Geschlecht>M</P_Geschlecht>",
                                "      <P_Anrede>Herr</P_Anrede>",
                                "      <P_Vorname>Hans</P_Vorname>",
                                "      <P_Nachname>M&#252;ller</P_Nachname>",
                                "      <P_Titel>Dr.</P_Titel>",
                                "      <Depot>",
                                "        <DP_Name>4711_FO_01</DP_Name>",
                                "        <DP_ExtRef>4711_FO_01</DP_ExtRef>",
                                "        <DP_Type>U</DP_Type>",
                                "        <DP_Waehrung>EUR</DP_Waehrung>",
                                "        <DepotWert>",
                                "          <DW_WertTyp>FONDS</DW_WertTyp>",
                                "          <DW_WertName>Rentenfonds &amp; Co</DW_WertName>",
                                "          <DW_WKN>DE0001234567</DW_WKN>",
                                "          <DepotTrans>",
                                "            <DT_Mode>B</DT_Mode>",
                                "            <DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung>",
                                "            <DT_Waehrung>EUR</DT_Waehrung>",
                                "            <DT_Waehrungkurs>1.00000000</DT_Waehrungkurs>",
                                "            <DT_Anteile>12,5</DT_Anteile>",
                                "            <DT_Preis>50.5000</DT_Preis>",
                                "          </DepotTrans>",
                                "        </DepotWert>",
                                "      </Depot>",
                                "      <TeleKontakt>",
                                "        <TK_Art>TEL</TK_Art>",
                                "        <Privat>JA</Privat>",
                                "        <TK_Nummer>0228 123</TK_Nummer>",
                                "      </TeleKontakt>",
                                "      <TeleKontakt>",
                                "        <TK_Art>FAX</TK_Art>",
                                "        <TK_Nummer>0228 124</TK_Nummer>",
                                "      </TeleKontakt>",
                                "      <TeleKontakt>",
                                "        <TK_Art>EMAIL</TK_Art>",
                                "        <TK_Nummer>hans@example.org</TK_Nummer>",
                                "      </TeleKontakt>",
                                "    </Person>",
                                "    <Anschrift>",
                                "      <AN_Standard>JA</AN_Standard>",
                                "      <AN_Strasse>Hauptstr. 1</AN_Strasse>",
                                "      <AN_PLZ>53111</AN_PLZ>",
                                "      <AN_Ort>Bonn</AN_Ort>",
                                "    </Anschrift>",
                                "  </Kundendaten>",
                                "</XML>"}));
}

// A clear re-import after an earlier import: a purchase and a reinvested distribution of the
// customer's position, and a sale in a depot without customer.
TEST_F(WholeDocument, FollowUpImport) {
  args.LastImport = 46000;
  args.ClearReimport = true;
  holdings = {HoldingWithTransactions().Set("BESTSTK", "3")};
  transactions = {Transaction("00042")
                      .Set("TRASTK", "3")
                      .Set("TRABETRAG", "300")
                      .Set("TRABETRAGEUR", "300")
                      .Set("FONRPREIS", "100")
                      .Set("FONAUSGABE", "5")
                      .Set("TRABONPZ", "100")
                      .Set("STARTID1", "S-1")
                      .Set("STARTID2", "S-2"),
                  Transaction("43")
                      .Set("TRATYPKZ", "8")
                      .Set("TRATYPKZTXT", "Aussch\xFCttung")
                      .Set("TRADAT", "20240302")
                      .Set("FONPREISDAT", "20240302")
                      .Set("TRASTK", "0.25")
                      .Set("TRABETRAG", "30")
                      .Set("FONRPREIS", "120"),
                  Transaction("U-1")
                      .Set("DEPSTNR", "9999")
                      .Set("TRATYPKZ", "3")
                      .Set("TRATYPKZTXT", "Verkauf")
                      .Set("FONISIN", "DE000000000B")
                      .Set("FONPREISDAT", "20240305")
                      .Set("TRASTK", "1")
                      .Set("TRABETRAG", "-100")};
  ASSERT_EQ(Generate(), 0);
  EXPECT_EQ(document, Document({"<XML>",
                                "  <Import>",
                                "    <I_Herkunft>KORVALIX</I_Herkunft>",
                                "    <I_ImportVersion>2.1.2</I_ImportVersion>",
                                "    <I_BeraterRef>BR-01</I_BeraterRef>",
                                "    <I_Datum>2026-12-09</I_Datum>",
                                "    <I_Reimport>clear</I_Reimport>",
                                "    <I_CustomData>",
                                "      <PARAM>startid1=S-1</PARAM>",
                                "      <PARAM>startid2=S-2</PARAM>",
                                "    </I_CustomData>",
                                "  </Import>",
                                "  <Kundendaten>",
                                "    <Kunde>",
                                "      <K_BeraterKennung>BR-01</K_BeraterKennung>",
                                "      <K_ExtRef>1001</K_ExtRef>",
                                "    </Kunde>",
                                "    <DepotVerw>",
                                "      <DV_Waehrung>EUR</DV_Waehrung>",
                                "    </DepotVerw>",
                                "    <Person>",
                                "      <P_PersonNr>1</P_PersonNr>",
                                "      <P_PersonArt>V</P_PersonArt>",
                                "      <P_GeburtsDatum />",
                                "      <P_Nachname>Muster</P_Nachname>",
                                "      <Depot>",
                                "        <DP_Name>4711_FO</DP_Name>",
                                "        <DP_ExtRef>4711_FO</DP_ExtRef>",
                                "        <DP_Type>U</DP_Type>",
                                "        <DP_Waehrung>EUR</DP_Waehrung>",
                                "        <DepotWert>",
                                "          <DW_WertTyp>FONDS</DW_WertTyp>",
                                "          <DW_WertName>Rentenfonds</DW_WertName>",
                                "          <DW_WKN>DE0001234567</DW_WKN>",
                                "          <DepotTrans>",
                                "            <DT_ExtRef>42</DT_ExtRef>",
                                "            <DT_Mode>A</DT_Mode>",
                                "            <DT_Ausfuehrung>2024-03-01</DT_Ausfuehrung>",
                                "            <DT_Waehrung>EUR</DT_Waehrung>",
                                "            <DT_Waehrungkurs>1.00000000</DT_Waehrungkurs>",
                                "            <DT_Anteile>3.0000</DT_Anteile>",
                                "            <DT_Preis>100.0000</DT_Preis>",
                                "            <DT_Gebuehr>0.00</DT_Gebuehr>",
                                "            <DT_InvestKap>300.00</DT_InvestKap>",
                                "            <DT_Gesamtbetrag>300.00</DT_Gesamtbetrag>",
                                "          </DepotTrans>",
                                "          <DepotTrans>",
                                "            <DT_ExtRef>43_AU</DT_ExtRef>",
                                "            <DT_Mode>AU</DT_Mode>",
                                "            <DT_Ausfuehrung>2024-03-02</DT_Ausfuehrung>",
                                "            <DT_Waehrung>EUR</DT_Waehrung>",
                                "            <DT_Steuern>0.00</DT_Steuern>",
                                "            <DT_Gesamtbetrag>30.00</DT_Gesamtbetrag>",
                                "            <SubTrans>",
                                "              <DT_ExtRef>43_WA</DT_ExtRef>",
                                "              <DT_Mode>W</DT_Mode>",
                                "              <DT_Ausfuehrung>2024-03-02</DT_Ausfuehrung>",
                                "              <DT_Waehrung>EUR</DT_Waehrung>",
                                "              <DT_Anteile>0.2500</DT_Anteile>",
                                "              <DT_Preis>120.0000</DT_Preis>",
                                "              <DT_Gesamtbetrag>30.00</DT_Gesamtbetrag>",
                                "            </SubTrans>",
                                "          </DepotTrans>",
                                "          <DW_BESTAND_ANTEILE>3.000</DW_BESTAND_ANTEILE>",
                                "        </DepotWert>",
                                "      </Depot>",
                                "    </Person>",
                                "    <Anschrift>",
                                "      <AN_Standard>JA</AN_Standard>",
                                "    </Anschrift>",
                                "  </Kundendaten>",
                                "  <Depotdaten_Ohne_Zuordnung>",
                                "    <Depot>",
                                "      <DP_Name>9999_FO</DP_Name>",
                                "      <DP_ExtRef>9999_FO</DP_ExtRef>",
                                "      <DP_Type>U</DP_Type>",
                                "      <DP_Waehrung>EUR</DP_Waehrung>",
                                "      <DepotWert>",
                                "        <DW_WertTyp>FONDS</DW_WertTyp>",
                                "        <DW_WKN>DE000000000B</DW_WKN>",
                                "        <DepotTrans>",
                                "          <DT_ExtRef>U-1</DT_ExtRef>",
                                "          <DT_Mode>V</DT_Mode>",
                                "          <DT_Ausfuehrung>2024-03-05</DT_Ausfuehrung>",
                                "          <DT_Waehrung>EUR</DT_Waehrung>",
                                "          <DT_Anteile>1.0000</DT_Anteile>",
                                "          <DT_Gesamtbetrag>100.00</DT_Gesamtbetrag>",
                                "        </DepotTrans>",
                                "      </DepotWert>",
                                "    </Depot>",
                                "  </Depotdaten_Ohne_Zuordnung>",
                                "</XML>"}));
}

class StringWriter final : public gen::Writer {
 public:
  void Holdings(std::string_view line) override { holdings += line; }
  void Transactions(std::string_view line) override { transactions += line; }
  std::string holdings;
  std::string transactions;
};

TEST_F(WholeDocument, GeneratedDataGiveOneKundendatenPerCustomerRow) {
  gen::Sizes sizes;
  sizes.customers = 4;
  StringWriter files;
  const gen::Counts counts = gen::Generate(sizes, 1, files);
  ASSERT_GT(counts.customerRows, counts.customers)
      << "the data set should have a customer under two advisors";
  holdingsFile = files.holdings;
  transactionsFile = files.transactions;
  ASSERT_EQ(Generate(), 0);
  EXPECT_EQ(Elements(document, "Kundendaten").size(), counts.customerRows);
  EXPECT_GT(Elements(document, "DepotTrans").size(), 0u);
}

}  // namespace
}  // namespace kx::documenttest
