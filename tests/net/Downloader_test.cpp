// DownloadUrl where the platform's HTTP client behaves in ways a real transfer here cannot show:
// no session at all, a proxy that keeps asking for credentials, and every read succeeding with
// fewer or more bytes than announced (libcurl notices that itself; WinInet leaves it to us).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/ImpApiINet_Download.h"
#include "support/RunDoubles.h"
#include "support/ScriptedTransport.h"

namespace kx::test {
namespace {

using ::testing::ElementsAre;

class NoSessionTransport final : public HttpTransport {
 public:
  std::unique_ptr<HttpSession> OpenSession(std::string_view, std::string& errorText) override {
    errorText = "12029";
    return nullptr;
  }
};

std::vector<std::string> Logs(const RecordingProgress& progress) {
  std::vector<std::string> out;
  for (const Message& m : progress.messages) {
    if (m.kind == KX_PROGRESS_LOG) out.push_back(m.text);
  }
  return out;
}

TEST(Downloader, NoSessionGivesMinus2WithTheSystemsText) {
  EventLog events;
  RecordingProgress progress(events);
  FakeUi ui(events);
  NoSessionTransport transport;
  Downloader downloader(transport, ui, progress);
  std::string target;
  StringOutputStream sink(target);
  std::string status = "old";
  EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, sink, status, true, true), -2);
  EXPECT_EQ(status, "");
  EXPECT_THAT(Logs(progress), ElementsAre("WinINet-Systemfehler: 12029"));
}

TEST(Downloader, ProxyPromptIsRepeatedAsLongAsCredentialsAreEntered) {
  EventLog events;
  RecordingProgress progress(events);
  FakeUi ui(events);
  ScriptedTransport transport;
  transport.status = "407";
  using P = HttpRequest::ProxyPrompt;
  transport.answers = {P::Retry, P::Retry, P::Retry, P::NoCredentials};
  Downloader downloader(transport, ui, progress);
  std::string target;
  StringOutputStream sink(target);
  std::string status;
  EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, sink, status, true, true), -9);
  EXPECT_EQ(transport.prompts, 4);
  EXPECT_EQ(status, "407");
  EXPECT_THAT(Logs(progress), ElementsAre("HTTP-Fehler 407: Authentifizierung erforderlich."));
}

TEST(Downloader, TheAnnouncedLengthDecidesWhenEveryReadSucceeds) {
  const struct {
    std::optional<std::string> length;
    std::size_t bodyBytes;
    int32_t result;
  } cases[] = {
      {"100", 10, -7}, {"5", 10, -7}, {"10", 10, 0}, {std::nullopt, 10, 0}, {"abc", 10, 0}, {"100", 0, -7},
  };
  for (const auto& c : cases) {
    EventLog events;
    RecordingProgress progress(events);
    FakeUi ui(events);
    ScriptedTransport transport;
    transport.length = c.length;
    transport.body = std::string(c.bodyBytes, 'x');
    Downloader downloader(transport, ui, progress);
    std::string target;
    StringOutputStream sink(target);
    std::string status;
    EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, sink, status, true, true), c.result)
        << c.length.value_or("(none)") << " announced, " << c.bodyBytes << " delivered";
  }
}

}  // namespace
}  // namespace kx::test
