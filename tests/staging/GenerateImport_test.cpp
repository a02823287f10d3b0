// GenerateImport's load of the provider files into real embedded staging databases: row counts and
// contents, filters, start ids, progress, error logs, and what a failure leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/Statement.h"
#include "kxgen/ProviderData.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "support/DbTestSupport.h"
#include "support/RunDoubles.h"
#include "util/Cp1252.h"
#include "util/Error.h"

namespace kx::test {
namespace {

using dbtest::Via;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class GermanRegional final : public RegionalSettings {
 public:
  FormatSettings Formats() override { return formats; }
  std::string LowerCase(std::string_view text) override { return ToLower1252(text); }
  FormatSettings formats = GermanFormats();
};

// Writes generated provider files into a data directory.
class FileWriter final : public gen::Writer {
 public:
  explicit FileWriter(const std::filesystem::path& dir)
      : holdings_(dir / "bestandsdaten.csv", std::ios::binary),
        transactions_(dir / "transaktionsdaten.csv", std::ios::binary) {}
  void Holdings(std::string_view line) override { holdings_ << line; }
  void Transactions(std::string_view line) override { transactions_ << line; }

 private:
  std::ofstream holdings_;
  std::ofstream transactions_;
};

constexpr const char* kHoldingsHeader = "VERBERNR;VERNR;...\r\n";
constexpr const char* kTransactionsHeader = "TRAID;VERBERNR;...\r\n";

// A holdings record with the given customer, depot and ISIN; every other field empty.
std::string Holding(int customer, std::string_view depot, std::string_view isin,
                    std::string_view surname = "Meier") {
  std::vector<std::string> f(50);
  f[0] = "1";
  f[3] = std::string(depot);
  f[5] = std::to_string(customer);
  f[9] = std::string(surname);
  f[36] = std::string(isin);
  f[49] = "1";
  std::string line;
  for (std::size_t i = 0; i < f.size(); ++i) line += (i ? ";" : "") + f[i];
  return line + "\r\n";
}

// A transactions record with its id, depot, type code and ISIN, and the start ids.
std::string Transaction(std::string_view id, std::string_view depot, std::string_view typeCode,
                        std::string_view isin, std::string_view startIds = "4711;0815") {
  std::vector<std::string> f(22);
  f[0] = std::string(id);
  f[4] = std::string(depot);
  f[5] = std::string(typeCode);
  f[7] = "20240105";
  f[18] = std::string(isin);
  std::string line;
  for (std::size_t i = 0; i < f.size(); ++i) line += (i ? ";" : "") + f[i];
  return line + ";" + std::string(startIds) + "\r\n";
}

class GenerateImportTest : public ::testing::TestWithParam<Via> {
 protected:
  void SetUp() override {
    try {
      database_.emplace(GetParam());
    } catch (const std::exception& error) {
      FAIL() << error.what();
    }
    {
      db::Connection connection(dbtest::Client(), database_->Name());
      dbtest::ApplyStagingSchema(connection);
    }
    for (const char* map : {"BESTAND.txt", "TRANSAKT.txt", "DBSTARTIDS.txt"}) {
      std::filesystem::copy_file(std::filesystem::path(KX_INSTALL_DIR) / map, data_.Path() / map);
    }
    std::filesystem::create_directories(output_.Path());
  }

  int32_t Generate(double lastImport = 0) {
    GenerateImportArgs args;
    args.DataDir = data_.Path().string() + "/";
    args.ImportDb = database_->Name();
    args.ImportDate = EncodeDate(2026, 12, 9);
    args.LastImport = lastImport;
    args.OutputDir = output_.Path().string();
    args.AdvisorRef = " BR-1 ";
    TXML_Gen container({progress_, clock_, regional_, ui_});
    return container.GenerateImport(args);
  }

  void WriteFiles(const std::string& holdings, const std::string& transactions) {
    data_.WriteFile("bestandsdaten.csv", holdings);
    data_.WriteFile("transaktionsdaten.csv", transactions);
  }

