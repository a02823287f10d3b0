// kxprovider: the provider simulator. Serves the provider's download endpoint over HTTPS and/or
// HTTP on loopback for the tests, the demo and the benchmarks, with control endpoints that read
// the request log and inject faults. See README.md beside this file.
#include <arpa/inet.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "kxprovider/ProviderSimulator.h"
#include "kxprovider/TestCertificates.h"
#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "util/Error.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage = R"(Usage:
  kxprovider --data DIR [--https-port N] [--http-port N] [--cert-dir DIR]
             [--cert-variant good|expired|wrong-name] [--log FILE] [--port-file FILE]
             [--bind ADDRESS] [--die-with-parent]
  kxprovider --make-certs DIR
  kxprovider --encode TEXT
  kxprovider --decode VALUE
  kxprovider --help | --version

Plays the provider: GET /modules/tavo/onlinedatatransfer.php?params=... answers from the data
directory DIR (accounts.txt, DIR/<login>/bestandsdaten.csv and transaktionsdaten.csv).

Options:
  --data DIR            the data directory (required to serve)
  --https-port N        serve HTTPS on port N (0: an ephemeral port); needs --cert-dir
  --http-port N         serve plain HTTP on port N (0: an ephemeral port)
  --cert-dir DIR        the test certificates; created there first when missing
  --cert-variant V      the certificate HTTPS presents: good (server.pem, the default),
                        expired (expired.pem) or wrong-name (wrongname.pem)
  --log FILE            append one line per endpoint request to FILE
  --port-file FILE      also write the port lines and "ready" to FILE (complete when it appears)
  --bind ADDRESS        the loopback address to listen on (default 127.0.0.1; 127.0.0.0/8 only)
  --die-with-parent     stop when the process that started the simulator ends
  --make-certs DIR      create the test CA and the server certificates in DIR, then exit
  --encode TEXT         print the params value of a request text (as the client encodes it)
  --decode VALUE        print the request text of a params value (exit 1 when undecodable)
  --help                this text
  --version             the version

When listening, prints "https-port N" and/or "http-port N", then "ready". Runs until SIGTERM
or SIGINT and then exits 0. Exit 1: a failure while starting or serving; 2: a wrong command line.
)";

struct Arguments {
  std::string dataDir;
  std::optional<int> httpsPort;
  std::optional<int> httpPort;
  std::string certDir;
  kx::CertificateVariant variant = kx::CertificateVariant::kGood;
  std::string logFile;
  std::string portFile;
  std::string bindAddress = "127.0.0.1";
  bool dieWithParent = false;
  std::string makeCertsDir;
  std::optional<std::string> encode;
  std::optional<std::string> decode;
};

class UsageError : public kx::Error {
 public:
  using Error::Error;
};

int ParsePort(std::string_view text) {
  int port = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
    throw UsageError("not a port number: " + std::string(text));
  }
  return port;
}

kx::CertificateVariant ParseVariant(std::string_view text) {
  if (text == "good") return kx::CertificateVariant::kGood;
  if (text == "expired") return kx::CertificateVariant::kExpired;
  if (text == "wrong-name") return kx::CertificateVariant::kWrongName;
  throw UsageError("unknown certificate variant: " + std::string(text));
}

bool IsLoopback(const std::string& address) {
  in_addr parsed{};
  return inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

Arguments Parse(const std::vector<std::string>& args) {
  Arguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      return args[++i];
    };
    if (name == "--data") {
      parsed.dataDir = value();
    } else if (name == "--https-port") {
      parsed.httpsPort = ParsePort(value());
    } else if (name == "--http-port") {
      parsed.httpPort = ParsePort(value());
    } else if (name == "--cert-dir") {
      parsed.certDir = value();
    } else if (name == "--cert-variant") {
      parsed.variant = ParseVariant(value());
    } else if (name == "--log") {
      parsed.logFile = value();
    } else if (name == "--port-file") {
      parsed.portFile = value();
    } else if (name == "--bind") {
      parsed.bindAddress = value();
    } else if (name == "--die-with-parent") {
      parsed.dieWithParent = true;
    } else if (name == "--make-certs") {
      parsed.makeCertsDir = value();
    } else if (name == "--encode") {
      parsed.encode = value();
    } else if (name == "--decode") {
      parsed.decode = value();
    } else {
      throw UsageError("unknown argument: " + name);
    }
  }
  return parsed;
}

