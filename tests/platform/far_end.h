// The other end of a line, for the tests that every real serial device must pass: the master
// side of a pseudo-terminal, or the accepted connection of a local listener for a "tcp://" line.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "tests/platform/pty_pair.h"

namespace platform::testing {

class FarEnd {
 public:
  enum class Kind { Pty, Tcp };
  virtual ~FarEnd() = default;
  // What the device opens.
  virtual std::string PortName() const = 0;
  virtual void Send(const std::string& bytes) = 0;
  // What the device wrote, until `count` bytes or the time is up.
  virtual std::string Receive(size_t count, std::chrono::milliseconds within) = 0;
  virtual void Close() = 0;  // the far end goes away: the line hangs up
  // A write of this size cannot all be taken while nobody reads this end.
  virtual size_t Unreadable() const = 0;
};

std::unique_ptr<FarEnd> MakeFarEnd(FarEnd::Kind kind);
inline std::string KindName(FarEnd::Kind kind) {
  return kind == FarEnd::Kind::Tcp ? "Tcp" : "Pty";
}

// A listener on 127.0.0.1 at a port of the system's choice; the first connection is the line.
class TcpFarEnd final : public FarEnd {
 public:
  TcpFarEnd() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      throw std::runtime_error("no local listener");
    port_ = ntohs(address.sin_port);
  }
  ~TcpFarEnd() override {
    if (peer_ >= 0) close(peer_);
    close(listener_);
  }
  std::string PortName() const override { return "tcp://127.0.0.1:" + std::to_string(port_); }
  size_t Unreadable() const override { return size_t{32} << 20; }

  // Waits for the device's connection; false if none came.
  bool Accept(std::chrono::milliseconds within = 2s) {
    if (peer_ >= 0) return true;
    pollfd fd = {listener_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(within.count())) <= 0) return false;
    peer_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return peer_ >= 0;
  }

  void Send(const std::string& bytes) override {
    if (!Accept()) throw std::runtime_error("the device did not connect");
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = send(peer_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      pollfd fd = {peer_, POLLOUT, 0};
      if (n > 0)
        done += static_cast<size_t>(n);
      else if (poll(&fd, 1, 2000) <= 0)
        throw std::runtime_error("the connection takes no more bytes");
    }
  }

  std::string Receive(size_t count, std::chrono::milliseconds within) override {
    std::string got;
    if (!Accept(within)) return got;
    for (const auto end = Clock::now() + within; got.size() < count;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
      pollfd fd = {peer_, POLLIN, 0};
      char chunk[65536];
      if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) break;
      const ssize_t n = recv(peer_, chunk, std::min(sizeof chunk, count - got.size()), 0);
      if (n <= 0) break;
      got.append(chunk, static_cast<size_t>(n));
    }
    return got;
  }

  void Close() override {
    Accept();
    if (peer_ >= 0) close(peer_);
    peer_ = -1;
  }

  // Whether the accepted connection has been closed by the device (end of file seen).
  bool ClosedByDevice(std::chrono::milliseconds within) {
    return Accept(within) && WaitFor(
                                 [&] {
                                   char byte;
                                   const ssize_t n = recv(peer_, &byte, 1, 0);
                                   return n == 0 || (n < 0 && errno != EAGAIN);
                                 },
                                 within);
  }

 private:
  int listener_ = -1;
  int peer_ = -1;
  int port_ = 0;
};

}  // namespace platform::testing
