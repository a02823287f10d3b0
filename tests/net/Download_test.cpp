// DownloadUrl over real HTTP(S) on loopback against the provider simulator, through libcurl.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "net/ImpApiINet_Download.h"
#include "platform/posix/CurlTransport.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "support/RunDoubles.h"
#include "support/Simulator.h"
#include "support/TempDir.h"
#include "support/TestNames.h"

namespace kx::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A user interface whose progress window is "clicked" after a number of chunks, and whose proxy
// prompt gives a scripted answer.
class ScriptedUi final : public UserInterface {
 public:
  void ShowInformation(std::string_view, std::string_view) override {}
  bool AskPin(std::string_view, std::string_view, std::string&) override { return false; }
  int32_t ShowAccessDataDialog(AccessData&, std::string_view) override { return kModalCancel; }
  ProxyAnswer AskProxyCredentials(std::string_view, ProxyCredentials& credentials) override {
    ++proxyPrompts;
    credentials = {"user", "secret"};
    return proxyAnswer;
  }
  void ShowDownloadProgress() override {
    ++windowsShown;
    open = true;
    asked = 0;
  }
  bool DownloadCancelled() override { return open && ++asked >= cancelAfterChunks && cancelAfterChunks > 0; }
  void CloseDownloadProgress() override { open = false; }
  void SetCursor(Cursor cursor) override { cursors.push_back(cursor); }

  int cancelAfterChunks = 0;  // 0: never
  ProxyAnswer proxyAnswer = ProxyAnswer::Unavailable;
  int proxyPrompts = 0;
  int windowsShown = 0;
  int asked = 0;
  bool open = false;
  std::vector<Cursor> cursors;
};

std::string Repeat(std::string_view text, std::size_t bytes) {
  std::string out;
  while (out.size() < bytes) out += text;
  out.resize(bytes);
  return out;
}

class DownloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<testsupport::TempDir>();
    const std::string data = (dir_->Path() / "data").string();
    const std::string certs = (dir_->Path() / "certs").string();
    std::filesystem::create_directories(data + "/12345");
    std::filesystem::create_directories(data + "/big");
    dir_->WriteFile("data/accounts.txt", "12345;geheim\nbig;pw\n");
    dir_->WriteFile("data/12345/bestandsdaten.csv", kHoldings);
    dir_->WriteFile("data/12345/transaktionsdaten.csv", "TRAID;X\r\n1;2\r\n");
    dir_->WriteFile("data/big/bestandsdaten.csv", Repeat("0123456789;\xE4\xF6\xFC\r\n", 300000));
    Simulator::MakeCertificates(certs);
    caFile_ = certs + "/ca.pem";
    setenv(posix::kCaFileVariable, caFile_.c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    simulator_ = std::make_unique<Simulator>(SimulatorOptions{data, certs});
  }

  static void TearDownTestSuite() {
    simulator_.reset();
    dir_.reset();
  }

  void SetUp() override { simulator_->Reset(); }

  // The URL of a holdings request of the given login, on HTTPS or plain HTTP.
  static std::string Url(bool https = true, std::string_view login = "12345",
                         std::string_view pin = "geheim") {
    std::string request =
        "version=2;file=bestaende;loginid=" + std::string(login) + ";pin=" + std::string(pin) + ";";
    std::string plain;
    posix::NettleDes des;
    EncodeRequest(des, request, plain);
    return (https ? simulator_->HttpsUrl() : simulator_->HttpUrl()) + "?params=" + request;
  }

  int32_t Download(const std::string& url, int32_t timeout = 10, bool report = true, bool window = true) {
    target.clear();
    Downloader downloader(transport, ui, progress);
    StringOutputStream sink(target);
    return downloader.DownloadUrl(url, "", timeout, sink, status, report, window);
  }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> out;
    for (const Message& m : progress.messages) {
      if (m.kind == KX_PROGRESS_LOG) out.push_back(m.text);
    }
    return out;
  }

  std::size_t PositionMessages() const {
    std::size_t n = 0;
    for (const Message& m : progress.messages) n += (m == Message{2, 5, ""});
    return n;
  }

  static constexpr const char* kHoldings = "VERBERNR;INHKDNR1\r\n1;M\xFCller\r\n";
  static inline std::unique_ptr<testsupport::TempDir> dir_;
  static inline std::unique_ptr<Simulator> simulator_;
  static inline std::string caFile_;

  EventLog events;
  RecordingProgress progress{events};
  ScriptedUi ui;
  posix::CurlTransport transport{ui};
  std::string target;
  std::string status;
};

// --- Complete transfers -------------------------------------------------------------------------

TEST_F(DownloadTest, HttpsTransferDeliversTheBytesUnchanged) {
  EXPECT_EQ(Download(Url()), 0);
  EXPECT_EQ(target, kHoldings);
  EXPECT_EQ(status, "200");
  EXPECT_THAT(LogLines(), IsEmpty());
  EXPECT_THAT(ui.cursors, ElementsAre(Cursor::Wait, Cursor::AppStarting));
}

