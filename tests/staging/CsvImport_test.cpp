// The delimited-text importer: splitting, the checks before reading, the record cycle, the
// conversions under German and English settings, and the error log, over an in-memory table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
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

// A table in memory; a row whose KEY is already present is refused like a unique key would. A
// table that loses its connection at a row raises from then on.
class MemoryTable final : public ImportTarget {
 public:
  explicit MemoryTable(std::vector<ImportField> fields) : fields_(std::move(fields)) {}
  const std::vector<ImportField>& Fields() const override { return fields_; }
  std::vector<RowOutcome> Insert(const RowBatch& batch) override {
    ++batches;
    std::vector<RowOutcome> outcomes;
    for (std::size_t r = 0; r < batch.Rows(); ++r) {
      if (rows.size() == lostAtRow) throw Error("connection lost");
      std::vector<Value> row;
      for (std::size_t f = 0; f < fields_.size(); ++f) row.push_back(ValueOf(batch, batch.At(r, f)));
      const bool repeated =
          fields_[0].Name == "KEY" && std::holds_alternative<std::string>(row[0]) &&
          std::any_of(rows.begin(), rows.end(), [&](const auto& r0) { return r0[0] == row[0]; });
      if (repeated) {
        outcomes.push_back({false, "violation of UNIQUE KEY constraint on KEY"});
      } else {
        rows.push_back(std::move(row));
        outcomes.emplace_back();
      }
    }
    return outcomes;
  }

  std::vector<std::vector<Value>> rows;
  int batches = 0;
  std::size_t lostAtRow = SIZE_MAX;

 private:
  static Value ValueOf(const RowBatch& batch, const RowBatch::Cell& cell) {
    switch (cell.kind) {
      case RowBatch::Kind::Int:
        return cell.integer;
      case RowBatch::Kind::Double:
        return cell.real;
      case RowBatch::Kind::Text:
        return std::string(batch.Text(cell));
      case RowBatch::Kind::Null:
        break;
    }
    return kNull;
  }

  std::vector<ImportField> fields_;
};

using Kind = ImportField::Kind;

class CsvImportTest : public ::testing::Test {
 protected:
  CsvImportTest()
      : table({{"KEY", Kind::Text, 5},
               {"NUM", Kind::Integer, 0},
               {"SMALL", Kind::SmallInt, 0},
               {"AMOUNT", Kind::Double, 0},
               {"OTHER", Kind::Other, 0}}) {
    clock.today = EncodeDateTime({2026, 12, 9}, {8, 5, 0, 0});  // Now() adds half a day
    settings.Formats.Regional = GermanFormats();
    settings.ErrorLog = false;
  }

  void Load(std::string_view content, std::vector<std::string> map = {"KEY=1", "NUM=2", "AMOUNT=3"}) {
    settings.FileName = dir.WriteFile("data.csv", content);
    settings.Map = std::move(map);
    Execute();
  }
  void Execute() {
    import.emplace(table, clock, settings, events);
    import->Execute();
  }

  // The value of a field in the first row, converted to one of the variant's types.
  Value First(std::size_t field) const { return table.rows.at(0).at(field); }

  testsupport::TempDir dir;
  test::FixedClock clock;
  MemoryTable table;
  TCsvImportSettings settings;
  TCsvImport::TEvents events;
  std::optional<TCsvImport> import;
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
      Execute();
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(), "File name is not specified");
  settings.FileName = dir.Path().string() + "/missing.csv";
  EXPECT_EQ(message(), "File " + settings.FileName + " does not exist");
  settings.FileName = dir.WriteFile("x.csv", "h\r\n1\r\n");
  settings.Map = {};
  EXPECT_EQ(message(), "Map is empty");
  settings.Map = {""};
  EXPECT_EQ(message(), "Column  is defined in the MAP is not found in the import destination");
  settings.Map = {"KEY=1", "  ", "NUM=2"};
  EXPECT_EQ(message(), "Column    is defined in the MAP is not found in the import destination");
  settings.Map = {"KEY=x", "NOPE=2"};
  EXPECT_EQ(message(), "Column NOPE is defined in the MAP is not found in the import destination");
  settings.Map = {"key=x"};
  EXPECT_EQ(message(), "Missing definition of map");
  EXPECT_TRUE(table.rows.empty());
}

