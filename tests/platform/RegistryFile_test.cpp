// The REGEDIT4 reader behind the POSIX settings store.
#include "platform/posix/RegistryFile.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "util/Error.h"

namespace kx::posix {
namespace {

using Type = RegistryFile::Type;

constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX";

// A REGEDIT4 file with one key holding the given value lines, CR LF line ends as regedit writes.
std::string OneKeyFile(std::string_view valueLines) {
  return "REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n" + std::string(valueLines) + "\r\n";
}

const RegistryFile::Value& ValueOf(const RegistryFile& file, std::string_view name) {
  const RegistryFile::Values* values = file.Key(kKey);
  if (values == nullptr) throw std::runtime_error("key missing");
  const auto it = values->find(std::string(name));
  if (it == values->end()) throw std::runtime_error("value missing: " + std::string(name));
  return it->second;
}

TEST(RegistryFile, ReadsQuotedStringValues) {
  const RegistryFile file = RegistryFile::Parse(
      OneKeyFile("\"DownloadSrvUrl\"=\"https://provider.example/modules/tavo/onlinedatatransfer.php\"\r\n"
                 "\"Timeout\"=\"300\""));
  EXPECT_EQ(ValueOf(file, "DownloadSrvUrl").type, Type::String);
  EXPECT_EQ(ValueOf(file, "DownloadSrvUrl").data,
            "https://provider.example/modules/tavo/onlinedatatransfer.php");
  EXPECT_EQ(ValueOf(file, "Timeout").data, "300");
  EXPECT_EQ(file.Key(kKey)->size(), 2u);
}

TEST(RegistryFile, EmptyQuotedStringIsAnEmptyString) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"DataDir\"=\"\""));
  EXPECT_EQ(ValueOf(file, "DataDir").type, Type::String);
  EXPECT_EQ(ValueOf(file, "DataDir").data, "");
}

TEST(RegistryFile, KeyPathComparesWithoutRegardToCase) {
  const RegistryFile file = RegistryFile::Parse(
      "REGEDIT4\n\n[hkey_local_machine\\SOFTWARE\\velqora\\tavo\\importapi\\Korvalix]\n\"Timeout\"=\"1\"\n");
  ASSERT_NE(file.Key(kKey), nullptr);
  EXPECT_EQ(ValueOf(file, "Timeout").data, "1");
}

TEST(RegistryFile, KeyPathCaseFoldingCoversWindows1252Letters) {
  const RegistryFile file =
      RegistryFile::Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\M\xDCLLER]\n\"a\"=\"1\"\n");
  EXPECT_NE(file.Key("HKEY_LOCAL_MACHINE\\software\\m\xFCller"), nullptr);
}

TEST(RegistryFile, ValueNamesCompareWithoutRegardToCase) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"downloadsrvurl\"=\"u\"\r\n\"TIMEOUT\"=\"5\""));
  EXPECT_EQ(ValueOf(file, "DownloadSrvUrl").data, "u");
  EXPECT_EQ(ValueOf(file, "Timeout").data, "5");
}

TEST(RegistryFile, KeyNotInTheFileGivesNull) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"Timeout\"=\"5\""));
  EXPECT_EQ(file.Key("HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI"), nullptr);
  EXPECT_EQ(file.Key("HKEY_CURRENT_USER\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX"), nullptr);
}

TEST(RegistryFile, BackslashAndQuoteEscapesInsideQuotes) {
  const RegistryFile file =
      RegistryFile::Parse(OneKeyFile("\"DataDir\"=\"C:\\\\Data\\\\KORVALIX\\\\\"\r\n"
                                     "\"Quoted\"=\"say \\\"hi\\\" = ok\""));
  EXPECT_EQ(ValueOf(file, "DataDir").data, "C:\\Data\\KORVALIX\\");
  EXPECT_EQ(ValueOf(file, "Quoted").data, "say \"hi\" = ok");
}

TEST(RegistryFile, EscapesAndEqualsSignInsideValueNames) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"a\\\"b=c\\\\d\"=\"v\""));
  EXPECT_EQ(ValueOf(file, "a\"b=c\\d").data, "v");
}

TEST(RegistryFile, AtSignNamesTheDefaultValue) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("@=\"default\""));
  EXPECT_EQ(ValueOf(file, "").data, "default");
}

struct TypedCase {
  const char* line;
  Type type;
  std::string data;
};

TEST(RegistryFile, TypedValuesKeepTheirTypeAndBytes) {
  const std::vector<TypedCase> cases = {
      {"\"v\"=dword:0000012c", Type::Dword, "0000012c"},
      {"\"v\"=hex:01,ff,2c", Type::Binary, std::string("\x01\xFF\x2C", 3)},
      {"\"v\"=hex:", Type::Binary, ""},
      {"\"v\"=hex(1):41,42,00", Type::String, "AB"},
      {"\"v\"=hex(2):25,54,45,4d,50,25,00", Type::ExpandString, "%TEMP%"},
      {"\"v\"=hex(4):2c,01,00,00", Type::Dword, std::string("\x2C\x01\x00\x00", 4)},
      {"\"v\"=hex(7):41,00,42,00,00", Type::Other, std::string("A\0B\0\0", 5)},
      {"\"v\"=hex(0):", Type::Other, ""},
  };
  for (const TypedCase& c : cases) {
    SCOPED_TRACE(c.line);
    const RegistryFile file = RegistryFile::Parse(OneKeyFile(c.line));
    EXPECT_EQ(ValueOf(file, "v").type, c.type);
    EXPECT_EQ(ValueOf(file, "v").data, c.data);
  }
}

