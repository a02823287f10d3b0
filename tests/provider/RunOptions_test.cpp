// RunOptions: the host's Name=Value option text.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "provider/ImpApi_Korvalix_Settings.h"
#include "util/Cp1252.h"

namespace kx {
namespace {

// One option text, one key and the value it gives; the case name says the rule.
struct ValueCase {
  const char* name;
  std::string_view text;
  std::string_view key;
  std::string_view expected;
};

const ValueCase kValueCases[] = {
    {"KeyMatchesWithoutRegardToCase", "userlogin=abc", "UserLogin", "abc"},
    {"KeyMatchesWithoutRegardToCaseUpper", "USERLOGIN=abc", "UserLogin", "abc"},
    {"KeyCaseFoldingCoversWindows1252Letters", "Größe=1\nŠaš=2\nÿ=3"_cp1252, "GRÖßE"_cp1252, "1"},
    {"KeyCaseFoldingCoversWindows1252CaronLetters", "Größe=1\nŠaš=2\nÿ=3"_cp1252, "šAŠ"_cp1252, "2"},
    {"KeyCaseFoldingCoversWindows1252YDiaeresis", "Größe=1\nŠaš=2\nÿ=3"_cp1252, "Ÿ"_cp1252, "3"},
    // 0xD7 (multiplication sign) and 0xF7 (division sign) sit where a letter pair would be.
    {"SignsWithoutCaseDoNotMatchEachOther", "\xD7=1", "\xF7", ""},
    {"SharpSDoesNotMatchDoubleS", "straße=1"_cp1252, "STRASSE", ""},
    {"KeyWithBlankBeforeEqualsDoesNotMatch", "USERLOGIN = abc", "UserLogin", ""},
    {"KeyWithBlankBeforeNameDoesNotMatch", " UserLogin=abc", "UserLogin", ""},
    {"KeyWithTabBeforeNameDoesNotMatch", "\tUserLogin=abc", "UserLogin", ""},
    {"KeyIsComparedWhole", "UserLoginX=1\nUser=2\nxUserLogin=3", "UserLogin", ""},
    {"FirstLineWithTheKeyWins", "UserLogin=first\nuserlogin=second\nUSERLOGIN=third", "UserLogin", "first"},
    {"EmptyFirstValueStillWins", "Password=\nPassword=later", "Password", ""},
    {"LinesWithoutEqualsAreIgnored", "UserLogin\nUserLogin abc\nUserLogin=real", "UserLogin", "real"},
    {"ValueIsTheRestAfterTheFirstEquals", "Password=a=b==", "Password", "a=b=="},
    {"NameEndsAtTheFirstEquals", "a=b=c", "a=b", ""},
    {"ValueIsTrimmedOfBytesZeroToThirtyTwo", std::string_view("Password=\x01\t \x1Fp w\0 \x20\x0B", 20),
     "Password", "p w"},
    {"TrimmingKeepsBytesAboveThirtyTwo", "Password=\177a\240", "Password", "\177a\240"},  // octal escapes
    {"TrimmingKeepsPrintableBytes", "Password=!x!", "Password", "!x!"},
    // A CR LF must not leave the LF at the start of the next line's name.
    {"LineEndIsNotPartOfTheName", "X=1\r\nUserLogin=abc", "UserLogin", "abc"},
    {"MissingKeyGivesAnEmptyValue", "", "UserLogin", ""},
    {"OtherKeyGivesAnEmptyValue", "Password=x", "UserLogin", ""},
};

class RunOptionsValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RunOptionsValue, Is) {
  EXPECT_EQ(RunOptions(GetParam().text).Value(GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(RunOptions, RunOptionsValue, ::testing::ValuesIn(kValueCases),
                         [](const auto& info) { return std::string(info.param.name); });

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
