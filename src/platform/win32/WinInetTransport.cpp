#include "platform/win32/WinInetTransport.h"

#include <windows.h>

#include <wininet.h>

#include "util/Cp1252.h"

namespace kx::win32 {
namespace {

constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET Get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// Send and receive time-outs, and no revocation check; failures of these options are ignored.
void ApplyOptions(HINTERNET handle, int32_t timeoutSeconds, bool securityFlagsAlways) {
  if (timeoutSeconds > 0) {
    DWORD ms = static_cast<DWORD>(timeoutSeconds) * 1000;
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
  }
  if (!securityFlagsAlways && timeoutSeconds <= 0) return;
  DWORD flags = 0;
  DWORD size = sizeof flags;
  InternetQueryOptionA(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
  flags |= SECURITY_FLAG_IGNORE_REVOCATION;
  InternetSetOptionA(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
  size = sizeof flags;
  InternetQueryOptionA(handle, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
}

std::optional<std::string> QueryInfo(HINTERNET request, DWORD what) {
  char text[32] = {};
  DWORD length = sizeof text;
  DWORD index = 0;
  if (!HttpQueryInfoA(request, what, text, &length, &index)) return std::nullopt;
  return std::string(text, length);
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase1252(text.substr(0, prefix.size()), prefix);
}

class WinInetRequest final : public HttpRequest {
 public:
  explicit WinInetRequest(HINTERNET handle) : handle_(handle) {}

  std::optional<std::string> StatusText() override {
    return QueryInfo(handle_.Get(), HTTP_QUERY_STATUS_CODE);
  }
  std::optional<std::string> ContentLengthText() override {
    return QueryInfo(handle_.Get(), HTTP_QUERY_CONTENT_LENGTH);
  }

  ReadResult Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    if (!InternetReadFile(handle_.Get(), buffer, static_cast<DWORD>(size), &read)) return {false, 0};
    return {true, read};
  }

  ProxyPrompt AskProxyCredentials() override {
    const DWORD answer =
        InternetErrorDlg(GetDesktopWindow(), handle_.Get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                         FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, nullptr);
    if (answer == ERROR_INTERNET_FORCE_RETRY) return ProxyPrompt::Retry;
    if (answer == 0) return ProxyPrompt::NoCredentials;
    return ProxyPrompt::Declined;
  }

  HINTERNET Handle() const { return handle_.Get(); }

 private:
  InternetHandle handle_;
};

class WinInetSession final : public HttpSession {
 public:
  explicit WinInetSession(HINTERNET root) : root_(root) {}

  void SetTimeouts(int32_t timeoutSeconds) override {
    timeoutSeconds_ = timeoutSeconds;
    ApplyOptions(root_.Get(), timeoutSeconds, true);
  }

  std::unique_ptr<HttpRequest> OpenUrl(std::string_view url, std::string_view extraHeaders) override {
    const std::string target(url);
    const std::string headers(extraHeaders);
    HINTERNET handle =
        InternetOpenUrlA(root_.Get(), target.c_str(), headers.empty() ? nullptr : headers.c_str(),
                         headers.empty() ? 0 : static_cast<DWORD>(headers.size()), kOpenFlags, 0);
    if (handle == nullptr) {
      lastError_ = LastSystemErrorText();
      return nullptr;
    }
    auto request = std::make_unique<WinInetRequest>(handle);
    if (LeftHttps(target, request->Handle())) {
      lastError_ = std::to_string(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR) +
                   std::string(":Weiterleitung von https auf http abgelehnt"_cp1252);
      return nullptr;
    }
    ApplyOptions(request->Handle(), timeoutSeconds_, false);
    return request;
  }

  std::string LastErrorText() override { return lastError_; }

 private:
  // A request made over https must not end up on plain http through a redirect.
  static bool LeftHttps(const std::string& url, HINTERNET request) {
    if (!StartsWithIgnoreCase(url, "https://")) return false;
    char finalUrl[2048] = {};
    DWORD size = sizeof finalUrl;
    if (!InternetQueryOptionA(request, INTERNET_OPTION_URL, finalUrl, &size)) return false;
    return !StartsWithIgnoreCase(std::string_view(finalUrl, size), "https://");
  }

  InternetHandle root_;
  int32_t timeoutSeconds_ = 0;
  std::string lastError_;
};

}  // namespace

std::string LastSystemErrorText() {
  const DWORD code = GetLastError();
  char text[1024] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text, 1023, nullptr);
  if (length > 0) return std::to_string(code) + "-" + std::string(text, length);
  if (code == ERROR_INTERNET_TIMEOUT)
    return std::to_string(code) + std::string(":Zeitüberschreitung (TimeOut)"_cp1252);
  return std::to_string(code);
}

std::unique_ptr<HttpSession> WinInetTransport::OpenSession(std::string_view userAgent,
                                                           std::string& errorText) {
  const std::string agent(userAgent);
  HINTERNET root = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (root == nullptr) {
    errorText = LastSystemErrorText();
    return nullptr;
  }
  return std::make_unique<WinInetSession>(root);
}

}  // namespace kx::win32