TEST_F(DownloadTest, ServerSeesTheUserAgentFreeRequestFieldsDecoded) {
  Download(Url());
  EXPECT_THAT(simulator_->Log(),
              ElementsAre("login=12345 file=bestaende startid= startid2= reimport= pin=geheim"));
}

TEST_F(DownloadTest, LargeFileArrivesInChunksWithAPositionMessageEach) {
  ASSERT_EQ(Download(Url(true, "big", "pw")), 0);
  EXPECT_EQ(target.size(), 300000u * 1);
  EXPECT_EQ(target.substr(0, 16), "0123456789;\xE4\xF6\xFC\r\n");
  // Chunks are at most 65535 bytes: at least five, plus one message each when the window opens and closes.
  EXPECT_GE(PositionMessages(), 5u + 2u);
}

TEST_F(DownloadTest, WithoutTheWindowOnlyTheChunkMessagesAreSent) {
  ASSERT_EQ(Download(Url(), 10, true, false), 0);
  EXPECT_EQ(PositionMessages(), 1u);
  EXPECT_EQ(ui.windowsShown, 0);
}

TEST_F(DownloadTest, PlainHttpWorksToo) {
  EXPECT_EQ(Download(Url(false)), 0);
  EXPECT_EQ(target, kHoldings);
}

TEST_F(DownloadTest, AnswerWithoutLengthIsCompleteWhenTheTransferEnds) {
  simulator_->Fault("no-length");
  EXPECT_EQ(Download(Url()), 0);
  EXPECT_EQ(target, kHoldings);
}

TEST_F(DownloadTest, RedirectToHttpsIsFollowed) {
  simulator_->Fault("redirect-https");
  EXPECT_EQ(Download(Url(false)), 0);
  EXPECT_EQ(target, kHoldings);
}

TEST_F(DownloadTest, StatusFoundWithoutRedirectIsAccepted) {
  simulator_->Fault("status", "302");
  EXPECT_EQ(Download(Url()), 0);
  EXPECT_EQ(status, "302");
  EXPECT_EQ(target, "simulated status");
}

// --- Status answers -----------------------------------------------------------------------------

struct StatusCase {
  const char* status;
  int32_t result;
  const char* message;
};

