#include "kxprovider/ProviderData.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kx {
namespace {

TEST(ProviderData, AccountLinesSkipCommentsBlanksAndCarriageReturns) {
  const std::vector<Account> accounts =
      ParseAccounts("# test logins\r\n\r\n4711;1234\r\nno-pin-field\n9;;other,reimport-required\n");
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0].login, "4711");
  EXPECT_EQ(accounts[0].pin, "1234");
  EXPECT_FALSE(accounts[0].reimportRequired);
  EXPECT_EQ(accounts[1].login, "9");
  EXPECT_EQ(accounts[1].pin, "");
  EXPECT_TRUE(accounts[1].reimportRequired);
}

TEST(ProviderData, RequestFieldsTakeTheFirstOccurrenceAndKeepEqualsInValues) {
  const RequestFields fields = RequestFields::Parse("version=2;file=bestaende;pin=a=b;pin=other;;noequals;");
  EXPECT_EQ(fields.Get("version"), "2");
  EXPECT_EQ(fields.Get("pin"), "a=b");
  EXPECT_EQ(fields.Get("startid"), "");
  EXPECT_EQ(fields.Get("noequals"), "");
}

TEST(ProviderData, LogLinesNameEveryFieldAndEscapeControlBytes) {
  EXPECT_EQ(RequestLogLine(RequestFields::Parse(
                "version=2;file=transaktionen;loginid=4711;pin=12\n34;startid=5;startid2=6;reimport=1")),
            "login=4711 file=transaktionen startid=5 startid2=6 reimport=1 pin=12%0A34");
  EXPECT_EQ(RequestLogLine(RequestFields::Parse("version=2;file=bestaende;loginid=\xFC;pin=1;")),
            "login=\xFC file=bestaende startid= startid2= reimport= pin=1");
  EXPECT_EQ(UndecodableLogLine("abc%3D"), "undecodable params=abc%3D");
}

class ProviderDataAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.WriteFile("accounts.txt", "4711;1234\n777;99;reimport-required\n555;0\n");
    dir_.WriteFile("4711/bestandsdaten.csv", "Depot;Wert\r\n1;\xE4\r\n");
    dir_.WriteFile("4711/transaktionsdaten.csv", "Buchung\r\n");
    dir_.WriteFile("777/transaktionsdaten.csv", "T777\r\n");
  }

  std::string Answer(const std::string& text) const {
    return ProviderData(dir_.Path().string()).AnswerFor(text);
  }

  testsupport::TempDir dir_;
};

TEST_F(ProviderDataAnswers, ChecksInTheProvidersOrder) {
  const struct {
    const char* text;
    std::string_view answer;
  } cases[] = {
      {"version=2;file=bestaende;loginid=4711;pin=1234;", "Depot;Wert\r\n1;\xE4\r\n"},
      {"version=2;file=transaktionen;loginid=4711;pin=1234;startid=0;startid2=0;reimport=0", "Buchung\r\n"},
      {"version=1;file=bestaende;loginid=4711;pin=1234;", kAnswerOutdated},
      {"file=bestaende;loginid=nobody;pin=1234;", kAnswerOutdated},
      {"version=2;file=bestaende;loginid=4711;pin=4321;", kAnswerAccessDenied},
      {"version=2;file=bestaende;loginid=nobody;pin=1234;", kAnswerAccessDenied},
      {"version=2;file=kurse;loginid=4711;pin=1234;", kAnswerUnknownFile},
      {"version=2;file=bestaende;loginid=555;pin=0;", kAnswerNoData},
      {"version=2;file=bestaende;loginid=777;pin=99;", kAnswerNoData},
      {"version=2;file=transaktionen;loginid=777;pin=99;startid=4;startid2=5;reimport=0",
       kAnswerReimportRequired},
      {"version=2;file=transaktionen;loginid=777;pin=99;startid=0;startid2=0;reimport=1", "T777\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Answer(c.text), c.answer) << c.text;
  EXPECT_EQ(ProviderData(dir_.Path().string()).AnswerFor(std::nullopt), kAnswerUnreadable);
}

TEST_F(ProviderDataAnswers, FilesAndAccountsAreReadAtEachRequest) {
  const std::string holdings = "version=2;file=bestaende;loginid=4711;pin=1234;";
  dir_.WriteFile("4711/bestandsdaten.csv", "neu\r\n");
  EXPECT_EQ(Answer(holdings), "neu\r\n");
  dir_.WriteFile("accounts.txt", "4711;0000\n");
  EXPECT_EQ(Answer(holdings), kAnswerAccessDenied);
}

}  // namespace
}  // namespace kx
