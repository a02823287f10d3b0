// Rows sent in EXECUTE BLOCKs, in batches of any size, and inserted by the importer's worker give what
// one insert per row gives: the same rows, the same refused records with the database's messages in
// file order, the same counts and record events. Both ways to the database; the server is where the
// batches are used.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "db/Statement.h"
#include "staging/CsvImport.h"
#include "staging/StagingSql.h"
#include "staging/TableInserter.h"
#include "support/DbTestSupport.h"
#include "support/RunDoubles.h"

namespace kx::dbtest {
namespace {

class BatchInsertTest : public DbTest {
 protected:
  void CreateTables() override {
    ExecuteAll(*connection_, {"create table T (KEY varchar(5), NUM integer, AMOUNT double precision)"});
  }

  struct Outcome {
    std::vector<std::string> rows;  // KEY|NUM|AMOUNT in file order
    std::string log;
    int64_t processed = 0;
    std::vector<int64_t> events;  // ProcessedCount at every record event
    bool operator==(const Outcome&) const = default;
  };

  // importerRows: the importer's batches, inserted by its worker when onWorker.
  Outcome Import(const std::string& text, int blockRows, int importRecCount = 0,
                 std::size_t importerRows = 500, bool onWorker = false) {
    transaction_->ExecuteImmediate("delete from T");
    const std::string file = (database_->Dir().Path() / "t.csv").string();
    database_->Dir().WriteFile("t.csv", text);
    TableInserter table(*transaction_, "insert into T (KEY, NUM, AMOUNT) values (:KEY, :NUM, :AMOUNT)", {},
                        blockRows);
    test::FixedClock clock;
    TCsvImportSettings settings;
    settings.FileName = file;
    settings.Map = {"KEY=1", "NUM=2", "AMOUNT=3"};
    settings.ImportRecCount = importRecCount;
    settings.ErrorLogFileName = (database_->Dir().Path() / "t.log").string();
    settings.BatchRows = importerRows;
    settings.InsertOnWorker = onWorker;
    Outcome outcome;
    TCsvImport::TEvents events;
    events.OnBeforePost = [](const TCsvImport&, const ImportRow& row, bool& accept) {
      accept = row[0].second != "skip";
    };
    events.OnImportRecord = [&outcome](const TCsvImport& sender) {
      outcome.events.push_back(sender.ProcessedCount());
    };
    TCsvImport importer(table, clock, std::move(settings), std::move(events));
    importer.Execute();
    outcome.processed = importer.ProcessedCount();
    outcome.log = testsupport::TempDir::ReadFile(importer.Settings().ErrorLogFileName);
    db::Statement rows(*transaction_, "select KEY, NUM, AMOUNT from T order by KEY");
    rows.Open();
    while (rows.Fetch())
      outcome.rows.push_back(rows.CurrentRow().AsText(0) + "|" + rows.CurrentRow().AsText(1) + "|" +
                             rows.CurrentRow().AsText(2));
    return outcome;
  }
};

// Record 3 and 8 overflow the INTEGER column in the database, record 5 fails the importer's own
// conversion, record 6 is filtered out.
constexpr const char* kRecords =
    "KEY;NUM;AMOUNT\r\n"
    "k01;1;1.5\r\nk02;2;2.5\r\nk03;99999999999;3.5\r\nk04;4;Null\r\nk05;1e30;5.5\r\n"
    "skip;6;6.5\r\nk07;7;7.5\r\nk08;-99999999999;8.5\r\nk09;9;9.5\r\nk10;10;10.5\r\nk11;11;11.5\r\n";

TEST_P(BatchInsertTest, GivesWhatOneInsertPerRowGives) {
  const Outcome single = Import(kRecords, 0);
  ASSERT_EQ(single.rows.size(), 7u);
  EXPECT_EQ(single.processed, 8);
  EXPECT_NE(single.log.find("3 error(s) found"), std::string::npos) << single.log;
  const std::size_t conversion = single.log.find("Value 1e30");
  EXPECT_LT(single.log.find("numeric value is out of range"), conversion);
  EXPECT_GT(single.log.rfind("numeric value is out of range"), conversion);
  for (const int rows : {2, 3, 4, 20}) {
    EXPECT_EQ(Import(kRecords, rows), single) << rows << " rows a batch";
  }
  for (const auto& [blockRows, importerRows] : {std::pair{0, 1}, {0, 3}, {0, 500}, {4, 3}, {4, 6}, {20, 5}}) {
    EXPECT_EQ(Import(kRecords, blockRows, 0, importerRows, true), single)
        << blockRows << "/" << importerRows << " on the worker";
  }
}

TEST_P(BatchInsertTest, ImportRecCountStopsAtTheSameRecord) {
  for (const int count : {1, 3}) {
    EXPECT_EQ(Import(kRecords, 4, count), Import(kRecords, 0, count)) << count;
    EXPECT_EQ(Import(kRecords, 4, count, 2, true), Import(kRecords, 0, count)) << count << " on the worker";
  }
}

TEST_P(BatchInsertTest, WideRowsTakeAsManyRowsAsOneStatementHolds) {
  transaction_->Commit();
  ApplyStagingSchema(*connection_);
  transaction_->Start();
  const TableInserter holdings(*transaction_, staging_sql::InsertBestand(), {}, 20);
  EXPECT_LE(BatchInsertSql(staging_sql::InsertBestand(),
                           db::Statement(*transaction_, staging_sql::InsertBestand()), holdings.BatchRows())
                .size(),
            65535u);
  EXPECT_GT(holdings.BatchRows(), 1);
}

KX_DB_TEST_BOTH_WAYS(BatchInsertTest);

}  // namespace
}  // namespace kx::dbtest
