// ReadImportSettings: through the real POSIX store and REGEDIT4 files where it can, through a
// recording store where only a double can show what happens (opening and closing, one failing open).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/PosixSettingsStore.h"
#include "provider/ImpApi_Korvalix_Settings.h"
#include "support/TempDir.h"
#include "util/Error.h"

namespace kx {
namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

const std::string kDefaultUrl(kDefaultServiceUrl);

// Provider values as a previous run in the same process left them; the caller's reset of
// serviceUrl and DebugMode already done.
ProviderValues PreviousRun() {
  ProviderValues values;
  values.serviceUrl = kDefaultUrl;
  values.Timeout = 77;
  values.DebugMode = 0;
  values.ImportDB = "previous.idb";
  return values;
}

class ReadImportSettingsTest : public ::testing::Test {
 protected:
  void WriteKey(std::string_view valueLines) {
    dir_.WriteFile("reg.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(kSettingsKey) + "]\r\n" +
                                  std::string(valueLines) + "\r\n");
  }
  std::string Read() { return ReadImportSettings(store_, values_); }

  TempDir dir_;
  ScopedEnv env_{"VELQORA_REGISTRY", (dir_.Path() / "reg.reg").string()};
  posix::PosixSettingsStore store_;
  ProviderValues values_ = PreviousRun();
};

constexpr std::string_view kAllValues =
    "\"DownloadSrvUrl\"=\"https://other.example/x.php\"\r\n"
    "\"Timeout\"=\"120\"\r\n"
    "\"DebugMode\"=\"2\"\r\n"
    "\"ImportDB\"=\"./KXDB.IDB\"\r\n"
    "\"DataDir\"=\"/var/kx/\"";

TEST_F(ReadImportSettingsTest, ReadsAllFiveValues) {
  WriteKey(kAllValues);
  EXPECT_EQ(Read(), "/var/kx/");
  EXPECT_EQ(values_.serviceUrl, "https://other.example/x.php");
  EXPECT_EQ(values_.Timeout, 120);
  EXPECT_EQ(values_.DebugMode, 2);
  EXPECT_EQ(values_.ImportDB, "./KXDB.IDB");
}

TEST_F(ReadImportSettingsTest, MissingFileGivesEveryDefault) {
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(values_.serviceUrl, kDefaultUrl);
  EXPECT_EQ(values_.Timeout, 300);
  EXPECT_EQ(values_.DebugMode, 0);
  EXPECT_EQ(values_.ImportDB, "");
}

TEST_F(ReadImportSettingsTest, MissingValuesGiveDefaultsNotThePreviousRunsValues) {
  WriteKey("\"DebugMode\"=\"1\"");
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(values_.serviceUrl, kDefaultUrl);
  EXPECT_EQ(values_.Timeout, 300);
  EXPECT_EQ(values_.DebugMode, 1);
  EXPECT_EQ(values_.ImportDB, "");
}

TEST_F(ReadImportSettingsTest, ExistingEmptyDownloadSrvUrlGivesAnEmptyServiceUrl) {
  WriteKey("\"DownloadSrvUrl\"=\"\"");
  Read();
  EXPECT_EQ(values_.serviceUrl, "");
}

TEST_F(ReadImportSettingsTest, ExistingEmptyImportDbAndDataDirStayEmpty) {
  WriteKey("\"ImportDB\"=\"\"\r\n\"DataDir\"=\"\"");
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(values_.ImportDB, "");
}

TEST_F(ReadImportSettingsTest, ValueNamesCompareWithoutRegardToCase) {
  WriteKey(
      "\"downloadsrvurl\"=\"u\"\r\n\"TIMEOUT\"=\"9\"\r\n\"debugmode\"=\"1\"\r\n\"importdb\"="
      "\"db\"\r\n\"DATADIR\"=\"d/\"");
  EXPECT_EQ(Read(), "d/");
  EXPECT_EQ(values_.serviceUrl, "u");
  EXPECT_EQ(values_.Timeout, 9);
  EXPECT_EQ(values_.DebugMode, 1);
  EXPECT_EQ(values_.ImportDB, "db");
}

