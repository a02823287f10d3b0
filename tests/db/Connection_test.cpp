// Attaching and detaching, against real databases both ways.
#include <gtest/gtest.h>

#include <string>

#include "db/DatabaseError.h"
#include "db/Statement.h"
#include "support/DbTestSupport.h"

namespace kx::dbtest {
namespace {

using db::Connection;
using db::DatabaseError;
using db::Statement;
using db::Transaction;

class ConnectionTest : public DbTest {
 protected:
  void CreateTables() override { ExecuteAll(*connection_, {"create table T (ID integer)"}); }

  // Attachments to the database other than the observing one.
  int64_t OtherAttachments(Transaction& observer) {
    Statement count(observer,
                    "select count(*) from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> current_connection "
                    "and MON$SYSTEM_FLAG = 0");
    count.Open();
    count.Fetch();
    return count.CurrentRow().AsInt(0);
  }
};

TEST_P(ConnectionTest, DestructorDetaches) {
  auto observer = Attach();
  auto other = Attach();
  const auto countNow = [&] {
    Transaction look(*observer);  // a new transaction each time: the monitoring tables are a snapshot
    look.Start();
    return OtherAttachments(look);
  };
  const int64_t before = countNow();
  other.reset();
  EXPECT_EQ(countNow(), before - 1);
}

TEST_P(ConnectionTest, DetachRollsBackAnOpenTransactionAndEndsItsStatements) {
  Statement insert(*transaction_, "insert into T (ID) values (1)");
  insert.Execute();
  connection_->Detach();
  EXPECT_FALSE(connection_->IsAttached());
  EXPECT_FALSE(transaction_->IsActive());
  EXPECT_THROW(insert.Execute(), DatabaseError);
  EXPECT_THROW(transaction_->Start(), DatabaseError);
  connection_->Detach();  // again: nothing to do
  EXPECT_EQ(CountFromOutside("T"), 0);
}

TEST_P(ConnectionTest, MissingDatabaseFailsWithTheClientsMessage) {
  const std::string missing = database_->Dir().Path().string() + "/missing.fdb";
  const std::string name = GetParam() == Via::Server ? "localhost:" + missing : missing;
  try {
    Connection connection(Client(), name);
    FAIL() << "attached to a missing file";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.SqlCode(), -902);
    const std::string message = error.what();
    EXPECT_NE(message.find(missing), std::string::npos) << message;
    EXPECT_NE(message.find("\r\n"), std::string::npos)
        << "every part of the message, one per line: " << message;
    EXPECT_TRUE(LineBreaksAreCrLf(message)) << message;
  }
}

KX_DB_TEST_BOTH_WAYS(ConnectionTest);

// Only through the server: the login and the route a plain path takes.
class ServerConnectionTest : public DbTest {};

TEST_P(ServerConnectionTest, WrongPasswordIsRefused) {
  db::ConnectionParameters parameters;
  parameters.password = "not-the-password";
  try {
    Connection connection(Client(), database_->Name(), parameters);
    FAIL() << "attached with a wrong password";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("password"), std::string::npos) << error.what();
  }
}

// Without the embedded provider a plain path whose file the server has open would silently go
// through the server; with it, the engine here finds the file locked by the server.
TEST_P(ServerConnectionTest, PlainPathOfAFileTheServerHasOpenIsNotRoutedThroughIt) {
  try {
    Connection embedded(Client(), database_->Path());
    FAIL() << "a plain path was attached while the server had the file open";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.SqlCode(), -902) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Server, ServerConnectionTest, ::testing::Values(Via::Server));

}  // namespace
}  // namespace kx::dbtest
