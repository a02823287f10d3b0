#include "platform/posix/CurlTransport.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "util/Cp1252.h"

namespace kx::posix {
namespace {

// Data the transfer has delivered but the caller has not read yet; beyond this the transfer is
// paused, so a fast server cannot make the queue grow without bound.
constexpr std::size_t kQueueLimit = 1 << 20;
constexpr int kPollMilliseconds = 200;
constexpr auto kQuietBeforeCancelCheck = std::chrono::milliseconds(500);

struct CurlGlobal {
  CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
  ~CurlGlobal() { curl_global_cleanup(); }
};

void EnsureCurlGlobal() { static CurlGlobal global; }

std::string ErrorText(CURLcode code, const char* detail) {
  std::string text = std::to_string(static_cast<int>(code));
  if (code == CURLE_OPERATION_TIMEDOUT) return text + std::string(":Zeitüberschreitung (TimeOut)"_cp1252);
  return text + "-" + (detail != nullptr && *detail != '\0' ? detail : curl_easy_strerror(code));
}

bool IsHttps(std::string_view url) { return ToLower1252(url.substr(0, 8)) == "https://"; }

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// One GET driven through the multi interface, so that the caller pulls the body in chunks.
class CurlRequest final : public HttpRequest {
 public:
  CurlRequest(CurlSessionState& session, UserInterface& ui, std::string url)
      : session_(session), ui_(ui), url_(std::move(url)) {}

  ~CurlRequest() override {
    if (multi_ && easy_) curl_multi_remove_handle(multi_.get(), easy_.get());
  }

  // Sends the request and waits for the head of the final answer (after redirects).
  bool Open(std::string_view extraHeaders, std::string& errorText) {
    easy_.reset(curl_easy_init());
    multi_.reset(curl_multi_init());
    if (!easy_ || !multi_) {
      errorText = ErrorText(CURLE_OUT_OF_MEMORY, nullptr);
      return false;
    }
    Configure(extraHeaders);
    curl_multi_add_handle(multi_.get(), easy_.get());
    lastActivity_ = std::chrono::steady_clock::now();
    while (!headComplete_ && !done_) Pump();
    if (headComplete_) return true;
    // A proxy that asks for credentials refuses the tunnel; its 407 stands for the answer, so
    // that the caller can ask for them. Any other refusal fails the request like no connection.
    long connectCode = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (connectCode == 407) {
      status_ = 407;
      contentLength_.reset();
      return true;
    }
    errorText = ErrorText(result_, errorBuffer_);
    return false;
  }

  std::optional<std::string> StatusText() override {
    if (status_ <= 0) return std::nullopt;
    return std::to_string(status_);
  }

  std::optional<std::string> ContentLengthText() override { return contentLength_; }

  ReadResult Read(char* buffer, std::size_t size) override {
    while (Queued() == 0 && !done_) {
      if (paused_) {
        paused_ = false;
        lastActivity_ = std::chrono::steady_clock::now();  // the wait was the caller's, not the server's
        curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
      }
      Pump();
    }
    const std::size_t n = std::min(size, Queued());
    if (n == 0) return {result_ == CURLE_OK, 0};
    std::memcpy(buffer, queue_.data() + readPos_, n);
    readPos_ += n;
    if (readPos_ == queue_.size()) {
      queue_.clear();
      readPos_ = 0;
    }
    return {true, n};
  }

  ProxyPrompt AskProxyCredentials() override {
    ProxyCredentials credentials;
    switch (ui_.AskProxyCredentials(url_, credentials)) {
      case ProxyAnswer::Entered:
        session_.proxyUserPassword = credentials.User + ":" + credentials.Password;
        return ProxyPrompt::Retry;
      case ProxyAnswer::Unavailable:
        return ProxyPrompt::NoCredentials;
      case ProxyAnswer::Declined:
        break;
    }
    return ProxyPrompt::Declined;
  }

