// Reading numbers in the regional forms: whole numbers cut towards zero, floating-point values
// correctly rounded, the plain forms read directly with the same result as the general way.
#include "util/RegionalNumberReader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kx {
namespace {

using Outcome = RegionalNumberReader::Outcome;

struct WholeCase {
  bool german;
  const char* text;
  Outcome outcome;
  int64_t value;
};

TEST(RegionalNumberReader, WholeNumbers) {
  const WholeCase cases[] = {
      {true, "19650312", Outcome::Number, 19650312},
      {true, "12,9", Outcome::Number, 12},
      {true, "-3,7", Outcome::Number, -3},
      {true, "1.234", Outcome::Number, 1234},
      {true, "12.9", Outcome::Number, 129},
      {false, "12.9", Outcome::Number, 12},
      {false, "1,234", Outcome::Number, 1234},
      {true, "+42", Outcome::Number, 42},
      {true, "-0", Outcome::Number, 0},
      {true, "999999999999999", Outcome::Number, 999999999999999},
      // More digits than a double holds exactly: read as a double like any number.
      {true, "12345678901234567", Outcome::Number, 12345678901234568},
      {true, "99999999999999999999", Outcome::OutOfRange, 0},
      {true, "+-5", Outcome::NoNumber, 0},
      {true, "ja", Outcome::NoNumber, 0},
      {true, "", Outcome::NoNumber, 0},
  };
  for (const WholeCase& c : cases) {
    const RegionalNumberReader reader(c.german ? GermanFormats() : EnglishFormats());
    const RegionalNumberReader::Whole whole = reader.WholeNumber(c.text);
    EXPECT_EQ(whole.outcome, c.outcome) << c.text;
    EXPECT_EQ(whole.value, c.value) << c.text;
  }
}

struct DecimalCase {
  bool german;
  const char* text;
  std::optional<double> value;
};

TEST(RegionalNumberReader, Decimals) {
  const DecimalCase cases[] = {
      {true, "1234.5", 1234.5},
      {true, "1234,5", 1234.5},
      {true, "1.234,5", std::nullopt},
      {true, "-0,25", -0.25},
      {false, "1234.5", 1234.5},
      {false, "1234,5", 12345.0},
      {true, "1e3", 1000.0},
      {true, "x", std::nullopt},
      {false, "+1.5", 1.5},
      {true, "-0.1", -0.1},
      {false, "1.5.", std::nullopt},
      {false, "0.30000000000000004", 0.30000000000000004},
  };
  for (const DecimalCase& c : cases) {
    const RegionalNumberReader reader(c.german ? GermanFormats() : EnglishFormats());
    EXPECT_EQ(reader.Decimal(c.text), c.value) << c.text;
  }
}

TEST(RegionalNumberReader, PlainDecimalsAreTheCorrectlyRoundedDoubles) {
  // Up to 15 significant digits are computed directly; more go the general way. Either way the
  // value must be the one std::from_chars reads.
  std::mt19937_64 random(7);
  std::vector<std::string> texts = {"0.1",
                                    "-0.0",
                                    "0.000000000000000000001",
                                    "999999999999999.9",
                                    "123456789012345",
                                    "1.7976931348623157",
                                    "00000000000000000012.5"};
  for (int i = 0; i < 3000; ++i) {
    std::string digits = std::to_string(random() % 1000000000000000000ull).substr(0, 1 + random() % 18);
    const std::size_t point = random() % (digits.size() + 1);
    if (point < digits.size()) digits.insert(digits.size() - point, ".");
    if (digits.front() == '.') digits.insert(0, "0");
    texts.push_back((random() % 2 ? "-" : "") + digits);
  }
  const RegionalNumberReader reader(GermanFormats());
  for (const std::string& text : texts) {
    double expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    const std::optional<double> got = reader.Decimal(text);
    ASSERT_TRUE(got.has_value()) << text;
    EXPECT_EQ(std::memcmp(&*got, &expected, sizeof expected), 0)
        << text << ": " << *got << " != " << expected;
  }
}

}  // namespace
}  // namespace kx