TEST_F(ReadImportSettingsTest, ExpandStringValuesAreReadWithoutExpansion) {
  // "%HOME%/kx/" as hex(2)
  WriteKey("\"DataDir\"=hex(2):25,48,4f,4d,45,25,2f,6b,78,2f,00\r\n\"ImportDB\"=hex(2):25,54,25,00");
  EXPECT_EQ(Read(), "%HOME%/kx/");
  EXPECT_EQ(values_.ImportDB, "%T%");
}

struct NumberCase {
  const char* text;
  int32_t timeout;
};

TEST_F(ReadImportSettingsTest, TimeoutTextsThatAreNoIntegerGiveTheDefault) {
  const std::vector<NumberCase> cases = {
      {"0", 0},
      {"-5", -5},
      {"45", 45},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"", 300},
      {"abc", 300},
      {"12x", 300},
      {"2147483648", 300},
      {"1.5", 300},
      {"-", 300},
      {" 1", 1},
      {"  -7", -7},
      {"7 ", 300},
      {"\t7", 300},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.text);
    WriteKey("\"Timeout\"=\"" + std::string(c.text) + "\"");
    values_ = PreviousRun();
    Read();
    EXPECT_EQ(values_.Timeout, c.timeout);
  }
}

TEST_F(ReadImportSettingsTest, SignFollowedByAnotherSignIsNoInteger) {
  WriteKey("\"Timeout\"=\"+-5\"");
  Read();
  EXPECT_EQ(values_.Timeout, 300);
}

TEST_F(ReadImportSettingsTest, DebugModeTextThatIsNoIntegerGivesZero) {
  for (const char* text : {"x", "", "2a", "99999999999"}) {
    SCOPED_TRACE(text);
    WriteKey("\"DebugMode\"=\"" + std::string(text) + "\"");
    values_.DebugMode = 0;
    Read();
    EXPECT_EQ(values_.DebugMode, 0);
  }
}

TEST_F(ReadImportSettingsTest, TimeoutStoredAsNumberStopsTheReading) {
  WriteKey(
      "\"DownloadSrvUrl\"=\"https://other.example/x.php\"\r\n"
      "\"Timeout\"=dword:0000012c\r\n"
      "\"DebugMode\"=\"2\"\r\n"
      "\"ImportDB\"=\"./KXDB.IDB\"\r\n"
      "\"DataDir\"=\"/var/kx/\"");
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(values_.serviceUrl, kDefaultUrl);
  EXPECT_EQ(values_.Timeout, 77);
  EXPECT_EQ(values_.DebugMode, 0);
  EXPECT_EQ(values_.ImportDB, "previous.idb");
}

// Which values a type error at one value leaves read: every value before it, none after it.
struct StopCase {
  const char* badValue;
  int32_t timeout;
  int32_t debugMode;
  const char* importDb;
};

TEST_F(ReadImportSettingsTest, TypeErrorAtAnyValueKeepsLaterValuesAndResetsServiceUrl) {
  const std::vector<StopCase> cases = {
      {"DownloadSrvUrl", 77, 0, "previous.idb"}, {"Timeout", 77, 0, "previous.idb"},
      {"DebugMode", 120, 0, "previous.idb"},     {"ImportDB", 120, 2, "previous.idb"},
      {"DataDir", 120, 2, "./KXDB.IDB"},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.badValue);
    std::string lines(kAllValues);
    lines += "\r\n\"" + std::string(c.badValue) + "\"=hex:41,00";  // replaces the string value
    WriteKey(lines);
    values_ = PreviousRun();
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(values_.serviceUrl, kDefaultUrl);
    EXPECT_EQ(values_.Timeout, c.timeout);
    EXPECT_EQ(values_.DebugMode, c.debugMode);
    EXPECT_EQ(values_.ImportDB, c.importDb);
  }
}

