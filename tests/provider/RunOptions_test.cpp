// RunOptions: the host's Name=Value option text.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "provider/ImpApi_Korvalix_Settings.h"

namespace kx {
namespace {

TEST(RunOptions, KeyMatchesWithoutRegardToCase) {
  const RunOptions options("userlogin=abc");
  EXPECT_EQ(options.Value("UserLogin"), "abc");
  EXPECT_EQ(RunOptions("USERLOGIN=abc").Value("UserLogin"), "abc");
}

TEST(RunOptions, KeyCaseFoldingCoversWindows1252Letters) {
  // "Größe" against "GRÖßE", "Šaš" against "šAŠ", "ÿ" against "Ÿ"
  const RunOptions options(
      "Gr\xF6\xDF"
      "e=1\n\x8A"
      "a\x9A=2\n\xFF=3");
  EXPECT_EQ(options.Value("GR\xD6\xDF"
                          "E"),
            "1");
  EXPECT_EQ(options.Value("\x9A"
                          "A\x8A"),
            "2");
  EXPECT_EQ(options.Value("\x9F"), "3");
}

TEST(RunOptions, SignsWithoutCaseDoNotMatchEachOther) {
  // 0xD7 (multiplication sign) and 0xF7 (division sign) sit where a letter pair would be.
  EXPECT_EQ(RunOptions("\xD7=1").Value("\xF7"), "");
  EXPECT_EQ(RunOptions("stra\xDF"
                       "e=1")
                .Value("STRASSE"),
            "");
}

TEST(RunOptions, KeyWithBlankBeforeEqualsDoesNotMatch) {
  EXPECT_EQ(RunOptions("USERLOGIN = abc").Value("UserLogin"), "");
}

TEST(RunOptions, KeyWithBlankBeforeNameDoesNotMatch) {
  EXPECT_EQ(RunOptions(" UserLogin=abc").Value("UserLogin"), "");
  EXPECT_EQ(RunOptions("\tUserLogin=abc").Value("UserLogin"), "");
}

TEST(RunOptions, KeyIsComparedWhole) {
  const RunOptions options("UserLoginX=1\nUser=2\nxUserLogin=3");
  EXPECT_EQ(options.Value("UserLogin"), "");
}

TEST(RunOptions, FirstLineWithTheKeyWins) {
  const RunOptions options("UserLogin=first\nuserlogin=second\nUSERLOGIN=third");
  EXPECT_EQ(options.Value("UserLogin"), "first");
}

TEST(RunOptions, EmptyFirstValueStillWins) {
  EXPECT_EQ(RunOptions("Password=\nPassword=later").Value("Password"), "");
}

TEST(RunOptions, LinesWithoutEqualsAreIgnored) {
  const RunOptions options("UserLogin\nUserLogin abc\nUserLogin=real");
  EXPECT_EQ(options.Value("UserLogin"), "real");
}

TEST(RunOptions, ValueIsTheRestAfterTheFirstEquals) {
  EXPECT_EQ(RunOptions("Password=a=b==").Value("Password"), "a=b==");
}

TEST(RunOptions, NameEndsAtTheFirstEquals) { EXPECT_EQ(RunOptions("a=b=c").Value("a=b"), ""); }

TEST(RunOptions, ValueIsTrimmedOfBytesZeroToThirtyTwo) {
  const std::string text = std::string("Password=\x01\t \x1F", 13) + "p w" + std::string("\x00 \x20\x0B", 4);
  EXPECT_EQ(RunOptions(text).Value("Password"), "p w");
}

TEST(RunOptions, TrimmingKeepsBytesAboveThirtyTwo) {
  EXPECT_EQ(RunOptions("Password=\x7F"
                       "a\xA0")
                .Value("Password"),
            "\x7F"
            "a\xA0");
  EXPECT_EQ(RunOptions("Password=!x!").Value("Password"), "!x!");
}

TEST(RunOptions, CrAndLfAndCrLfEachEndALine) {
  for (const char* text :
       {"A=1\rB=2\rC=3", "A=1\nB=2\nC=3", "A=1\r\nB=2\r\nC=3", "A=1\n\rB=2\r\n\r\nC=3\r\n"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    const RunOptions options(text);
    EXPECT_EQ(options.Value("A"), "1");
    EXPECT_EQ(options.Value("B"), "2");
    EXPECT_EQ(options.Value("C"), "3");
  }
}

TEST(RunOptions, LineEndIsNotPartOfTheName) {
  // A CR LF must not leave the LF at the start of the next line's name.
  EXPECT_EQ(RunOptions("X=1\r\nUserLogin=abc").Value("UserLogin"), "abc");
}

TEST(RunOptions, MissingKeyGivesAnEmptyValue) {
  EXPECT_EQ(RunOptions("").Value("UserLogin"), "");
  EXPECT_EQ(RunOptions("Password=x").Value("UserLogin"), "");
}

struct SwitchCase {
  const char* line;
  bool expected;
};

TEST(RunOptions, SwitchIsTrueExactlyForTrimmedUpperCasedTrue) {
  const std::vector<SwitchCase> cases = {
      {"NoMessageBoxes=true", true},   {"NoMessageBoxes= TRUE", true},  {"NoMessageBoxes=True\t", true},
      {"nomessageboxes=tRuE", true},   {"NoMessageBoxes=1", false},     {"NoMessageBoxes=yes", false},
      {"NoMessageBoxes=", false},      {"NoMessageBoxes=TRUEX", false}, {"NoMessageBoxes=T RUE", false},
      {"NoMessageBoxes=false", false}, {"NoMessageBoxes", false},       {"", false},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(RunOptions(c.line).Switch("NoMessageBoxes"), c.expected);
  }
}

TEST(RunOptions, StartIdIsZeroForAnEmptyValue) {
  EXPECT_EQ(RunOptions("").StartId("startid1"), "0");
  EXPECT_EQ(RunOptions("startid1=").StartId("startid1"), "0");
  EXPECT_EQ(RunOptions("startid1=  \t").StartId("startid1"), "0");
}

TEST(RunOptions, StartIdIsUsedUncheckedOtherwise) {
  const RunOptions options("STARTID1= 4711 \nstartid2=abc-1");
  EXPECT_EQ(options.StartId("startid1"), "4711");
  EXPECT_EQ(options.StartId("startid2"), "abc-1");
}

TEST(RunOptions, TypicalHostOptionTextGivesAllValues) {
  const RunOptions options(
      "EmbeddedIBServer=TRUE\r\nNoMessageBoxes=false\r\nUserLogin=  berater7 \r\nPassword=geheim\r\n"
      "startid1=100\r\nstartid2=200\r\n");
  EXPECT_TRUE(options.Switch("EmbeddedIBServer"));
  EXPECT_FALSE(options.Switch("NoMessageBoxes"));
  EXPECT_EQ(options.Value("UserLogin"), "berater7");
  EXPECT_EQ(options.Value("Password"), "geheim");
  EXPECT_EQ(options.StartId("startid1"), "100");
  EXPECT_EQ(options.StartId("startid2"), "200");
}

}  // namespace
}  // namespace kx
