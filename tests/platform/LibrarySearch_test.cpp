// Where the Windows DLL looks for the database client: never in the current folder or a relative
// PATH entry.
#include "platform/LibrarySearch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kx {
namespace {

using ::testing::ElementsAre;

TEST(LibraryCandidates, ProgramFolderThenSystemFoldersThenAbsolutePathEntries) {
  EXPECT_THAT(
      LibraryCandidates("gds32.dll", "C:\\Host", {"C:\\windows\\system32", "C:\\windows"},
                        ".;fb;\"C:\\Program Files\\Firebird\";;D:\\fb\\;\\\\srv\\share;\\rooted;C:drive"),
      ElementsAre("C:\\Host\\gds32.dll", "C:\\windows\\system32\\gds32.dll", "C:\\windows\\gds32.dll",
                  "C:\\Program Files\\Firebird\\gds32.dll", "D:\\fb\\gds32.dll",
                  "\\\\srv\\share\\gds32.dll"));
}

TEST(LibraryCandidates, AnUnknownProgramFolderIsLeftOut) {
  EXPECT_THAT(LibraryCandidates("fbclient.dll", "", {"C:\\windows\\system32"}, ""),
              ElementsAre("C:\\windows\\system32\\fbclient.dll"));
}

}  // namespace
}  // namespace kx
