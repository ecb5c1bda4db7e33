// The port on real pseudo-terminal pairs: the test holds the master end and its own descriptor
// of the slave end (for reading the line format back); the port opens the slave by path.
#include "framework/synchronize.h"
#include "platform/termios2_linux.h"
#include "serial/com_port.h"
#include "wait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <vector>

using namespace serial;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = QString::fromLatin1(name);
  }
  ~PtyPair() {
    CloseMaster();
    if (slave >= 0) close(slave);
  }
  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }
  void Write(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  std::vector<uint8_t> Read(size_t wanted, int timeoutMs = 2000) const {
    std::vector<uint8_t> out;
    while (out.size() < wanted) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, timeoutMs) <= 0) break;
      uint8_t buffer[256];
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }
  int master = -1;
  int slave = -1;
  QString path;
};

const TComEvents designedEvents{evRxChar, evTxEmpty, evRxFlag, evRing,   evBreak,
                                evError,  evRLSD,    evRx80Full};

int OpenFailure(const QString& name) {
  TComPort port;
  port.SetPort(name);
  try {
    port.OpenPort();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode, 1) << name.toStdString();
    EXPECT_FALSE(port.Connected());
    return e.SystemErrorCode;
  }
  ADD_FAILURE() << "opened " << name.toStdString();
  return 0;
}

}  // namespace

TEST(PortOnPty, OpensExclusivelyAndCloses) {
  PtyPair pty;
  ASSERT_FALSE(pty.path.isEmpty());
  TComPort port;
  port.SetPort(pty.path);
  port.SetEvents(designedEvents);
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
  EXPECT_TRUE(port.ThreadRunning());

  TComPort second;
  second.SetPort(pty.path);
  try {
    second.OpenPort();
    FAIL() << "second open succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode, 1);
    EXPECT_EQ(e.SystemErrorCode, 5);
  }
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  second.OpenPort();  // free again
  EXPECT_TRUE(second.Connected());
}

TEST(PortOnPty, LineSettingsReachTheDevice) {
  PtyPair pty;
  TComPort port;
  port.SetPort(pty.path);
  auto speed = [&] {
    uint32_t in = 0, out = 0;
    EXPECT_TRUE(platform::ReadLineSpeed(pty.slave, in, out));
    return out;
  };
  port.OpenPort();
  EXPECT_EQ(speed(), 9600u);
  port.SetBaudRate(br115200);
  EXPECT_EQ(speed(), 115200u);
  port.SetCustomBaudRate(31250);
  port.SetBaudRate(brCustom);
  EXPECT_EQ(speed(), 31250u);

  // A pseudo-terminal keeps 8 data bits and no parity whatever it is told; stop bits stick.
  port.SetStopBits(sbTwoStopBits);
  platform::LineFormat format;
  ASSERT_TRUE(platform::ReadLineFormat(pty.slave, format));
  EXPECT_EQ(format.stopBits, 2);

  // A rate the device refuses is reported with its code; the port stays usable.
  try {
    port.SetCustomBaudRate(0);
    FAIL() << "baud rate 0 accepted";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode, 7);
    EXPECT_EQ(e.SystemErrorCode, 87);
  }
  EXPECT_TRUE(port.Connected());
  port.SetCustomBaudRate(2400);
  EXPECT_EQ(speed(), 2400u);
}

TEST(PortOnPty, BytesTravelBothWays) {
  PtyPair pty;
  TComPort port;
  port.SetPort(pty.path);
  port.SetEvents(designedEvents);
  std::vector<uint8_t> received;
  std::atomic<bool> onGui{true};
  std::vector<int> counts;
  port.OnRxChar = [&](QObject*, int count) {
    onGui = onGui && framework::IsGuiThread();
    counts.push_back(count);
    std::vector<uint8_t> buffer(size_t(count) + 4);
    const int n = port.ReceiveBytes(buffer.data(), int(buffer.size()));
    received.insert(received.end(), buffer.begin(), buffer.begin() + n);
  };
  port.OpenPort();

  const uint8_t request[8] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB};
  EXPECT_EQ(port.SendBytes(request, 8), 8);
  EXPECT_EQ(pty.Read(8), std::vector<uint8_t>(request, request + 8));

  // Two bytes wake the event thread, which then waits for the GUI thread; a third byte comes
  // before the GUI thread dispatches, so the handler is told 3.
  pty.Write({0x01, 0x03});
  QThread::msleep(60);
  pty.Write({0x06});
  QThread::msleep(60);
  ASSERT_TRUE(ProcessUntil([&] { return received.size() >= 3; }));
  EXPECT_TRUE(onGui);
  ASSERT_FALSE(counts.empty());
  EXPECT_EQ(counts.front(), 3);

  std::vector<uint8_t> burst(300);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = uint8_t(i);
  received.clear();
  pty.Write(burst);
  ASSERT_TRUE(ProcessUntil([&] { return received.size() >= burst.size(); }));
  EXPECT_EQ(received, burst);
  port.ClosePort();
}

TEST(PortOnPty, AVanishedLineFailsCleanly) {
  PtyPair pty;
  TComPort port;
  port.SetPort(pty.path);
  port.SetEvents(designedEvents);
  std::atomic<int> errors{0};
  port.OnError = [&](QObject*, TComErrors e) {
    if (e.Contains(ceIO)) ++errors;
  };
  port.OpenPort();
  pty.CloseMaster();
  close(pty.slave);
  pty.slave = -1;
  ProcessUntil([&] { return errors > 0; }, 1000);
  uint8_t buffer[8] = {1, 3, 0, 0, 0, 3, 5, 0xCB};
  try {
    port.ReceiveBytes(buffer, 8);
    FAIL() << "read on a vanished line succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode, 3);
  }
  try {
    port.SendBytes(buffer, 8);
    FAIL() << "write on a vanished line succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode, 2);
  }
  const clock_t before = clock();
  ProcessFor(300);
  EXPECT_LT(double(clock() - before) / CLOCKS_PER_SEC, 0.1);  // nothing spins
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

TEST(PortOnPty, NamesThatAreNoTerminalAreRefusedUnopened) {
  PtyPair pty;
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("plain"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("x");
  f.close();
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);

  EXPECT_EQ(OpenFailure(QStringLiteral("")), 2);
  EXPECT_EQ(OpenFailure(QStringLiteral("/nonexistent/ttyUSB9")), 2);
  EXPECT_EQ(OpenFailure(QStringLiteral("COM250")), 2);
  EXPECT_EQ(OpenFailure(file), 2);
  EXPECT_EQ(OpenFailure(dir.path()), 2);
  EXPECT_EQ(OpenFailure(fifo), 2);  // opening a FIFO would block: it must not be opened
  EXPECT_EQ(OpenFailure(QStringLiteral("/dev/null")), 2);
  EXPECT_EQ(OpenFailure(QStringLiteral("../etc/passwd")), 2);
  EXPECT_EQ(OpenFailure(QStringLiteral("pts/../../etc/passwd")), 2);
  EXPECT_EQ(OpenFailure(QStringLiteral("/dev/ptmx")), 2);
  EXPECT_EQ(OpenFailure(pty.path + QChar(0) + QStringLiteral("x")), 2);

  // A link to a terminal is fine.
  const QString link = dir.filePath(QStringLiteral("ttyLINK"));
  ASSERT_TRUE(QFile::link(pty.path, link));
  TComPort port;
  port.SetPort(link);
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
}
