#pragma once

// A small HTTPS proxy on 127.0.0.1 for the download tests: it answers CONNECT requests for a
// loopback port with "200 Connection established" and then passes the bytes through unchanged,
// one connection at a time. Asked to, it demands credentials with 407 first.
#include <atomic>
#include <string>
#include <thread>

namespace kx::test {

class ConnectProxy {
 public:
  enum class Credentials { NotNeeded, Demanded };

  explicit ConnectProxy(Credentials credentials = Credentials::NotNeeded);
  ~ConnectProxy();
  ConnectProxy(const ConnectProxy&) = delete;
  ConnectProxy& operator=(const ConnectProxy&) = delete;

  // "http://127.0.0.1:port", the value of https_proxy.
  std::string Url() const;
  // CONNECT requests answered with 200 so far.
  int Tunnels() const { return tunnels_; }

 private:
  void Serve();
  void Handle(int client);

  Credentials credentials_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> tunnels_{0};
  std::thread thread_;
};

}  // namespace kx::test