void CheckServeArguments(const Arguments& args) {
  if (args.dataDir.empty()) throw UsageError("--data DIR is required");
  std::error_code error;
  if (!std::filesystem::is_directory(args.dataDir, error))
    throw UsageError("not a directory: " + args.dataDir);
  if (!args.httpsPort && !args.httpPort) throw UsageError("give --https-port and/or --http-port");
  if (args.httpsPort && args.certDir.empty()) throw UsageError("--https-port needs --cert-dir");
  if (!IsLoopback(args.bindAddress)) throw UsageError("--bind takes a loopback address: " + args.bindAddress);
}

void WritePortFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw kx::FileError("cannot write " + temporary, temporary);
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw kx::FileError("cannot rename " + temporary + " to " + path, path);
  }
}

// Blocks the stop signals in every thread (the listeners' threads inherit the mask), so the main
// thread alone takes them with sigtimedwait. A shell starts background jobs with SIGINT ignored;
// the default disposition is restored so the signal is not discarded.
sigset_t BlockStopSignals() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return set;
}

int Serve(const Arguments& args) {
  CheckServeArguments(args);
  const sigset_t stopSignals = BlockStopSignals();
  if (args.dieWithParent) {
    const pid_t parent = ::getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) return 0;
  }

  kx::SimulatorOptions options;
  options.dataDir = args.dataDir;
  options.httpsPort = args.httpsPort;
  options.httpPort = args.httpPort;
  options.logFile = args.logFile;
  options.bindAddress = args.bindAddress;
  if (args.httpsPort) {
    kx::MakeTestCertificates(args.certDir);
    options.certificate = kx::ServerCertificateFiles(args.certDir, args.variant);
  }
  kx::ProviderSimulator simulator(std::move(options));
  simulator.Start();

  std::string lines;
  if (args.httpsPort) lines += "https-port " + std::to_string(simulator.HttpsPort()) + "\n";
  if (args.httpPort) lines += "http-port " + std::to_string(simulator.HttpPort()) + "\n";
  lines += "ready\n";
  if (!args.portFile.empty()) WritePortFile(args.portFile, lines);
  std::cout << lines << std::flush;

  const timespec tick{1, 0};
  while (sigtimedwait(&stopSignals, nullptr, &tick) < 0) {
    if (!simulator.Serving()) {
      std::cerr << "kxprovider: a listener stopped unexpectedly\n";
      return kExitFailed;
    }
  }
  simulator.Stop();
  return 0;
}

int EncodeOrDecode(const Arguments& args) {
  kx::posix::NettleDes des;
  if (args.encode) {
    std::string text = *args.encode;
    std::string plain;
    if (const int32_t code = kx::EncodeRequest(des, text, plain); code != 0) {
      std::cerr << "kxprovider: the encoding failed with code " << code << "\n";
      return kExitFailed;
    }
    std::cout << text << "\n";
    return 0;
  }
  const std::optional<std::string> text = kx::DecodeRequest(des, *args.decode);
  if (!text) {
    std::cerr << "kxprovider: not a request value\n";
    return kExitFailed;
  }
  std::cout << *text << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = kx::tools::AnswerHelpOrVersion(argc, argv, 1, "kxprovider", kUsage))
    return *answered;
  try {
    const Arguments args = Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!args.makeCertsDir.empty()) {
      kx::MakeTestCertificates(args.makeCertsDir);
      return 0;
    }
    if (args.encode || args.decode) return EncodeOrDecode(args);
    return Serve(args);
  } catch (const UsageError& error) {
    std::cerr << "kxprovider: " << error.what() << "\n(kxprovider --help shows the options)\n";
    return kExitUsage;
  } catch (const std::exception& error) {
    std::cerr << "kxprovider: " << error.what() << "\n";
    return kExitFailed;
  }
}
