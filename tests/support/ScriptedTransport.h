#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/HttpTransport.h"

namespace kx::test {

// Every request gets the scripted answer: a status, a Content-Length and a body, every read
// succeeding with at most chunk bytes; a 407's prompt answers as scripted.
class ScriptedTransport final : public HttpTransport {
 public:
  std::string status = "200";
  std::optional<std::string> length;
  std::string body;
  std::size_t chunk = SIZE_MAX;
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
      const std::size_t n = std::min({size, owner_.chunk, owner_.body.size() - read_});
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

}  // namespace kx::test