  int64_t Count(std::string_view table) const {
    db::Connection connection(dbtest::Client(), database_->Name());
    db::Transaction transaction(connection);
    transaction.Start();
    db::Statement count(transaction, "select count(*) from " + std::string(table));
    count.Open();
    count.Fetch();
    return count.CurrentRow().AsInt(0);
  }

  std::vector<std::string> Column(std::string_view sql) const {
    db::Connection connection(dbtest::Client(), database_->Name());
    db::Transaction transaction(connection);
    transaction.Start();
    db::Statement query(transaction, sql);
    query.Open();
    std::vector<std::string> rows;  // the columns of a row joined by "|"
    while (query.Fetch()) {
      std::string row;
      for (int i = 0; i < query.CurrentRow().ColumnCount(); ++i)
        row += (i ? "|" : "") + query.CurrentRow().AsText(i);
      rows.push_back(row);
    }
    return rows;
  }

  std::string Log(std::string_view name) const { return testsupport::TempDir::ReadFile(data_.Path() / name); }

  // The position values sent while the holdings file was loaded.
  std::vector<int32_t> HoldingsProgress() const {
    std::vector<int32_t> values;
    bool inside = false;
    for (const Message& m : progress_.messages) {
      if (m.kind == 1) {
        inside = m.text.find("bestandsdaten.csv") != std::string::npos;
      } else if (inside && m.kind == 2) {
        values.push_back(m.value);
      }
    }
    return values;
  }

  std::optional<dbtest::TestDatabase> database_;
  testsupport::TempDir data_;
  testsupport::TempDir output_;
  EventLog events_;
  RecordingProgress progress_{events_};
  FixedClock clock_;
  GermanRegional regional_;
  FakeUi ui_{events_};
};

TEST_P(GenerateImportTest, LoadsExactlyTheGeneratedRows) {
  gen::Sizes sizes;
  sizes.customers = 12;
  sizes.startIds = std::make_pair(std::string("7001"), std::string("42"));
  gen::Counts counts;
  {
    FileWriter writer(data_.Path());
    counts = gen::Generate(sizes, 7, writer);
  }
  EXPECT_EQ(Generate(), 0);
  EXPECT_EQ(Count("BESTAENDE"), static_cast<int64_t>(counts.holdingsRows));
  EXPECT_EQ(Count("TRANSAKTIONEN"), static_cast<int64_t>(counts.acceptedTransactionRows));
  EXPECT_THAT(Column("select STARTID1, STARTID2 from DBSTARTIDS"), ElementsAre("7001|42"));
  EXPECT_THAT(Column("select RECORDID from DBSTARTIDS"), ElementsAre("1"));
  for (const char* log : {"bst_error.log", "tra_error.log", "ids_error.log"}) {
    EXPECT_THAT(Log(log), HasSubstr("No error found")) << log;
  }
  EXPECT_TRUE(std::filesystem::exists(output_.Path() / "KORVALIX.XML"));
}

// Every row holds its own record: what the next record leaves "Null" or empty is not the previous
// row's value there, and "Null" is never stored as text.
TEST_P(GenerateImportTest, EachRowHoldsOnlyItsOwnRecordsValues) {
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1", "Meier") + Holding(2, "D2", "", "Null"),
             kTransactionsHeader);
  Generate(1);
  EXPECT_THAT(Column("select INHKDNR1, coalesce(INHNACHNAME1, '<null>'), coalesce(FONISIN, '<null>'), "
                     "coalesce(INHGEBTAG1, -1) from BESTAENDE order by INHKDNR1"),
              ElementsAre("1|Meier|DE1|-1", "2|<null>||-1"));
}

TEST_P(GenerateImportTest, ReportsTheLoadsAndTheirProgress) {
  std::string holdings = kHoldingsHeader;
  for (int i = 1; i <= 99; ++i)
    holdings += Holding(i, "D" + std::to_string(i), "DE000000000" + std::to_string(i % 10));
  WriteFiles(holdings, kTransactionsHeader);
  Generate(1);
  const std::string dir = data_.Path().string() + "/";
  EXPECT_EQ(progress_.messages.at(0), (Message{3, 0, "ImportDB = " + database_->Name()}));
  EXPECT_EQ(progress_.messages.at(1), (Message{1, 10, "Import " + dir + "bestandsdaten.csv"}));
  EXPECT_THAT(HoldingsProgress(), ElementsAre(13, 16, 19, 22, 25, 28, 31, 34, 37));
}

TEST_P(GenerateImportTest, KeepsOnlyTransactionTypeCodesOneToEight) {
  std::string transactions = kTransactionsHeader;
  int id = 0;
  for (const char* code : {"1", "8", "0", "9", "x", "", "-1"})
    transactions += Transaction("T" + std::to_string(++id), "D1", code, "DE1");
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1"), transactions);
  Generate(1);
  EXPECT_THAT(Column("select TRATYPKZ from TRANSAKTIONEN order by TRAID"), ElementsAre("1", "8"));
  EXPECT_THAT(Log("tra_error.log"), HasSubstr("No error found"));
}

TEST_P(GenerateImportTest, StartIdsComeFromTheFirstRecordWhateverItsType) {
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1"),
             std::string(kTransactionsHeader) + "\r\n" + Transaction("T1", "D1", "9", "DE1", "11;22") +
                 Transaction("T2", "D1", "1", "DE1", "33;44"));
  Generate(1);
  EXPECT_THAT(Column("select STARTID1, STARTID2 from DBSTARTIDS"), ElementsAre("11|22"));
}

