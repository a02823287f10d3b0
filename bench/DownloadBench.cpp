// kx_bench_download: the two requests of a first import from the provider simulator over HTTPS on
// loopback, through the library's DownloadUrl (the libcurl transport) and its whole
// FetchProviderFile, against a plain libcurl transfer of the same URLs into a file in the same run.
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "BenchSupport.h"
#include "DownloadFloor.h"
#include "net/ImpApiINet_Download.h"
#include "platform/posix/CurlTransport.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Fetch.h"
#include "util/Error.h"

namespace kx::bench {
namespace {

constexpr std::string_view kPurpose =
    "Serves the data set from the provider simulator over HTTPS on 127.0.0.1 and fetches the holdings\n"
    "and the transactions request in turn: through DownloadUrl (libcurl transport, into a file),\n"
    "through FetchProviderFile (the whole step: the error check, the atomic file, the documented 1 s\n"
    "pause after each file, reported apart), and, as the floor, through a plain libcurl transfer of\n"
    "the same URLs into a file.\n"
    "Target: DownloadUrl <= 1.2 x the floor; the peak RSS of the download stays flat in the size.";

// A file written as the body arrives.
class FileStream final : public OutputStream {
 public:
  explicit FileStream(const std::filesystem::path& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_ == nullptr) throw std::runtime_error("cannot write " + path.string());
  }
  ~FileStream() override { std::fclose(file_); }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  void Write(const char* bytes, std::size_t count) override { std::fwrite(bytes, 1, count, file_); }

 private:
  std::FILE* file_;
};

std::map<std::string, double> ThroughDownloadUrl(const std::vector<Request>& requests,
                                                 const std::filesystem::path& out) {
  NoWindows ui;
  StageRecorder progress;
  posix::CurlTransport transport(ui);
  Downloader downloader(transport, ui, progress);
  const Clock::time_point start = Clock::now();
  for (const Request& request : requests) {
    FileStream file(out / request.fileName);
    std::string status;
    if (const int32_t result = downloader.DownloadUrl(request.url, "", 300, file, status, false, true);
        result != 0)
      throw std::runtime_error("DownloadUrl returned " + std::to_string(result));
  }
  return {{"s", SecondsSince(start)}, {"messages", static_cast<double>(progress.positions)}};
}

// The real pause, timed apart.
class PauseTimingClock final : public SystemClock {
 public:
  DateTime Today() override { return clock_.Today(); }
  DateTime Now() override { return clock_.Now(); }
  void Sleep(uint32_t milliseconds) override {
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    paused += SecondsSince(start);
  }
  void PumpMessages() override {}
  double paused = 0;

 private:
  FixedClock clock_;
};

std::map<std::string, double> ThroughFetchProviderFile(const std::vector<Request>& requests,
                                                       const std::filesystem::path& out) {
  NoWindows ui;
  StageRecorder progress;
  posix::CurlTransport transport(ui);
  Downloader downloader(transport, ui, progress);
  ProviderValues values;
  PauseTimingClock clock;
  ProviderFetch fetch(values, progress, downloader, clock);
  const std::string dataDir = out.string() + "/";
  const Clock::time_point start = Clock::now();
  for (const Request& request : requests) {
    if (const int32_t result = fetch.FetchProviderFile(request.url, request.fileName, request.plain, dataDir);
        result != 0)
      throw std::runtime_error("FetchProviderFile returned " + std::to_string(result));
  }
  return {{"s", SecondsSince(start)}, {"pause_s", clock.paused}};
}

struct Best {
  double seconds = 1e30;
  double rss = 0;
  void Take(const PhaseResult& r, double seconds) {
    this->seconds = std::min(this->seconds, seconds);
    rss = std::max(rss, r.peakRssMiB);
  }
};

int Run(const Options& options) {
  std::printf("Download benchmark (%s data set), %s\n", options.large ? "large" : "small",
              MachineText().c_str());
  const std::filesystem::path data = options.work / "provider";
  WriteProviderFiles(data / kLogin, options.large);
  std::ofstream(data / "accounts.txt") << kLogin << ";" << kPin << "\n";
  const std::filesystem::path certs = options.work / "certs";
  const SimulatorProcess simulator(data, certs, options.work / "ports.txt");
  const std::string caFile = (certs / "ca.pem").string();
  setenv(kCaFileVariable, caFile.c_str(), 1);
  const std::vector<Request> requests = FirstImportRequests(simulator.Url());
  const std::filesystem::path out = options.work / "out";
  std::filesystem::create_directories(out);
  const std::vector<std::filesystem::path> scratch = {out / "bestandsdaten.csv",
                                                      out / "transaktionsdaten.csv"};
  double bytes = 0;

  Best floor, download, fetch;
  double pause = 0;
  auto subject = [&](int rep) {
    const PhaseResult d = RunInChild(
        "DownloadUrl", [&] { return ThroughDownloadUrl(requests, out); }, scratch);
    download.Take(d, d["s"]);
    const PhaseResult f = RunInChild(
        "FetchProviderFile", [&] { return ThroughFetchProviderFile(requests, out); }, scratch);
    fetch.Take(f, f["s"] - f["pause_s"]);
    pause = f["pause_s"];
    std::printf(
        "  run %d DownloadUrl %.2f s (%.0f progress messages), FetchProviderFile %.2f s + %.2f s pause\n",
        rep + 1, d["s"], d["messages"], f["s"] - f["pause_s"], f["pause_s"]);
  };
  auto plain = [&](int rep) {
    const PhaseResult r = RunInChild(
        "libcurl", [&] { return PlainLibcurl(requests, out, caFile); }, scratch);
    floor.Take(r, r["s"]);
    bytes = r["bytes"];
    std::printf("  run %d libcurl floor %.2f s\n", rep + 1, r["s"]);
  };
  Interleave(options.repeat, subject, plain);

  char text[96];
  std::snprintf(text, sizeof text, "%.1f MiB in two files", bytes / (1 << 20));
  PrintRow("delivery", text);
  std::snprintf(text, sizeof text, "%.2f s (%.0f MiB/s)", floor.seconds, bytes / (1 << 20) / floor.seconds);
  PrintRow("libcurl floor", text);
  std::snprintf(text, sizeof text, "%.2f s", download.seconds);
  PrintRow("DownloadUrl", text);
  std::snprintf(text, sizeof text, "%.2f s + %.2f s of the two documented pauses", fetch.seconds, pause);
  PrintRow("FetchProviderFile", text);
  std::snprintf(text, sizeof text, "DownloadUrl %.0f MiB, FetchProviderFile %.0f MiB, floor %.0f MiB",
                download.rss, fetch.rss, floor.rss);
  PrintRow("peak RSS", text);
  std::printf("RESULT download: DownloadUrl/libcurl floor time %s\n",
              Verdict(download.seconds / floor.seconds, 1.2, false).c_str());
  std::printf("RESULT download: FetchProviderFile (less its pauses)/libcurl floor time %.2f (reported)\n",
              fetch.seconds / floor.seconds);
  return 0;
}

}  // namespace
}  // namespace kx::bench

int main(int argc, char** argv) {
  return kx::bench::BenchMain(argc, argv, "kx_bench_download", kx::bench::kPurpose, kx::bench::Run);
}
