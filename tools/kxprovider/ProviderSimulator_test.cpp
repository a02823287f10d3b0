#include "kxprovider/ProviderSimulator.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view kHoldings = "Depot;Wert\r\n1;\xE4\r\n";  // 17 bytes

// An answer as it came over the socket.
struct WireAnswer {
  std::string head;     // status line and headers
  std::string body;     // everything after the blank line, chunk framing included
  bool closed = false;  // the server closed the connection before the wait ended
  milliseconds firstBodyByte{-1};
  milliseconds end{-1};

  std::optional<std::string> Header(const std::string& name) const {
    std::istringstream lines(head);
    for (std::string line; std::getline(lines, line);) {
      if (line.size() > name.size() && line.compare(0, name.size(), name) == 0 && line[name.size()] == ':') {
        return line.substr(name.size() + 2, line.size() - name.size() - 3);  // without ": " and CR
      }
    }
    return std::nullopt;
  }
  int Status() const { return head.size() > 12 ? std::stoi(head.substr(9, 3)) : 0; }
};

class Socket {
 public:
  Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }

 private:
  int fd_;
};

// Sends one request and reads until the server closes the connection or the wait ends. A gzip-
// and brotli-accepting client, so any compression by the server would show.
WireAnswer Exchange(int port, const std::string& request, milliseconds wait = milliseconds(3000)) {
  WireAnswer answer;
  const Socket socket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return answer;
  const auto start = Clock::now();
  if (::send(socket.Get(), request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    return answer;
  }
  std::string received;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(start + wait - Clock::now());
    pollfd ready{socket.Get(), POLLIN, 0};
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
    if (n <= 0) {
      answer.closed = true;
      break;
    }
    received.append(buffer, static_cast<std::size_t>(n));
    const std::size_t blank = received.find("\r\n\r\n");
    if (answer.firstBodyByte.count() < 0 && blank != std::string::npos && received.size() > blank + 4) {
      answer.firstBodyByte = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    }
  }
  answer.end = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  const std::size_t blank = received.find("\r\n\r\n");
  answer.head = received.substr(0, blank == std::string::npos ? received.size() : blank + 2);
  if (blank != std::string::npos) answer.body = received.substr(blank + 4);
  return answer;
}

std::string Get(const std::string& target, bool closeAfter = true) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip, br\r\n" +
         (closeAfter ? "Connection: close\r\n" : "") + "\r\n";
}

std::string EndpointTarget(std::string requestText) {
  posix::NettleDes des;
  std::string plain;
  EXPECT_EQ(EncodeRequest(des, requestText, plain), 0);
  return std::string(ProviderSimulator::kEndpointPath) + "?params=" + requestText;
}

const std::string kHoldingsRequest = "version=2;file=bestaende;loginid=4711;pin=1234;";

class ProviderSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_.WriteFile("accounts.txt", "4711;1234\n");
    data_.WriteFile("4711/bestandsdaten.csv", kHoldings);
    SimulatorOptions options;
    options.dataDir = data_.Path().string();
    options.httpPort = 0;
    options.logFile = data_.Path().string() + "/requests.log";
    simulator_ = std::make_unique<ProviderSimulator>(options);
    simulator_->Start();
  }

  int Port() const { return simulator_->HttpPort(); }
  WireAnswer Fetch(const std::string& target, bool closeAfter = true) {
    return Exchange(Port(), Get(target, closeAfter));
  }
  WireAnswer Holdings(bool closeAfter = true) { return Fetch(EndpointTarget(kHoldingsRequest), closeAfter); }

  WireAnswer Control(const std::string& pathAndQuery) {
    return Exchange(Port(), "POST " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n" +
                                "Connection: close\r\n\r\n");
  }
  void Fault(const std::string& query) {
    ASSERT_EQ(Control("/control/fault?" + query).Status(), 200) << query;
  }
  std::string Log() { return Fetch("/control/log").body; }

  testsupport::TempDir data_;
  std::unique_ptr<ProviderSimulator> simulator_;
};

TEST_F(ProviderSimulatorTest, ServesTheDataFileByteForByteWithItsExactLength) {
  const WireAnswer answer = Holdings();
  EXPECT_EQ(answer.Status(), 200);
  EXPECT_EQ(answer.body, kHoldings);
  EXPECT_EQ(answer.Header("Content-Length"), std::to_string(kHoldings.size()));
  EXPECT_EQ(answer.Header("Content-Type"), "text/plain; charset=windows-1252");
  EXPECT_FALSE(answer.Header("Content-Encoding").has_value());
}

