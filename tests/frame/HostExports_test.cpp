// The plug-in loaded the way a host loads it: dlopen, the seven exports by name, nothing else.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ImpApiKorvalix.h"

namespace {

struct Exports {
  decltype(&::VersionInfo) VersionInfo;
  decltype(&::AppVersionCheck) AppVersionCheck;
  decltype(&::ImportVersionInfo) ImportVersionInfo;
  decltype(&::RegProgrCallback) RegProgrCallback;
  decltype(&::ExportXML) ExportXML;
  decltype(&::GetExportErrorMsg) GetExportErrorMsg;
  decltype(&::ApiDataDialog) ApiDataDialog;
};

struct Line {
  int32_t kind;
  int32_t value;
  std::string text;
};
std::vector<Line> gLines;

void KX_CALL RecordLine(int32_t kind, int32_t value, const char* text) {
  gLines.push_back({kind, value, text});
}

// The library's dialogs ask on the controlling terminal, and a test started from a terminal would
// wait there for an answer that never comes. The test process gives its terminal up, so the
// library finds none, as under CI: the access-data dialog answers 2, the PIN prompt declines.
void GiveUpControllingTerminal() {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return;  // there is none
  ioctl(tty, TIOCNOTTY);
  close(tty);
}

class HostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    GiveUpControllingTerminal();
    handle_ = dlopen(KX_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    api_.VersionInfo = Find<decltype(api_.VersionInfo)>("VersionInfo");
    api_.AppVersionCheck = Find<decltype(api_.AppVersionCheck)>("AppVersionCheck");
    api_.ImportVersionInfo = Find<decltype(api_.ImportVersionInfo)>("ImportVersionInfo");
    api_.RegProgrCallback = Find<decltype(api_.RegProgrCallback)>("RegProgrCallback");
    api_.ExportXML = Find<decltype(api_.ExportXML)>("ExportXML");
    api_.GetExportErrorMsg = Find<decltype(api_.GetExportErrorMsg)>("GetExportErrorMsg");
    api_.ApiDataDialog = Find<decltype(api_.ApiDataDialog)>("ApiDataDialog");
  }
  static void TearDownTestSuite() {
    if (handle_ != nullptr) dlclose(handle_);
  }

  template <typename F>
  static F Find(const char* name) {
    void* symbol = dlsym(handle_, name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<F>(symbol);
  }

  void SetUp() override {
    char dir[] = "/tmp/kxhostXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    registry_ = dir_ + "/registry.reg";
    setenv("VELQORA_REGISTRY", registry_.c_str(), 1);
    gLines.clear();
    api_.RegProgrCallback(&RecordLine);
  }

  void TearDown() override {
    api_.RegProgrCallback(nullptr);
    unsetenv("VELQORA_REGISTRY");
    std::remove(registry_.c_str());
    rmdir(dir_.c_str());
  }

  void WriteSettings(const std::string& values) {
    std::ofstream(registry_)
        << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"
        << values;
  }

  int32_t Export(const char* options, double lastImport = 1.0) {
    return api_.ExportXML(dir_.c_str(), "BR-1", 0, &lastImport, options);
  }

  std::string ErrorText(int32_t code) {
    char buffer[KX_ERROR_TEXT_BUFFER_SIZE];
    return api_.GetExportErrorMsg(code, buffer) == 0 ? std::string(buffer) : "<none>";
  }

  static inline void* handle_ = nullptr;
  static inline Exports api_{};
  std::string dir_;
  std::string registry_;
};

TEST_F(HostTest, HandshakeAnswersTheFixedNumbers) {
  EXPECT_EQ(api_.VersionInfo(), 40300);
  EXPECT_EQ(api_.AppVersionCheck(40338), -1);
  EXPECT_EQ(api_.AppVersionCheck(40339), 0);
  EXPECT_EQ(api_.AppVersionCheck(40400), 0);
}

TEST_F(HostTest, ImportVersionInfoWritesSixBytesAndNoZero) {
  unsigned char buffer[256];
  std::memset(buffer, 0xCC, sizeof buffer);
  api_.ImportVersionInfo(buffer);
  const unsigned char expected[] = {5, '2', '.', '1', '.', '2', 0xCC};
  EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);
}

TEST_F(HostTest, NullOptionTextGivesMinus11WithItsMessage) {
  EXPECT_EQ(Export(nullptr), -11);
  EXPECT_TRUE(gLines.empty());
  EXPECT_EQ(ErrorText(-11),
            "Keine KORVALIX-Zugangsdaten erfasst.\r\n"
            "Erfassen Sie bitte die KORVALIX-Zugangsdaten in der Beraterverwaltung.");
}