TEST_P(GenerateImportTest, HeaderOnlyTransactionsLeaveNoStartIds) {
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1"), kTransactionsHeader);
  Generate(1);
  EXPECT_EQ(Count("TRANSAKTIONEN"), 0);
  EXPECT_EQ(Count("DBSTARTIDS"), 0);
  EXPECT_THAT(Log("ids_error.log"), HasSubstr("No error found"));
}

TEST_P(GenerateImportTest, SecondRunLeavesNoRowsOfTheFirst) {
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1") + Holding(2, "D2", "DE2"),
             std::string(kTransactionsHeader) + Transaction("T1", "D1", "1", "DE1"));
  Generate(1);
  WriteFiles(std::string(kHoldingsHeader) + Holding(3, "D3", "DE3"),
             std::string(kTransactionsHeader) + Transaction("T9", "D3", "3", "DE3", "5;6"));
  Generate(1);
  EXPECT_THAT(Column("select INHKDNR1 from BESTAENDE"), ElementsAre("3"));
  EXPECT_THAT(Column("select TRAID from TRANSAKTIONEN"), ElementsAre("T9"));
  EXPECT_THAT(Column("select STARTID1 from DBSTARTIDS"), ElementsAre("5"));
}

TEST_P(GenerateImportTest, MissingHoldingsMapFailsAfterTheEmptyingWasCommitted) {
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1"),
             std::string(kTransactionsHeader) + Transaction("T1", "D1", "1", "DE1"));
  Generate(1);
  std::filesystem::remove(data_.Path() / "BESTAND.txt");
  EXPECT_THROW(Generate(1), FileError);
  EXPECT_EQ(Count("BESTAENDE"), 0);
  EXPECT_EQ(Count("TRANSAKTIONEN"), 0);
  EXPECT_EQ(Count("DBSTARTIDS"), 0);
}

