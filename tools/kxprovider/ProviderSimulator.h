#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "kxprovider/FaultPlan.h"
#include "kxprovider/Httplib.h"
#include "kxprovider/ProviderData.h"
#include "kxprovider/RequestLog.h"
#include "kxprovider/ResponsePlan.h"
#include "kxprovider/StopSignal.h"
#include "kxprovider/TestCertificates.h"

namespace kx {

struct SimulatorOptions {
  std::string dataDir;
  std::optional<int> httpsPort;  // 0: an ephemeral port
  std::optional<int> httpPort;
  CertificateFiles certificate;  // for HTTPS
  std::string logFile;           // empty: the in-memory log only
  std::string bindAddress = "127.0.0.1";
};

// The provider's download endpoint and the control endpoints, on an HTTPS and/or an HTTP listener.
class ProviderSimulator {
 public:
  static constexpr const char* kEndpointPath = "/modules/tavo/onlinedatatransfer.php";

  explicit ProviderSimulator(SimulatorOptions options);
  ProviderSimulator(const ProviderSimulator&) = delete;
  ProviderSimulator& operator=(const ProviderSimulator&) = delete;
  ~ProviderSimulator();

  // Binds the listeners and starts serving; returns when they accept connections. Raises Error.
  void Start();
  // Ends every pause, stops the listeners and waits for their threads.
  void Stop();

  // The bound ports, 0 for a listener that was not asked for.
  int HttpsPort() const { return https_.port; }
  int HttpPort() const { return http_.port; }
  // False when a started listener has ended on its own.
  bool Serving() const;

 private:
  struct Listener {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
  };

  void AnswerEndpoint(const httplib::Request& request, httplib::Response& response);
  void AnswerControlFault(const httplib::Request& request, httplib::Response& response);
  void AnswerControlReset(httplib::Response& response);
  void Configure(httplib::Server& server);
  void Bind(Listener& listener, int port, const char* scheme);
  void Run(Listener& listener, const char* scheme);
  RedirectBases Bases() const;

  SimulatorOptions options_;
  ProviderData data_;
  RequestLog log_;
  FaultPlan faults_;
  StopSignal stop_;
  Listener https_;
  Listener http_;
};

}  // namespace kx