TEST(RegistryFile, HexStringEndsAtItsFirstZeroByte) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"v\"=hex(2):2f,64,00,78,79,00"));
  EXPECT_EQ(ValueOf(file, "v").data, "/d");
}

TEST(RegistryFile, HexListContinuesOnTheNextLineAfterABackslash) {
  const RegistryFile file =
      RegistryFile::Parse(OneKeyFile("\"DataDir\"=hex(2):2f,76,61,72,2f,\\\r\n"
                                     "  6b,78,2f,\\\r\n"
                                     "  00\r\n"
                                     "\"Timeout\"=\"7\""));
  EXPECT_EQ(ValueOf(file, "DataDir").type, Type::ExpandString);
  EXPECT_EQ(ValueOf(file, "DataDir").data, "/var/kx/");
  EXPECT_EQ(ValueOf(file, "Timeout").data, "7");
}

TEST(RegistryFile, LfAndCrLfLineEndsReadAlike) {
  const std::string lf = "REGEDIT4\n\n[" + std::string(kKey) + "]\n\"a\"=\"1\"\n\"b\"=hex:01,\\\n  02\n";
  const std::string crlf =
      "REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n\"a\"=\"1\"\r\n\"b\"=hex:01,\\\r\n  02\r\n";
  for (const std::string& text : {lf, crlf}) {
    const RegistryFile file = RegistryFile::Parse(text);
    EXPECT_EQ(ValueOf(file, "a").data, "1");
    EXPECT_EQ(ValueOf(file, "b").data, std::string("\x01\x02", 2));
  }
}

TEST(RegistryFile, CommentsAndBlankLinesAreSkipped) {
  const RegistryFile file =
      RegistryFile::Parse("\r\n  \r\nREGEDIT4\r\n; a comment\r\n\r\n[" + std::string(kKey) +
                          "]\r\n  ; another\r\n\r\n\"a\"=\"1\"\r\n");
  EXPECT_EQ(ValueOf(file, "a").data, "1");
  EXPECT_EQ(file.Key(kKey)->size(), 1u);
}

TEST(RegistryFile, LaterLineOfTheSameValueReplacesTheEarlier) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"Timeout\"=\"1\"\r\n\"timeout\"=\"2\""));
  EXPECT_EQ(ValueOf(file, "Timeout").data, "2");
}

TEST(RegistryFile, SectionsOfTheSameKeyAreMerged) {
  const std::string key = "[" + std::string(kKey) + "]\n";
  const RegistryFile file = RegistryFile::Parse(
      "REGEDIT4\n" + key + "\"a\"=\"1\"\n[HKEY_LOCAL_MACHINE\\Other]\n\"x\"=\"y\"\n" + key + "\"b\"=\"2\"\n");
  EXPECT_EQ(ValueOf(file, "a").data, "1");
  EXPECT_EQ(ValueOf(file, "b").data, "2");
  EXPECT_EQ(file.Key("HKEY_LOCAL_MACHINE\\Other")->count("x"), 1u);
}

TEST(RegistryFile, MinusAsDataDeletesTheValue) {
  const RegistryFile file = RegistryFile::Parse(OneKeyFile("\"a\"=\"1\"\r\n\"b\"=\"2\"\r\n\"A\"=-"));
  EXPECT_EQ(file.Key(kKey)->count("a"), 0u);
  EXPECT_EQ(file.Key(kKey)->count("b"), 1u);
}

TEST(RegistryFile, ValuesUnderADeletedKeyAreIgnored) {
  const RegistryFile file = RegistryFile::Parse("REGEDIT4\n[-" + std::string(kKey) + "]\n\"a\"=\"1\"\n");
  EXPECT_EQ(file.Key(kKey), nullptr);
}

TEST(RegistryFile, TextThatIsNotARegedit4ExportRaises) {
  const std::vector<std::string> texts = {
      "",
      "\r\n\r\n",
      "Windows Registry Editor Version 5.00\r\n[" + std::string(kKey) + "]\r\n",
      "[" + std::string(kKey) + "]\r\n\"a\"=\"1\"\r\n",
      OneKeyFile("\"a\"=\"unterminated"),
      OneKeyFile("Timeout=\"300\""),
      OneKeyFile("\"a\" \"b\""),
      OneKeyFile("\"a\"=300"),
      OneKeyFile("\"a\"=hex:zz"),
      OneKeyFile("\"a\"=hex:01,-1"),
      OneKeyFile("\"a\"=hex(2:41"),
      "REGEDIT4\r\n[" + std::string(kKey) + "\r\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_THROW(RegistryFile::Parse(text), kx::Error);
  }
}

TEST(RegistryFile, ErrorMessageNamesTheLine) {
  try {
    RegistryFile::Parse("REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n\"a\"=\"1\"\r\nbroken\r\n");
    FAIL() << "no error raised";
  } catch (const kx::Error& e) {
    EXPECT_NE(std::string(e.what()).find("line 5"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace kx::posix