TEST_P(GenerateImportTest, RepeatedTransactionFailsThatRecordOnlyAndIsLogged) {
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE1"),
             std::string(kTransactionsHeader) + Transaction("T1", "D1", "1", "DE1") +
                 Transaction("T1", "D1", "3", "DE1") + Transaction("T2", "D1", "3", "DE1"));
  Generate(1);
  EXPECT_THAT(Column("select TRAID, TRATYPKZ from TRANSAKTIONEN order by TRAID"),
              ElementsAre("T1|1", "T2|3"));
  const std::string log = Log("tra_error.log");
  EXPECT_THAT(log, HasSubstr("UQ_TRANSAKTIONEN_TRAID"));
  EXPECT_THAT(log, HasSubstr("1 error(s) found"));
  EXPECT_TRUE(dbtest::LineBreaksAreCrLf(log)) << log;
}

TEST_P(GenerateImportTest, TextLongerThanItsColumnIsCut) {
  const std::string surname(70, 'M');
  WriteFiles(std::string(kHoldingsHeader) + Holding(1, "D1", "DE0001234567890123456", surname),
             kTransactionsHeader);
  Generate(0);
  EXPECT_THAT(Column("select INHNACHNAME1 from BESTAENDE"), ElementsAre(std::string(60, 'M')));
  EXPECT_THAT(Column("select FONISIN from BESTAENDE"), ElementsAre("DE000123456789012345"));
}

TEST_P(GenerateImportTest, ValuesConvertUnderTheRegionalSettings) {
  std::vector<std::string> f(50);
  f[1] = "12,9";      // VERNR, integer
  f[5] = "1.234";     // INHKDNR1, integer: "." groups thousands
  f[38] = "1234.5";   // FONRUECKPREIS, double
  f[41] = "1.234,5";  // DEVKURS, double: does not read
  f[43] = " Null ";   // BESTSTK
  f[49] = "true";     // HAS_TRANS, small integer
  std::string line;
  for (std::size_t i = 0; i < f.size(); ++i) line += (i ? ";" : "") + f[i];
  WriteFiles(std::string(kHoldingsHeader) + line + "\r\n", kTransactionsHeader);
  Generate(1);
  EXPECT_THAT(Column("select VERNR, INHKDNR1, FONRUECKPREIS, HAS_TRANS from BESTAENDE"),
              ElementsAre("12|1234|1234.5|1"));
  EXPECT_THAT(Column("select count(*) from BESTAENDE where DEVKURS is null and BESTSTK is null"),
              ElementsAre("1"));
}

TEST_P(GenerateImportTest, UnreachableDatabaseRaisesTheClientsError) {
  WriteFiles(kHoldingsHeader, kTransactionsHeader);
  GenerateImportArgs args;
  args.DataDir = data_.Path().string() + "/";
  args.ImportDb = data_.Path().string() + "/missing.fdb";
  args.OutputDir = output_.Path().string();
  TXML_Gen container({progress_, clock_, regional_, ui_});
  EXPECT_THROW(container.GenerateImport(args), Error);
  EXPECT_FALSE(std::filesystem::exists(output_.Path() / "KORVALIX.XML"));
}

INSTANTIATE_TEST_SUITE_P(Embedded, GenerateImportTest, ::testing::Values(Via::Embedded));

// --- The database name ---------------------------------------------------------------------------

TEST(StagingDatabaseName, EmptySettingMeansTheLocalServersFileInTheDataDirectory) {
  EXPECT_EQ(TXML_Gen::DatabaseName("", "/data/KORVALIX/"), "localhost:/data/KORVALIX/KXDB.IDB");
}

TEST(StagingDatabaseName, OnlyTheFirstPlaceholderStandsForTheDataDirectory) {
  EXPECT_EQ(TXML_Gen::DatabaseName("server1:./KXDB.IDB", "/data/KORVALIX/"),
            "server1:/data/KORVALIX/KXDB.IDB");
  EXPECT_EQ(TXML_Gen::DatabaseName("./a/./b.idb", "/d/"), "/d/a/./b.idb");
  EXPECT_EQ(TXML_Gen::DatabaseName("/abs/KXDB.IDB", "/d/"), "/abs/KXDB.IDB");
}

}  // namespace
}  // namespace kx::test
