// Rows gathered into EXECUTE BLOCK batches, and rows inserted by an InsertQueue's thread, give what
// one insert per row gives: the same rows, the same refused records with the database's messages in
// file order, the same counts and record events. Both ways to the database; the server is where the
// batches are used.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "db/Statement.h"
#include "staging/CsvImport.h"
#include "staging/InsertQueue.h"
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

  // queuedRows > 0: through an InsertQueue with batches of that many rows.
  Outcome Import(const std::string& text, int batchRows, int importRecCount = 0, std::size_t queuedRows = 0) {
    transaction_->ExecuteImmediate("delete from T");
    const std::string file = (database_->Dir().Path() / "t.csv").string();
    database_->Dir().WriteFile("t.csv", text);
    TableInserter table(*transaction_, "insert into T (KEY, NUM, AMOUNT) values (:KEY, :NUM, :AMOUNT)", {},
                        batchRows);
    std::optional<InsertQueue> queue;
    if (queuedRows > 0) queue.emplace(table, queuedRows);
    test::FixedClock clock;
    TCsvImport importer(queue ? static_cast<ImportTarget&>(*queue) : table, clock);
    importer.FileName = file;
    importer.Map = {"KEY=1", "NUM=2", "AMOUNT=3"};
    importer.ImportRecCount = importRecCount;
    importer.ErrorLogFileName = (database_->Dir().Path() / "t.log").string();
    Outcome outcome;
    importer.OnBeforePost = [](const ImportRow& row, bool& accept) { accept = row[0].second != "skip"; };
    importer.OnImportRecord = [&] { outcome.events.push_back(importer.ProcessedCount()); };
    importer.Execute();
    outcome.processed = importer.ProcessedCount();
    outcome.log = testsupport::TempDir::ReadFile(importer.ErrorLogFileName);
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
  for (const auto& [batchRows, queuedRows] : {std::pair{0, 1}, {0, 3}, {0, 512}, {4, 3}, {20, 5}}) {
    EXPECT_EQ(Import(kRecords, batchRows, 0, queuedRows), single)
        << batchRows << "/" << queuedRows << " queued";
  }
}

TEST_P(BatchInsertTest, ImportRecCountStopsAtTheSameRecord) {
  for (const int count : {1, 3}) {
    EXPECT_EQ(Import(kRecords, 4, count), Import(kRecords, 0, count)) << count;
    EXPECT_EQ(Import(kRecords, 4, count, 2), Import(kRecords, 0, count)) << count << " queued";
  }
}

TEST_P(BatchInsertTest, WideRowsTakeAsManyRowsAsOneStatementHolds) {
  transaction_->Commit();
  ApplyStagingSchema(*connection_);
  transaction_->Start();
  const TableInserter holdings(*transaction_, staging_sql::InsertBestand(), {}, 20);
  EXPECT_TRUE(holdings.Defers());
  EXPECT_LE(BatchInsertSql(staging_sql::InsertBestand(),
                           db::Statement(*transaction_, staging_sql::InsertBestand()), holdings.BatchRows())
                .size(),
            65535u);
  EXPECT_GT(holdings.BatchRows(), 1);
}

KX_DB_TEST_BOTH_WAYS(BatchInsertTest);

}  // namespace
}  // namespace kx::dbtest
