#include "kxprovider/ProviderSimulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string_view>
#include <utility>

#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "util/Error.h"

namespace kx {

namespace {

// Worker threads per listener. Stalled answers and idle keep-alive connections each hold one.
constexpr std::size_t kWorkerThreads = 32;
constexpr std::chrono::seconds kStartTimeout{10};

// The raw value of a query parameter as it stands in the request target: the request is decoded
// by the project's own routine, which does its own percent-decoding.
std::optional<std::string> RawQueryParameter(std::string_view target, std::string_view name) {
  const std::size_t question = target.find('?');
  if (question == std::string_view::npos) return std::nullopt;
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const std::size_t equals = pair.find('=');
    if (pair.substr(0, equals) == name) {
      return std::string(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

void AnswerPlain(httplib::Response& response, int status, std::string body, const StopSignal& stop) {
  WriteResponse(response, PlainResponse(status, std::move(body)), stop);
}

}  // namespace

ProviderSimulator::ProviderSimulator(SimulatorOptions options)
    : options_(std::move(options)), data_(options_.dataDir), log_(options_.logFile) {}

ProviderSimulator::~ProviderSimulator() { Stop(); }

void ProviderSimulator::AnswerEndpoint(const httplib::Request& request, httplib::Response& response) {
  const std::optional<std::string> raw = RawQueryParameter(request.target, "params");
  std::optional<std::string> text;
  if (raw) {
    posix::NettleDes des;
    text = DecodeRequest(des, *raw);
  }
  log_.Append(text ? RequestLogLine(RequestFields::Parse(*text)) : UndecodableLogLine(raw.value_or("")));

  ResponsePlan plan = PlainResponse(200, data_.AnswerFor(text));
  if (const std::optional<Fault> fault = faults_.Next()) ApplyFault(plan, *fault, Bases(), request.target);
  if (plan.delay.count() > 0) stop_.WaitFor(plan.delay);
  WriteResponse(response, std::move(plan), stop_);
}

void ProviderSimulator::AnswerControlFault(const httplib::Request& request, httplib::Response& response) {
  try {
    Fault fault = ParseFault(request.get_param_value("mode"), request.get_param_value("value"));
    const unsigned count = ParseFaultCount(request.get_param_value("count"));
    if (fault.mode == FaultMode::kRedirectHttps && Bases().https.empty()) {
      throw FaultError("redirect-https needs an HTTPS listener");
    }
    if (fault.mode == FaultMode::kRedirectHttp && Bases().http.empty()) {
      throw FaultError("redirect-http needs an HTTP listener");
    }
    faults_.Queue(std::move(fault), count);
    AnswerPlain(response, 200, "ok\n", stop_);
  } catch (const FaultError& error) {
    AnswerPlain(response, 400, std::string(error.what()) + "\n", stop_);
  }
}

void ProviderSimulator::AnswerControlReset(httplib::Response& response) {
  log_.Clear();
  faults_.Clear();
  AnswerPlain(response, 200, "ok\n", stop_);
}

void ProviderSimulator::Configure(httplib::Server& server) {
  // cpp-httplib takes ownership of the queue it gets from this factory.
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  // cpp-httplib's default socket options include SO_REUSEPORT, with which a second simulator would
  // bind the same fixed port and take a share of the connections. SO_REUSEADDR alone lets a port be
  // bound again right after a simulator ended, and a port in use still fails.
  server.set_socket_options([](socket_t socket) {
    const int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  });

  std::string endpoint = kEndpointPath;
  for (std::size_t dot = endpoint.find('.'); dot != std::string::npos; dot = endpoint.find('.', dot + 2)) {
    endpoint.insert(dot, "\\");
  }
  server.Get(endpoint, [this](const httplib::Request& request, httplib::Response& response) {
    AnswerEndpoint(request, response);
  });
  server.Get("/control/log", [this](const httplib::Request&, httplib::Response& response) {
    AnswerPlain(response, 200, log_.Text(), stop_);
  });
  server.Post("/control/reset",
              [this](const httplib::Request&, httplib::Response& response) { AnswerControlReset(response); });
  server.Post("/control/fault", [this](const httplib::Request& request, httplib::Response& response) {
    AnswerControlFault(request, response);
  });
  // cpp-httplib 0.11 reads the body of a POST without Content-Length until the connection closes
  // (so "curl -X POST" would wait for its read time-out), although such a request has no body:
  // these requests are answered before it tries.
  server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (request.method != "POST" || request.has_header("Content-Length") ||
        request.has_header("Transfer-Encoding")) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    if (request.path == "/control/reset") {
      AnswerControlReset(response);
    } else if (request.path == "/control/fault") {
      AnswerControlFault(request, response);
    } else {
      AnswerPlain(response, 404, std::string(), stop_);
    }
    return httplib::Server::HandlerResponse::Handled;
  });
  // cpp-httplib adds a Keep-Alive header to every answer; one that closes the connection says so alone.
  server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.get_header_value("Connection") == "close") response.headers.erase("Keep-Alive");
  });
}

