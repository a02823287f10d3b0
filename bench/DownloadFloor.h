#pragma once

// The download's floor and what it needs: the provider simulator serving the data set over HTTPS
// on loopback, the two requests of a first import, and a plain libcurl transfer of them.
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kx::bench {

inline constexpr const char* kLogin = "12345";
inline constexpr const char* kPin = "4711";

// The simulator (kxprovider) as a child process on an ephemeral HTTPS port, its test CA in
// certs/ca.pem; stopped at the end.
class SimulatorProcess {
 public:
  SimulatorProcess(const std::filesystem::path& data, const std::filesystem::path& certs,
                   const std::filesystem::path& portFile);
  ~SimulatorProcess();
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // The service address on the HTTPS listener.
  std::string Url() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// The two requests of a first import as the run sends them: the URL, the text before encoding,
// and the file the answer becomes.
struct Request {
  std::string url;
  std::string plain;
  std::string fileName;
};
std::vector<Request> FirstImportRequests(const std::string& serviceUrl);

// The floor: libcurl's easy interface straight into files in out, the certificate checked as the
// library checks it. Reports "s" and "bytes".
std::map<std::string, double> PlainLibcurl(const std::vector<Request>& requests,
                                           const std::filesystem::path& out, const std::string& caFile);

}  // namespace kx::bench