class DownloadStatusTest : public DownloadTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(DownloadStatusTest, StatusGivesItsCodeAndMessageWithoutReadingTheBody) {
  simulator_->Fault("status", GetParam().status);
  EXPECT_EQ(Download(Url()), GetParam().result);
  EXPECT_EQ(status, GetParam().status);
  EXPECT_THAT(LogLines(), ElementsAre(GetParam().message));
  EXPECT_TRUE(target.empty());
  EXPECT_EQ(ui.windowsShown, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, DownloadStatusTest,
    ::testing::Values(StatusCase{"401", -4, "HTTP-Fehler 401: Zugriff verweigert."},
                      StatusCase{"403", -4, "HTTP-Fehler 403: Zugriff verweigert."},
                      StatusCase{"404", -5, "HTTP-Fehler 404: Die Seite wurde nicht gefunden."},
                      StatusCase{"503", -8,
                                 "HTTP-Fehler 503: Der Server ist vor\xFC"
                                 "bergehend \xFC"
                                 "berlastet."},
                      StatusCase{"500", -6, "HTTP-Fehler: 500"}, StatusCase{"204", -6, "HTTP-Fehler: 204"}),
    [](const auto& info) { return testsupport::CaseName(info.index, info.param.status); });

TEST_F(DownloadTest, MessagesAreLeftOutWhenNotWanted) {
  simulator_->Fault("status", "404");
  EXPECT_EQ(Download(Url(), 10, false), -5);
  EXPECT_THAT(LogLines(), IsEmpty());
}

// --- Proxy authentication -----------------------------------------------------------------------

TEST_F(DownloadTest, ProxyAuthenticationWithoutCredentialsGivesMinus9) {
  simulator_->Fault("status", "407", 0);
  EXPECT_EQ(Download(Url()), -9);
  EXPECT_THAT(LogLines(), ElementsAre("HTTP-Fehler 407: Authentifizierung erforderlich."));
}

TEST_F(DownloadTest, DeclinedProxyPromptGivesMinus1WithoutMessage) {
  ui.proxyAnswer = ProxyAnswer::Declined;
  simulator_->Fault("status", "407", 0);
  EXPECT_EQ(Download(Url()), -1);
  EXPECT_THAT(LogLines(), IsEmpty());
}

TEST_F(DownloadTest, EnteredProxyCredentialsRetryTheRequest) {
  ui.proxyAnswer = ProxyAnswer::Entered;
  simulator_->Fault("status", "407", 2);
  EXPECT_EQ(Download(Url()), 0);
  EXPECT_EQ(ui.proxyPrompts, 2);
  EXPECT_EQ(target, kHoldings);
  EXPECT_EQ(simulator_->Log().size(), 3u);
}

// --- Incomplete transfers -----------------------------------------------------------------------

std::string IncompleteMessage(std::size_t bytes) {
  return "Fehler bei Download: Die angeforderte Datei wurde nur unvollst\xE4ndig geladen (" +
         std::to_string(bytes) + " Bytes geladen)";
}

TEST_F(DownloadTest, EmptyBodyIsIncomplete) {
  simulator_->Fault("empty-body");
  EXPECT_EQ(Download(Url()), -7);
  EXPECT_THAT(LogLines(), ElementsAre(IncompleteMessage(0)));
}

TEST_F(DownloadTest, BodyShorterThanAnnouncedIsIncomplete) {
  simulator_->Fault("short-body", "10");
  EXPECT_EQ(Download(Url()), -7);
  EXPECT_THAT(LogLines(), ElementsAre(IncompleteMessage(10)));
}

TEST_F(DownloadTest, ConnectionDroppedInTheBodyIsIncompleteEvenWithoutALength) {
  simulator_->Fault("drop", "12");
  EXPECT_EQ(Download(Url()), -7);
  EXPECT_THAT(LogLines(), ElementsAre(IncompleteMessage(12)));
}

TEST_F(DownloadTest, StallInTheBodyLongerThanTheTimeoutIsIncomplete) {
  simulator_->Fault("stall-body", "4");
  EXPECT_EQ(Download(Url(), 1), -7);
  EXPECT_EQ(LogLines().size(), 1u);
}

// --- Connection failures ------------------------------------------------------------------------

TEST_F(DownloadTest, StallBeforeTheAnswerLongerThanTheTimeoutFailsToOpen) {
  simulator_->Fault("stall", "4");
  EXPECT_EQ(Download(Url(), 1), -3);
  EXPECT_THAT(LogLines(), ElementsAre("WinINet-Systemfehler: 28:Zeit\xFC"
                                      "berschreitung (TimeOut)"));
  EXPECT_EQ(status, "");
}

TEST_F(DownloadTest, RefusedConnectionFailsToOpen) {
  EXPECT_EQ(Download("https://127.0.0.1:1/modules/tavo/onlinedatatransfer.php?params=x"), -3);
  ASSERT_EQ(LogLines().size(), 1u);
  EXPECT_EQ(LogLines()[0].rfind("WinINet-Systemfehler: 7-", 0), 0u) << LogLines()[0];
}

TEST_F(DownloadTest, RedirectFromHttpsToHttpIsRefused) {
  simulator_->Fault("redirect-http");
  EXPECT_EQ(Download(Url()), -3);
  EXPECT_THAT(simulator_->Log().size(), 1u);  // the plain http address was never asked
}

TEST_F(DownloadTest, CertificateOfAnUnknownAuthorityIsRefused) {
  unsetenv(posix::kCaFileVariable);
  const int32_t result = Download(Url());
  setenv(posix::kCaFileVariable, caFile_.c_str(), 1);
  EXPECT_EQ(result, -3);
  EXPECT_THAT(simulator_->Log(), IsEmpty());
}

// --- Cancelling ---------------------------------------------------------------------------------

TEST_F(DownloadTest, CancelButtonStopsTheTransferAfterItsChunk) {
  ui.cancelAfterChunks = 2;
  EXPECT_EQ(Download(Url(true, "big", "pw")), -1015);
  EXPECT_THAT(LogLines(), ElementsAre("Download durch Benutzer abgebrochen"));
  EXPECT_FALSE(ui.open);
  // Open, two chunks, close.
  EXPECT_EQ(PositionMessages(), 4u);
  EXPECT_THAT(ui.cursors, ElementsAre(Cursor::Wait, Cursor::AppStarting));
}

// --- Certificates of the wrong kind, on servers of their own ------------------------------------

class BadCertificateTest : public ::testing::TestWithParam<const char*> {};

TEST_P(BadCertificateTest, IsRefusedWithMinus3) {
  const testsupport::TempDir dir;
  std::filesystem::create_directories(dir.Path() / "data/12345");
  dir.WriteFile("data/accounts.txt", "12345;geheim\n");
  dir.WriteFile("data/12345/bestandsdaten.csv", "x\r\n");
  const std::string certs = (dir.Path() / "certs").string();
  Simulator::MakeCertificates(certs);
  const testsupport::ScopedEnv ca(posix::kCaFileVariable, certs + "/ca.pem");
  const Simulator simulator(SimulatorOptions{(dir.Path() / "data").string(), certs, GetParam(), true, false});

  std::string request = "version=2;file=bestaende;loginid=12345;pin=geheim;";
  std::string plain;
  posix::NettleDes des;
  EncodeRequest(des, request, plain);
  EventLog events;
  RecordingProgress progress(events);
  ScriptedUi ui;
  posix::CurlTransport transport(ui);
  Downloader downloader(transport, ui, progress);
  std::string target;
  StringOutputStream sink(target);
  std::string status;
  EXPECT_EQ(
      downloader.DownloadUrl(simulator.HttpsUrl() + "?params=" + request, "", 5, sink, status, true, true),
      -3);
  EXPECT_TRUE(target.empty());
}

INSTANTIATE_TEST_SUITE_P(Variants, BadCertificateTest, ::testing::Values("expired", "wrong-name"));

}  // namespace
}  // namespace kx::test
