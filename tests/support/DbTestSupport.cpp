#include "support/DbTestSupport.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "db/CreateDatabase.h"
#include "db/DatabaseError.h"
#include "db/Statement.h"
#include "kxdb/SqlScript.h"

namespace kx::dbtest {

const db::ClientLibrary& Client() {
  static const db::ClientLibrary client;
  return client;
}

void ExecuteAll(db::Connection& connection, std::initializer_list<std::string_view> statements) {
  db::Transaction transaction(connection);
  for (std::string_view sql : statements) {
    transaction.Start();
    transaction.ExecuteImmediate(sql);
    transaction.Commit();
  }
}

bool LineBreaksAreCrLf(std::string_view text) {
  for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    if (i == 0 || text[i - 1] != '\r') return false;
  }
  return true;
}

void ApplyStagingSchema(db::Connection& connection) {
  const std::string script = testsupport::TempDir::ReadFile(KX_STAGING_SCHEMA);
  db::Transaction transaction(connection);
  for (const std::string& sql : kxdb::SplitSqlScript(script)) {
    transaction.Start();
    transaction.ExecuteImmediate(sql);
    transaction.Commit();
  }
}

void HandToServer(const std::string& directory) {
  const passwd* user = getpwnam("firebird");
  if (user == nullptr) throw std::runtime_error("no user firebird: is firebird3.0-server installed?");
  if (chown(directory.c_str(), user->pw_uid, user->pw_gid) != 0 || chmod(directory.c_str(), 02770) != 0) {
    throw std::runtime_error("cannot hand " + directory + " to user firebird (the server tests run as root)");
  }
}

TestDatabase::TestDatabase(Via via) {
  if (via == Via::Embedded) {
    name_ = Path();
    db::CreateDatabase(Client(), name_);
    return;
  }
  HandToServer(dir_.Path().string());
  name_ = "localhost:" + Path();
  try {
    db::CreateDatabase(Client(), name_);
  } catch (const db::DatabaseError& error) {
    throw std::runtime_error(
        "cannot create a database through the Firebird server on localhost (start it with "
        "scripts/firebird-server.sh start, which also sets the SYSDBA password): " +
        std::string(error.what()));
  }
}

void DbTest::SetUp() {
  try {
    database_.emplace(GetParam());
  } catch (const std::exception& error) {
    FAIL() << error.what();
  }
  connection_ = std::make_unique<db::Connection>(Client(), database_->Name());
  CreateTables();
  transaction_ = std::make_unique<db::Transaction>(*connection_);
  transaction_->Start();
}

std::unique_ptr<db::Connection> DbTest::Attach() const {
  return std::make_unique<db::Connection>(Client(), database_->Name());
}

int64_t DbTest::CountFromOutside(std::string_view table) const {
  const std::unique_ptr<db::Connection> other = Attach();
  db::Transaction transaction(*other);
  transaction.Start();
  db::Statement count(transaction, "select count(*) from " + std::string(table));
  count.Open();
  count.Fetch();
  return count.CurrentRow().AsInt(0);
}

void PrintTo(Via via, std::ostream* out) { *out << (via == Via::Embedded ? "Embedded" : "Server"); }

}  // namespace kx::dbtest
