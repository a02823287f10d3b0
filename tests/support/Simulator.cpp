#include "support/Simulator.h"

#include <curl/curl.h>
#include <poll.h>

#include <cstdlib>
#include <stdexcept>

#include "net/ImpApiINet.h"

namespace kx::test {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(15);

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

}  // namespace

std::string QueryValue(std::string_view text) { return UrlEncode(text, false); }

void Simulator::MakeCertificates(const std::string& dir) {
  const std::string command = std::string(KX_SIMULATOR_PATH) + " --make-certs " + dir + " >/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("kxprovider --make-certs failed");
}

Simulator::Simulator(const SimulatorOptions& options) {
  std::vector<std::string> args = {KX_SIMULATOR_PATH, "--data", options.dataDir};
  if (options.https) {
    args.insert(args.end(),
                {"--https-port", "0", "--cert-dir", options.certDir, "--cert-variant", options.certVariant});
  }
  if (options.http) args.insert(args.end(), {"--http-port", "0"});

  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);

  // Read "https-port N", "http-port N" and "ready", bounded in time.
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (text.find("ready\n") == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd fd{out[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[256];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  if (text.find("ready\n") == std::string::npos) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    throw std::runtime_error("kxprovider did not start: " + text);
  }
  if (const std::size_t p = text.find("https-port "); p != std::string::npos)
    httpsPort_ = std::atoi(&text[p + 11]);
  if (const std::size_t p = text.find("\nhttp-port "); p != std::string::npos)
    httpPort_ = std::atoi(&text[p + 11]);
  if (text.starts_with("http-port ")) httpPort_ = std::atoi(&text[10]);
}

Simulator::~Simulator() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {  // up to 5 s for a clean stop
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    usleep(50000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string Simulator::HttpsUrl() const {
  return "https://127.0.0.1:" + std::to_string(httpsPort_) + "/modules/tavo/onlinedatatransfer.php";
}

std::string Simulator::HttpUrl() const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + "/modules/tavo/onlinedatatransfer.php";
}

std::string Simulator::Control(std::string_view method, std::string_view pathAndQuery) {
  CURL* curl = curl_easy_init();
  std::string body;
  const std::string url = "http://127.0.0.1:" + std::to_string(httpPort_) + std::string(pathAndQuery);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  if (method == "POST") curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
  const CURLcode code = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (code != CURLE_OK) throw std::runtime_error("simulator control failed: " + url);
  return body;
}

void Simulator::Fault(std::string_view mode, std::string_view value, int count) {
  Control("POST", "/control/fault?mode=" + std::string(mode) + "&value=" + QueryValue(value) +
                      "&count=" + std::to_string(count));
}

void Simulator::Reset() { Control("POST", "/control/reset"); }

std::vector<std::string> Simulator::Log() {
  const std::string text = Control("GET", "/control/log");
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find('\n', pos);
    lines.push_back(text.substr(pos, end - pos));
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return lines;
}

}  // namespace kx::test
