// Connecting to a serial line behind a device server: the name, the lookup, the connect with
// its time-out, and why it failed in the operator's words.
#include "platform/tcp_line.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win_error.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using Kind = detail::TcpFailure::Kind;

constexpr char kScheme[] = "tcp://";
constexpr size_t kSchemeSize = sizeof kScheme - 1;

bool HostNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

// Inside the brackets: hexadecimal groups, an embedded IPv4 address, a zone after '%'.
bool BracketedChar(char c) {
  return HostNameChar(c) || c == ':' || c == '%';
}

bool ParsePort(const std::string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

// The lookup runs on a thread of its own so that a resolver that does not answer cannot hold
// the caller past its time-out; a lookup given up on cleans up after itself when it ends.
struct Lookup {
  std::mutex m;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
  int status = 0;
  addrinfo* result = nullptr;
};

struct AddressList {
  addrinfo* list = nullptr;
  ~AddressList() {
    if (list) freeaddrinfo(list);
  }
};

addrinfo Hints(int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags | AI_NUMERICSERV;
  return hints;
}

// getaddrinfo's status; EAI_AGAIN when the time ran out.
int Resolve(const TcpAddress& address, Clock::time_point deadline, AddressList& out) {
  const std::string service = std::to_string(address.port);
  // An address needs no resolver, and no thread.
  const addrinfo numeric = Hints(AI_NUMERICHOST);
  if (getaddrinfo(address.host.c_str(), service.c_str(), &numeric, &out.list) == 0) return 0;
  auto lookup = std::make_shared<Lookup>();
  std::thread([lookup, host = address.host, service] {
    const addrinfo hints = Hints(0);
    addrinfo* result = nullptr;
    const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
    std::lock_guard<std::mutex> lock(lookup->m);
    if (lookup->abandoned) {
      if (result) freeaddrinfo(result);
      return;
    }
    lookup->status = status;
    lookup->result = result;
    lookup->finished = true;
    lookup->done.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(lookup->m);
  if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; })) {
    lookup->abandoned = true;
    return EAI_AGAIN;
  }
  out.list = lookup->result;
  return lookup->status;
}

Kind KindOfErrno(int err) {
  switch (err) {
    case ECONNREFUSED:
      return Kind::Refused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
      return Kind::NoRoute;
    case ETIMEDOUT:
      return Kind::TimedOut;
    default:
      return Kind::Other;
  }
}

uint32_t ErrorOfKind(Kind kind, int err) {
  switch (kind) {
    case Kind::BadName:
      return ERROR_FILE_NOT_FOUND;
    case Kind::NameNotFound:
      return WSAHOST_NOT_FOUND;
    case Kind::Refused:
      return WSAECONNREFUSED;
    case Kind::NoRoute:
      return err == EHOSTUNREACH || err == EHOSTDOWN ? WSAEHOSTUNREACH : WSAENETUNREACH;
    case Kind::TimedOut:
      return WSAETIMEDOUT;
    case Kind::Other:
      break;
  }
  return err ? Win32ErrorFromErrno(err) : ERROR_GEN_FAILURE;
}

// One address: 0 when connected, else the errno (ETIMEDOUT when the deadline passed).
int ConnectOne(const addrinfo& to, Clock::time_point deadline, int& fd) {
  fd = socket(to.ai_family, to.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, to.ai_protocol);
  if (fd < 0) return errno;
  int err = connect(fd, to.ai_addr, to.ai_addrlen) == 0 ? 0 : errno;
  while (err == EINPROGRESS || err == EINTR) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      err = ETIMEDOUT;
      break;
    }
    pollfd wait = {fd, POLLOUT, 0};
    const int ready = poll(&wait, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      err = ready == 0 ? ETIMEDOUT : errno;
      break;
    }
    socklen_t size = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) err = errno;
  }
  if (err != 0) {
    close(fd);
    fd = -1;
  }
  return err;
}

void TuneConnection(int fd) {
  // Each request is one small write that must go out at once, not wait for the last one's
  // acknowledgement.
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const unsigned limit = static_cast<unsigned>(kTcpUnacknowledgedLimit.count());
  setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &limit, sizeof limit);
}

std::string SystemWords(int err) {
  char buffer[256];
  return strerror_r(err, buffer, sizeof buffer);
}

}  // namespace

