// From a port name to an open terminal: which file the name stands for, which device files
// count as serial lines, and opening one for our exclusive use.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/serial_device.h"
#include "platform/serial_device_posix_detail.h"
#include "platform/termios2_linux.h"

namespace platform {

namespace {

// "COM<n>" with n a positive decimal; 0 for any other name.
unsigned ComNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 13) return 0;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  unsigned long long n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return n > 0 && n <= 0x7FFFFFFF ? static_cast<unsigned>(n) : 0;
}

bool InRange(unsigned value, std::string_view range) {
  const size_t dash = range.find('-');
  unsigned first = 0, last = 0;
  std::istringstream firstText(std::string(range.substr(0, dash)));
  if (!(firstText >> first)) return false;
  last = first;
  if (dash != std::string_view::npos) {
    std::istringstream lastText(std::string(range.substr(dash + 1)));
    if (!(lastText >> last)) return false;
  }
  return value >= first && value <= last;
}

// Used only where the kernel's driver table cannot be read: the usual serial majors (8250
// ports from minor 64, pseudo-terminal slaves, USB CDC and USB serial adapters, AMBA ports).
bool IsWellKnownSerialLine(unsigned major, unsigned minor) {
  if (major == 4) return minor >= 64;
  return (major >= 136 && major <= 143) || major == 166 || major == 188 || major == 204;
}

}  // namespace

std::string SerialDevicePath(const std::string& portName) {
  if (portName.empty() || portName.find('\0') != std::string::npos) return {};
  if (const unsigned n = ComNumber(portName)) return "/dev/ttyS" + std::to_string(n - 1);
  if (portName.front() == '/') return portName;
  if (portName.find('/') != std::string::npos || portName == "." || portName == "..") return {};
  return "/dev/" + portName;
}

namespace detail {

bool IsSerialLineDevice(unsigned major, unsigned minor, std::string_view driverTable) {
  std::istringstream lines{std::string(driverTable)};
  std::string line;
  while (std::getline(lines, line)) {
    // name, default node, major, minor range, type
    std::istringstream fields(line);
    std::string name, node, range, type;
    unsigned driverMajor = 0;
    if (!(fields >> name >> node >> driverMajor >> range >> type)) continue;
    if (driverMajor != major || !InRange(minor, range)) continue;
    // /dev/tty, the console, ptmx and the like are terminals but never a line of their own;
    // a pseudo-terminal master is the far end of somebody else's line.
    return type.rfind("system", 0) != 0 && type != "pty:master";
  }
  return false;
}

bool IsSerialLineDevice(unsigned major, unsigned minor) {
  std::ifstream file("/proc/tty/drivers");
  if (!file) return IsWellKnownSerialLine(major, minor);
  std::ostringstream text;
  text << file.rdbuf();
  return IsSerialLineDevice(major, minor, text.str());
}

int OpenSerialLine(const std::string& portName, OpenFailure& failure) {
  using Kind = OpenFailure::Kind;
  failure = OpenFailure{};
  failure.path = SerialDevicePath(portName);
  auto fail = [&failure](Kind kind, uint32_t error, int sysError) {
    failure.kind = kind;
    failure.error = error;
    failure.sysError = sysError;
    return -1;
  };
  auto failWithErrno = [&fail](int sysError) {
    Kind kind = Kind::Other;
    if (sysError == EACCES || sysError == EPERM) kind = Kind::Denied;
    if (sysError == EBUSY) kind = Kind::Busy;  // another program set the terminal exclusive
    if (Win32ErrorFromErrno(sysError) == ERROR_FILE_NOT_FOUND) kind = Kind::Missing;
    return fail(kind, Win32ErrorFromErrno(sysError), sysError);
  };
  const std::string& path = failure.path;
  if (path.empty()) return fail(Kind::NoName, ERROR_FILE_NOT_FOUND, 0);
  struct stat named {};
  // Decided on the name alone, before any open(): opening some files has effects of its own
  // (a FIFO blocks, a watchdog arms).
  if (stat(path.c_str(), &named) != 0) {
    const int why = errno;
    if (why == EACCES) return fail(Kind::Denied, ERROR_ACCESS_DENIED, why);
    return fail(Kind::Missing, ERROR_FILE_NOT_FOUND, why);
  }
  if (!S_ISCHR(named.st_mode) || !IsSerialLineDevice(major(named.st_rdev), minor(named.st_rdev)))
    return fail(Kind::NotSerial, ERROR_FILE_NOT_FOUND, 0);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return failWithErrno(errno);
  auto refuse = [fd](int result) {
    close(fd);
    return result;
  };
  // The name may have been swapped for another file since it was checked.
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || opened.st_rdev != named.st_rdev || !isatty(fd))
    return refuse(fail(Kind::NotSerial, ERROR_FILE_NOT_FOUND, 0));
  // TIOCEXCL does not stop root; the lock stops everybody who asks for it the way we do.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int why = errno;
    // The lock's "resource temporarily unavailable" would tell an operator nothing.
    if (why == EWOULDBLOCK) return refuse(fail(Kind::Busy, ERROR_ACCESS_DENIED, 0));
    return refuse(failWithErrno(why));
  }
  SetExclusive(fd, true);
  if (!SetRawMode(fd)) {
    const int why = errno;
    SetExclusive(fd, false);
    return refuse(failWithErrno(why));
  }
  return fd;
}

void CloseSerialLine(int fd) {
  // Left set, the exclusive flag would outlive us while anybody else holds the terminal open.
  SetExclusive(fd, false);
  close(fd);
}

}  // namespace detail

}  // namespace platform
