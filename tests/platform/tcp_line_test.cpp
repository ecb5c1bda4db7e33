// A serial line behind a device server: its names, why a connect failed, what a socket does
// with the serial calls that have no meaning on it, and connecting again in the background.
// What it shares with a terminal is in serial_events_test and serial_transfer_test.
#include "platform/tcp_line.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/platform/far_end.h"

namespace platform {
namespace {

using namespace testing;

TEST(TcpPortName, HostAndPort) {
  const std::tuple<const char*, const char*, uint16_t> accepted[] = {
      {"tcp://127.0.0.1:502", "127.0.0.1", 502},
      {"TCP://gateway.local:4001", "gateway.local", 4001},
      {"tcp://moxa-1_a:65535", "moxa-1_a", 65535},
      {"tcp://[::1]:1", "::1", 1},
      {"tcp://[fe80::1%eth0]:502", "fe80::1%eth0", 502},
      {"tcp://[::ffff:10.0.0.1]:502", "::ffff:10.0.0.1", 502},
  };
  for (const auto& [name, host, port] : accepted) {
    TcpAddress address;
    EXPECT_TRUE(ParseTcpPortName(name, address)) << name;
    EXPECT_EQ(address.host, host) << name;
    EXPECT_EQ(address.port, port) << name;
  }
  // Not network names we accept; an IPv6 address needs its brackets, brackets are for addresses.
  const std::string refused[] = {
      "tcp://", "tcp://host", "tcp://host:", "tcp://:502", "tcp://host:0", "tcp://host:65536",
      "tcp://host:5o2", "tcp://host:+502", "tcp://host:502/", "tcp://::1:502", "tcp://[::1]502",
      "tcp://[::1:502", "tcp://[]:502", "tcp://[host]:502", "tcp://a b:502", "tcp://a/b:502",
      "udp://host:502", std::string("tcp://h\0st:502", 14)};
  for (const std::string& name : refused) {
    TcpAddress address;
    EXPECT_FALSE(ParseTcpPortName(name, address)) << name;
  }
}

// A socket bound on a loopback port of the system's choice; `address` gets that port.
int BoundOnLoopback(sockaddr_in& address) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return fd;
}

// A port nobody listens on: bound once by us, then let go.
int FreePort() {
  sockaddr_in address;
  close(BoundOnLoopback(address));
  return ntohs(address.sin_port);
}

// A listener whose backlog is full: the next connect is never answered.
struct Unanswering {
  sockaddr_in address;
  int listener = BoundOnLoopback(address);
  int blocker = socket(AF_INET, SOCK_STREAM, 0);
  std::string name = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  Unanswering() {
    listen(listener, 0);
    connect(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  ~Unanswering() {
    close(blocker);
    close(listener);
  }
};

bool Starts(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

struct Opened {
  uint32_t error = 0;
  std::string reason;
  std::chrono::milliseconds took{};
};

Opened Open(const std::string& name) {
  SetLastError(0);
  const auto start = Clock::now();
  auto device = OpenSerialDevice(name);
  Opened result{GetLastError(), GetLastErrorReason(),
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
  EXPECT_FALSE(device) << name;
  return result;
}

TEST(TcpOpen, EachFailureSaysWhy) {
  const std::string refused = "tcp://127.0.0.1:" + std::to_string(FreePort());
  Opened got = Open(refused);
  EXPECT_EQ(got.error, WSAECONNREFUSED);
  EXPECT_NE(got.reason.find(refused.substr(6) + " 拒绝连接"), std::string::npos) << got.reason;
  EXPECT_LT(got.took, 500ms);

  got = Open("tcp://gateway:port");
  EXPECT_EQ(got.error, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Starts(got.reason,
                     "“tcp://gateway:port”不是网络端口名称。\n网络端口写作 tcp://主机:端口"))
      << got.reason;

  got = Open("tcp://no-such-host.invalid:502");
  if (got.error == WSAETIMEDOUT) GTEST_SKIP() << "no resolver answers on this machine";
  EXPECT_EQ(got.error, WSAHOST_NOT_FOUND);
  EXPECT_TRUE(Starts(got.reason, "找不到主机 no-such-host.invalid（")) << got.reason;
}

TEST(TcpOpen, AServerThatNeverAnswersTimesOut) {
  Unanswering server;
  detail::TcpFailure failure;
  const auto start = Clock::now();
  EXPECT_EQ(detail::OpenTcpLine(server.name, 300ms, failure), -1);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 290ms);
  EXPECT_LT(took, 1s);
  EXPECT_EQ(failure.kind, detail::TcpFailure::Kind::TimedOut);
  EXPECT_EQ(failure.error, WSAETIMEDOUT);
  EXPECT_TRUE(Starts(detail::TcpFailureReason(server.name, failure),
                     "连接 " + server.name.substr(6) + " 超时（3 秒内没有应答）"));
  failure.address = {"fe80::1", 502};
  failure.kind = detail::TcpFailure::Kind::NoRoute;
  failure.sysError = EHOSTUNREACH;
  EXPECT_TRUE(Starts(detail::TcpFailureReason("", failure), "无法到达 [fe80::1]:502（系统："));
}

// Requests leave at once, a dead connection is noticed, and an IPv6 address in brackets works.
TEST(TcpOpen, TheConnectionIsTunedForSmallFramesAndIPv6Works) {
  TcpFarEnd far;
  detail::TcpFailure failure;
  const int fd = detail::OpenTcpLine(far.PortName(), 1s, failure);
  ASSERT_GE(fd, 0);
  int noDelay = 0;
  unsigned userTimeout = 0;
  socklen_t size = sizeof noDelay, size2 = sizeof userTimeout;
  ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
  ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, &size2), 0);
  close(fd);
  EXPECT_EQ(noDelay, 1);
  EXPECT_EQ(userTimeout, 10000u);

  const int listener = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  size = sizeof address;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    if (listener >= 0) close(listener);
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  listen(listener, 1);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  const int v6 = detail::OpenTcpLine("tcp://[::1]:" + std::to_string(ntohs(address.sin6_port)),
                                     1s, failure);
  EXPECT_GE(v6, 0);
  if (v6 >= 0) close(v6);
  close(listener);
}

TEST(TcpDevice, KeepsLineSettingsAndHasNoModemLines) {
  TcpFarEnd far;
  auto device = OpenSerialDevice(far.PortName());
  ASSERT_TRUE(device);
  DCB dcb;
  ASSERT_TRUE(device->GetCommState(dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  dcb = LineDcb(115200, 7, 2, 2);
  dcb.Flags |= dcb_OutxCtsFlow | 0x2000 | 0x0010;  // handshake asked for, DTR on
  ASSERT_TRUE(device->SetCommState(dcb));
  DCB back;
  ASSERT_TRUE(device->GetCommState(back));
  EXPECT_EQ(back, dcb);
  dcb.BaudRate = 0;
  EXPECT_FALSE(device->SetCommState(dcb)) << "a setting no line can have is still refused";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  uint32_t modem = 0xFF;
  ASSERT_TRUE(device->GetCommModemStatus(&modem));
  EXPECT_EQ(modem, 0u);
  // Nothing of it went down the line; a byte written does.
  Overlapped op;
  ASSERT_TRUE(device->WriteFile("\x01", 1, nullptr, &op.ov));
  EXPECT_EQ(far.Receive(2, 300ms), "\x01");
}

TEST(TcpReconnect, ConnectsInTheBackgroundAndTheOpenTakesThatConnection) {
  TcpFarEnd far;
  const std::string name = far.PortName();
  EXPECT_TRUE(WaitFor([&] { return PortReadyToReopen(name); }, 2s));
  ASSERT_TRUE(far.Accept(0ms)) << "connected before the open";
  auto device = OpenSerialDevice(name);
  ASSERT_TRUE(device);
  Overlapped op;
  ASSERT_TRUE(device->WriteFile("ping", 4, nullptr, &op.ov));
  EXPECT_EQ(far.Receive(4, 2s), "ping") << "on the connection made in the background";
  TcpFarEnd second;  // nothing was left behind for the name
  device.reset();
  EXPECT_TRUE(far.ClosedByDevice(1s));
}

TEST(TcpReconnect, NeverKeepsTheCallerWaitingAndLetsAnUntakenConnectionGo) {
  Unanswering silent;
  const auto start = Clock::now();
  EXPECT_FALSE(PortReadyToReopen(silent.name));
  EXPECT_FALSE(PortReadyToReopen(silent.name)) << "still under way";
  EXPECT_LT(Clock::now() - start, 200ms);
  EXPECT_TRUE(PortReadyToReopen("/dev/ttyS0")) << "a serial port opens or fails at once";
  EXPECT_FALSE(PortReadyToReopen("tcp://127.0.0.1:" + std::to_string(FreePort())));

  TcpFarEnd far;
  ASSERT_TRUE(WaitFor([&] { return PortReadyToReopen(far.PortName()); }, 2s));
  const auto kept = Clock::now();
  EXPECT_TRUE(far.ClosedByDevice(3s)) << "a cheap gateway serves one client: let it go";
  EXPECT_GE(Clock::now() - kept, 1900ms);
}

}  // namespace
}  // namespace platform