TEST_F(ReadImportSettingsTest, MalformedFileStopsTheReadingWithoutRaising) {
  dir_.WriteFile("reg.reg", "this is not a registry export\n");
  EXPECT_EQ(Read(), "");
  EXPECT_EQ(values_.serviceUrl, kDefaultUrl);
  EXPECT_EQ(values_.Timeout, 77);
  EXPECT_EQ(values_.ImportDB, "previous.idb");
}

// A store that records every opening, reading and closing, and can refuse chosen openings.
class RecordingStore final : public SettingsStore {
 public:
  std::vector<std::string> events;
  std::vector<int> refusedOpenings;  // 1-based numbers of the openings that fail
  std::string typeErrorValue;
  int openKeys = 0;
  int maxOpenKeys = 0;

  std::unique_ptr<SettingsKey> OpenLocalMachineKey(std::string_view path) override {
    ++openings_;
    events.push_back("open " + std::string(path));
    for (int refused : refusedOpenings) {
      if (refused == openings_) return nullptr;
    }
    ++openKeys;
    maxOpenKeys = std::max(maxOpenKeys, openKeys);
    return std::make_unique<Key>(*this);
  }

 private:
  class Key final : public SettingsKey {
   public:
    explicit Key(RecordingStore& owner) : owner_(owner) {}
    ~Key() override {
      --owner_.openKeys;
      owner_.events.push_back("close");
    }
    std::optional<std::string> ReadString(std::string_view name) override {
      owner_.events.push_back("read " + std::string(name));
      if (name == owner_.typeErrorValue) throw SettingsTypeError("not a string");
      return std::string(name == "Timeout" || name == "DebugMode" ? "1" : "text");
    }

   private:
    RecordingStore& owner_;
  };
  int openings_ = 0;
};

std::vector<std::string> OpenReadClose(std::initializer_list<std::string_view> names) {
  std::vector<std::string> events;
  for (std::string_view name : names) {
    events.push_back("open " + std::string(kSettingsKey));
    events.push_back("read " + std::string(name));
    events.push_back("close");
  }
  return events;
}

TEST(ReadImportSettingsOpening, OpensAndClosesTheKeyOncePerValueInOrder) {
  RecordingStore store;
  ProviderValues values = PreviousRun();
  ReadImportSettings(store, values);
  EXPECT_EQ(store.events, OpenReadClose({"DownloadSrvUrl", "Timeout", "DebugMode", "ImportDB", "DataDir"}));
  EXPECT_EQ(store.maxOpenKeys, 1);
}

TEST(ReadImportSettingsOpening, KeyIsClosedWhenAValueHasTheWrongType) {
  RecordingStore store;
  store.typeErrorValue = "DebugMode";
  ProviderValues values = PreviousRun();
  ReadImportSettings(store, values);
  EXPECT_EQ(store.events, OpenReadClose({"DownloadSrvUrl", "Timeout", "DebugMode"}));
  EXPECT_EQ(store.openKeys, 0);
}

TEST(ReadImportSettingsOpening, KeyThatCannotBeOpenedForOneValueGivesThatValuesDefault) {
  RecordingStore store;
  store.refusedOpenings = {2, 4};  // Timeout and ImportDB
  ProviderValues values = PreviousRun();
  EXPECT_EQ(ReadImportSettings(store, values), "text");
  EXPECT_EQ(values.serviceUrl, "text");
  EXPECT_EQ(values.Timeout, 300);
  EXPECT_EQ(values.DebugMode, 1);
  EXPECT_EQ(values.ImportDB, "");
  const std::string open = "open " + std::string(kSettingsKey);
  const std::vector<std::string> expected = {open, "read DownloadSrvUrl", "close", open,
                                             open, "read DebugMode",      "close", open,
                                             open, "read DataDir",        "close"};
  EXPECT_EQ(store.events, expected);
}

}  // namespace
}  // namespace kx