// --- Lines and records --------------------------------------------------------------------------

TEST_F(CsvImportTest, SkipsTheHeaderAndBlankLinesAndKnowsEveryLineEnd) {
  Load("KEY;NUM\r\n\r\na;1\n \t\rb;2\r\nc;3");
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(import->LineCount(), 6);
  EXPECT_EQ(import->ProcessedCount(), 3);
}

TEST_F(CsvImportTest, CarriageReturnsAloneBreakLinesBeforeALaterLineFeed) {
  Load("KEY;NUM\ra;1\rb;2\nc;3\r\r\nd;4");
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.rows[1][0], Value(std::string("b")));
  EXPECT_EQ(table.rows[2][1], Value(int64_t{3}));
  EXPECT_EQ(import->LineCount(), 6);
}

// A zero byte no longer ends the file (the records after it were lost, with "No error found"):
// it is trimmed at a field's edges, kept inside a text, and the log names its line and counts
// such lines in its closing line (which said "No error found" alone under them).
TEST_F(CsvImportTest, ZeroByteIsAControlByteAndTheLogNamesItsLine) {
  settings.ErrorLog = true;
  settings.ErrorLogFileName = (dir.Path() / "tra_error.log").string();
  Load(std::string("h\r\na;1\r\n\0b;2\0\r\nd\0e;4\r\nf;5\r\n", 27), {"KEY=1", "NUM=2"});
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.rows[1][0], Value(std::string("b")));
  EXPECT_EQ(table.rows[1][1], Value(int64_t{2}));
  EXPECT_EQ(table.rows[2][0], Value(std::string("d\0e", 3)));
  EXPECT_EQ(import->LineCount(), 5);
  EXPECT_EQ(testsupport::TempDir::ReadFile(settings.ErrorLogFileName),
            "09.12.2026 20:05 - Import process started\r\n\r\n"
            "09.12.2026 20:05 - line 3: zero byte\r\n"
            "09.12.2026 20:05 - line 4: zero byte\r\n"
            "09.12.2026 20:05 - Import process finished\r\n"
            "No error found, 2 line(s) with a zero byte\r\n\r\n");
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
  events.OnBeforePost = [&seen](const TCsvImport&, const ImportRow& row, bool& accept) {
    seen.push_back(row);
    accept = row[1].second != "2";
  };
  int reported = 0;
  events.OnImportRecord = [&reported](const TCsvImport&) { ++reported; };
  Load("h\r\na;1;x\r\nb;2;y\r\n", {"AMOUNT=3", "NUM=2", "KEY=1"});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (ImportRow{{"AMOUNT", "x"}, {"NUM", "1"}, {"KEY", "a"}}));
  EXPECT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(import->ProcessedCount(), 2);  // the rejected record counts as processed
  EXPECT_EQ(reported, 2);
}

TEST_F(CsvImportTest, FailingRecordIsCancelledAndTheLoadGoesOn) {
  int reported = 0;
  events.OnImportRecord = [&reported](const TCsvImport&) { ++reported; };
  Load("h\r\na;1\r\na;2\r\nb;3\r\n", {"KEY=1", "NUM=2"});
  EXPECT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(import->ErrorCount(), 1);
  EXPECT_THAT(import->ErrorLines(), ElementsAre(3));
  EXPECT_EQ(import->ProcessedCount(), 2);
  EXPECT_EQ(reported, 2);
}

TEST_F(CsvImportTest, RecordLimitStopsAfterTheFirstRecordEvenWhenItFails) {
  settings.ImportRecCount = 1;
  table.rows.push_back({Value(std::string("a"))});
  Load("h\r\n\r\na;1\r\nb;2\r\n", {"KEY=1"});
  EXPECT_EQ(table.rows.size(), 1u);  // only the row that was there before
  EXPECT_EQ(import->ErrorCount(), 1);
  EXPECT_EQ(import->ProcessedCount(), 0);
}

// A record the filter keeps out counts toward the limit as soon as it is read.
TEST_F(CsvImportTest, RecordLimitCountsARecordTheFilterKeptOut) {
  settings.ImportRecCount = 2;
  events.OnBeforePost = [](const TCsvImport&, const ImportRow& row, bool& accept) {
    accept = row[0].second != "skip";
  };
  Load("h\r\nskip;1\r\na;2\r\nb;3\r\n", {"KEY=1"});
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(First(0), Value(std::string("a")));
  EXPECT_EQ(import->ProcessedCount(), 2);
}

