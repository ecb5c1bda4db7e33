// The port list, the port combo boxes and the setup dialog.
#include "platform/recording_serial_device.h"
#include "platform/registry.h"
#include "platform/termios2_linux.h"
#include "qt_printers.h"
#include "serial/com_port.h"
#include "serial/com_setup_dialog.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <atomic>

using namespace serial;

namespace {

// A fake sysfs: each entry is a tty with a device behind it; legacy UARTs carry their type.
class FakeSysfs {
 public:
  FakeSysfs() { platform::SetSysfsRoot(dir.path()); }
  ~FakeSysfs() { platform::SetSysfsRoot(QString()); }
  void Add(const QString& name, const char* uartType = nullptr) {
    const QString folder = dir.filePath(QStringLiteral("class/tty/") + name);
    QDir().mkpath(folder + QStringLiteral("/device"));
    if (uartType) {
      QFile type(folder + QStringLiteral("/type"));
      type.open(QIODevice::WriteOnly);
      type.write(uartType);
    }
  }
  QTemporaryDir dir;
};

// Counts the line settings a real device receives.
class CountingDevice : public platform::SerialDevice {
 public:
  CountingDevice(std::unique_ptr<platform::SerialDevice> inner, std::atomic<int>& states)
      : inner_(std::move(inner)), states_(states) {}
  bool SetupComm(uint32_t i, uint32_t o) override { return inner_->SetupComm(i, o); }
  bool SetCommState(const platform::DCB& d) override {
    ++states_;
    return inner_->SetCommState(d);
  }
  bool GetCommState(platform::DCB& d) override { return inner_->GetCommState(d); }
  bool SetCommTimeouts(const platform::COMMTIMEOUTS& t) override { return inner_->SetCommTimeouts(t); }
  bool GetCommTimeouts(platform::COMMTIMEOUTS& t) override { return inner_->GetCommTimeouts(t); }
  bool SetCommMask(uint32_t m) override { return inner_->SetCommMask(m); }
  bool WaitCommEvent(uint32_t* m, platform::OVERLAPPED* o) override { return inner_->WaitCommEvent(m, o); }
  bool ReadFile(void* b, uint32_t c, uint32_t* r, platform::OVERLAPPED* o) override {
    return inner_->ReadFile(b, c, r, o);
  }
  bool WriteFile(const void* b, uint32_t c, uint32_t* w, platform::OVERLAPPED* o) override {
    return inner_->WriteFile(b, c, w, o);
  }
  bool GetOverlappedResult(platform::OVERLAPPED* o, uint32_t* t, bool w) override {
    return inner_->GetOverlappedResult(o, t, w);
  }
  bool ClearCommError(uint32_t* e, platform::COMSTAT* s) override { return inner_->ClearCommError(e, s); }
  bool GetCommModemStatus(uint32_t* s) override { return inner_->GetCommModemStatus(s); }
  bool PurgeComm(uint32_t f) override { return inner_->PurgeComm(f); }

