#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Names a CA file (PEM) that replaces the system's trust store where the adapter reads one (the
// POSIX one), for installations and tests with their own certificate authority. Verification
// itself is never switched off.
inline constexpr const char* kCaFileVariable = "VELQORA_CA_FILE";

// One request opened on a session: the GET has been sent and the answer's head has arrived.
// Destruction closes the request.
class HttpRequest {
 public:
  virtual ~HttpRequest() = default;

  // The status code as text ("200"), or nothing when it cannot be queried.
  virtual std::optional<std::string> StatusText() = 0;
  // The Content-Length header's text, or nothing when the answer has none.
  virtual std::optional<std::string> ContentLengthText() = 0;

  struct ReadResult {
    bool ok = false;        // false: the transfer failed (the connection broke, a time-out)
    std::size_t bytes = 0;  // 0 with ok: the end of the data
  };
  // Reads up to size bytes of the body into buffer.
  virtual ReadResult Read(char* buffer, std::size_t size) = 0;

  // Shows the platform's proxy credentials prompt for a 407 answer.
  enum class ProxyPrompt { Retry, NoCredentials, Declined };
  virtual ProxyPrompt AskProxyCredentials() = 0;
};

// A root handle of the platform's HTTP client, with its send and receive time-outs.
class HttpSession {
 public:
  virtual ~HttpSession() = default;

  // 0 or less leaves the platform's time-outs.
  virtual void SetTimeouts(int32_t timeoutSeconds) = 0;
  // Opens the URL with a GET (no cache, certificates verified, no revocation check, a redirect
  // followed but never from https to http). Null on failure; LastErrorText() says why.
  virtual std::unique_ptr<HttpRequest> OpenUrl(std::string_view url, std::string_view extraHeaders) = 0;
  // The platform's text for the last failure of this session: "code-text", or the code alone.
  virtual std::string LastErrorText() = 0;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Opens a session with the user agent; null on failure, with the reason in errorText.
  virtual std::unique_ptr<HttpSession> OpenSession(std::string_view userAgent, std::string& errorText) = 0;
};

}  // namespace kx
