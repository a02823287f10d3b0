// kximport's reader of a previous import document: the start ids of the header, decoded by the
// XML parser, the element counts, clear errors for what is not a document, and memory that does
// not grow with the document.
#include "kximport/ImportDocument.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <string>

#include "support/TempDir.h"

namespace {

using ::testing::HasSubstr;

std::string Header(const std::string& params) {
  return "<KORVALIX><Import><I_Herkunft>KORVALIX</I_Herkunft><I_CustomData>" + params +
         "</I_CustomData></Import>";
}

struct IdCase {
  std::string name;
  std::string document;
  std::string id1;
  std::string id2;
};

class StartIds : public ::testing::TestWithParam<IdCase> {};

TEST_P(StartIds, AreTheHeadersParamsDecoded) {
  const kx::testsupport::TempDir dir;
  const kximport::DocumentFacts facts =
      kximport::ReadDocument(dir.WriteFile("KORVALIX.XML", GetParam().document));
  EXPECT_EQ(facts.startId1, GetParam().id1);
  EXPECT_EQ(facts.startId2, GetParam().id2);
}

INSTANTIATE_TEST_SUITE_P(
    ImportDocument, StartIds,
    ::testing::Values(
        IdCase{"Both", Header("<PARAM>startid1=17</PARAM><PARAM>startid2=4</PARAM>") + "</KORVALIX>", "17",
               "4"},
        IdCase{"Entities", Header("<PARAM>startid1=a&amp;b&lt;&gt;&quot;&apos;</PARAM>") + "</KORVALIX>",
               "a&b<>\"'", ""},
        IdCase{"CharacterReferencesToWindows1252",
               Header("<PARAM>startid1=&#252;&#x20AC;&#65;</PARAM>") + "</KORVALIX>",
               "\xFC\x80"
               "A",
               ""},
        IdCase{"EmptyId", Header("<PARAM>startid1=</PARAM>") + "</KORVALIX>", "", ""},
        IdCase{"NoCustomData", "<KORVALIX><Import></Import></KORVALIX>", "", ""},
        IdCase{
            "OnlyTheHeaderCounts",
            Header("<PARAM>startid1=1</PARAM>") +
                "<Kundendaten><PARAM>startid1=99</PARAM><I_CustomData><PARAM>startid2=98</PARAM>"
                "</I_CustomData></Kundendaten><Import><I_CustomData><PARAM>startid2=97</PARAM></I_CustomData>"
                "</Import></KORVALIX>",
            "1", ""},
        IdCase{"NestedImportIsNoHeader",
               "<KORVALIX><X><Import><I_CustomData><PARAM>startid1=5</PARAM></I_CustomData></Import></X></"
               "KORVALIX>",
               "", ""}),
    [](const auto& info) { return info.param.name; });

struct BadCase {
  std::string name;
  std::string document;
  std::string message;
};

class NotADocument : public ::testing::TestWithParam<BadCase> {};

TEST_P(NotADocument, FailsWithTheReason) {
  const kx::testsupport::ScopedEnv english("LC_ALL", "en_US.UTF-8");  // the messages follow the locale
  const kx::testsupport::TempDir dir;
  const std::string path =
      GetParam().name == "Folder" ? dir.Path().string() : dir.WriteFile("KORVALIX.XML", GetParam().document);
  try {
    kximport::ReadDocument(path);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr(GetParam().message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    ImportDocument, NotADocument,
    ::testing::Values(
        BadCase{"NotANumber", Header("<PARAM>startid1=&#abc;</PARAM>"), ":1:"},
        BadCase{"CharacterZero", Header("<PARAM>startid1=a&#0;b</PARAM>"), "reference to invalid character"},
        BadCase{"OutsideWindows1252", Header("<PARAM>startid1=&#300;</PARAM>") + "</KORVALIX>",
                "outside Windows-1252"},
        BadCase{"UnknownEntity", Header("<PARAM>startid1=&nbsp;</PARAM>"), "undefined entity"},
        BadCase{"Truncated", Header("<PARAM>startid1=1</PARAM>"), "not a well-formed import document"},
        BadCase{"Empty", "", "no element found"}, BadCase{"Folder", "", "cannot read"}),
    [](const auto& info) { return info.param.name; });

// The counts come from the elements, not from text that looks like them; a balance entry is a
// DepotTrans of mode B.
TEST(ImportDocument, CountsTheElements) {
  const kx::testsupport::TempDir dir;
  const std::string document =
      Header("") +
      "<Kundendaten><Depot><DepotWert><DepotTrans><DT_Mode>B</DT_Mode></DepotTrans><DepotTrans><DT_Mode>A"
      "</DT_Mode><SubTrans><DT_Mode>B</DT_Mode></SubTrans></DepotTrans></DepotWert>"
      "<DepotWert/></Depot></Kundendaten><Kundendaten><I_Herkunft>&lt;Depot&gt;"
      "</I_Herkunft></Kundendaten></KORVALIX>";
  const kximport::DocumentFacts facts = kximport::ReadDocument(dir.WriteFile("KORVALIX.XML", document));
  EXPECT_EQ(facts.customers, 2);
  EXPECT_EQ(facts.depots, 1);
  EXPECT_EQ(facts.positions, 2);
  EXPECT_EQ(facts.transactions, 2);
  EXPECT_EQ(facts.balances, 1);  // a SubTrans's mode is no balance entry
  EXPECT_EQ(facts.bytes, static_cast<int64_t>(document.size()));
}

// A document of 96 MiB is read in chunks: the peak of the process grows by far less than it.
TEST(ImportDocument, ReadsALargeDocumentInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer keeps freed memory, so the peak says nothing here";
#endif
  const kx::testsupport::TempDir dir;
  const std::string path = (dir.Path() / "KORVALIX.XML").string();
  const std::string transaction =
      "<DepotTrans><DT_ExtRef>123456</DT_ExtRef><DT_Mode>A</DT_Mode></DepotTrans>\r\n";
  const int64_t kTransactions = 96LL * 1024 * 1024 / static_cast<int64_t>(transaction.size());
  {
    std::ofstream out(path, std::ios::binary);
    out << Header("<PARAM>startid1=42</PARAM>") << "<Kundendaten><Depot><DepotWert>";
    for (int64_t i = 0; i < kTransactions; ++i) out << transaction;
    out << "</DepotWert></Depot></Kundendaten></KORVALIX>";
  }
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const kximport::DocumentFacts facts = kximport::ReadDocument(path);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_EQ(facts.transactions, kTransactions);
  EXPECT_EQ(facts.startId1, "42");
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "KiB more at the peak";
}

}  // namespace
