// Windows-1252 helpers: case folding without a locale, search, trimming, UTF-8 at the edge and
// the compile-time literal.
#include "util/Cp1252.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kx {
namespace {

struct CasePair {
  unsigned char upper;
  unsigned char lower;
};

const std::vector<CasePair>& CasePairs() {
  static const std::vector<CasePair> pairs = {
      {'A', 'a'},   {'Z', 'z'},   {0xC0, 0xE0}, {0xC4, 0xE4}, {0xD6, 0xF6}, {0xD8, 0xF8},
      {0xDC, 0xFC}, {0xDE, 0xFE}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF},
  };
  return pairs;
}

char Byte(unsigned char b) { return static_cast<char>(b); }

TEST(Cp1252Case, LettersMapToTheirPartner) {
  for (const CasePair& p : CasePairs()) {
    SCOPED_TRACE(static_cast<int>(p.upper));
    EXPECT_EQ(ToLower1252(Byte(p.upper)), Byte(p.lower));
    EXPECT_EQ(ToUpper1252(Byte(p.lower)), Byte(p.upper));
    EXPECT_EQ(ToUpper1252(Byte(p.upper)), Byte(p.upper));
    EXPECT_EQ(ToLower1252(Byte(p.lower)), Byte(p.lower));
  }
}

TEST(Cp1252Case, BytesWithoutAPartnerStayUnchanged) {
  // sharp s, multiplication and division signs, micro sign, ordinal indicators, euro, digits, signs
  for (int b : {0xDF, 0xD7, 0xF7, 0xB5, 0xAA, 0xBA, 0x80, 0x83, 0xA0, int{'1'}, int{'@'}, int{'['}, int{'`'},
                int{'{'}, 0}) {
    SCOPED_TRACE(b);
    const char c = static_cast<char>(b);
    EXPECT_EQ(ToUpper1252(c), c);
    EXPECT_EQ(ToLower1252(c), c);
  }
}

TEST(Cp1252Case, FoldingIsConsistentForEveryByte) {
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    ASSERT_EQ(ToLower1252(ToUpper1252(c)), ToLower1252(c)) << i;
    ASSERT_EQ(ToUpper1252(ToLower1252(c)), ToUpper1252(c)) << i;
  }
}

// Texts below are written as UTF-8 source and taken as Windows-1252 bytes by the literal, which
// Cp1252Literal checks on its own.
TEST(Cp1252Case, StringsAreFoldedBytewise) {
  EXPECT_EQ(ToLower1252("ÜBER Straße Š"_cp1252), "über straße š"_cp1252);
  EXPECT_EQ(ToUpper1252("über straße ÿ"_cp1252), "ÜBER STRAßE Ÿ"_cp1252);
}

TEST(Cp1252Case, EqualsIgnoreCaseComparesWholeTexts) {
  EXPECT_TRUE(EqualsIgnoreCase1252("Übersicht"_cp1252, "üBERSICHT"_cp1252));
  EXPECT_TRUE(EqualsIgnoreCase1252("", ""));
  EXPECT_FALSE(EqualsIgnoreCase1252("abc", "abcd"));
  EXPECT_FALSE(EqualsIgnoreCase1252("\xD7", "\xF7"));
  EXPECT_FALSE(EqualsIgnoreCase1252("straße"_cp1252, "STRASSE"));
}

TEST(FindIgnoreCase1252, FindsTheFirstOccurrence) {
  EXPECT_EQ(FindIgnoreCase1252("C:\\Out\\XML_TEMP\\xml_temp\\", "xml_temp"), 7u);
  EXPECT_EQ(FindIgnoreCase1252("/data/Übung/"_cp1252, "üBUNG"_cp1252), 6u);
  EXPECT_EQ(FindIgnoreCase1252("abc", "abc"), 0u);
  EXPECT_EQ(FindIgnoreCase1252("xxabc", "ABC"), 2u);
}

TEST(FindIgnoreCase1252, MissingOrLongerNeedleIsNotFound) {
  EXPECT_EQ(FindIgnoreCase1252("C:\\Out\\xml\\", "xml_temp"), std::string_view::npos);
  EXPECT_EQ(FindIgnoreCase1252("ab", "abc"), std::string_view::npos);
  EXPECT_EQ(FindIgnoreCase1252("", "a"), std::string_view::npos);
}