namespace {

// Whether a fixed port can be bound by a socket without SO_REUSEPORT. The HTTP library's
// listening socket may carry SO_REUSEPORT whatever options are asked for, and then a second
// simulator would share the port; probing first makes a port in use fail plainly. The probe has
// SO_REUSEADDR, as the listener has: connections of an earlier simulator lingering in TIME_WAIT
// do not keep the port, a listening socket does.
bool PortIsFree(const std::string& address, int port) {
  sockaddr_in probe{};
  probe.sin_family = AF_INET;
  probe.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &probe.sin_addr) != 1) return false;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&probe), sizeof probe) == 0;
  close(fd);
  return free;
}

}  // namespace

void ProviderSimulator::Bind(Listener& listener, int port, const char* scheme) {
  if (port != 0 && !PortIsFree(options_.bindAddress, port)) {
    throw Error(std::string("cannot listen for ") + scheme + " on " + options_.bindAddress + ":" +
                std::to_string(port) + ": the port is in use");
  }
  Configure(*listener.server);
  httplib::Server& server = *listener.server;
  listener.port = port == 0 ? server.bind_to_any_port(options_.bindAddress)
                            : (server.bind_to_port(options_.bindAddress, port) ? port : -1);
  if (listener.port <= 0) {
    listener.port = 0;
    throw Error(std::string("cannot listen for ") + scheme + " on " + options_.bindAddress + ":" +
                std::to_string(port));
  }
}

void ProviderSimulator::Run(Listener& listener, const char* scheme) {
  httplib::Server& server = *listener.server;
  listener.thread = std::thread([&server] { server.listen_after_bind(); });
  // stop() only acts on a running server: wait until it runs, so a shutdown right after the
  // start cannot be lost.
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!server.is_running()) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw Error(std::string("the ") + scheme + " listener did not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void ProviderSimulator::Start() {
  if (options_.httpsPort) {
    https_.server = std::make_unique<httplib::SSLServer>(options_.certificate.certificate.c_str(),
                                                         options_.certificate.privateKey.c_str());
    if (!https_.server->is_valid()) {
      throw Error("cannot load the server certificate " + options_.certificate.certificate +
                  " with its key " + options_.certificate.privateKey);
    }
    Bind(https_, *options_.httpsPort, "https");
  }
  if (options_.httpPort) {
    http_.server = std::make_unique<httplib::Server>();
    Bind(http_, *options_.httpPort, "http");
  }
  // Both ports are known before the first request can ask for a redirect to one of them.
  if (https_.server) Run(https_, "https");
  if (http_.server) Run(http_, "http");
}

void ProviderSimulator::Stop() {
  stop_.Raise();
  for (Listener* listener : {&https_, &http_}) {
    if (!listener->server) continue;
    listener->server->stop();
    if (listener->thread.joinable()) listener->thread.join();
  }
}

bool ProviderSimulator::Serving() const {
  for (const Listener* listener : {&https_, &http_}) {
    if (listener->server && !listener->server->is_running()) return false;
  }
  return true;
}

RedirectBases ProviderSimulator::Bases() const {
  RedirectBases bases;
  if (https_.port > 0) bases.https = "https://" + options_.bindAddress + ":" + std::to_string(https_.port);
  if (http_.port > 0) bases.http = "http://" + options_.bindAddress + ":" + std::to_string(http_.port);
  return bases;
}

}  // namespace kx
