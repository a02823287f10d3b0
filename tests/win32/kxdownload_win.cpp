// One download of the Windows build through WinInet, for the tests under Wine:
//
//   kxdownload_win.exe URL TIMEOUT_SECONDS [BODY_FILE]
//
// Runs Downloader::DownloadUrl as the provider fetch does (failure messages and progress window
// on; the window never cancels) and prints
//
//   result=CODE status=STATUS bytes=N
//   positions=N reads=N largest=N asked=N
//   elapsed-us=N open-us=N read-us=N write-us=N peak-working-set=BYTES
//   message KIND VALUE TEXT          one line per message other than the (2, 5, "") positions
//
// positions counts the (2, 5, "") messages; reads, largest and asked are the body reads that
// reached WinInet, the most bytes one of them delivered and the most bytes one of them asked
// for. elapsed-us is the time DownloadUrl took; open-us, read-us and write-us are the parts of it
// spent opening the URL (until the head of the answer is in), in the body reads and in writing
// the body file (Wine's start-up is in none of them: the benchmark's measures); peak-working-set
// is the process's after the download. TEXT is the message's Windows-1252 bytes with CR, LF and
// backslash written as \r, \n and \\ and every other byte outside 32..126 as \xHH, so a script
// compares exact bytes. BODY_FILE, when given, receives whatever body arrived, also after a
// failure, written as it arrives, so that memory does not grow with the body. Exit code 0 when
// the download ran (whatever its result), 1 when BODY_FILE cannot be written, 2 for a wrong
// command line.
#include <windows.h>
// GetProcessMemoryInfo from kernel32 (K32GetProcessMemoryInfo), without linking psapi.
#define PSAPI_VERSION 2
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Printable.h"
#include "net/ImpApiINet_Download.h"
#include "platform/win32/WinInetTransport.h"
#include "util/ProgressSink.h"

namespace {

// A user who watches the progress window and never presses its cancel button.
class PatientUser final : public kx::UserInterface {
 public:
  void ShowInformation(std::string_view, std::string_view) override {}
  bool AskPin(std::string_view, std::string_view, std::string&) override { return false; }
  int32_t ShowAccessDataDialog(kx::AccessData&, std::string_view) override { return kx::kModalCancel; }
  kx::ProxyAnswer AskProxyCredentials(std::string_view, kx::ProxyCredentials&) override {
    return kx::ProxyAnswer::Unavailable;
  }
  void ShowDownloadProgress() override {}
  bool DownloadCancelled() override { return false; }
  void CloseDownloadProgress() override {}
  void SetCursor(kx::Cursor) override {}
};

struct Message {
  int32_t Kind;
  int32_t Value;
  std::string Text;
};

class CountingProgress final : public kx::ProgressSink {
 public:
  void Send(int32_t kind, int32_t value, std::string_view text) override {
    if (kind == KX_PROGRESS_POSITION && value == 5 && text.empty()) {
      ++Positions;
    } else {
      Others.push_back({kind, value, std::string(text)});
    }
  }
  int Positions = 0;
  std::vector<Message> Others;
};

using Clock = std::chrono::steady_clock;

long long MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

// What the body reads asked WinInet for, what they got, and how long the open and the reads took.
struct ReadRecord {
  int Reads = 0;
  std::size_t Largest = 0;
  std::size_t Asked = 0;
  long long OpenMicroseconds = 0;
  long long ReadMicroseconds = 0;
};

// The WinInet adapter itself, with every body read recorded on its way through.
class RecordingRequest final : public kx::HttpRequest {
 public:
  RecordingRequest(std::unique_ptr<kx::HttpRequest> inner, ReadRecord& record)
      : inner_(std::move(inner)), record_(record) {}
  std::optional<std::string> StatusText() override { return inner_->StatusText(); }
  std::optional<std::string> ContentLengthText() override { return inner_->ContentLengthText(); }
  ReadResult Read(char* buffer, std::size_t size) override {
    const Clock::time_point start = Clock::now();
    const ReadResult read = inner_->Read(buffer, size);
    record_.ReadMicroseconds += MicrosecondsSince(start);
    ++record_.Reads;
    record_.Largest = std::max(record_.Largest, read.bytes);
    record_.Asked = std::max(record_.Asked, size);
    return read;
  }
  ProxyPrompt AskProxyCredentials() override { return inner_->AskProxyCredentials(); }

