// FetchProviderFile against the provider simulator: data files, provider error answers, the
// offline copy, files that are never left half written, and the same through an HTTPS proxy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <memory>

#include "platform/posix/CurlTransport.h"
#include "provider/ImpApi_Korvalix_Fetch.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "support/ConnectProxy.h"
#include "support/RunDoubles.h"
#include "support/Simulator.h"
#include "support/TempDir.h"
#include "support/TestNames.h"
#include "util/Error.h"

namespace kx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecordingClock final : public SystemClock {
 public:
  DateTime Today() override { return EncodeDate(2026, 12, 9); }
  DateTime Now() override { return Today(); }
  void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
  void PumpMessages() override {}
  std::vector<uint32_t> sleeps;
};

// Lets writes beyond a size fail the way a full disk makes them fail, for one test.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previousHandler_;
};

class FetchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<testsupport::TempDir>();
    std::filesystem::create_directories(server_->Path() / "data/12345");
    std::filesystem::create_directories(server_->Path() / "data/big");
    server_->WriteFile("data/accounts.txt", "12345;geheim\nbig;geheim\n");
    server_->WriteFile("data/12345/bestandsdaten.csv", kHoldings);
    server_->WriteFile("data/big/bestandsdaten.csv", std::string(64 * 1024, 'x'));
    const std::string certs = (server_->Path() / "certs").string();
    Simulator::MakeCertificates(certs);
    setenv(posix::kCaFileVariable, (certs + "/ca.pem").c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    simulator_ = std::make_unique<Simulator>(SimulatorOptions{(server_->Path() / "data").string(), certs});
  }
  static void TearDownTestSuite() {
    simulator_.reset();
    server_.reset();
  }

  void SetUp() override {
    simulator_->Reset();
    std::filesystem::create_directories(data.Path() / "debug");
    dataDir = data.Path().string() + "/";
  }

  int32_t Fetch(std::string_view login = "12345") {
    std::string request = "version=2;file=bestaende;loginid=" + std::string(login) + ";pin=geheim;";
    std::string plain;
    posix::NettleDes des;
    EncodeRequest(des, request, plain);
    url = simulator_->HttpsUrl() + "?params=" + request;
    Downloader downloader(transport, ui, progress);
    ProviderFetch fetch(values, progress, downloader, clock);
    return fetch.FetchProviderFile(url, "bestandsdaten.csv", plain, dataDir);
  }

  std::vector<Message> Kind(int32_t kind) const {
    std::vector<Message> out;
    for (const Message& m : progress.messages) {
      if (m.kind == kind) out.push_back(m);
    }
    return out;
  }

  std::string Target() const { return testsupport::TempDir::ReadFile(data.Path() / "bestandsdaten.csv"); }
  bool TargetExists() const { return std::filesystem::exists(data.Path() / "bestandsdaten.csv"); }
  bool TemporaryLeft() const { return std::filesystem::exists(data.Path() / "bestandsdaten.csv.kxtmp"); }

  static constexpr const char* kHoldings = "VERBERNR;INHKDNR1\r\n1;M\xFCller\r\n";
  static inline std::unique_ptr<testsupport::TempDir> server_;
  static inline std::unique_ptr<Simulator> simulator_;

  testsupport::TempDir data;
  std::string dataDir;
  std::string url;
  EventLog events;
  RecordingProgress progress{events};
  FakeUi ui{events};
  posix::CurlTransport transport{ui};
  RecordingClock clock;
  ProviderValues values;
};

// --- Data files ---------------------------------------------------------------------------------

TEST_F(FetchTest, DataFileIsWrittenByteForByteThenTheRunPauses) {
  EXPECT_EQ(Fetch(), 0);
  EXPECT_EQ(Target(), kHoldings);
  EXPECT_THAT(Kind(3), ElementsAre(Message{3, 0, "Datendatei geladen: bestandsdaten.csv"}));
  EXPECT_THAT(clock.sleeps, ElementsAre(1000u));
  EXPECT_FALSE(TemporaryLeft());
}

