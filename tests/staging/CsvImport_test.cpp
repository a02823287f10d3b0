// The delimited-text importer: splitting, the checks before reading, the record cycle, the
// conversions under German and English settings, and the error log, over an in-memory table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <variant>

#include "staging/CsvImport.h"
#include "support/RunDoubles.h"
#include "support/TempDir.h"
#include "support/TestNames.h"
#include "util/Error.h"

namespace kx {
namespace {

using ::testing::ElementsAre;
using Value = std::variant<std::monostate, std::string, int64_t, double>;
const Value kNull{};

// A table in memory; a row whose KEY is already present is refused like a unique key would.
class MemoryTable final : public ImportTarget {
 public:
  explicit MemoryTable(std::vector<ImportField> fields) : fields_(std::move(fields)) {}
  const std::vector<ImportField>& Fields() const override { return fields_; }
  void BeginRow() override { pending_.assign(fields_.size(), Value{}); }
  void SetText(std::size_t f, std::string_view v) override { pending_.at(f) = std::string(v); }
  void SetInt(std::size_t f, int64_t v) override { pending_.at(f) = v; }
  void SetDouble(std::size_t f, double v) override { pending_.at(f) = v; }
  void SetNull(std::size_t f) override { pending_.at(f) = Value{}; }
  void Post() override {
    if (fields_[0].Name == "KEY" && std::holds_alternative<std::string>(pending_[0])) {
      for (const auto& row : rows) {
        if (row[0] == pending_[0]) throw Error("violation of UNIQUE KEY constraint on KEY");
      }
    }
    rows.push_back(pending_);
  }
  void Cancel() override { ++cancels; }

  std::vector<std::vector<Value>> rows;
  int cancels = 0;

 private:
  std::vector<ImportField> fields_;
  std::vector<Value> pending_;
};

using Kind = ImportField::Kind;

class CsvImportTest : public ::testing::Test {
 protected:
  CsvImportTest()
      : table({{"KEY", Kind::Text, 5},
               {"NUM", Kind::Integer, 0},
               {"SMALL", Kind::SmallInt, 0},
               {"AMOUNT", Kind::Double, 0},
               {"OTHER", Kind::Other, 0}}),
        import(table, clock) {
    clock.today = EncodeDateTime({2026, 12, 9}, {8, 5, 0, 0});  // Now() adds half a day
    import.Formats.Regional = GermanFormats();
    import.ErrorLog = false;
  }

  void Load(std::string_view content, std::vector<std::string> map = {"KEY=1", "NUM=2", "AMOUNT=3"}) {
    import.FileName = dir.WriteFile("data.csv", content);
    import.Map = std::move(map);
    import.Execute();
  }

  // The value of a field in the first row, converted to one of the variant's types.
  Value First(std::size_t field) const { return table.rows.at(0).at(field); }

