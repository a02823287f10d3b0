#include "support/ConnectProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <string_view>

namespace kx::test {
namespace {

constexpr int kPollMs = 100;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

int ConnectLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// The port of "CONNECT 127.0.0.1:port HTTP/1.1" (or localhost); 0 for anything else.
int LoopbackPort(std::string_view head) {
  for (std::string_view host : {"CONNECT 127.0.0.1:", "CONNECT localhost:"}) {
    if (!head.starts_with(host)) continue;
    head.remove_prefix(host.size());
    int port = 0;
    for (std::size_t i = 0; i < head.size() && head[i] >= '0' && head[i] <= '9'; ++i)
      port = port * 10 + (head[i] - '0');
    return port > 0 && port < 65536 ? port : 0;
  }
  return 0;
}

}  // namespace

ConnectProxy::ConnectProxy(Credentials credentials) : credentials_(credentials) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 8) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error(std::string("proxy: cannot listen on 127.0.0.1: ") + std::strerror(errno));
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

ConnectProxy::~ConnectProxy() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

std::string ConnectProxy::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

void ConnectProxy::Serve() {
  while (!stop_) {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, kPollMs) <= 0) continue;
    const int client = accept(listener_, nullptr, nullptr);
    if (client >= 0) Handle(client);
  }
}

void ConnectProxy::Handle(int clientFd) {
  const Socket client(clientFd);
  std::string head;
  char buffer[16384];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && !stop_) {
    pollfd ready{client.Fd(), POLLIN, 0};
    if (poll(&ready, 1, kPollMs) <= 0) continue;
    const ssize_t n = recv(client.Fd(), buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t end = head.find("\r\n\r\n");
  if (end == std::string::npos) return;
  const int port = LoopbackPort(head);
  if (port == 0) {
    SendAll(client.Fd(), "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (credentials_ == Credentials::Demanded && head.find("\r\nProxy-Authorization: ") == std::string::npos) {
    SendAll(client.Fd(),
            "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"kx\"\r\n"
            "Content-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  const Socket server(ConnectLoopback(port));
  if (server.Fd() < 0) {
    SendAll(client.Fd(), "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (!SendAll(client.Fd(), "HTTP/1.1 200 Connection established\r\n\r\n")) return;
  ++tunnels_;
  // Bytes the client sent after its head belong to the tunnel.
  if (!SendAll(server.Fd(), std::string_view(head).substr(end + 4))) return;
  pollfd both[2] = {{client.Fd(), POLLIN, 0}, {server.Fd(), POLLIN, 0}};
  while (!stop_) {
    if (poll(both, 2, kPollMs) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if ((both[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = recv(both[i].fd, buffer, sizeof buffer, 0);
      if (n <= 0 || !SendAll(both[1 - i].fd, std::string_view(buffer, static_cast<std::size_t>(n)))) return;
    }
  }
}

}  // namespace kx::test
