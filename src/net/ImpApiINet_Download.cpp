#include "net/ImpApiINet_Download.h"

#include <memory>
#include <vector>

#include "util/Cp1252.h"
#include "util/WholeNumber.h"

namespace kx {
namespace {

// Restores the application-starting cursor on every path out of the download.
class BusyCursor {
 public:
  explicit BusyCursor(UserInterface& ui) : ui_(ui) { ui_.SetCursor(Cursor::Wait); }
  ~BusyCursor() { ui_.SetCursor(Cursor::AppStarting); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  UserInterface& ui_;
};

// The progress window between the head of the answer and the end of the body.
class ProgressWindow {
 public:
  ProgressWindow(UserInterface& ui, ProgressSink& progress, bool shown)
      : ui_(ui), progress_(progress), shown_(shown) {
    if (!shown_) return;
    ui_.ShowDownloadProgress();
    progress_.Send(KX_PROGRESS_POSITION, 5, "");
    progress_.Enter(RunStage::Transfer);
  }
  ~ProgressWindow() {
    try {
      Close();
    } catch (...) {  // a failing callback must not escape a destructor
    }
  }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  bool Cancelled() const { return shown_ && ui_.DownloadCancelled(); }
  void Close() {
    if (!shown_) return;
    shown_ = false;
    ui_.CloseDownloadProgress();
    progress_.Send(KX_PROGRESS_POSITION, 5, "");
    progress_.Enter(RunStage::BeforeAnswer);
  }

 private:
  UserInterface& ui_;
  ProgressSink& progress_;
  bool shown_;
};

// The announced length: the number, -1 for a text that is not one, 0 when there is none.
int64_t ExpectedLength(const std::optional<std::string>& text) {
  if (!text) return 0;
  return WholeNumberOf<int64_t>(*text).value_or(-1);
}

}  // namespace

void Downloader::Report(std::string_view text) {
  if (report_) progress_.Send(KX_PROGRESS_LOG, 0, text);
}

int32_t Downloader::DownloadUrl(std::string_view url, std::string_view extraHeaders, int32_t timeoutSeconds,
                                OutputStream& target, std::string& statusText, bool reportMessages,
                                bool showProgress) {
  report_ = reportMessages;
  statusText.clear();
  const BusyCursor cursor(ui_);
  std::string errorText;
  const std::unique_ptr<HttpSession> session = transport_.OpenSession(kUserAgent, errorText);
  if (!session) {
    Report("WinINet-Systemfehler: " + errorText);
    return kDownloadNoSession;
  }
  session->SetTimeouts(timeoutSeconds);
  return Transfer(*session, url, extraHeaders, target, statusText, showProgress);
}

int32_t Downloader::Transfer(HttpSession& session, std::string_view url, std::string_view extraHeaders,
                             OutputStream& target, std::string& statusText, bool showProgress) {
  for (;;) {  // repeated only while the user enters proxy credentials
    const std::unique_ptr<HttpRequest> request = session.OpenUrl(url, extraHeaders);
    if (!request) {
      Report("WinINet-Systemfehler: " + session.LastErrorText());
      return kDownloadOpenFailed;
    }
    statusText = request->StatusText().value_or("200");
    if (statusText == "200" || statusText == "302") return ReadBody(*request, target, showProgress);

    if (statusText == "407") {
      switch (request->AskProxyCredentials()) {
        case HttpRequest::ProxyPrompt::Retry:
          continue;
        case HttpRequest::ProxyPrompt::NoCredentials:
          Report("HTTP-Fehler 407: Authentifizierung erforderlich.");
          return kDownloadProxyAuth;
        case HttpRequest::ProxyPrompt::Declined:
          return kDownloadUnknown;
      }
    }
    if (statusText == "401") {
      Report("HTTP-Fehler 401: Zugriff verweigert.");
      return kDownloadDenied;
    }
    if (statusText == "403") {
      Report("HTTP-Fehler 403: Zugriff verweigert.");
      return kDownloadDenied;
    }
    if (statusText == "404") {
      Report("HTTP-Fehler 404: Die Seite wurde nicht gefunden.");
      return kDownloadNotFound;
    }
    if (statusText == "503") {
      Report("HTTP-Fehler 503: Der Server ist vorübergehend überlastet."_cp1252);
      return kDownloadOverloaded;
    }
    Report("HTTP-Fehler: " + statusText);
    return kDownloadOtherStatus;
  }
}

int32_t Downloader::ReadBody(HttpRequest& request, OutputStream& target, bool showProgress) {
  const int64_t expected = ExpectedLength(request.ContentLengthText());
  ProgressWindow window(ui_, progress_, showProgress);
  std::vector<char> buffer(kReadSize + 1);
  bool readFailed = false;
  int64_t size = 0;
  for (;;) {
    const HttpRequest::ReadResult read = request.Read(buffer.data(), kReadSize);
    // A transfer that breaks off is a failed transfer, never the end of the data: a partial
    // provider file must not pass for a complete one.
    // A transport may also end the transfer itself when the window's cancel is pressed while it
    // waits for data: that read fails, and the cancel, not the failure, is the result.
    readFailed = !read.ok;
    if (read.ok && read.bytes == 0) break;
    if (read.ok) {
      target.Write(buffer.data(), read.bytes);
      size += static_cast<int64_t>(read.bytes);
      progress_.Send(KX_PROGRESS_POSITION, 5, "");
    }
    if (window.Cancelled()) {
      Report("Download durch Benutzer abgebrochen");
      window.Close();
      return kDownloadCancelled;
    }
    if (readFailed) break;
  }
  window.Close();
  if (readFailed || size == 0 || (expected > 0 && expected != size)) {
    Report(
        std::string("Fehler bei Download: Die angeforderte Datei wurde nur unvollständig geladen ("_cp1252) +
        std::to_string(size) + " Bytes geladen)");
    return kDownloadIncomplete;
  }
  return 0;
}

}  // namespace kx
