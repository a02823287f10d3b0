// The POSIX settings store: a REGEDIT4 file named by VELQORA_REGISTRY, read at every opening.
#include "platform/posix/PosixSettingsStore.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/TempDir.h"
#include "util/Error.h"

namespace kx::posix {
namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

constexpr std::string_view kPath = "Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX";

std::string SettingsFile(std::string_view valueLines) {
  return "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(kPath) + "]\r\n" + std::string(valueLines) +
         "\r\n";
}

class PosixSettingsStoreTest : public ::testing::Test {
 protected:
  // The store reads reg.reg of the test's own directory; until written it does not exist.
  void Write(std::string_view text) { dir_.WriteFile("reg.reg", text); }

  TempDir dir_;
  ScopedEnv env_{"VELQORA_REGISTRY", (dir_.Path() / "reg.reg").string()};
  PosixSettingsStore store_;
};

TEST_F(PosixSettingsStoreTest, ReadsStringValueOfTheKeyBelowLocalMachine) {
  Write(SettingsFile("\"Timeout\"=\"300\""));
  const auto key = store_.OpenLocalMachineKey(kPath);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadString("Timeout"), "300");
}

TEST_F(PosixSettingsStoreTest, MissingFileIsAMissingKey) {
  EXPECT_EQ(store_.OpenLocalMachineKey(kPath), nullptr);
}

TEST_F(PosixSettingsStoreTest, FileWithoutTheKeyGivesNoKey) {
  Write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + std::string(kPath) + "]\r\n\"Timeout\"=\"1\"\r\n");
  EXPECT_EQ(store_.OpenLocalMachineKey(kPath), nullptr);
}

TEST_F(PosixSettingsStoreTest, MissingValueGivesNothing) {
  Write(SettingsFile("\"Timeout\"=\"300\""));
  EXPECT_EQ(store_.OpenLocalMachineKey(kPath)->ReadString("DebugMode"), std::nullopt);
}

TEST_F(PosixSettingsStoreTest, KeyPathAndValueNameCompareWithoutRegardToCase) {
  Write(SettingsFile("\"TIMEOUT\"=\"5\""));
  const auto key = store_.OpenLocalMachineKey("software\\velqora\\tavo\\importapi\\korvalix");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadString("timeout"), "5");
}

TEST_F(PosixSettingsStoreTest, ExpandStringIsReadWithoutExpansion) {
  // hex(2) bytes of "%HOME%/kx/"
  Write(SettingsFile("\"DataDir\"=hex(2):25,48,4f,4d,45,25,2f,6b,78,2f,00"));
  EXPECT_EQ(store_.OpenLocalMachineKey(kPath)->ReadString("DataDir"), "%HOME%/kx/");
}

TEST_F(PosixSettingsStoreTest, NonStringValuesAreTypeErrors) {
  for (const char* line :
       {"\"v\"=dword:0000012c", "\"v\"=hex:33,30,30", "\"v\"=hex(4):2c,01,00,00", "\"v\"=hex(7):41,00,00"}) {
    SCOPED_TRACE(line);
    Write(SettingsFile(line));
    const auto key = store_.OpenLocalMachineKey(kPath);
    ASSERT_NE(key, nullptr);
    EXPECT_THROW(key->ReadString("v"), SettingsTypeError);
  }
}

TEST_F(PosixSettingsStoreTest, MalformedFileRaisesAtOpening) {
  Write("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\" + std::string(kPath) + "]\r\nTimeout=300\r\n");
  EXPECT_THROW(store_.OpenLocalMachineKey(kPath), kx::Error);
}

TEST_F(PosixSettingsStoreTest, UnreadableFileRaises) {
  // A directory opens but cannot be read as a file.
  ScopedEnv env("VELQORA_REGISTRY", dir_.Path().string());
  EXPECT_THROW(store_.OpenLocalMachineKey(kPath), kx::Error);
}

TEST_F(PosixSettingsStoreTest, FileIsReadAgainAtEveryOpening) {
  Write(SettingsFile("\"Timeout\"=\"1\""));
  EXPECT_EQ(store_.OpenLocalMachineKey(kPath)->ReadString("Timeout"), "1");
  Write(SettingsFile("\"Timeout\"=\"2\""));
  EXPECT_EQ(store_.OpenLocalMachineKey(kPath)->ReadString("Timeout"), "2");
}

TEST(PosixSettingsStoreFilePath, EnvironmentVariableNamesTheFile) {
  ScopedEnv env("VELQORA_REGISTRY", "/tmp/some/other.reg");
  EXPECT_EQ(PosixSettingsStore::FilePath(), "/tmp/some/other.reg");
}

TEST(PosixSettingsStoreFilePath, UnsetOrEmptyVariableGivesTheInstalledFile) {
  {
    ScopedEnv env("VELQORA_REGISTRY", std::nullopt);
    EXPECT_EQ(PosixSettingsStore::FilePath(), "/etc/velqora/tavo/registry.reg");
  }
  {
    ScopedEnv env("VELQORA_REGISTRY", "");
    EXPECT_EQ(PosixSettingsStore::FilePath(), "/etc/velqora/tavo/registry.reg");
  }
}

}  // namespace
}  // namespace kx::posix
