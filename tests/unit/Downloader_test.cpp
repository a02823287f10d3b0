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

// Every request answers 407; the prompt answers as scripted.
class ProxyTransport final : public HttpTransport {
 public:
  int prompts = 0;
  std::vector<HttpRequest::ProxyPrompt> answers;

  std::unique_ptr<HttpSession> OpenSession(std::string_view, std::string&) override {
    return std::make_unique<Session>(*this);
  }

 private:
  class Request final : public HttpRequest {
   public:
    explicit Request(ProxyTransport& owner) : owner_(owner) {}
    std::optional<std::string> StatusText() override { return "407"; }
    std::optional<std::string> ContentLengthText() override { return std::nullopt; }
    ReadResult Read(char*, std::size_t) override { return {true, 0}; }
    ProxyPrompt AskProxyCredentials() override {
      const std::size_t i = static_cast<std::size_t>(owner_.prompts++);
      return i < owner_.answers.size() ? owner_.answers[i] : ProxyPrompt::Declined;
    }

   private:
    ProxyTransport& owner_;
  };
  class Session final : public HttpSession {
   public:
    explicit Session(ProxyTransport& owner) : owner_(owner) {}
    void SetTimeouts(int32_t) override {}
    std::unique_ptr<HttpRequest> OpenUrl(std::string_view, std::string_view) override {
      return std::make_unique<Request>(owner_);
    }
    std::string LastErrorText() override { return ""; }

   private:
    ProxyTransport& owner_;
  };
};

// A 200 answer with a scripted Content-Length and body; every read succeeds.
class AnswerTransport final : public HttpTransport {
 public:
  AnswerTransport(std::optional<std::string> length, std::string body)
      : length_(std::move(length)), body_(std::move(body)) {}

  std::unique_ptr<HttpSession> OpenSession(std::string_view, std::string&) override {
    return std::make_unique<Session>(*this);
  }

 private:
  class Request final : public HttpRequest {
   public:
    explicit Request(const AnswerTransport& owner) : owner_(owner) {}
    std::optional<std::string> StatusText() override { return "200"; }
    std::optional<std::string> ContentLengthText() override { return owner_.length_; }
    ReadResult Read(char* buffer, std::size_t size) override {
      const std::size_t n = std::min(size, owner_.body_.size() - read_);
      owner_.body_.copy(buffer, n, read_);
      read_ += n;
      return {true, n};
    }
    ProxyPrompt AskProxyCredentials() override { return ProxyPrompt::Declined; }

   private:
    const AnswerTransport& owner_;
    std::size_t read_ = 0;
  };
  class Session final : public HttpSession {
   public:
    explicit Session(const AnswerTransport& owner) : owner_(owner) {}
    void SetTimeouts(int32_t) override {}
    std::unique_ptr<HttpRequest> OpenUrl(std::string_view, std::string_view) override {
      return std::make_unique<Request>(owner_);
    }
    std::string LastErrorText() override { return ""; }

   private:
    const AnswerTransport& owner_;
  };

  std::optional<std::string> length_;
  std::string body_;
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
  ProxyTransport transport;
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
    AnswerTransport transport(c.length, std::string(c.bodyBytes, 'x'));
    Downloader downloader(transport, ui, progress);
    std::string target;
    std::string status;
    EXPECT_EQ(downloader.DownloadUrl("https://127.0.0.1/x", "", 5, target, status, true, true), c.result)
        << c.length.value_or("(none)") << " announced, " << c.bodyBytes << " delivered";
  }
}

}  // namespace
}  // namespace kx::test
