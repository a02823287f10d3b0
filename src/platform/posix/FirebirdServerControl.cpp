#include "platform/posix/FirebirdServerControl.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "util/Error.h"
#include "util/ProviderIdentity.h"
#include "util/WholeNumber.h"

extern char** environ;

namespace kx::posix {
namespace {

constexpr int kDefaultPort = 3050;
constexpr int kConnectTimeoutMs = 1000;
constexpr auto kStartCommandLimit = std::chrono::seconds(60);

bool Exists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// Whether something accepts a connection on one address within the time-out.
bool Accepts(const sockaddr* address, socklen_t size) {
  const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool accepted = ::connect(fd, address, size) == 0;
  if (!accepted && errno == EINPROGRESS) {
    pollfd ready{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    accepted = ::poll(&ready, 1, kConnectTimeoutMs) == 1 &&
               ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  ::close(fd);
  return accepted;
}

// Whether the server answers where a client's "localhost:" reaches it: on every address the name
// has. A server bound to "localhost" listens on ::1 alone where the name gives that first.
bool AcceptsOnLocalhost(int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo("localhost", service.c_str(), &hints, &found) != 0) return false;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (Accepts(a->ai_addr, a->ai_addrlen)) return true;
  }
  return false;
}

// Runs a program with fixed arguments, its output discarded, and waits for it (bounded): its exit
// status, or -1 when it could not be started or did not end in time.
int Run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + kStartCommandLimit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) return -1;  // left to run on its own
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int FirebirdServerControl::PortOf(std::string_view databaseName) {
  const std::size_t slash = databaseName.find('/');
  const std::size_t colon = databaseName.find(':');
  if (slash == std::string_view::npos || colon == std::string_view::npos || slash > colon)
    return kDefaultPort;
  const std::optional<int> port = WholeNumberOf<int>(databaseName.substr(slash + 1, colon - slash - 1));
  return port && *port > 0 && *port < 65536 ? *port : kDefaultPort;
}

std::string FirebirdServerControl::Setting(std::string_view name, std::string_view fallback) {
  std::optional<std::string> value;
  try {
    if (std::unique_ptr<SettingsKey> key = settings_.OpenLocalMachineKey(kSettingsKey))
      value = key->ReadString(name);
  } catch (const SettingsTypeError&) {
  }
  return value && !value->empty() ? *value : std::string(fallback);
}

// The service's name from the settings; it becomes part of a program's path, so it is a plain
// name or none ("" is never installed and never started).
std::string FirebirdServerControl::ServiceName() {
  std::string name = Setting("FirebirdService", "firebird3.0");
  const bool plain =
      name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._@-") ==
          std::string::npos &&
      name.front() != '.';
  return plain ? name : std::string();
}

bool FirebirdServerControl::IsInstalled() {
  const std::string service = ServiceName();
  if (service.empty()) return Exists(Setting("FirebirdServer", "/usr/sbin/firebird"));
  return Exists(Setting("FirebirdServer", "/usr/sbin/firebird")) || Exists("/etc/init.d/" + service) ||
         Exists("/lib/systemd/system/" + service + ".service");
}

bool FirebirdServerControl::ServerAnswers() { return AcceptsOnLocalhost(PortOf(Setting("ImportDB", ""))); }

int32_t FirebirdServerControl::QueryServiceState(std::string_view service) {
  if (service != "InterBaseServer") {
    throw PlatformError("Dienst " + std::string(service) + " gibt es auf diesem System nicht", ENOENT);
  }
  return ServerAnswers() ? kServiceRunning : kServiceStopped;
}

void FirebirdServerControl::RequestServiceStart(std::string_view) {
  const std::string service = ServiceName();
  if (service.empty())
    throw PlatformError("Der Name des Datenbankdienstes in FirebirdService ist ung\xFCltig", EINVAL);
  std::vector<std::string> command;
  if (Exists("/run/systemd/system")) {
    command = {Exists("/usr/bin/systemctl") ? "/usr/bin/systemctl" : "/bin/systemctl", "start",
               service + ".service"};
  } else {
    command = {"/etc/init.d/" + service, "start"};
  }
  const int status = Run(command);
  if (status != 0) {
    throw PlatformError("Der Datenbankdienst " + service + " konnte nicht gestartet werden (" + command[0] +
                            (status < 0 ? ": nicht ausf\xFChrbar oder ohne Ende)"
                                        : ": Status " + std::to_string(status) + ")"),
                        status);
  }
}

}  // namespace kx::posix
