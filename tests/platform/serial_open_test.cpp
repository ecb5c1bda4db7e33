// Opening the real device, what it refuses to open, and the line settings it puts on the
// terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/termios2_linux.h"
#include "tests/platform/pty_pair.h"

namespace platform {
namespace {

using testing::LineDcb;
using testing::PtyPair;
using testing::TempDir;

uint32_t OpenError(const std::string& name) {
  SetLastError(0);
  return OpenSerialDevice(name) ? 0 : GetLastError();
}

TEST(SerialOpen, OneOpenAtATimeByPathOrLink) {
  PtyPair pty;
  TempDir dir;
  const std::string link = dir.Path("line");
  ASSERT_EQ(symlink(pty.SlavePath().c_str(), link.c_str()), 0);
  auto first = OpenSerialDevice(link);
  ASSERT_TRUE(first) << GetLastError();
  EXPECT_EQ(OpenError(pty.SlavePath()), ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(link), ERROR_ACCESS_DENIED);
  // Also from another process, though we run as root, whom the terminal's own exclusive flag
  // does not stop.
  const pid_t child = fork();
  if (child == 0) _exit(static_cast<int>(OpenError(pty.SlavePath())));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ERROR_ACCESS_DENIED));
  first.reset();
  EXPECT_EQ(OpenError(pty.SlavePath()), 0u) << "closing releases the line";
}

// A FIFO shows whether anybody opened it for writing: its reader then sees a hang-up.
TEST(SerialOpen, NeverOpensWhatItRefuses) {
  TempDir dir;
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink(fifo.c_str(), dir.Path("link").c_str()), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto hungUp = [reader] {
    pollfd fd = {reader, POLLIN, 0};
    return poll(&fd, 1, 0) > 0 && (fd.revents & POLLHUP);
  };
  const auto start = testing::Clock::now();
  EXPECT_EQ(OpenError(fifo), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenError(dir.Path("link")), ERROR_FILE_NOT_FOUND);
  EXPECT_LT(testing::Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_FALSE(hungUp());
  close(open(fifo.c_str(), O_RDWR | O_NONBLOCK));
  EXPECT_TRUE(hungUp()) << "the detector works";
  close(reader);
}

TEST(SerialLineSettings, ReachTheTerminal) {
  PtyPair pty;
  auto device = OpenSerialDevice(pty.SlavePath());
  ASSERT_TRUE(device);
  for (uint32_t baud : {9600u, 115200u, 31250u}) {
    ASSERT_TRUE(device->SetCommState(LineDcb(baud))) << baud;
    uint32_t in = 0, out = 0;
    ASSERT_TRUE(ReadLineSpeed(pty.OwnSlave(), in, out));
    EXPECT_EQ(out, baud);
    EXPECT_EQ(in, baud);
  }
  // Data bits and parity do not stick on a pseudo-terminal (termios2_flags_test.cpp has them).
  DCB dcb = LineDcb(19200, 7, 2, 2);
  dcb.Flags |= dcb_OutX | dcb_InX | dcb_ParityCheck | 0x2000;  // RTS handshake
  dcb.XonChar = 'q';
  ASSERT_TRUE(device->SetCommState(dcb));
  LineFormat format;
  ASSERT_TRUE(ReadLineFormat(pty.OwnSlave(), format));
  EXPECT_EQ(format.stopBits, 2);
  EXPECT_TRUE(format.parityCheck && format.rtsCtsFlow && format.xonXoffIn && format.xonXoffOut);
  EXPECT_EQ(format.xonChar, 'q');
  DCB back;
  ASSERT_TRUE(device->GetCommState(back));
  EXPECT_EQ(back, dcb);

  DCB sameXonXoff = LineDcb(4800);
  sameXonXoff.Flags |= dcb_OutX;
  sameXonXoff.XoffChar = sameXonXoff.XonChar;
  for (const DCB& bad :
       {LineDcb(0), LineDcb(0xFFFFFFFF), LineDcb(0x80000000), LineDcb(4800, 4), LineDcb(4800, 9),
        LineDcb(4800, 8, 5), LineDcb(4800, 8, 0, 3), sameXonXoff}) {
    EXPECT_FALSE(device->SetCommState(bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  ASSERT_TRUE(device->GetCommState(back));
  EXPECT_EQ(back, dcb) << "a refused state changes nothing";
}

}  // namespace
}  // namespace platform
