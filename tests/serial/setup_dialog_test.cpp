// The port list, the port combo boxes and the setup dialog.
#include "platform/recording_serial_device.h"
#include "platform/registry.h"
#include "qt_printers.h"
#include "raised.h"
#include "serial/com_port.h"
#include "serial/com_setup_dialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace serial;

namespace {

// A fake sysfs: each entry is a tty with a device behind it.
class FakeSysfs {
 public:
  FakeSysfs() { platform::SetSysfsRoot(dir.path()); }
  ~FakeSysfs() { platform::SetSysfsRoot(QString()); }
  void Add(const QString& name) {
    QDir().mkpath(dir.filePath(QStringLiteral("class/tty/") + name + QStringLiteral("/device")));
  }
  QTemporaryDir dir;
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

// Which ttys are ports is the registry layer's business; the list replaces what the list held
// and sorts without regard to letter case.
TEST(PortList, ComesSortedFromSysfs) {
  FakeSysfs sysfs;
  for (const char* name : {"COM2", "COM12", "com1"}) sysfs.Add(QString::fromLatin1(name));
  QStringList ports{QStringLiteral("stale")};
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
  EXPECT_EQ(dialog.font().family(), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(dialog.font().pointSize(), 8);
  const int counts[6] = {1, 16, 4, 3, 5, 4};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(dialog.Combos[i]->count(), counts[i]) << i;
  EXPECT_EQ(dialog.Combos[1]->itemText(0), QStringLiteral("Custom"));
  EXPECT_EQ(dialog.Combos[5]->itemText(2), QStringLiteral("None"));
  EXPECT_EQ(dialog.Button1->geometry(), QRect(70, 184, 75, 25));
  EXPECT_EQ(dialog.Button2->geometry(), QRect(150, 184, 75, 25));
  EXPECT_TRUE(dialog.Button1->isDefault());
  // Tab order: the six lists, then OK and Cancel (the port box's editor is the box).
  auto nextTabStop = [](QWidget* w) {
    do w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus) || qobject_cast<QComboBox*>(w->parent()));
    return w;
  };
  QWidget* w = dialog.Combos[0];
  for (int i = 1; i < 6; ++i) {
    w = nextTabStop(w);
    EXPECT_EQ(w, dialog.Combos[i]) << i;
  }
  EXPECT_EQ(nextTabStop(w), dialog.Button1);
  EXPECT_EQ(nextTabStop(dialog.Button1), dialog.Button2);
}

TEST(SetupDialog, OkAppliesOnceAndKeepsAnUnlistedPath) {
  FakeSysfs sysfs;
  sysfs.Add(QStringLiteral("ttyUSB0"));
  platform::RecordingLine line;
  TComPort port;
  port.SetDeviceOpener(line.Opener());
  const QString unlisted = QStringLiteral("/dev/pts/7");
  auto applies = [&] {
    std::vector<std::string> names;
    for (const auto& name : line.CallNames())
      if (name.starts_with("Set")) names.push_back(name);
    return names;
  };
  port.SetPort(unlisted);
  port.OpenPort();
  line.ClearCalls();
  {
    RunnerScope scope([&](TComSetupFrm& d) {
      EXPECT_EQ(d.Combos[0]->Text(), unlisted);  // shown though unlisted
      EXPECT_EQ(d.Combos[0]->count(), 2);
      Pick(d.Combos[1], QStringLiteral("115200"));
      Pick(d.Combos[2], QStringLiteral("7"));
      Pick(d.Combos[3], QStringLiteral("2"));
      Pick(d.Combos[4], QStringLiteral("Even"));
      Pick(d.Combos[5], QStringLiteral("Software"));
      return true;
    });
    port.RunSetupDialog();
  }
  EXPECT_EQ(applies(), (std::vector<std::string>{"SetupComm", "SetCommState", "SetCommTimeouts"}));
  EXPECT_EQ(port.Port(), unlisted);
  EXPECT_TRUE(port.Connected());
  const platform::DCB dcb = line.LastState();
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_EQ(dcb.StopBits, 2);
  EXPECT_EQ(dcb.Parity, 2);
  EXPECT_EQ(dcb.Flags, 0x301u);  // XON/XOFF both ways

  // Cancel writes nothing, whatever was picked.
  line.ClearCalls();
  {
    RunnerScope scope([&](TComSetupFrm& d) {
      Pick(d.Combos[1], QStringLiteral("9600"));
      Pick(d.Combos[0], QStringLiteral("/dev/ttyUSB0"));
      return false;
    });
    port.RunSetupDialog();
  }
  EXPECT_TRUE(applies().empty());
  EXPECT_EQ(port.BaudRate(), br115200);
  EXPECT_EQ(port.Port(), unlisted);
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
  EXPECT_EQ(Raised([&] { port.RunSetupDialog(); }), "1/2");
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
  // Only the port linked now is watched.
  auto earlier = std::make_unique<TComPort>();
  combo.SetComPort(earlier.get());
  combo.SetComPort(port.get());
  earlier.reset();
  EXPECT_EQ(combo.ComPort(), port.get());
  port.reset();
  EXPECT_EQ(combo.ComPort(), nullptr);
  EXPECT_EQ(combo.currentIndex(), 0);
  combo.ApplyToPort();  // no port: nothing
}
