#include "line.h"

#include <fcntl.h>
#include <poll.h>
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

bool PtyLine::Up() const {
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

}  // namespace slave_sim