// --- Batches and the worker -----------------------------------------------------------------------

struct BatchingCase {
  bool worker;
  std::size_t batchRows;
};
class BatchingTest : public CsvImportTest, public ::testing::WithParamInterface<BatchingCase> {};

// However the rows travel, each record is settled in file order: the refusals logged with their
// lines, the rows in the table, every record counted before Execute returns.
TEST_P(BatchingTest, RecordsAreSettledInFileOrder) {
  settings.InsertOnWorker = GetParam().worker;
  settings.BatchRows = GetParam().batchRows;
  std::vector<int64_t> counts;
  events.OnBeforePost = [](const TCsvImport&, const ImportRow& row, bool& accept) {
    accept = row[1].second != "0";
  };
  events.OnImportRecord = [&counts](const TCsvImport& sender) { counts.push_back(sender.ProcessedCount()); };
  Load("h\r\na;1\r\nb;2\r\na;3\r\nc;0\r\nd;5\r\nb;6\r\ne;7\r\n", {"KEY=1", "NUM=2"});
  std::string keys;
  for (const auto& row : table.rows) keys += std::get<std::string>(row[0]);
  EXPECT_EQ(keys, "abde");
  EXPECT_THAT(import->ErrorLines(), ElementsAre(4, 7));
  EXPECT_THAT(counts, ElementsAre(1, 2, 3, 4, 5));
}

INSTANTIATE_TEST_SUITE_P(Ways, BatchingTest,
                         ::testing::Values(BatchingCase{false, 1}, BatchingCase{false, 3},
                                           BatchingCase{true, 1}, BatchingCase{true, 2},
                                           BatchingCase{true, 500}),
                         [](const auto& info) {
                           return std::string(info.param.worker ? "Worker" : "AtOnce") +
                                  std::to_string(info.param.batchRows);
                         });

// What ends the whole load (a lost connection) leaves Execute after the batches settled before it,
// also when the worker met it while the importer was reading on.
TEST_F(CsvImportTest, ALostConnectionEndsTheLoad) {
  for (const bool worker : {false, true}) {
    table.rows.clear();
    table.lostAtRow = 3;
    settings.InsertOnWorker = worker;
    settings.BatchRows = 2;
    std::string content = "h\r\n";
    for (int i = 0; i < 40; ++i) content += std::to_string(i) + ";1\r\n";
    EXPECT_THROW(Load(content, {"KEY=1", "NUM=2"}), Error) << worker;
    EXPECT_EQ(import->ProcessedCount(), 2) << worker;
  }
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
  settings.Formats.Regional = c.german ? GermanFormats() : EnglishFormats();
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
  EXPECT_EQ(import->ErrorCount(), 1);
}

// --- Error log ----------------------------------------------------------------------------------

TEST_F(CsvImportTest, LogHasItsStartAndFinishLinesAndOneLinePerError) {
  settings.ErrorLog = true;
  settings.ErrorLogFileName = (dir.Path() / "logs" / "tra_error.log").string();
  Load("h\r\na;1\r\na;2\r\n", {"KEY=1", "NUM=2"});
  EXPECT_EQ(testsupport::TempDir::ReadFile(settings.ErrorLogFileName),
            "09.12.2026 20:05 - Import process started\r\n\r\n"
            "09.12.2026 20:05 - violation of UNIQUE KEY constraint on KEY\r\n"
            "\r\n"
            "09.12.2026 20:05 - Import process finished\r\n"
            "1 error(s) found\r\n\r\n");
}

TEST_F(CsvImportTest, HeaderOnlyFileLogsNoError) {
  settings.ErrorLog = true;
  settings.Formats.Regional = EnglishFormats();
  settings.ErrorLogFileName = (dir.Path() / "bst_error.log").string();
  Load("KEY;NUM\r\n");
  EXPECT_EQ(testsupport::TempDir::ReadFile(settings.ErrorLogFileName),
            "12/9/2026 8:05 PM - Import process started\r\n\r\n"
            "12/9/2026 8:05 PM - Import process finished\r\n"
            "No error found\r\n\r\n");
  EXPECT_TRUE(table.rows.empty());
}

}  // namespace
}  // namespace kx