TEST_F(FetchTest, DataFileReplacesAnEarlierOne) {
  data.WriteFile("bestandsdaten.csv", "old contents that are longer than the new ones\r\n");
  EXPECT_EQ(Fetch(), 0);
  EXPECT_EQ(Target(), kHoldings);
}

TEST_F(FetchTest, DebugModeLogsTheAddressAndThePlainRequestFirst) {
  values.DebugMode = 1;
  EXPECT_EQ(Fetch(), 0);
  ASSERT_FALSE(progress.messages.empty());
  EXPECT_EQ(progress.messages.front(),
            (Message{3, 0,
                     "Download von URL: " + url +
                         "\r\nParams uncodiert: version=2;file=bestaende;loginid=12345;pin=geheim;"}));
  EXPECT_EQ(simulator_->Log().size(), 1u);
}

// --- Provider error answers ---------------------------------------------------------------------

struct AnswerCase {
  const char* answer;
  int32_t result;
  int32_t code;
  const char* text;
};

class ProviderAnswerTest : public FetchTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ProviderAnswerTest, GivesItsCodeAndWritesNoFile) {
  values.LastProviderErrorCode = 5;
  values.LastProviderErrorText = "before";
  simulator_->Fault("answer", GetParam().answer);
  EXPECT_EQ(Fetch(), GetParam().result);
  EXPECT_EQ(values.LastProviderErrorCode, GetParam().code);
  EXPECT_EQ(values.LastProviderErrorText, GetParam().text);
  EXPECT_FALSE(TargetExists());
  EXPECT_THAT(Kind(3), IsEmpty());
  EXPECT_THAT(clock.sleeps, IsEmpty());
}

// The answers themselves are a unit table (tests/provider/ProviderAnswer_test.cpp); over HTTPS, one
// of each kind: a mapped number, one without a "-", and the clear re-import.
INSTANTIATE_TEST_SUITE_P(Answers, ProviderAnswerTest,
                         ::testing::Values(AnswerCase{"Fehler 10 - abc", -31, 10, "abc"},
                                           AnswerCase{"Fehler abc", -30, 5, "before"},
                                           AnswerCase{"Fehler 60 - abc", -36, 60, "abc"}),
                         [](const auto& info) {
                           return testsupport::CaseName(info.index, info.param.answer);
                         });

TEST_F(FetchTest, AnswersThatOnlyLookLikeErrorsAreDataFiles) {
  for (const char* answer : {"fehler 10 - abc", "Fehler:abc", "Fehler"}) {
    simulator_->Fault("answer", answer);
    EXPECT_EQ(Fetch(), 0) << answer;
    EXPECT_EQ(Target(), answer);
  }
}

// --- Failed downloads ---------------------------------------------------------------------------

TEST_F(FetchTest, FailedDownloadReportsTheStatusAndKeepsTheEarlierFile) {
  data.WriteFile("bestandsdaten.csv", "earlier");
  simulator_->Fault("status", "404");
  EXPECT_EQ(Fetch(), -5);
  EXPECT_THAT(Kind(4),
              ElementsAre(Message{4, 0, "Datenabruf fehlgeschlagen: bestandsdaten.csv\r\nStatus: 404"}));
  EXPECT_EQ(Target(), "earlier");
}

TEST_F(FetchTest, NoAnswerAtAllGivesAnEmptyStatus) {
  simulator_->Fault("stall", "3");
  values.Timeout = 1;
  EXPECT_EQ(Fetch(), -3);
  EXPECT_THAT(Kind(4),
              ElementsAre(Message{4, 0, "Datenabruf fehlgeschlagen: bestandsdaten.csv\r\nStatus: "}));
}

TEST_F(FetchTest, TransferBrokenOffWritesNoFile) {
  data.WriteFile("bestandsdaten.csv", "earlier");
  simulator_->Fault("drop", "5");
  EXPECT_EQ(Fetch(), -7);
  EXPECT_EQ(Target(), "earlier");
  EXPECT_FALSE(TemporaryLeft());
}

TEST_F(FetchTest, FailingDiskLeavesTheEarlierFileWhole) {
  data.WriteFile("bestandsdaten.csv", "ok");
  {
    const FileSizeLimit limit(1024);
    EXPECT_THROW(Fetch("big"), FileError);
  }
  EXPECT_EQ(Target(), "ok");
  EXPECT_FALSE(TemporaryLeft());
}

