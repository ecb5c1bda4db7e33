// The port on real pseudo-terminal pairs: the test holds the master end and its own descriptor
// of the slave end (for reading the line format back); the port opens the slave by path.
#include "framework/synchronize.h"
#include "serial/com_port.h"
#include "wait.h"

#include "raised.h"
#include "tests/platform/pty_pair.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace serial;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

using platform::testing::PtyPair;
using namespace std::chrono_literals;

QString PathOf(const PtyPair& pty) {
  return QString::fromStdString(pty.SlavePath());
}

const TComEvents designedEvents{evRxChar, evTxEmpty, evRxFlag, evRing,   evBreak,
                                evError,  evRLSD,    evRx80Full};

}  // namespace

TEST(PortOnPty, BytesTravelBothWays) {
  PtyPair pty;
  TComPort port;
  port.SetPort(PathOf(pty));
  port.SetEvents(designedEvents);
  std::vector<uint8_t> received;
  std::atomic<bool> onGui{true};
  port.OnRxChar = [&](QObject*, int count) {
    onGui = onGui && framework::IsGuiThread();
    std::vector<uint8_t> buffer(size_t(count) + 4);
    const int n = port.ReceiveBytes(buffer.data(), int(buffer.size()));
    received.insert(received.end(), buffer.begin(), buffer.begin() + n);
  };
  port.OpenPort();

  const uint8_t request[8] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB};
  EXPECT_EQ(port.SendBytes(request, 8), 8);
  EXPECT_EQ(pty.Receive(8, 2s), std::string(request, request + 8));

  std::vector<uint8_t> burst(300);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = uint8_t(i);
  pty.Send(std::string(burst.begin(), burst.end()));
  ASSERT_TRUE(ProcessUntil([&] { return received.size() >= burst.size(); }));
  EXPECT_EQ(received, burst);
  EXPECT_TRUE(onGui);
  port.ClosePort();
}

TEST(PortOnPty, AVanishedLineFailsCleanly) {
  PtyPair pty;
  TComPort port;
  port.SetPort(PathOf(pty));
  port.SetEvents(designedEvents);
  std::atomic<int> errors{0};
  port.OnError = [&](QObject*, TComErrors e) {
    if (e.Contains(ceIO)) ++errors;
  };
  port.OpenPort();
  pty.CloseMaster();
  ProcessUntil([&] { return errors > 0; }, 1000);
  uint8_t buffer[8] = {1, 3, 0, 0, 0, 3, 5, 0xCB};
  EXPECT_EQ(Raised([&] { port.ReceiveBytes(buffer, 8); }), "3/31");
  EXPECT_EQ(Raised([&] { port.SendBytes(buffer, 8); }), "2/31");
  const clock_t before = clock();
  ProcessFor(300);
  EXPECT_LT(double(clock() - before) / CLOCKS_PER_SEC, 0.1);  // nothing spins
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

// Which names are no serial line is the device's business (platform tests); the port must
// hand over the whole name and report the failure as code 1 without opening.
TEST(PortOnPty, NamesThatAreNoTerminalAreRefusedUnopened) {
  PtyPair pty;
  QTemporaryDir dir;
  const QString link = dir.filePath(QStringLiteral("ttyLINK"));
  ASSERT_TRUE(QFile::link(PathOf(pty), link));
  for (const QString& name : {QString(), QStringLiteral("COM250"), dir.path(),
                              link + QChar(0) + QStringLiteral("x")}) {
    TComPort port;
    port.SetPort(name);
    EXPECT_EQ(Raised([&] { port.OpenPort(); }), "1/2") << name.toStdString();
    EXPECT_FALSE(port.Connected());
  }
  TComPort port;
  port.SetPort(link);
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
}
