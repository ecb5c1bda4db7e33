#include "tests/platform/far_end.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace platform::testing {

namespace {

class PtyFarEnd final : public FarEnd {
 public:
  std::string PortName() const override { return pty_.SlavePath(); }
  void Send(const std::string& bytes) override { pty_.Send(bytes); }
  std::string Receive(size_t count, std::chrono::milliseconds within) override {
    return pty_.Receive(count, within);
  }
  void Close() override { pty_.CloseMaster(); }
  size_t Unreadable() const override { return size_t{1} << 20; }

 private:
  PtyPair pty_;
};

}  // namespace

std::unique_ptr<FarEnd> MakeFarEnd(FarEnd::Kind kind) {
  if (kind == FarEnd::Kind::Tcp) return std::make_unique<TcpFarEnd>();
  return std::make_unique<PtyFarEnd>();
}

std::string KindName(FarEnd::Kind kind) {
  return kind == FarEnd::Kind::Tcp ? "Tcp" : "Pty";
}

TcpFarEnd::TcpFarEnd() {
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

TcpFarEnd::~TcpFarEnd() {
  if (peer_ >= 0) close(peer_);
  close(listener_);
}

std::string TcpFarEnd::PortName() const {
  return "tcp://127.0.0.1:" + std::to_string(port_);
}

bool TcpFarEnd::Accept(std::chrono::milliseconds within) {
  if (peer_ >= 0) return true;
  pollfd fd = {listener_, POLLIN, 0};
  if (poll(&fd, 1, static_cast<int>(within.count())) <= 0) return false;
  peer_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  return peer_ >= 0;
}

void TcpFarEnd::Send(const std::string& bytes) {
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

std::string TcpFarEnd::Receive(size_t count, std::chrono::milliseconds within) {
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

void TcpFarEnd::Close() {
  Accept();
  if (peer_ >= 0) close(peer_);
  peer_ = -1;
}

bool TcpFarEnd::ClosedByDevice(std::chrono::milliseconds within) {
  if (!Accept(within)) return false;
  pollfd fd = {peer_, POLLIN, 0};
  char byte;
  for (const auto end = Clock::now() + within; Clock::now() < end;) {
    if (poll(&fd, 1, 10) > 0) {
      const ssize_t n = recv(peer_, &byte, 1, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN)) return true;
    }
  }
  return false;
}

}  // namespace platform::testing