TEST(FindIgnoreCase1252, EmptyNeedleIsFoundAtTheStartAsWithStdFind) {
  EXPECT_EQ(FindIgnoreCase1252("abc", ""), 0u);
  EXPECT_EQ(FindIgnoreCase1252("", ""), 0u);
}

TEST(TrimControl, RemovesBytesZeroToThirtyTwoAtBothEnds) {
  EXPECT_EQ(TrimControl(std::string_view("\0\x01\t\r\n abc def \x1F\x20\0", 16)), "abc def");
}

TEST(TrimControl, KeepsBytesAboveThirtyTwo) {
  EXPECT_EQ(TrimControl("!x!"), "!x!");
  EXPECT_EQ(TrimControl("\177a\240"), "\177a\240");  // octal: a hex escape would swallow the letter
}

TEST(TrimControl, TextOfOnlyControlBytesBecomesEmpty) {
  EXPECT_EQ(TrimControl(std::string_view("\0 \t\r\n", 5)), "");
  EXPECT_EQ(TrimControl(""), "");
}

struct Utf8Case {
  std::string cp1252;
  std::string utf8;
};

const std::vector<Utf8Case>& Utf8Cases() {
  static const std::vector<Utf8Case> cases = {
      {"plain ASCII", "plain ASCII"},
      {"\x80", "\xE2\x82\xAC"},                                  // euro sign
      {"\xFC", "\xC3\xBC"},                                      // u umlaut
      {"\xDF", "\xC3\x9F"},                                      // sharp s
      {"\x8A", "\xC5\xA0"},                                      // S caron
      {"\x9F", "\xC5\xB8"},                                      // Y diaeresis
      {"\x84\x93\x94", "\xE2\x80\x9E\xE2\x80\x9C\xE2\x80\x9D"},  // German quotes
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
  };
  return cases;
}

TEST(Cp1252ToUtf8, ConvertsEveryKindOfByte) {
  for (const Utf8Case& c : Utf8Cases()) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
  }
}

TEST(Cp1252ToUtf8, UndefinedByteKeepsItsControlCodePoint) { EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81"); }

TEST(Utf8ToCp1252, ConvertsEveryKindOfCharacter) {
  for (const Utf8Case& c : Utf8Cases()) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252);
  }
}

TEST(Utf8ToCp1252, CharactersWithoutAWindows1252FormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a日b"), "a?b");  // a CJK character
  EXPECT_EQ(Utf8ToCp1252("a😀b"), "a?b");   // a four-byte character
  EXPECT_EQ(Utf8ToCp1252("Ā"), "?");       // A macron
}

TEST(Utf8ToCp1252, StrayAndTruncatedBytesBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\374b"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("ab\xC3"), "ab?");
}

TEST(Utf8ToCp1252, LeadByteWithoutContinuationDoesNotSwallowTheNextCharacter) {
  EXPECT_EQ(Utf8ToCp1252("a\303b"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("\342\202A"), "?A");
}

TEST(Utf8ToCp1252, ReversesCp1252ToUtf8ForEveryByte) {
  for (int i = 0; i < 256; ++i) {  // the five bytes without a character come back as themselves
    const std::string byte(1, static_cast<char>(i));
    ASSERT_EQ(Utf8ToCp1252(Cp1252ToUtf8(byte)), byte) << i;
  }
}

// The literal works at compile time: these would not compile with a wrong conversion.
static_assert("verf\u00FCgbar"_cp1252 == std::string_view("verf\xFC"
                                                          "gbar"));
static_assert("\u20AC"_cp1252 == std::string_view("\x80"));

TEST(Cp1252Literal, ConvertsUtf8SourceTextToWindows1252Bytes) {
  EXPECT_EQ("Internet-Fehler: Datei unvollständig übertragen"_cp1252,
            "Internet-Fehler: Datei unvollst\xE4"
            "ndig \xFC"
            "bertragen");
  EXPECT_EQ("Öffnen"_cp1252,
            "\xD6"
            "ffnen");
  EXPECT_EQ("€ „x“ Ÿ ß"_cp1252, "\x80 \x84x\x93 \x9F \xDF");
  EXPECT_EQ("plain"_cp1252, "plain");
  EXPECT_EQ(""_cp1252, "");
  EXPECT_EQ("h\u00F6chstens"_cp1252.size(), 9u);
}

}  // namespace
}  // namespace kx