// --- Offline mode -------------------------------------------------------------------------------

TEST_F(FetchTest, OfflineModeCopiesTheDebugFileWithoutAskingTheProvider) {
  values.DebugMode = 2;
  data.WriteFile("debug/bestandsdaten.csv", "offline;\xE4\r\n");
  EXPECT_EQ(Fetch(), 0);
  EXPECT_EQ(Target(), "offline;\xE4\r\n");
  EXPECT_THAT(simulator_->Log(), IsEmpty());
  EXPECT_THAT(clock.sleeps, IsEmpty());
  ASSERT_EQ(progress.messages.size(), 1u);  // only the debug log line
  EXPECT_EQ(progress.messages[0].text.rfind("Download von URL: ", 0), 0u);
}

TEST_F(FetchTest, OfflineModeWithoutTheDebugFileRaisesAndKeepsTheEarlierFile) {
  values.DebugMode = 2;
  data.WriteFile("bestandsdaten.csv", "earlier");
  EXPECT_THROW(Fetch(), FileError);
  EXPECT_EQ(Target(), "earlier");
  // A folder in the debug file's place is no empty file to copy.
  std::filesystem::create_directory(data.Path() / "debug" / "bestandsdaten.csv");
  EXPECT_THROW(Fetch(), FileError);
  EXPECT_EQ(Target(), "earlier");
  EXPECT_FALSE(TemporaryLeft());
}

// --- Through an HTTPS proxy ---------------------------------------------------------------------

// The proxy's "200 Connection established" opens the tunnel; the provider's own answer decides.
class FetchThroughProxyTest : public FetchTest {
 protected:
  ConnectProxy proxy;
  testsupport::ScopedEnv httpsProxy{"https_proxy", proxy.Url()};
  testsupport::ScopedEnv noProxy{"no_proxy", std::nullopt};
  testsupport::ScopedEnv noProxyUpper{"NO_PROXY", std::nullopt};
};

TEST_F(FetchThroughProxyTest, CompleteFilesArriveByteForByte) {
  EXPECT_EQ(Fetch(), 0);
  EXPECT_EQ(Target(), kHoldings);
  EXPECT_EQ(Fetch("big"), 0);
  EXPECT_EQ(Target(), std::string(64 * 1024, 'x'));
  EXPECT_EQ(proxy.Tunnels(), 2);
}

TEST_F(FetchThroughProxyTest, TheProvidersStatusGivesItsCodeAndNoFile) {
  const std::vector<std::pair<const char*, int32_t>> cases = {{"401", -4}, {"403", -4}, {"404", -5},
                                                              {"503", -8}, {"500", -6}, {"204", -6}};
  for (const auto& [status, result] : cases) {
    simulator_->Fault("status", status);
    EXPECT_EQ(Fetch(), result) << status;
    EXPECT_FALSE(TargetExists()) << status;
  }
  EXPECT_EQ(proxy.Tunnels(), static_cast<int>(cases.size()));
}

TEST_F(FetchThroughProxyTest, ShortBodyIsIncomplete) {
  simulator_->Fault("short-body", "10");
  EXPECT_EQ(Fetch(), -7);
  EXPECT_FALSE(TargetExists());
}

TEST_F(FetchThroughProxyTest, ProxyDemandingCredentialsThatNobodyCanGiveIsMinus9) {
  const ConnectProxy demanding(ConnectProxy::Credentials::Demanded);
  const testsupport::ScopedEnv viaDemanding("https_proxy", demanding.Url());
  EXPECT_EQ(Fetch(), -9);
  EXPECT_FALSE(TargetExists());
  EXPECT_THAT(simulator_->Log(), IsEmpty());

  ui.proxyAnswer = ProxyAnswer::Entered;
  EXPECT_EQ(Fetch(), 0);
  EXPECT_EQ(Target(), kHoldings);
  EXPECT_EQ(demanding.Tunnels(), 1);
}

}  // namespace
}  // namespace kx::test
