// Which database names go through a server and which are opened by the engine in the process.
#include "db/DatabaseName.h"

#include <gtest/gtest.h>

namespace kx::db {
namespace {

TEST(DatabaseName, HostPartMeansServerPlainPathMeansEmbedded) {
  const struct {
    const char* name;
    bool server;
  } cases[] = {
      {"localhost:/var/lib/kx/KXDB.IDB", true},
      {"localhost:C:\\Daten\\KXDB.IDB", true},
      {"dbhost:C:\\Daten\\KXDB.IDB", true},
      {"localhost/3051:/srv/KXDB.IDB", true},
      {"[::1]:/srv/KXDB.IDB", true},
      {"\\\\server\\C:\\Daten\\KXDB.IDB", true},
      {"inet://localhost//srv/KXDB.IDB", true},
      {"/var/lib/kx/KXDB.IDB", false},
      {"./KXDB.IDB", false},
      {"KXDB.IDB", false},
      {"C:\\Daten\\KXDB.IDB", false},  // a drive, not a host "C"
      {"c:/Daten/KXDB.IDB", false},
      {"/srv/odd:name.fdb", false},  // the ":" comes after the first "/"
      {"./odd:name.fdb", false},
      {"data/sub/odd:name.fdb", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(GoesThroughServer(c.name), c.server) << c.name;
}

}  // namespace
}  // namespace kx::db
