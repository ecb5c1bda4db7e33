#include "line.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace slave_sim {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) Fail("cannot read the terminal settings");
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &tio) != 0) Fail("cannot set raw mode");
}

std::string LinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
}

}  // namespace

PtyLine::PtyLine(const std::string& link) : link_(link) {
  fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) Fail("cannot open a pseudo-terminal");
  if (grantpt(fd_) != 0 || unlockpt(fd_) != 0) Fail("cannot unlock the pseudo-terminal");
  char name[128];
  if (ptsname_r(fd_, name, sizeof name) != 0) Fail("cannot name the pseudo-terminal");
  slave_path_ = name;
  MakeRaw(fd_);
  // Settings live with the terminal, so raw mode set now is what the program finds on open.
  // Closing this descriptor again also puts the line in its "nobody there" state at once.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) Fail("cannot open " + slave_path_);
  MakeRaw(slave);
  close(slave);
  if (link_.empty())
    link_ = slave_path_;
  else
    MakeLink();
}

PtyLine::~PtyLine() {
  RemoveLink();
  if (fd_ >= 0) close(fd_);
}

void PtyLine::MakeLink() {
  struct stat existing {};
  if (lstat(link_.c_str(), &existing) == 0) {
    // Only a link to a pseudo-terminal is ours to replace: a killed run leaves one behind.
    if (!S_ISLNK(existing.st_mode) || LinkTarget(link_).rfind("/dev/pts/", 0) != 0) {
      errno = EEXIST;
      Fail("will not replace " + link_);
    }
  }
  // Made beside the link and renamed over it, so the path never points nowhere.
  const std::string temporary = link_ + ".new." + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(slave_path_.c_str(), temporary.c_str()) != 0) Fail("cannot make the link " + link_);
  if (rename(temporary.c_str(), link_.c_str()) != 0) {
    const int saved = errno;
    unlink(temporary.c_str());
    errno = saved;
    Fail("cannot make the link " + link_);
  }
  linked_ = true;
}

void PtyLine::RemoveLink() {
  if (!linked_) return;
  linked_ = false;
  if (LinkTarget(link_) == slave_path_) unlink(link_.c_str());
}

bool PtyLine::Up() {
  pollfd probe{fd_, POLLIN, 0};
  return poll(&probe, 1, 0) >= 0 && !(probe.revents & (POLLHUP | POLLERR | POLLNVAL));
}

ssize_t PtyLine::Read(uint8_t* buffer, size_t size) {
  const ssize_t n = read(fd_, buffer, size);
  if (n > 0) return n;
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  return -1;  // EIO: nobody has the slave end open
}

ssize_t PtyLine::Write(const uint8_t* data, size_t size) {
  if (!Up()) return -1;
  const ssize_t n = write(fd_, data, size);
  if (n >= 0) return n;
  return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

TcpLine::TcpLine(int port) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener_ < 0) Fail("cannot make a socket");
  const int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t size = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0)
    Fail("cannot listen on 127.0.0.1:" + std::to_string(port));
  if (listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    Fail("cannot listen on 127.0.0.1:" + std::to_string(port));
  port_ = ntohs(address.sin_port);
}

TcpLine::~TcpLine() {
  if (client_ >= 0) close(client_);
  close(listener_);
}

std::string TcpLine::Describe() const {
  return "tcp://127.0.0.1:" + std::to_string(port_);
}

bool TcpLine::Up() {
  if (std::exchange(lost_, false)) return false;
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    if (client_ >= 0) {
      close(fd);  // busy: one master at a time
      continue;
    }
    // An answer must leave in one segment at once, as it would on the wire.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    client_ = fd;
  }
  return client_ >= 0;
}

void TcpLine::Gone() {
  if (client_ >= 0) close(client_);
  client_ = -1;
  lost_ = true;
}

bool TcpLine::Drop() {
  if (client_ < 0) return false;
  Gone();
  return true;
}

ssize_t TcpLine::Read(uint8_t* buffer, size_t size) {
  if (client_ < 0) return -1;
  const ssize_t n = recv(client_, buffer, size, 0);
  if (n > 0) return n;
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  Gone();  // the master closed its end, or the connection broke
  return -1;
}

ssize_t TcpLine::Write(const uint8_t* data, size_t size) {
  if (client_ < 0) return -1;
  const ssize_t n = send(client_, data, size, MSG_NOSIGNAL);
  if (n >= 0) return n;
  if (errno == EAGAIN || errno == EINTR) return 0;
  Gone();
  return -1;
}

}  // namespace slave_sim