bool IsTcpPortName(const std::string& portName) {
  if (portName.size() < kSchemeSize) return false;
  for (size_t i = 0; i < kSchemeSize; ++i)
    if (std::tolower(static_cast<unsigned char>(portName[i])) != kScheme[i]) return false;
  return true;
}

bool ParseTcpPortName(const std::string& portName, TcpAddress& address) {
  if (!IsTcpPortName(portName)) return false;
  const std::string rest = portName.substr(kSchemeSize);
  std::string host, port;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
      return false;
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
    if (host.find(':') == std::string::npos) return false;
    for (char c : host)
      if (!BracketedChar(c)) return false;
  } else {
    const size_t colon = rest.find(':');
    if (colon == std::string::npos) return false;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    for (char c : host)
      if (!HostNameChar(c)) return false;
  }
  if (host.empty() || !ParsePort(port, address.port)) return false;
  address.host = host;
  return true;
}

namespace detail {

int OpenTcpLine(const std::string& portName, std::chrono::milliseconds timeout,
                TcpFailure& failure) {
  failure = TcpFailure{};
  auto fail = [&failure](Kind kind, int err) {
    failure.kind = kind;
    failure.sysError = err;
    failure.error = ErrorOfKind(kind, err);
    return -1;
  };
  if (!ParseTcpPortName(portName, failure.address)) return fail(Kind::BadName, 0);
  const auto deadline = Clock::now() + timeout;
  AddressList addresses;
  int status = 0;
  try {
    status = Resolve(failure.address, deadline, addresses);
  } catch (const std::exception&) {
    return fail(Kind::Other, EAGAIN);  // no thread for the lookup
  }
  if (status == EAI_AGAIN && Clock::now() >= deadline) return fail(Kind::TimedOut, 0);
  if (status == EAI_SYSTEM) return fail(Kind::Other, errno);
  if (status != 0 || !addresses.list) {
    failure.sysWords = gai_strerror(status);
    return fail(Kind::NameNotFound, 0);
  }
  // Every address the name has, in the resolver's order, until one takes the call; what the
  // last one said is what we report.
  int err = ETIMEDOUT;
  for (const addrinfo* to = addresses.list; to; to = to->ai_next) {
    int fd = -1;
    err = ConnectOne(*to, deadline, fd);
    if (err == 0) {
      TuneConnection(fd);
      return fd;
    }
    if (Clock::now() >= deadline) break;
  }
  return fail(KindOfErrno(err), err);
}

std::string TcpFailureReason(const std::string& portName, const TcpFailure& failure) {
  const std::string where =
      failure.address.host.find(':') != std::string::npos
          ? "[" + failure.address.host + "]:" + std::to_string(failure.address.port)
          : failure.address.host + ":" + std::to_string(failure.address.port);
  const std::string said =
      failure.sysError ? "（系统：" + SystemWords(failure.sysError) + "）" : "";
  const std::string seconds = std::to_string(kTcpConnectTimeout.count() / 1000);
  switch (failure.kind) {
    case Kind::BadName:
      return "“" + portName +
             "”不是网络端口名称。\n网络端口写作 tcp://主机:端口，例如 tcp://192.168.1.200:4001、"
             "tcp://gateway.local:502 或 tcp://[fe80::1]:502。";
    case Kind::NameNotFound:
      return "找不到主机 " + failure.address.host + "（" + failure.sysWords +
             "）。\n请检查主机名和域名解析（DNS），或直接使用设备的 IP 地址。";
    case Kind::Refused:
      return where + " 拒绝连接" + said +
             "。\n这台主机在该端口上没有服务：请检查端口号，以及串口服务器是否已启用这个端口"
             "（它是否已被另一个连接占用）。";
    case Kind::NoRoute:
      return "无法到达 " + where + said + "。\n请检查网线、本机的网络设置和设备的 IP 地址。";
    case Kind::TimedOut:
      return "连接 " + where + " 超时（" + seconds +
             " 秒内没有应答）。\n请检查设备是否已通电、IP 地址是否正确，以及防火墙是否放行该端口。";
    case Kind::Other:
      break;
  }
  return "连接 " + where + " 失败" + said + "。\n请检查网络和设备后再试。";
}

}  // namespace detail

}  // namespace platform