 private:
  std::unique_ptr<platform::SerialDevice> inner_;
  std::atomic<int>& states_;
};

// The operator picks an item as with the mouse.
void Pick(TComComboBox* combo, const QString& text) {
  const int index = combo->findText(text);
  ASSERT_GE(index, 0) << text.toStdString();
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

struct RunnerScope {
  explicit RunnerScope(SetupDialogRunner runner) { previous = SetSetupDialogRunner(std::move(runner)); }
  ~RunnerScope() { SetSetupDialogRunner(previous); }
  SetupDialogRunner previous;
};

}  // namespace

TEST(PortList, ComesSortedFromSysfs) {
  FakeSysfs sysfs;
  sysfs.Add(QStringLiteral("ttyS0"), "4\n");
  sysfs.Add(QStringLiteral("ttyS1"), "0\n");
  sysfs.Add(QStringLiteral("ttyUSB0"));
  sysfs.Add(QStringLiteral("ttyACM0"));
  QDir().mkpath(sysfs.dir.filePath(QStringLiteral("class/tty/tty5")));  // no device: not a port
  QStringList ports{QStringLiteral("stale")};
  ListSerialPorts(ports);
  EXPECT_EQ(ports, (QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"}));

  FakeSysfs com;
  com.Add(QStringLiteral("COM2"));
  com.Add(QStringLiteral("COM12"));
  com.Add(QStringLiteral("com1"));
  ListSerialPorts(ports);
  EXPECT_EQ(ports, (QStringList{"/dev/com1", "/dev/COM12", "/dev/COM2"}));
}

TEST(SetupDialog, LayoutAndLook) {
  FakeSysfs sysfs;
  sysfs.Add(QStringLiteral("ttyUSB0"));
  TComSetupFrm dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
  EXPECT_EQ(dialog.size(), QSize(231, 216));
  EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 8, 217, 169));
  EXPECT_EQ(dialog.GroupBox1->title(), QStringLiteral(" Settings "));
  const QStringList labels{"Port", "Baud rate", "Data bits", "Stop bits", "Parity", "Flow control"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(dialog.Labels[i]->text(), labels[i]);
    EXPECT_EQ(dialog.Labels[i]->pos(), QPoint(8, 24 + 24 * i));
    EXPECT_EQ(dialog.Combos[i]->geometry().topLeft(), QPoint(80, 16 + 24 * i));
    EXPECT_EQ(dialog.Combos[i]->width(), 129);
    EXPECT_EQ(dialog.Combos[i]->objectName(), QStringLiteral("Combo%1").arg(i + 1));
  }
  EXPECT_EQ(dialog.Combos[1]->count(), 16);
  EXPECT_EQ(dialog.Combos[1]->itemText(0), QStringLiteral("Custom"));
  EXPECT_EQ(dialog.Combos[5]->itemText(2), QStringLiteral("None"));
  EXPECT_EQ(dialog.Button1->geometry(), QRect(70, 184, 75, 25));
  EXPECT_EQ(dialog.Button2->geometry(), QRect(150, 184, 75, 25));
  EXPECT_TRUE(dialog.Button1->isDefault());
  // Tab order: the six lists, then OK and Cancel.
  auto nextTabStop = [](QWidget* w) {
    do w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
  };
  QWidget* w = dialog.Combos[0];
  for (int i = 1; i < 6; ++i) {
    w = nextTabStop(w);
    EXPECT_EQ(w, dialog.Combos[i]) << i;
  }
  EXPECT_EQ(nextTabStop(w), dialog.Button1);
  EXPECT_EQ(nextTabStop(dialog.Button1), dialog.Button2);
  TComPort port;
  port.SetPort(QStringLiteral("/dev/ttyUSB0"));
  for (auto combo : dialog.Combos) combo->SetComPort(&port);
  dialog.grab().save(QDir::temp().filePath(QStringLiteral("zt-setup-dialog.png")));
}

TEST(SetupDialog, OkAppliesOnceOnARealPortAndKeepsAnUnlistedPath) {
  FakeSysfs sysfs;
  sysfs.Add(QStringLiteral("ttyUSB0"));
  int master = -1, slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  std::atomic<int> states{0};
  TComPort port;
  port.SetDeviceOpener([&](const std::string& n) -> std::unique_ptr<platform::SerialDevice> {
    auto device = platform::OpenSerialDevice(n);
    if (!device) return nullptr;
    return std::make_unique<CountingDevice>(std::move(device), states);
  });
  port.SetPort(QString::fromLatin1(name));
  port.OpenPort();
  states = 0;
  {
    RunnerScope scope([&](TComSetupFrm& d) {
      EXPECT_EQ(d.Combos[0]->Text(), QString::fromLatin1(name));  // shown though unlisted
      EXPECT_EQ(d.Combos[0]->count(), 2);
      Pick(d.Combos[1], QStringLiteral("115200"));
      Pick(d.Combos[3], QStringLiteral("2"));
      Pick(d.Combos[4], QStringLiteral("Even"));
      return true;
    });
    port.RunSetupDialog();
  }
  EXPECT_EQ(states, 1);
  EXPECT_EQ(port.Port(), QString::fromLatin1(name));
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.BaudRate(), br115200);
  EXPECT_EQ(port.StopBits(), sbTwoStopBits);
  uint32_t in = 0, out = 0;
  ASSERT_TRUE(platform::ReadLineSpeed(slave, in, out));
  EXPECT_EQ(out, 115200u);

  // Cancel writes nothing, whatever was picked.
  states = 0;
  {
    RunnerScope scope([&](TComSetupFrm& d) {
      Pick(d.Combos[1], QStringLiteral("9600"));
      Pick(d.Combos[0], QStringLiteral("/dev/ttyUSB0"));
      return false;
    });
    port.RunSetupDialog();
  }
  EXPECT_EQ(states, 0);
  EXPECT_EQ(port.BaudRate(), br115200);
  EXPECT_EQ(port.Port(), QString::fromLatin1(name));
  port.ClosePort();
  close(master);
  close(slave);
}