TEST_F(ProviderSimulatorTest, LogsEveryEndpointRequestInMemoryAndInTheFile) {
  Fetch(
      EndpointTarget("version=2;file=transaktionen;loginid=4711;pin=1234;startid=17;startid2=4;reimport=1"));
  Fetch(std::string(ProviderSimulator::kEndpointPath) + "?params=abc%3D");
  Fetch(ProviderSimulator::kEndpointPath);
  const std::string expected =
      "login=4711 file=transaktionen startid=17 startid2=4 reimport=1 pin=1234\n"
      "undecodable params=abc%3D\n"
      "undecodable params=\n";
  EXPECT_EQ(Log(), expected);
  std::ifstream file(data_.Path().string() + "/requests.log", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), expected);
}

TEST_F(ProviderSimulatorTest, UndecodableRequestsGetFehler50) {
  for (const char* query : {"?params=abc", "?params=", "?other=1", ""}) {
    EXPECT_EQ(Fetch(std::string(ProviderSimulator::kEndpointPath) + query).body, kAnswerUnreadable) << query;
  }
}

TEST_F(ProviderSimulatorTest, OtherPathsAreNotFound) {
  for (const char* path : {"/modules/tavo/onlinedatatransferXphp", "/modules/tavo/other.php", "/"}) {
    EXPECT_EQ(Fetch(path).Status(), 404) << path;
  }
}

TEST_F(ProviderSimulatorTest, ResetClearsTheLogAndTheFaults) {
  Fault("mode=status&value=503&count=0");
  Holdings();
  ASSERT_EQ(Control("/control/reset").Status(), 200);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(Holdings().Status(), 200);
}

TEST_F(ProviderSimulatorTest, FaultsShapeTheAnswerOnTheWire) {
  const struct {
    const char* fault;
    int status;
    const char* header;  // name, or nullptr
    std::optional<std::string> headerValue;
    std::string body;
    bool serverCloses;  // without being asked by the client
  } cases[] = {
      {"mode=status&value=503", 503, "Content-Length", "16", "simulated status", false},
      {"mode=status&value=407", 407, "Proxy-Authenticate", "Basic realm=\"kx\"", "simulated status", false},
      {"mode=status&value=401", 401, "WWW-Authenticate", "Basic realm=\"kx\"", "simulated status", false},
      {"mode=answer&value=Fehler%2010%20-%20abc", 200, "Content-Length", "15", "Fehler 10 - abc", false},
      {"mode=empty-body", 200, "Content-Length", "0", "", false},
      {"mode=short-body&value=5", 200, "Content-Length", "17", "Depot", true},
      {"mode=long-body&value=5", 200, "Content-Length", "12", std::string(kHoldings), true},
      {"mode=bad-length", 200, "Content-Length", "abc", std::string(kHoldings), true},
      {"mode=no-length", 200, "Content-Length", std::nullopt,
       "11\r\n" + std::string(kHoldings) + "\r\n0\r\n\r\n", false},
      {"mode=drop&value=4", 200, "Transfer-Encoding", "chunked", "4\r\nDepo\r\n", true},
  };
  for (const auto& c : cases) {
    Fault(c.fault);
    const WireAnswer answer = Holdings(!c.serverCloses);
    EXPECT_EQ(answer.Status(), c.status) << c.fault;
    EXPECT_EQ(answer.Header(c.header), c.headerValue) << c.fault;
    EXPECT_EQ(answer.body, c.body) << c.fault;
    EXPECT_TRUE(answer.closed) << c.fault;
    EXPECT_FALSE(answer.Header("Content-Encoding").has_value()) << c.fault;
  }
  EXPECT_EQ(Holdings().body, kHoldings) << "every fault served one request";
}

TEST_F(ProviderSimulatorTest, FaultsCutErrorAnswersToo) {
  Fault("mode=short-body&value=6");
  EXPECT_EQ(Fetch(EndpointTarget("version=2;file=bestaende;loginid=4711;pin=0;"), false).body, "Fehler");
}

TEST_F(ProviderSimulatorTest, StallDelaysTheWholeAnswer) {
  Fault("mode=stall&value=0.4");
  const WireAnswer answer = Holdings();
  EXPECT_EQ(answer.body, kHoldings);
  EXPECT_GE(answer.firstBodyByte.count(), 390);
}

TEST_F(ProviderSimulatorTest, StallBodyPausesAfterHalfTheBody) {
  Fault("mode=stall-body&value=1.5");
  const WireAnswer answer = Holdings();
  EXPECT_EQ(answer.body, kHoldings);
  EXPECT_LT(answer.firstBodyByte.count(), 1000);
  EXPECT_GE(answer.end.count(), 1490);
}

