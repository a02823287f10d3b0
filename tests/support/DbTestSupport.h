#pragma once

// Real databases for the tests: each test gets its own file in a temporary directory, opened by
// the engine inside the test process (Via::Embedded) or through the Firebird server on localhost
// (Via::Server; scripts/firebird-server.sh start).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/Transaction.h"
#include "support/TempDir.h"

namespace kx::dbtest {

enum class Via { Embedded, Server };

// The client library, loaded once for the whole test program.
const db::ClientLibrary& Client();

// Runs statements (DDL, inserts) in a transaction of their own and commits.
void ExecuteAll(db::Connection& connection, std::initializer_list<std::string_view> statements);

// Whether every line break of text is CR LF, as the logs and the host's texts need.
bool LineBreaksAreCrLf(std::string_view text);

// The staging schema of install/KXDB.sql, statement by statement.
void ApplyStagingSchema(db::Connection& connection);

class TestDatabase {
 public:
  // Creates an empty database file. Raises std::runtime_error saying how to start the server
  // when a server database cannot be created.
  explicit TestDatabase(Via via);

  // The name to attach with: the plain path, or "localhost:" + path.
  const std::string& Name() const { return name_; }
  std::string Path() const { return (dir_.Path() / "test.fdb").string(); }
  const testsupport::TempDir& Dir() const { return dir_; }

 private:
  testsupport::TempDir dir_;
  std::string name_;
};

// Makes a directory the server's user (firebird) can create files in, as the server must.
void HandToServer(const std::string& directory);

// A database of its own, a connection to it and a started transaction, for each test.
class DbTest : public ::testing::TestWithParam<Via> {
 protected:
  void SetUp() override;
  // Creates the fixture's tables before the transaction starts: a snapshot transaction sees no
  // table created after its start.
  virtual void CreateTables() {}

  // A second connection to the same database, for what another attachment sees.
  std::unique_ptr<db::Connection> Attach() const;
  // select count(*) from table, in a new transaction of a new connection.
  int64_t CountFromOutside(std::string_view table) const;

  std::optional<TestDatabase> database_;
  std::unique_ptr<db::Connection> connection_;
  std::unique_ptr<db::Transaction> transaction_;
};

// Shown by GoogleTest and CTest as the parameter of a test.
void PrintTo(Via via, std::ostream* out);

}  // namespace kx::dbtest

// Runs every test of a DbTest fixture with the engine in the process.
#define KX_DB_TEST_EMBEDDED(Fixture) \
  INSTANTIATE_TEST_SUITE_P(Embedded, Fixture, ::testing::Values(::kx::dbtest::Via::Embedded))
// Both ways; the server ones are named "Server/...". Only for what the remote path changes: the
// connection and its login (the whole run through the server has a test of its own).
#define KX_DB_TEST_BOTH_WAYS(Fixture) \
  KX_DB_TEST_EMBEDDED(Fixture);       \
  INSTANTIATE_TEST_SUITE_P(Server, Fixture, ::testing::Values(::kx::dbtest::Via::Server))