  testsupport::TempDir dir;
  test::FixedClock clock;
  MemoryTable table;
  TCsvImport import;
};

// --- Splitting ----------------------------------------------------------------------------------

TEST(SplitDelimitedLine, FollowsTheQuotingRules) {
  EXPECT_THAT(SplitDelimitedLine("1;\"Meier; Hans\";\"say \"\"hi\"\"\";x\"y", ';', '"'),
              ElementsAre("1", "Meier; Hans", "say \"hi\"", "x\"y"));
  EXPECT_THAT(SplitDelimitedLine("\"abc\"def;2", ';', '"'), ElementsAre("abc", "2"));
  EXPECT_THAT(SplitDelimitedLine("a;b;", ';', '"'), ElementsAre("a", "b", ""));
  EXPECT_THAT(SplitDelimitedLine(";;", ';', '"'), ElementsAre("", "", ""));
  EXPECT_THAT(SplitDelimitedLine("", ';', '"'), ElementsAre(""));
  EXPECT_THAT(SplitDelimitedLine("\"unterminated;x", ';', '"'), ElementsAre("unterminated;x"));
}

// --- Checks before reading ----------------------------------------------------------------------

TEST_F(CsvImportTest, ChecksComeInTheirOrderWithTheirTexts) {
  auto message = [this] {
    try {
      import.Execute();
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(), "File name is not specified");
  import.FileName = dir.Path().string() + "/missing.csv";
  EXPECT_EQ(message(), "File " + import.FileName + " does not exist");
  import.FileName = dir.WriteFile("x.csv", "h\r\n1\r\n");
  import.Map = {};
  EXPECT_EQ(message(), "Map is empty");
  import.Map = {""};
  EXPECT_EQ(message(), "Column  is defined in the MAP is not found in the import destination");
  import.Map = {"KEY=1", "  ", "NUM=2"};
  EXPECT_EQ(message(), "Column    is defined in the MAP is not found in the import destination");
  import.Map = {"KEY=x", "NOPE=2"};
  EXPECT_EQ(message(), "Column NOPE is defined in the MAP is not found in the import destination");
  import.Map = {"key=x"};
  EXPECT_EQ(message(), "Missing definition of map");
  EXPECT_TRUE(table.rows.empty());
}

// --- Lines and records --------------------------------------------------------------------------

TEST_F(CsvImportTest, SkipsTheHeaderAndBlankLinesAndKnowsEveryLineEnd) {
  Load("KEY;NUM\r\n\r\na;1\n \t\rb;2\r\nc;3");
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(import.LineCount(), 6);
  EXPECT_EQ(import.ProcessedCount(), 3);
}

TEST_F(CsvImportTest, CarriageReturnsAloneBreakLinesBeforeALaterLineFeed) {
  Load("KEY;NUM\ra;1\rb;2\nc;3\r\r\nd;4");
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.rows[1][0], Value(std::string("b")));
  EXPECT_EQ(table.rows[2][1], Value(int64_t{3}));
  EXPECT_EQ(import.LineCount(), 6);
}

// A zero byte no longer ends the file (the records after it were lost, with "No error found"):
// it is trimmed at a field's edges, kept inside a text, and the log names its line.
TEST_F(CsvImportTest, ZeroByteIsAControlByteAndTheLogNamesItsLine) {
  import.ErrorLog = true;
  import.ErrorLogFileName = (dir.Path() / "tra_error.log").string();
  Load(std::string("h\r\na;1\r\n\0b;2\0\r\nd\0e;4\r\nf;5\r\n", 27), {"KEY=1", "NUM=2"});
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.rows[1][0], Value(std::string("b")));
  EXPECT_EQ(table.rows[1][1], Value(int64_t{2}));
  EXPECT_EQ(table.rows[2][0], Value(std::string("d\0e", 3)));
  EXPECT_EQ(import.LineCount(), 5);
  EXPECT_EQ(testsupport::TempDir::ReadFile(import.ErrorLogFileName),
            "09.12.2026 20:05 - Import process started\r\n\r\n"
            "09.12.2026 20:05 - line 3: zero byte\r\n"
            "09.12.2026 20:05 - line 4: zero byte\r\n"
            "09.12.2026 20:05 - Import process finished\r\n"
            "No error found\r\n\r\n");
}

TEST_F(CsvImportTest, PositionBeyondTheLastFieldGivesAnEmptyValue) {
  Load("h\r\na;1\r\n", {"KEY=1", "NUM=7"});
  EXPECT_TRUE(std::holds_alternative<std::monostate>(First(1)));
}

TEST_F(CsvImportTest, NullTextIsExactAndTrimmed) {
  Load("h\r\n Null ;Null\r\nNULL;1\r\nnull;2\r\n", {"KEY=1", "NUM=2"});
  EXPECT_TRUE(std::holds_alternative<std::monostate>(First(0)));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(First(1)));
  EXPECT_EQ(table.rows[1][0], Value(std::string("NULL")));
  EXPECT_EQ(table.rows[2][0], Value(std::string("null")));
}

// Entries are assigned in map order, so the last entry of a column decides, also when it is NULL.
TEST_F(CsvImportTest, AColumnNamedTwiceTakesItsLastEntry) {
  Load("h\r\na;1;Null;x;7\r\n",
       {"NUM=2", "NUM=3", "KEY=1", "KEY=4", "AMOUNT=2", "AMOUNT=4", "SMALL=5", "SMALL=9"});
  EXPECT_EQ(table.rows.at(0), (std::vector<Value>{std::string("x"), kNull, kNull, kNull, kNull}));
}

TEST_F(CsvImportTest, TextIsTrimmedAndCutToTheColumnLength) {
  Load("h\r\n\t  abcdefgh  ;1\r\n", {"KEY=1"});
  EXPECT_EQ(First(0), Value(std::string("abcde")));
}

TEST_F(CsvImportTest, RowFilterSeesTheMapOrderAndCanReject) {
  std::vector<ImportRow> seen;
  import.OnBeforePost = [&seen](const ImportRow& row, bool& accept) { seen.push_back(row);
  accept = row[1].second != "2";
};
int reported = 0;
import.OnImportRecord = [&reported] { ++reported;
};  // namespace
Load("h\r\na;1;x\r\nb;2;y\r\n", {"AMOUNT=3", "NUM=2", "KEY=1"});
ASSERT_EQ(seen.size(), 2u);
EXPECT_EQ(seen[0], (ImportRow{{"AMOUNT", "x"}, {"NUM", "1"}, {"KEY", "a"}}));
EXPECT_EQ(table.rows.size(), 1u);
EXPECT_EQ(import.ProcessedCount(), 2);  // the rejected record counts as processed
EXPECT_EQ(reported, 2);
}  // namespace kx