TEST_F(ProviderSimulatorTest, RedirectPointsAtTheSameTargetOnTheNamedListener) {
  Fault("mode=redirect-http");
  const std::string target = EndpointTarget(kHoldingsRequest);
  const WireAnswer answer = Fetch(target);
  EXPECT_EQ(answer.Status(), 302);
  EXPECT_EQ(answer.Header("Location"), "http://127.0.0.1:" + std::to_string(Port()) + target);
  EXPECT_EQ(Control("/control/fault?mode=redirect-https").Status(), 400) << "there is no HTTPS listener";
}

TEST_F(ProviderSimulatorTest, FaultsNeverTouchTheControlEndpoints) {
  Fault("mode=status&value=500&count=0");
  EXPECT_EQ(Fetch("/control/log").Status(), 200);
  EXPECT_EQ(Holdings().Status(), 500);
}

TEST_F(ProviderSimulatorTest, ControlRefusesUnusableFaultsWithAReason) {
  const WireAnswer answer = Control("/control/fault?mode=status&value=abc");
  EXPECT_EQ(answer.Status(), 400);
  EXPECT_NE(answer.body.find("abc"), std::string::npos);
  EXPECT_EQ(Control("/control/fault?mode=stall&value=1&count=x").Status(), 400);
}

TEST_F(ProviderSimulatorTest, ControlPostWithoutContentLengthIsAnsweredAtOnce) {
  const WireAnswer answer = Exchange(
      Port(), "POST /control/fault?mode=no-length HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(answer.Status(), 200);
  EXPECT_LT(answer.end.count(), 2000);
  EXPECT_EQ(Holdings().Header("Transfer-Encoding"), "chunked");
}

TEST_F(ProviderSimulatorTest, StopEndsAPendingStall) {
  Fault("mode=stall&value=60");
  auto pending = std::async(std::launch::async, [this] { return Holdings(); });
  for (int i = 0; i < 200 && Log().empty(); ++i) std::this_thread::sleep_for(milliseconds(10));
  const auto start = Clock::now();
  simulator_->Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

TEST_F(ProviderSimulatorTest, APortInUseIsRefused) {
  SimulatorOptions options;
  options.dataDir = data_.Path().string();
  options.httpPort = Port();
  ProviderSimulator second(options);
  EXPECT_THROW(second.Start(), Error);
}

// The server closes its connections first, so they linger in TIME_WAIT on its port; a simulator
// started again on that port (demo/simulator.sh does) must still get it.
TEST_F(ProviderSimulatorTest, APortJustLeftCanBeTakenAgain) {
  ASSERT_EQ(Holdings().Status(), 200);
  const int port = Port();
  simulator_->Stop();
  SimulatorOptions options;
  options.dataDir = data_.Path().string();
  options.httpPort = port;
  ProviderSimulator again(options);
  EXPECT_NO_THROW(again.Start());
}

// HTTPS with the test certificates, made once for the suite.
class ProviderSimulatorHttpsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    certs_ = std::make_unique<testsupport::TempDir>();
    MakeTestCertificates(certs_->Path().string());
  }
  static void TearDownTestSuite() { certs_.reset(); }

  httplib::Result FetchHoldings(CertificateVariant variant) {
    data_.WriteFile("accounts.txt", "4711;1234\n");
    data_.WriteFile("4711/bestandsdaten.csv", kHoldings);
    SimulatorOptions options;
    options.dataDir = data_.Path().string();
    options.httpsPort = 0;
    options.certificate = ServerCertificateFiles(certs_->Path().string(), variant);
    ProviderSimulator simulator(options);
    simulator.Start();
    httplib::SSLClient client("127.0.0.1", simulator.HttpsPort());
    client.set_ca_cert_path((certs_->Path().string() + "/ca.pem").c_str());
    client.enable_server_certificate_verification(true);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    return client.Get(EndpointTarget(kHoldingsRequest).c_str());
  }

  static std::unique_ptr<testsupport::TempDir> certs_;
  testsupport::TempDir data_;
};

std::unique_ptr<testsupport::TempDir> ProviderSimulatorHttpsTest::certs_;

TEST_F(ProviderSimulatorHttpsTest, GoodCertificateIsTrustedThroughTheTestCa) {
  const httplib::Result result = FetchHoldings(CertificateVariant::kGood);
  ASSERT_TRUE(result) << httplib::to_string(result.error());
  EXPECT_EQ(result->body, kHoldings);
}

TEST_F(ProviderSimulatorHttpsTest, ExpiredAndWrongNameCertificatesFailVerification) {
  for (const CertificateVariant variant : {CertificateVariant::kExpired, CertificateVariant::kWrongName}) {
    const httplib::Result result = FetchHoldings(variant);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error(), httplib::Error::SSLServerVerification);
  }
}

}  // namespace
}  // namespace kx
