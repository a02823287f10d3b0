// kxdb: creates and inspects the staging database through the library's own database layer.
//
//   kxdb create PATH [--schema FILE]   a new database file from the schema script
//   kxdb check PATH                    attaches and prints each staging table with its row count
//
// PATH is a plain path (the engine inside this process) or "host:path" (through that server).
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Language.h"
#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/CreateDatabase.h"
#include "db/DatabaseError.h"
#include "db/DatabaseName.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "kxdb/SqlScript.h"

namespace {

using kx::tools::Say;

constexpr const char* kTables[] = {"BESTAENDE", "TRANSAKTIONEN", "DBSTARTIDS"};

// The schema of an installation (share/impapikorvalix beside the program's bin folder), else the
// one of the source tree the program was built from.
std::string DefaultSchema() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) {
    const std::filesystem::path installed =
        std::filesystem::path(std::string(path, static_cast<std::size_t>(n))).parent_path().parent_path() /
        "share/impapikorvalix/KXDB.sql";
    if (std::filesystem::is_regular_file(installed)) return installed.string();
  }
  return KX_DEFAULT_SCHEMA;
}

// The help and the program's own lines follow the command line's language rule; the database
// client's messages are shown as they come.
constexpr const char* kHelpDe = R"(Aufruf: kxdb create PFAD [--schema DATEI]
        kxdb check PFAD

create legt eine neue Staging-Datenbank PFAD aus dem Schema-Skript an (Vorgabe: das installierte
KXDB.sql); check verbindet sich mit PFAD und gibt jede Staging-Tabelle mit ihrer Zeilenzahl aus.
PFAD ist ein schlichter Pfad (die Datenbank-Engine in diesem Prozess) oder "host:pfad" (über diesen
Server).
Exit-Status: 0 erledigt, 1 ein Fehler, 2 eine falsche Befehlszeile.
)";
constexpr const char* kHelpEn = R"(Usage: kxdb create PATH [--schema FILE]
       kxdb check PATH

create makes a new staging database PATH from the schema script (default: the installed KXDB.sql);
check attaches to PATH and prints each staging table with its row count. PATH is a plain path (the
engine inside this process) or "host:path" (through that server).
Exit status: 0 done, 1 a failure, 2 a wrong command line.
)";

// A wrong command line: what is wrong, and the subcommands with their arguments.
int Usage(const std::string& what) {
  std::cerr << "kxdb: " << what << "\n"
            << Say("  kxdb create PFAD [--schema DATEI]\n  kxdb check PFAD\n(kxdb --help sagt mehr)\n",
                   "  kxdb create PATH [--schema FILE]\n  kxdb check PATH\n(kxdb --help says more)\n");
  return 2;
}

