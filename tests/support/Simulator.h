#pragma once

// The provider simulator (tools/kxprovider) as a child process of a test: started on ephemeral
// loopback ports, steered through its control endpoints, stopped at the end.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kx::test {

struct SimulatorOptions {
  std::string dataDir;
  std::string certDir;
  std::string certVariant = "good";
  bool https = true;
  bool http = true;
};

class Simulator {
 public:
  explicit Simulator(const SimulatorOptions& options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  int HttpsPort() const { return httpsPort_; }
  int HttpPort() const { return httpPort_; }
  std::string HttpsUrl() const;  // the endpoint's address on the HTTPS listener
  std::string HttpUrl() const;

  // Queues a fault for the next count requests (0: all until Reset).
  void Fault(std::string_view mode, std::string_view value = "", int count = 1);
  void Reset();
  // The decoded requests so far, one line each.
  std::vector<std::string> Log();

  // Creates the test CA and server certificates in dir (kept when they exist).
  static void MakeCertificates(const std::string& dir);

 private:
  std::string Control(std::string_view method, std::string_view pathAndQuery);

  pid_t pid_ = -1;
  int httpsPort_ = 0;
  int httpPort_ = 0;
};

// Percent-encodes a text for a query value.
std::string QueryValue(std::string_view text);

}  // namespace kx::test