TEST_F(CsvImportTest, FailingRecordIsCancelledAndTheLoadGoesOn) {
  int reported = 0;
  import.OnImportRecord = [&reported] { ++reported;
};
Load("h\r\na;1\r\na;2\r\nb;3\r\n", {"KEY=1", "NUM=2"});
EXPECT_EQ(table.rows.size(), 2u);
EXPECT_EQ(import.ErrorCount(), 1);
EXPECT_EQ(import.ProcessedCount(), 2);
EXPECT_EQ(reported, 2);
EXPECT_EQ(table.cancels, 1);
}

TEST_F(CsvImportTest, RecordLimitStopsAfterTheFirstRecordEvenWhenItFails) {
  import.ImportRecCount = 1;
  table.rows.push_back({Value(std::string("a"))});
  Load("h\r\n\r\na;1\r\nb;2\r\n", {"KEY=1"});
  EXPECT_EQ(table.rows.size(), 1u);  // only the row that was there before
  EXPECT_EQ(import.ErrorCount(), 1);
  EXPECT_EQ(import.ProcessedCount(), 0);
}

// --- Conversions --------------------------------------------------------------------------------

struct ConversionCase {
  bool german;
  const char* text;
  std::size_t field;  // 1 integer, 2 small integer, 3 double, 4 other
  Value expected;
};

class ConversionTest : public CsvImportTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(ConversionTest, ConvertsByTheFieldType) {
  const ConversionCase& c = GetParam();
  import.Formats.Regional = c.german ? GermanFormats() : EnglishFormats();
  const std::string name = table.Fields()[c.field].Name;
  Load("h\r\n\"" + std::string(c.text) + "\"\r\n", {name + "=1"});
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(First(c.field), c.expected) << c.text;
}

// Which reading each field type gets; the number forms themselves are RegionalNumberReader's.
INSTANTIATE_TEST_SUITE_P(
    Values, ConversionTest,
    ::testing::Values(ConversionCase{true, "12,9", 1, int64_t{12}}, ConversionCase{true, "+7", 2, int64_t{7}},
                      ConversionCase{true, "true", 1, int64_t{1}},
                      ConversionCase{true, "FALSE", 2, int64_t{0}}, ConversionCase{true, "ja", 1, kNull},
                      ConversionCase{true, "", 1, kNull}, ConversionCase{true, "1234,5", 3, 1234.5},
                      ConversionCase{false, "1234.5", 3, 1234.5}, ConversionCase{true, "x", 3, kNull},
                      ConversionCase{true, "7", 4, kNull}),
    [](const auto& info) { return testsupport::CaseName(info.index, info.param.text); });

TEST_F(CsvImportTest, NumberBeyondEveryIntegerFailsTheRecord) {
  Load("h\r\n1e300\r\n", {"NUM=1"});
  EXPECT_TRUE(table.rows.empty());
  EXPECT_EQ(import.ErrorCount(), 1);
}

// --- Error log ----------------------------------------------------------------------------------

TEST_F(CsvImportTest, LogHasItsStartAndFinishLinesAndOneLinePerError) {
  import.ErrorLog = true;
  import.ErrorLogFileName = (dir.Path() / "logs" / "tra_error.log").string();
  Load("h\r\na;1\r\na;2\r\n", {"KEY=1", "NUM=2"});
  EXPECT_EQ(testsupport::TempDir::ReadFile(import.ErrorLogFileName),
            "09.12.2026 20:05 - Import process started\r\n\r\n"
            "09.12.2026 20:05 - violation of UNIQUE KEY constraint on KEY\r\n"
            "\r\n"
            "09.12.2026 20:05 - Import process finished\r\n"
            "1 error(s) found\r\n\r\n");
}

TEST_F(CsvImportTest, HeaderOnlyFileLogsNoError) {
  import.ErrorLog = true;
  import.Formats.Regional = EnglishFormats();
  import.ErrorLogFileName = (dir.Path() / "bst_error.log").string();
  Load("KEY;NUM\r\n");
  EXPECT_EQ(testsupport::TempDir::ReadFile(import.ErrorLogFileName),
            "12/9/2026 8:05 PM - Import process started\r\n\r\n"
            "12/9/2026 8:05 PM - Import process finished\r\n"
            "No error found\r\n\r\n");
  EXPECT_TRUE(table.rows.empty());
}

}  // namespace
}  // namespace kx
