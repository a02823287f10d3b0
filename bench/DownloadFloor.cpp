#include "DownloadFloor.h"

#include <curl/curl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "BenchSupport.h"
#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"

namespace kx::bench {

SimulatorProcess::SimulatorProcess(const std::filesystem::path& data, const std::filesystem::path& certs,
                                   const std::filesystem::path& portFile) {
  std::fflush(nullptr);  // nothing buffered is written twice
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("cannot start the simulator");
  if (pid_ == 0) {
    // Its port lines go to the port file; the benchmark's output stays its own.
    if (std::FILE* quiet = std::freopen("/dev/null", "w", stdout); quiet == nullptr) _exit(127);
    execl(KX_SIMULATOR_PATH, KX_SIMULATOR_PATH, "--data", data.c_str(), "--https-port", "0", "--cert-dir",
          certs.c_str(), "--port-file", portFile.c_str(), "--die-with-parent", static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 300 && port_ == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream lines(portFile);
    int port = 0;
    bool ready = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("https-port ")) port = std::atoi(line.c_str() + 11);
      ready = ready || line == "ready";
    }
    if (ready) port_ = port;
  }
  if (port_ == 0) throw std::runtime_error("the simulator did not start");
}
SimulatorProcess::~SimulatorProcess() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

std::string SimulatorProcess::Url() const {
  return "https://127.0.0.1:" + std::to_string(port_) + "/modules/tavo/onlinedatatransfer.php";
}

std::vector<Request> FirstImportRequests(const std::string& serviceUrl) {
  posix::NettleDes des;
  std::vector<Request> requests;
  const std::pair<std::string, const char*> texts[] = {
      {HoldingsRequestText(kLogin, kPin), "bestandsdaten.csv"},
      {TransactionsRequestText(kLogin, kPin, "0", "0", 1), "transaktionsdaten.csv"}};
  for (const auto& [text, fileName] : texts) {
    std::string encoded = text;
    std::string plain;
    if (EncodeRequest(des, encoded, plain) != 0) throw std::runtime_error("cannot encode a request");
    requests.push_back({serviceUrl + "?params=" + encoded, plain, fileName});
  }
  return requests;
}

// The floor: libcurl's easy interface straight into a file, certificate checked as the library does.
std::map<std::string, double> PlainLibcurl(const std::vector<Request>& requests,
                                           const std::filesystem::path& out, const std::string& caFile) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  double bytes = 0;
  const Clock::time_point start = Clock::now();
  for (const Request& request : requests) {
    std::FILE* file = std::fopen((out / request.fileName).c_str(), "wb");
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, file);
    const CURLcode code = curl_easy_perform(easy);
    curl_off_t size = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &size);
    curl_easy_cleanup(easy);
    std::fclose(file);
    if (code != CURLE_OK) throw std::runtime_error(std::string("libcurl: ") + curl_easy_strerror(code));
    bytes += static_cast<double>(size);
  }
  return {{"s", SecondsSince(start)}, {"bytes", bytes}};
}

}  // namespace kx::bench
