// The POSIX adapters under the one-import-per-directory lock and the owner-only files, on real
// files: a second lock refused in this process and in another one, files created 0600.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/posix/PosixFileLocker.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace kx::test {
namespace {

using testsupport::TempDir;

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777U : 0U;
}

// flock(1) from util-linux: another process asking for the same lock without waiting.
bool OtherProcessGetsTheLock(const std::string& path) {
  return std::system(("flock -n " + path + " true").c_str()) == 0;
}

TEST(PosixFileLocker, OneHolderAtATimeInThisProcessAndAcrossProcesses) {
  const TempDir dir;
  const std::string path = (dir.Path() / "import.lock").string();
  posix::PosixFileLocker locker;
  {
    const std::unique_ptr<FileLock> first = locker.TryLock(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(locker.TryLock(path), nullptr) << "a second call in the same process";
    EXPECT_FALSE(OtherProcessGetsTheLock(path));
  }
  EXPECT_TRUE(OtherProcessGetsTheLock(path)) << "released with its holder";
  EXPECT_NE(locker.TryLock(path), nullptr);
  EXPECT_TRUE(std::filesystem::exists(path)) << "the lock file stays";
  EXPECT_EQ(ModeOf(path), 0600U) << "the owner's only, as every file of a run";
}

TEST(PosixFileLocker, MissingFolderRaisesAFileErrorNamingTheLockFile) {
  const TempDir dir;
  const std::string path = (dir.Path() / "missing" / "import.lock").string();
  posix::PosixFileLocker locker;
  try {
    locker.TryLock(path);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Path(), path);
  }
}

// New files and files that existed with wider rights, written directly and through the atomic
// file, end up readable and writable by their owner only.
TEST(PrivateFiles, AreCreatedAndRewrittenForTheOwnerOnly) {
  const TempDir dir;
  struct Case {
    const char* name;
    bool existedWide;
    bool atomic;
  } cases[] = {{"new.txt", false, false},
               {"wide.txt", true, false},
               {"new.xml", false, true},
               {"wide.xml", true, true}};
  for (const Case& c : cases) {
    const std::string path = (dir.Path() / c.name).string();
    if (c.existedWide) {
      for (const std::string& file : {path, path + ".kxtmp"}) {  // the twin: left by a killed run
        dir.WriteFile(std::filesystem::path(file).filename().string(), "old");
        chmod(file.c_str(), 0644);
      }
    }
    if (c.atomic) {
      WriteFileAtomically(path, "new");
    } else {
      std::FILE* file = OpenPrivateFile(path);
      ASSERT_NE(file, nullptr) << c.name;
      std::fclose(file);
    }
    EXPECT_EQ(ModeOf(path), 0600U) << c.name;
  }
}

}  // namespace
}  // namespace kx::test