 private:
  std::unique_ptr<kx::HttpRequest> inner_;
  ReadRecord& record_;
};

class RecordingSession final : public kx::HttpSession {
 public:
  RecordingSession(std::unique_ptr<kx::HttpSession> inner, ReadRecord& record)
      : inner_(std::move(inner)), record_(record) {}
  void SetTimeouts(int32_t timeoutSeconds) override { inner_->SetTimeouts(timeoutSeconds); }
  std::unique_ptr<kx::HttpRequest> OpenUrl(std::string_view url, std::string_view extraHeaders) override {
    const Clock::time_point start = Clock::now();
    std::unique_ptr<kx::HttpRequest> request = inner_->OpenUrl(url, extraHeaders);
    record_.OpenMicroseconds += MicrosecondsSince(start);
    if (!request) return nullptr;
    return std::make_unique<RecordingRequest>(std::move(request), record_);
  }
  std::string LastErrorText() override { return inner_->LastErrorText(); }

 private:
  std::unique_ptr<kx::HttpSession> inner_;
  ReadRecord& record_;
};

class RecordingTransport final : public kx::HttpTransport {
 public:
  std::unique_ptr<kx::HttpSession> OpenSession(std::string_view userAgent, std::string& errorText) override {
    std::unique_ptr<kx::HttpSession> session = inner_.OpenSession(userAgent, errorText);
    if (!session) return nullptr;
    return std::make_unique<RecordingSession>(std::move(session), Record);
  }
  ReadRecord Record;

 private:
  kx::win32::WinInetTransport inner_;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Counts the body and writes it to the body file, when there is one, as it arrives.
class BodyFile final : public kx::OutputStream {
 public:
  explicit BodyFile(std::FILE* file) : file_(file) {}
  void Write(const char* bytes, std::size_t count) override {
    const Clock::time_point start = Clock::now();
    Bytes += count;
    if (file_ != nullptr && std::fwrite(bytes, 1, count, file_) != count) Failed = true;
    Microseconds += MicrosecondsSince(start);
  }
  std::size_t Bytes = 0;
  long long Microseconds = 0;
  bool Failed = false;

 private:
  std::FILE* file_;
};

std::size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS memory{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) return 0;
  return memory.PeakWorkingSetSize;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: kxdownload_win.exe URL TIMEOUT_SECONDS [BODY_FILE]\n");
    return 2;
  }
  const std::string url = argv[1];
  const int32_t timeoutSeconds = std::atoi(argv[2]);

  std::unique_ptr<std::FILE, FileCloser> file(argc == 4 ? std::fopen(argv[3], "wb") : nullptr);
  if (argc == 4 && !file) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }

  RecordingTransport transport;
  PatientUser user;
  CountingProgress progress;
  kx::Downloader downloader(transport, user, progress);
  BodyFile body(file.get());
  std::string statusText;
  const Clock::time_point start = Clock::now();
  const int32_t result = downloader.DownloadUrl(url, "", timeoutSeconds, body, statusText, true, true);
  const long long elapsed = MicrosecondsSince(start);

  std::printf("result=%ld status=%s bytes=%zu\n", static_cast<long>(result), Printable(statusText).c_str(),
              body.Bytes);
  const ReadRecord& reads = transport.Record;
  std::printf("positions=%d reads=%d largest=%zu asked=%zu\n", progress.Positions, reads.Reads, reads.Largest,
              reads.Asked);
  std::printf("elapsed-us=%lld open-us=%lld read-us=%lld write-us=%lld peak-working-set=%zu\n", elapsed,
              reads.OpenMicroseconds, reads.ReadMicroseconds, body.Microseconds, PeakWorkingSet());
  for (const Message& m : progress.Others) {
    std::printf("message %ld %ld %s\n", static_cast<long>(m.Kind), static_cast<long>(m.Value),
                Printable(m.Text).c_str());
  }
  std::fflush(stdout);
  if (body.Failed || (file && std::fclose(file.release()) != 0)) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
