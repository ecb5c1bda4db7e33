// Port names, and which device files count as serial lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/serial_device_posix_detail.h"
#include "tests/platform/pty_pair.h"

namespace platform {
namespace {

TEST(SerialDevicePath, MapsNames) {
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("com12"), "/dev/ttyS11");
  EXPECT_EQ(SerialDevicePath("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(SerialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
  // Not COM numbers: plain names like any other.
  for (const char* name : {"COM0", "COM+1", "COM1a", "COM", "COM99999999999999"})
    EXPECT_EQ(SerialDevicePath(name), std::string("/dev/") + name);
  for (const char* name : {"", ".", "..", "../etc/passwd", "pts/3"})
    EXPECT_EQ(SerialDevicePath(name), "") << name;
  EXPECT_EQ(SerialDevicePath(std::string("ttyS0\0x", 7)), "");
  EXPECT_EQ(SerialDevicePath(std::string("/dev/ttyS0\0", 11)), "");
}

TEST(SerialLineDevice, JudgedByTheDriverTable) {
  const char* table =
      "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
      "/dev/ptmx            /dev/ptmx       5       2 system\n"
      "/dev/vc/0            /dev/vc/0       4       0 system:vtmaster\n"
      "usbserial            /dev/ttyUSB   188 0-511 serial\n"
      "serial               /dev/ttyS       4 64-111 serial\n"
      "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
      "pty_master           /dev/ptm      128 0-1048575 pty:master\n";
  using detail::IsSerialLineDevice;
  EXPECT_TRUE(IsSerialLineDevice(4, 111, table));
  EXPECT_TRUE(IsSerialLineDevice(188, 0, table));
  EXPECT_TRUE(IsSerialLineDevice(136, 70000, table));
  EXPECT_FALSE(IsSerialLineDevice(5, 0, table)) << "/dev/tty";
  EXPECT_FALSE(IsSerialLineDevice(5, 2, table)) << "ptmx";
  EXPECT_FALSE(IsSerialLineDevice(4, 0, table)) << "vtmaster";
  EXPECT_FALSE(IsSerialLineDevice(128, 3, table)) << "pty master";
  EXPECT_FALSE(IsSerialLineDevice(188, 512, table));
  EXPECT_FALSE(IsSerialLineDevice(1, 3, table)) << "/dev/null";
  EXPECT_FALSE(IsSerialLineDevice(4, 64, "serial /dev/ttyS x 64 serial\n"));

  testing::PtyPair pty;  // and this machine's own table
  struct stat st {};
  ASSERT_EQ(stat(pty.SlavePath().c_str(), &st), 0);
  EXPECT_TRUE(IsSerialLineDevice(major(st.st_rdev), minor(st.st_rdev)));
}

}  // namespace
}  // namespace platform
