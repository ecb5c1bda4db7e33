// Starting on a port that does not open: the operators' familiar line first, then why, and the
// tool stays idle.
#include "form_test.h"

#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>

using namespace app;

namespace {

const QString kFirstLine = QStringLiteral("串口打开失败，串口号可能不存在，请检查设置");

class StartFailure : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form = std::make_unique<TForm1>();
  }
  // The lines of the one message a start on `port` showed.
  QStringList StartOn(const QString& port) {
    messages.clear();
    form->ComPort->SetPort(port);
    form->suiButton2Click(form->suiButton2);
    EXPECT_FALSE(Polling);
    EXPECT_FALSE(form->ComPort->Connected());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.value(0).startsWith(kFirstLine + u'\n')) << messages.value(0).toStdString();
    return messages.value(0).split(u'\n');
  }
};

TEST_F(StartFailure, SaysWhyUnderTheFamiliarLine) {
  const QString missing = dir.filePath(QStringLiteral("ttyUSB9"));
  QStringList lines = StartOn(missing);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("找不到设备 ") + missing))
      << lines[1].toStdString();

  const QString file = dir.filePath(QStringLiteral("notes.txt"));
  QFile(file).open(QIODevice::WriteOnly);
  lines = StartOn(file);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[1], file + QStringLiteral(" 不是串口：它是普通文件。"));

  // A line this program itself already has open is held like any other.
  int master = -1, slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  auto held = platform::OpenSerialDevice(name);
  ASSERT_TRUE(held);
  lines = StartOn(QString::fromUtf8(name));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[1].contains(QStringLiteral("正被其他程序占用"))) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].startsWith(QStringLiteral("占用它的是进程 %1（").arg(getpid())))
      << lines[2].toStdString();
  held.reset();
  close(slave);
  close(master);

  // A network line nobody serves: refused, at once, and the address says where.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  const QString where = QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
  lines = StartOn(QStringLiteral("tcp://") + where);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[1].startsWith(where + QStringLiteral(" 拒绝连接（系统："))) << lines[1].toStdString();
}

// Where the device gives no reason, the port's own message says what is known; a reason from
// an earlier failure never shows up under a later one.
TEST_F(StartFailure, WithoutAReasonThePortsMessage) {
  StartOn(dir.filePath(QStringLiteral("ttyUSB9")));  // leaves a reason behind on this thread
  form->ComPort->SetDeviceOpener(line.Opener());
  line.FailCall("CreateFile", platform::ERROR_ACCESS_DENIED);
  EXPECT_EQ(StartOn(QStringLiteral("COM1")),
            (QStringList{kFirstLine,
                         QStringLiteral("错误信息：Unable to open com port (win error code: 5)")}));

  // The device opened but refused the line settings.
  line.FailCall("SetCommState", platform::ERROR_INVALID_PARAMETER);
  const QStringList lines = StartOn(QStringLiteral("COM1"));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[1], QStringLiteral("串口不接受当前设置（SetCommState function failed (win error "
                                     "code: 87)）。"));
  EXPECT_FALSE(line.DeviceOpen());
}

}  // namespace
