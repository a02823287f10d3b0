// kxdb create and check, and the staging schema they make, both ways.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "db/CreateDatabase.h"
#include "db/DatabaseError.h"
#include "db/Statement.h"
#include "support/DbTestSupport.h"

namespace kx::dbtest {
namespace {

using db::Connection;
using db::DatabaseError;
using db::Statement;
using db::Transaction;

struct KxdbRun {
  int exitCode;
  std::string output;  // stdout and stderr
};

// kxdb's own texts are German unless the locale says English: the tests read them in German.
KxdbRun Kxdb(const std::string& arguments) {
  const std::string command = "LC_ALL=C " + std::string(KX_KXDB_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "cannot run " + command};
  std::string output;
  char buffer[512];
  while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class KxdbTest : public ::testing::TestWithParam<Via> {
 protected:
  void SetUp() override {
    if (GetParam() == Via::Server) HandToServer(dir_.Path().string());
    path_ = (dir_.Path() / "KXDB.IDB").string();
    name_ = GetParam() == Via::Server ? "localhost:" + path_ : path_;
  }

  testsupport::TempDir dir_;
  std::string path_;
  std::string name_;
};

TEST_P(KxdbTest, CreateThenCheckListsTheThreeEmptyTables) {
  const KxdbRun create = Kxdb("create " + name_);
  ASSERT_EQ(create.exitCode, 0) << create.output;
  const KxdbRun check = Kxdb("check " + name_);
  EXPECT_EQ(check.exitCode, 0) << check.output;
  EXPECT_EQ(check.output, "BESTAENDE 0\nTRANSAKTIONEN 0\nDBSTARTIDS 0\n");
}

TEST_P(KxdbTest, CreatedDatabaseHasDialect3Iso8859Pages8192) {
  ASSERT_EQ(Kxdb("create " + name_).exitCode, 0);
  Connection connection(Client(), name_);
  Transaction transaction(connection);
  transaction.Start();
  Statement select(transaction,
                   "select MON$SQL_DIALECT, MON$PAGE_SIZE, (select RDB$CHARACTER_SET_NAME from RDB$DATABASE) "
                   "from MON$DATABASE");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  EXPECT_EQ(select.CurrentRow().AsInt(0), 3);
  EXPECT_EQ(select.CurrentRow().AsInt(1), 8192);
  EXPECT_EQ(select.CurrentRow().AsText(2).substr(0, 9), "ISO8859_1");
}

TEST_P(KxdbTest, FailuresSayWhatFailed) {
  ASSERT_EQ(Kxdb("create " + name_).exitCode, 0);
  const KxdbRun again = Kxdb("create " + name_);
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.output.find(path_), std::string::npos) << again.output;

  const std::string other = (dir_.Path() / "OTHER.IDB").string();
  const std::string bad =
      dir_.WriteFile("bad.sql", "CREATE TABLE A (X INTEGER);\nCREATE TABLE A (Y INTEGER);\n");
  const KxdbRun broken = Kxdb("create " + other + " --schema " + bad);
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_NE(broken.output.find("Anweisung 2 (CREATE TABLE A (Y INTEGER))"), std::string::npos)
      << broken.output;

  const KxdbRun missing = Kxdb("check " + (dir_.Path() / "MISSING.IDB").string());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("MISSING.IDB"), std::string::npos) << missing.output;
  EXPECT_EQ(Kxdb("frobnicate").exitCode, 2);
}

KX_DB_TEST_EMBEDDED(KxdbTest);

// The statements of the import against the schema of install/KXDB.sql.
class StagingSchemaTest : public DbTest {
 protected:
  void CreateTables() override { ApplyStagingSchema(*connection_); }
};

// The import binds RECORDID as NULL; the trigger makes it 1 before NOT NULL is checked.
TEST_P(StagingSchemaTest, StartIdsRowGetsRecordIdOneFromTheTrigger) {
  Statement insert(
      *transaction_,
      "insert into DBSTARTIDS (RECORDID, STARTID1, STARTID2) values (:RECORDID, :STARTID1, :STARTID2)");
  insert.SetNull("RECORDID");
  insert.SetText("STARTID1", "a");
  insert.SetText("STARTID2", "b");
  insert.Execute();
  Statement select(*transaction_, "select RECORDID, STARTID1, STARTID2 from DBSTARTIDS");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  EXPECT_EQ(select.CurrentRow().AsInt("RECORDID"), 1);
  EXPECT_EQ(select.CurrentRow().AsText("STARTID1") + select.CurrentRow().AsText("STARTID2"), "ab");
}

TEST_P(StagingSchemaTest, RepeatedTransactionIdFailsWithTheDatabasesMessageAndTheNextGoesIn) {
  Statement insert(*transaction_,
                   "insert into TRANSAKTIONEN (TRAID, VERBERNR, TRATYPKZ, TRABETRAG) "
                   "values (:TRAID, :VERBERNR, :TRATYPKZ, :TRABETRAG)");
  EXPECT_EQ(insert.Parameter(insert.ParameterIndex("TRAID")).length, 20);
  const auto insertRow = [&](const char* traid) {
    insert.SetText("TRAID", traid);
    insert.SetText("VERBERNR", "4711");
    insert.SetText("TRATYPKZ", "1");
    insert.SetText("TRABETRAG", "100.5");
    insert.Execute();
  };
  insertRow("T1");
  try {
    insertRow("T1");
    FAIL() << "a repeated TRAID was inserted";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.SqlCode(), -803);
    const std::string message = error.what();
    EXPECT_NE(message.find("UQ_TRANSAKTIONEN_TRAID"), std::string::npos) << message;
    EXPECT_NE(message.find("T1"), std::string::npos) << message;
  }
  insertRow("T2");
  transaction_->Commit();
  EXPECT_EQ(CountFromOutside("TRANSAKTIONEN"), 2);
}

KX_DB_TEST_EMBEDDED(StagingSchemaTest);

}  // namespace
}  // namespace kx::dbtest