std::string ReadScript(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw kx::Error(Say("Schema-Skript " + path + " nicht lesbar", "cannot read the schema script " + path));
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file of a database reached through the server on this machine ("localhost:/srv/KXDB.IDB",
// "127.0.0.1/3050:/srv/KXDB.IDB"); empty for another host, whose files this program cannot reach.
std::string LocalServerFile(const std::string& name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string::npos) return {};
  std::string host = name.substr(0, name.find_first_of("/:"));
  for (const char* local : {"localhost", "127.0.0.1"}) {
    if (host == local) return name.substr(colon + 1);
  }
  return {};
}

// The file of a database this program can reach: the plain path, or the local server's file;
// empty for another host's.
std::string ReachableFile(const std::string& name) {
  return kx::db::GoesThroughServer(name) ? LocalServerFile(name) : name;
}

// The database holds customer data: readable by its owner only, or, when the server opens it, by
// the server's group too (the server runs as its own user). Raises when the rights stay wider.
void RestrictAccess(const std::string& name) {
  const bool server = kx::db::GoesThroughServer(name);
  const std::string file = ReachableFile(name);
  if (file.empty()) return;
  const mode_t mode = server ? 0660 : 0600;
  if (server) {
    // Files the server creates belong to it; root can hand them to its group all the same.
    if (const group* firebird = getgrnam("firebird")) {
      [[maybe_unused]] const int handedOver = chown(file.c_str(), static_cast<uid_t>(-1), firebird->gr_gid);
    }
  }
  if (chmod(file.c_str(), mode) == 0) return;
  const int error = errno;
  struct stat info {};
  // A file of the server's that this user may not change is fine while others have no access.
  if (stat(file.c_str(), &info) == 0 && (info.st_mode & S_IRWXO) == 0) return;
  throw kx::Error(file +
                  Say(" ist für andere Benutzer lesbar und seine Rechte lassen sich nicht ändern: ",
                      " is readable by other users and its rights cannot be changed: ") +
                  std::strerror(error));
}

// The first line of a statement, to say which one failed.
std::string Headline(const std::string& statement) { return statement.substr(0, statement.find('\n')); }

void FillSchema(const kx::db::ClientLibrary& client, const std::string& path, const std::string& schemaPath,
                const std::vector<std::string>& statements) {
  RestrictAccess(path);
  kx::db::Connection connection(client, path);
  kx::db::Transaction transaction(connection);
  for (std::size_t i = 0; i < statements.size(); ++i) {
    transaction.Start();
    try {
      transaction.ExecuteImmediate(statements[i]);
      transaction.Commit();
    } catch (const kx::db::DatabaseError& error) {
      const std::string number = std::to_string(i + 1);
      throw kx::db::DatabaseError(
          schemaPath +
              Say(": Anweisung " + number + " (" + Headline(statements[i]) + ") fehlgeschlagen:\n",
                  ": statement " + number + " (" + Headline(statements[i]) + ") failed:\n") +
              error.what(),
          error.SqlCode(), error.IscCode());
    }
  }
}

// A database whose creation failed (a full disk, a statement of the schema) is removed again: a
// half-made file would be taken for a made one, and the next create would refuse it as existing.
// A file that was there before is not this program's to remove.
int Create(const std::string& path, const std::string& schemaPath) {
  const std::vector<std::string> statements = kx::kxdb::SplitSqlScript(ReadScript(schemaPath));
  const kx::db::ClientLibrary client;
  const std::string file = ReachableFile(path);
  std::error_code error;
  const bool existed = !file.empty() && (std::filesystem::exists(file, error) || error);
  bool created = false;
  try {
    kx::db::CreateDatabase(client, path);
    created = true;
    FillSchema(client, path, schemaPath, statements);
  } catch (const std::exception& failure) {
    if (file.empty() && created)  // another host's file
      throw kx::Error(failure.what() + std::string("\n") +
                      Say(path + " bleibt unvollständig.", path + " is left incomplete."));
    if (file.empty() || existed || !std::filesystem::exists(file, error)) throw;
    const bool removed = std::filesystem::remove(file, error);
    throw kx::Error(failure.what() + std::string("\n") +
                    (removed ? Say(path + " ist wieder entfernt.", path + " is removed again.")
                             : Say(path + " bleibt unvollständig und lässt sich nicht entfernen: ",
                                   path + " is left incomplete and cannot be removed: ") +
                                   error.message()));
  }
  const std::string count = std::to_string(statements.size());
  std::cout << Say(path + " angelegt (" + count + " Anweisungen aus " + schemaPath + ")",
                   "created " + path + " (" + count + " statements of " + schemaPath + ")")
            << "\n";
  return 0;
}

int Check(const std::string& path) {
  const kx::db::ClientLibrary client;
  kx::db::Connection connection(client, path);
  kx::db::Transaction transaction(connection);
  transaction.Start();
  for (const char* table : kTables) {
    kx::db::Statement count(transaction, std::string("select count(*) from ") + table);
    count.Open();
    count.Fetch();
    std::cout << table << ' ' << count.CurrentRow().AsInt(0) << '\n';
  }
  transaction.Commit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const std::optional<int> answered =
          kx::tools::AnswerHelpOrVersion(argc, argv, 1, "kxdb", Say(kHelpDe, kHelpEn)))
    return *answered;
  if (args.empty()) return Usage(Say("Unterbefehl fehlt", "no subcommand"));
  const std::string& command = args[0];
  if (command != "create" && command != "check")
    return Usage(Say("unbekannter Unterbefehl '" + command + "'", "unknown subcommand '" + command + "'"));
  const bool fits =
      command == "check" ? args.size() == 2 : args.size() == 2 || (args.size() == 4 && args[2] == "--schema");
  if (!fits || args[1].starts_with("--"))
    return Usage(Say("falsche Befehlszeile für " + command, "wrong command line for " + command));
  try {
    if (command == "check") return Check(args[1]);
    return Create(args[1], args.size() == 4 ? args[3] : DefaultSchema());
  } catch (const std::exception& error) {
    std::cerr << "kxdb: " << error.what() << '\n';
    return 1;
  }
}