 private:
  void Configure(std::string_view extraHeaders) {
    CURL* e = easy_.get();
    curl_easy_setopt(e, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, session_.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    // Through an HTTPS proxy the head of its CONNECT answer ("200 Connection established") is
    // not the provider's: only the provider's own status and length may decide.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // A redirect is followed, but an https request never continues over plain http.
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, IsHttps(url_) ? "https" : "http,https");
    // The request carries login and PIN: the server's certificate is checked against the trust
    // store (name and dates). Revocation lists are not consulted.
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!session_.caFile.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, session_.caFile.c_str());
    if (!session_.proxyUserPassword.empty()) {
      curl_easy_setopt(e, CURLOPT_PROXYUSERPWD, session_.proxyUserPassword.c_str());
    }
    // The receive time-out is watched in Pump(); libcurl bounds the connection itself.
    if (session_.timeoutSeconds > 0) {
      curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(session_.timeoutSeconds));
    }
    // Every request is fetched afresh from the origin; nothing is kept in any cache.
    curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
    list = curl_slist_append(list, "Pragma: no-cache");
    std::size_t pos = 0;
    while (pos < extraHeaders.size()) {
      std::size_t end = extraHeaders.find_first_of("\r\n", pos);
      if (end == std::string_view::npos) end = extraHeaders.size();
      if (end > pos) list = curl_slist_append(list, std::string(extraHeaders.substr(pos, end - pos)).c_str());
      pos = end + 1;
    }
    headers_.reset(list);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers_.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlRequest::OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlRequest::OnData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    // libcurl calls this at least once a second while the transfer waits: the progress window's
    // cancel ends it then, when the server sends nothing.
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &CurlRequest::OnTransferInfo);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
  }

  // While data flows the download asks the window after every chunk it reads; the transport asks
  // only once nothing has come for a while, so that a stalled server can be cancelled too.
  static int OnTransferInfo(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* request = static_cast<CurlRequest*>(self);
    if (std::chrono::steady_clock::now() - request->lastActivity_ < kQuietBeforeCancelCheck) return 0;
    return request->ui_.DownloadCancelled() ? 1 : 0;
  }

  void Pump() {
    int running = 0;
    curl_multi_perform(multi_.get(), &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_.get(), &left)) {
      if (msg->msg == CURLMSG_DONE) {
        done_ = true;
        result_ = msg->data.result;
      }
    }
    if (done_) return;
    // Wait for the socket only while the caller has nothing to read: a transfer paused on a full
    // queue leaves libcurl no socket to wait for, and the poll would sleep its whole time-out
    // for every queue's worth of data.
    if (running > 0 && Queued() == 0 && !paused_)
      curl_multi_poll(multi_.get(), nullptr, 0, kPollMilliseconds, nullptr);
    // A receive time-out like a socket's: no byte from the server for that long ends the transfer
    // (libcurl's low-speed limit averages over seconds and lets a stall after a burst pass).
    if (session_.timeoutSeconds > 0 &&
        std::chrono::steady_clock::now() - lastActivity_ > std::chrono::seconds(session_.timeoutSeconds)) {
      done_ = true;
      result_ = CURLE_OPERATION_TIMEDOUT;
    }
  }

  std::size_t Queued() const { return queue_.size() - readPos_; }

  // Header lines of every answer arrive here; the last answer's head counts.
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::string_view line(data, size * count);
    request->HeaderLine(line);
    return size * count;
  }

  void HeaderLine(std::string_view line) {
    lastActivity_ = std::chrono::steady_clock::now();
    const std::string_view trimmed = TrimControl(line);
    if (line.starts_with("HTTP/")) {
      const std::size_t space = line.find(' ');
      status_ =
          space == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
      contentLength_.reset();
      hasLocation_ = false;
      return;
    }
    if (trimmed.empty()) {
      // The end of a head: final unless curl goes on to another answer.
      const bool interim = status_ >= 100 && status_ < 200;
      const bool followed = hasLocation_ && (status_ == 301 || status_ == 302 || status_ == 303 ||
                                             status_ == 307 || status_ == 308);
      if (!interim && !followed) headComplete_ = true;
      return;
    }
    const std::size_t colon = trimmed.find(':');
    if (colon == std::string_view::npos) return;
    const std::string name = ToLower1252(trimmed.substr(0, colon));
    const std::string value(TrimControl(trimmed.substr(colon + 1)));
    if (name == "content-length") contentLength_ = value;
    if (name == "location") hasLocation_ = true;
  }

  static size_t OnData(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const size_t bytes = size * count;
    if (request->Queued() >= kQueueLimit) {
      request->paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    request->headComplete_ = true;
    request->lastActivity_ = std::chrono::steady_clock::now();
    request->queue_.append(data, bytes);
    return bytes;
  }

  CurlSessionState& session_;
  UserInterface& ui_;
  std::string url_;
  std::unique_ptr<CURL, EasyDeleter> easy_;
  std::unique_ptr<CURLM, MultiDeleter> multi_;
  std::unique_ptr<curl_slist, ListDeleter> headers_;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
  std::string queue_;
  std::size_t readPos_ = 0;
  bool paused_ = false;
  bool headComplete_ = false;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  int status_ = 0;
  bool hasLocation_ = false;
  std::optional<std::string> contentLength_;
  std::chrono::steady_clock::time_point lastActivity_;
};

class CurlSession final : public HttpSession {
 public:
  CurlSession(UserInterface& ui, std::string userAgent) : ui_(ui) {
    state_.userAgent = std::move(userAgent);
    if (const char* ca = std::getenv(kCaFileVariable); ca != nullptr) state_.caFile = ca;
  }

  void SetTimeouts(int32_t timeoutSeconds) override { state_.timeoutSeconds = timeoutSeconds; }

  std::unique_ptr<HttpRequest> OpenUrl(std::string_view url, std::string_view extraHeaders) override {
    auto request = std::make_unique<CurlRequest>(state_, ui_, std::string(url));
    if (!request->Open(extraHeaders, lastError_)) return nullptr;
    return request;
  }

  std::string LastErrorText() override { return lastError_; }

 private:
  UserInterface& ui_;
  CurlSessionState state_;
  std::string lastError_;
};

}  // namespace

std::unique_ptr<HttpSession> CurlTransport::OpenSession(std::string_view userAgent, std::string&) {
  EnsureCurlGlobal();
  return std::make_unique<CurlSession>(ui_, std::string(userAgent));
}

}  // namespace kx::posix
