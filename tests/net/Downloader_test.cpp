// DownloadUrl where the platform's HTTP client behaves in ways a real transfer here cannot show:
// no session at all, a proxy that keeps asking for credentials, and every read succeeding with
// fewer or more bytes than announced (libcurl notices that itself; WinInet leaves it to us).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "net/ImpApiINet_Download.h"
#include "support/RunDoubles.h"

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

// Every request gets the scripted answer: a status, a Content-Length and a body, every read
// succeeding; a 407's prompt answers as scripted.
class ScriptedTransport final : public HttpTransport {
 public:
  std::string status = "200";
  std::optional<std::string> length;
  std::string body;
  std::vector<HttpRequest::ProxyPrompt> answers;
  int prompts = 0;

  std::unique_ptr<HttpSession> OpenSession(std::string_view, std::string&) override {
    return std::make_unique<Session>(*this);
  }

 private:
  class Request final : public HttpRequest {
   public:
    explicit Request(ScriptedTransport& owner) : owner_(owner) {}
    std::optional<std::string> StatusText() override { return owner_.status; }
    std::optional<std::string> ContentLengthText() override { return owner_.length; }
    ReadResult Read(char* buffer, std::size_t size) override {
      const std::size_t n = std::min(size, owner_.body.size() - read_);
      owner_.body.copy(buffer, n, read_);
      read_ += n;
      return {true, n};
    }
    ProxyPrompt AskProxyCredentials() override {
      const std::size_t i = static_cast<std::size_t>(owner_.prompts++);
      return i < owner_.answers.size() ? owner_.answers[i] : ProxyPrompt::Declined;
    }

   private:
    ScriptedTransport& owner_;
    std::size_t read_ = 0;
  };
  class Session final : public HttpSession {
   public:
    explicit Session(ScriptedTransport& owner) : owner_(owner) {}
    void SetTimeouts(int32_t) override {}
    std::unique_ptr<HttpRequest> OpenUrl(std::string_view, std::string_view) override {
      return std::make_unique<Request>(owner_);
    }
    std::string LastErrorText() override { return ""; }

   private:
    ScriptedTransport& owner_;
  };
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
  std::string status = "old";
  EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, target, status, true, true), -2);
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
  std::string status;
  EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, target, status, true, true), -9);
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
    std::string status;
    EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, target, status, true, true), c.result)
        << c.length.value_or("(none)") << " announced, " << c.bodyBytes << " delivered";
  }
}

}  // namespace
}  // namespace kx::test