TEST_F(HostTest, DataDirSettingIsReportedBeforeTheOptionCheck) {
  WriteSettings("\"DataDir\"=\"/data/kx/\"\r\n");
  EXPECT_EQ(Export(nullptr), -11);
  ASSERT_EQ(gLines.size(), 1u);
  EXPECT_EQ(gLines[0].kind, 3);
  EXPECT_EQ(gLines[0].text, "DataDir = /data/kx/");
}

TEST_F(HostTest, MissingLoginGivesMinus12) { EXPECT_EQ(Export("EmbeddedIBServer=TRUE\r\n"), -12); }

TEST_F(HostTest, UnregisteredCallbackSilencesTheRunWithoutChangingItsResult) {
  WriteSettings("\"DataDir\"=\"/data/kx/\"\r\n");
  api_.RegProgrCallback(nullptr);
  EXPECT_EQ(Export(nullptr), -11);
  EXPECT_TRUE(gLines.empty());
}

TEST_F(HostTest, ExceptionInsideTheRunBecomesAnErrorLineAndMinus29) {
  // Offline mode with no debug copy to take: the file layer raises, the export reports it.
  WriteSettings("\"DebugMode\"=\"2\"\r\n\"DataDir\"=\"" + dir_ + "/\"\r\n");
  EXPECT_EQ(Export("EmbeddedIBServer=TRUE\r\nUserLogin=1\r\nPassword=2\r\n"), -29);
  ASSERT_FALSE(gLines.empty());
  EXPECT_EQ(gLines.back().kind, 4);
  EXPECT_NE(gLines.back().text.find("debug/bestandsdaten.csv"), std::string::npos) << gLines.back().text;
}

// The host's click during a run (its callback lets messages run) calls ExportXML again: refused
// before anything is read or shown, and the first run goes on to its own end.
TEST_F(HostTest, SecondExportDuringARunIsRefusedAtOnce) {
  WriteSettings("\"DataDir\"=\"" + dir_ + "/missing/\"\r\n");
  static int32_t nested = 0;
  static const char* outputDir = nullptr;
  outputDir = dir_.c_str();
  api_.RegProgrCallback([](int32_t kind, int32_t value, const char* text) {
    RecordLine(kind, value, text);
    const double lastImport = 1.0;
    if (gLines.size() == 1)
      nested = api_.ExportXML(outputDir, "BR-2", 0, &lastImport, "EmbeddedIBServer=TRUE\r\nUserLogin=1\r\n");
  });
  EXPECT_EQ(Export("EmbeddedIBServer=TRUE\r\nUserLogin=1\r\nPassword=2\r\n"), -29);
  EXPECT_EQ(nested, -29);
  ASSERT_EQ(gLines.size(), 3u);
  EXPECT_EQ(gLines[0].text, "DataDir = " + dir_ + "/missing/");
  EXPECT_EQ(gLines[1].kind, 4);
  EXPECT_EQ(gLines[1].text,
            "Es l\xE4uft bereits ein Import; ein weiterer kann erst nach dessen Ende beginnen.");
  // The first run itself ends at its data directory, which does not exist: a German line naming it.
  EXPECT_EQ(gLines[2].kind, 4);
  EXPECT_TRUE(gLines[2].text.starts_with("Das Datenverzeichnis " + dir_ +
                                         "/missing/ fehlt oder ist nicht beschreibbar ("))
      << gLines[2].text;
}

TEST_F(HostTest, UnknownCodesLeaveTheBufferUntouched) {
  char buffer[16];
  std::memset(buffer, 'q', sizeof buffer);
  EXPECT_EQ(api_.GetExportErrorMsg(-36, buffer), -1);
  EXPECT_EQ(api_.GetExportErrorMsg(1, buffer), -1);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(16, 'q'));
}

TEST_F(HostTest, AccessDataDialogIsCancelledAndLeavesTheBuffers) {
  char user[KX_USER_NAME_BUFFER_SIZE] = "user";
  char password[KX_PASSWORD_BUFFER_SIZE] = "pw";
  char custom[KX_CUSTOM_DATA_BUFFER_SIZE] = "a=b";
  EXPECT_EQ(api_.ApiDataDialog(user, password, custom), 2);
  EXPECT_STREQ(user, "user");
  EXPECT_STREQ(password, "pw");
  EXPECT_STREQ(custom, "a=b");
}

}  // namespace