TEST(SetupDialog, ListedNamesWinOverLetterCaseAndOddSettingsSurvive) {
  FakeSysfs sysfs;
  sysfs.Add(QStringLiteral("ttyUSB0"));
  platform::RecordingLine line;
  TComPort port;
  port.SetDeviceOpener(line.Opener());
  port.SetPort(QStringLiteral("/DEV/TTYUSB0"));
  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(31250);
  port.FlowControl()->SetOutCTSFlow(true);  // no named combination
  port.OpenPort();
  line.ClearCalls();
  {
    RunnerScope scope([&](TComSetupFrm& d) {
      EXPECT_EQ(d.Combos[0]->currentIndex(), 0);
      EXPECT_EQ(d.Combos[0]->count(), 1);
      EXPECT_EQ(d.Combos[1]->Text(), QStringLiteral("Custom"));
      EXPECT_EQ(d.Combos[5]->Text(), QStringLiteral("Custom"));
      return true;
    });
    port.RunSetupDialog();
  }
  EXPECT_EQ(port.Port(), QStringLiteral("/dev/ttyUSB0"));
  EXPECT_EQ(port.CustomBaudRate(), 31250);
  EXPECT_TRUE(port.FlowControl()->OutCTSFlow());
  std::vector<std::string> opens;
  for (const auto& c : line.Calls())
    if (c.name == "CreateFile" || c.name == "CloseHandle") opens.push_back(c.name + " " + c.args);
  EXPECT_EQ(opens, (std::vector<std::string>{"CloseHandle ", "CreateFile /dev/ttyUSB0"}));

  // An empty port name stays empty: nothing is selected and OK writes the empty text.
  port.ClosePort();
  port.SetPort(QString());
  {
    RunnerScope scope([&](TComSetupFrm& d) {
      EXPECT_EQ(d.Combos[0]->currentIndex(), -1);
      EXPECT_EQ(d.Combos[0]->Text(), QString());
      return true;
    });
    port.RunSetupDialog();
  }
  EXPECT_EQ(port.Port(), QString());
}

TEST(SetupDialog, AFailingApplyStillEndsTheBatch) {
  FakeSysfs sysfs;
  sysfs.Add(QStringLiteral("ttyUSB0"));
  sysfs.Add(QStringLiteral("ttyUSB1"));
  platform::RecordingLine line;
  TComPort port;
  port.SetDeviceOpener(line.Opener());
  port.SetPort(QStringLiteral("/dev/ttyUSB0"));
  port.OpenPort();
  line.FailCall("CreateFile", 2);
  RunnerScope scope([&](TComSetupFrm& d) {
    Pick(d.Combos[0], QStringLiteral("/dev/ttyUSB1"));
    Pick(d.Combos[1], QStringLiteral("19200"));
    return true;
  });
  try {
    port.RunSetupDialog();
    FAIL() << "the failed reopen did not reach the caller";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.PortErrorCode, 1);
  }
  EXPECT_EQ(port.BatchDepth(), 0);
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(port.BaudRate(), br9600);  // skipped after the failure
}

TEST(ComComboBox, FollowsItsPortAndForgetsItWhenDestroyed) {
  TComComboBox combo;
  combo.SetComProperty(cpParity);
  EXPECT_EQ(combo.currentIndex(), 0);
  auto port = std::make_unique<TComPort>();
  port->Parity()->SetBits(prMark);
  combo.SetComPort(port.get());
  EXPECT_EQ(combo.Text(), QStringLiteral("Mark"));
  combo.SetAutoApply(true);
  int changes = 0;
  combo.OnChange = [&](QObject*) { ++changes; };
  Pick(&combo, QStringLiteral("Odd"));
  EXPECT_EQ(port->Parity()->Bits(), prOdd);
  EXPECT_EQ(changes, 1);
  combo.SetText(QStringLiteral("nonsense"));
  EXPECT_EQ(combo.Text(), QStringLiteral("Odd"));
  port.reset();
  EXPECT_EQ(combo.ComPort(), nullptr);
  EXPECT_EQ(combo.currentIndex(), 0);
  combo.ApplyToPort();  // no port: nothing
}
