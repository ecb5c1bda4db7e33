// The port box of the setup dialog: USB adapters in its list, typed names.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "fake_serial_tree.h"
#include "platform/recording_serial_device.h"
#include "qt_printers.h"
#include "serial/com_port.h"
#include "serial/com_setup_dialog.h"
#include "serial/port_list_delegate.h"
#include "tests/platform/pty_pair.h"
#include "tests/platform_registry/store_fixture.h"

using namespace serial;

namespace {

const QString appPath = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K");

// The entry of that name picked as from the dropped-down list.
bool Pick(TComComboBox* box, const QString& name) {
  box->setCurrentIndex(box->findText(name));
  emit box->activated(box->currentIndex());
  return true;
}

class PortBox : public store_test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    port.setObjectName(QStringLiteral("ComPort"));
    port.SetDeviceOpener(line.Opener());
    tree.AddBuiltIn(QStringLiteral("ttyS0"));
    tree.AddUsb(fake_serial::Ftdi());
    tree.AddUsb(fake_serial::Ch340());
  }

  // Runs the dialog of `on` (the fixture's port by default) with `operate` acting in it; returns
  // the port name after it closed.
  QString Run(const std::function<bool(TComSetupFrm&)>& operate, TComPort* on = nullptr) {
    const SetupDialogRunner previous = SetSetupDialogRunner(operate);
    (on ? *on : port).RunSetupDialog();
    SetSetupDialogRunner(previous);
    return (on ? *on : port).Port();
  }

  fake_serial::Tree tree;
  platform::RecordingLine line;
  TComPort port;
  const QString ftdi = tree.ById(fake_serial::Ftdi().byId);
  const QString ch340 = tree.ById(fake_serial::Ch340().byId);
};

QStringList Column(const QComboBox* box, int role) {
  QStringList column;
  for (int i = 0; i < box->count(); ++i) column << box->itemData(i, role).toString();
  return column;
}

// Typing as the operator does, in a shown window with the box focused (completion only acts
// then); the box is cleared first, as by selecting all.
void Type(TComComboBox* box, const QString& text) {
  box->window()->show();
  QApplication::setActiveWindow(box->window());
  box->setFocus();
  box->lineEdit()->selectAll();
  QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
  QTest::keyClicks(box->lineEdit(), text);
}

}  // namespace

TEST_F(PortBox, ListsAdaptersByWhatTheyAreAndStoresTheStableName) {
  port.SetPort(QStringLiteral("/dev/ttyUSB0"));  // stored before names were stable
  const QString chosen = Run([&](TComSetupFrm& d) {
    TComComboBox* box = d.Combos[0];
    EXPECT_TRUE(box->isEditable());
    EXPECT_EQ(Column(box, Qt::DisplayRole),
              (QStringList{"/dev/ttyS0", ch340, ftdi, "/dev/ttyUSB0"}));
    const QString ftdiText = QStringLiteral("FTDI FT232R USB UART (A10K1234)");
    EXPECT_EQ(Column(box, PortDescriptionRole),
              (QStringList{"", "USB Serial", ftdiText, ftdiText}));
    EXPECT_EQ(box->Text(), QStringLiteral("/dev/ttyUSB0"));  // kept until another is chosen
    EXPECT_EQ(box->toolTip(), ftdiText + QStringLiteral("\n/dev/ttyUSB0"));
    // Two lines for an adapter, one for a built-in port; the list is as wide as its names.
    const QAbstractItemView* view = box->view();
    EXPECT_EQ(view->sizeHintForIndex(box->model()->index(2, 0)).height(),
              2 * view->fontMetrics().lineSpacing() + 4);
    EXPECT_LT(view->sizeHintForIndex(box->model()->index(0, 0)).height(),
              2 * view->fontMetrics().lineSpacing());
    EXPECT_GT(view->minimumWidth(), view->fontMetrics().horizontalAdvance(ftdi));
    return Pick(box, ftdi);
  });
  EXPECT_EQ(chosen, ftdi);

  port.SaveSettings(ssRegistry, appPath);
  TComPort restored;
  restored.setObjectName(QStringLiteral("ComPort"));
  restored.RestoreSettings(ssRegistry, appPath);
  EXPECT_EQ(restored.Port(), ftdi);
  if (const QString dir = qEnvironmentVariable("ZT_SHOT_DIR"); !dir.isEmpty()) {
    QFile::remove(dir + QStringLiteral("/port-box-registry.reg"));
    QFile::copy(RegFile(), dir + QStringLiteral("/port-box-registry.reg"));
  }

  // Opened again with the stable name stored: that entry is the one shown.
  Run([&](TComSetupFrm& d) {
    EXPECT_EQ(d.Combos[0]->count(), 3);
    EXPECT_EQ(d.Combos[0]->currentIndex(), 2);
    return false;
  });
}

// Plugged in again it comes back as another ttyUSBn: the stored stable name still opens it.
TEST_F(PortBox, TheStableNameFollowsTheAdapterToAnotherTty) {
  using namespace platform::testing;
  const fake_serial::UsbAdapter adapter = fake_serial::Ftdi();
  const QString stable = tree.ById(adapter.byId);
  PtyPair first;
  tree.PointNode(adapter.tty, QString::fromStdString(first.SlavePath()));
  TComPort real;  // the operating system's serial device, not the recording one
  real.setObjectName(QStringLiteral("ComPort"));
  real.SetPort(QStringLiteral("/dev/ttyS0"));
  ASSERT_EQ(Run([&](TComSetupFrm& d) { return Pick(d.Combos[0], stable); }, &real), stable);
  const uint8_t request[8] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB};
  const auto reaches = [&](PtyPair& far) {
    real.OpenPort();
    EXPECT_EQ(real.SendBytes(request, 8), 8);
    EXPECT_EQ(far.Receive(8, 2s), std::string(request, request + 8));
  };
  reaches(first);
  real.ClosePort();

  tree.Unplug(adapter);
  fake_serial::UsbAdapter again = adapter;
  again.tty = QStringLiteral("ttyUSB3");
  tree.AddUsb(again);
  PtyPair second;
  tree.PointNode(again.tty, QString::fromStdString(second.SlavePath()));
  EXPECT_EQ(Run(
                [&](TComSetupFrm& d) {
                  EXPECT_EQ(d.Combos[0]->count(), 3);  // listed, not kept as an unknown name
                  EXPECT_EQ(d.Combos[0]->Text(), stable);
                  return true;
                },
                &real),
            stable);
  reaches(second);
}

// What the operator leaves in the box is stored on OK, without the spaces around it; Cancel
// stores nothing whatever was typed.
TEST_F(PortBox, OkStoresWhatWasTyped) {
  // Stored before, typed, OK (or Cancel), stored after.
  const std::tuple<const char*, const char*, bool, const char*> cases[] = {
      {"/dev/ttyS0", "/dev/pts/3", true, "/dev/pts/3"},
      {"/dev/ttyS0", "  tcp://192.168.1.20:502 ", true, "tcp://192.168.1.20:502"},
      {"", "COM3", true, "COM3"},
      {"/dev/ttyS0", "/dev/tty", true, "/dev/tty"},  // a listed name begins so: not taken
      {"/dev/ttyS0", "", true, ""},
      {"/dev/ttyS0", "   ", true, ""},
      {"/dev/ttyS0", "/dev/pts/3", false, "/dev/ttyS0"},
  };
  for (const auto& [before, typedText, ok, stored] : cases) {
    port.SetPort(QString::fromUtf8(before));
    const QString typed = QString::fromUtf8(typedText);
    const bool accept = ok;  // a lambda cannot take a structured binding before C++20's fix
    EXPECT_EQ(Run([&](TComSetupFrm& d) {
                Type(d.Combos[0], typed);
                EXPECT_EQ(d.Combos[0]->Text(), typed);
                return accept;
              }),
              QString::fromUtf8(stored))
        << typedText;
  }
}

TEST_F(PortBox, TheLastOfTypingAndPickingCounts) {
  port.SetPort(QStringLiteral("/dev/ttyS0"));
  EXPECT_EQ(Run([&](TComSetupFrm& d) {
              Type(d.Combos[0], QStringLiteral("/dev/pts/9"));
              return Pick(d.Combos[0], ch340);
            }),
            ch340);
  EXPECT_EQ(Run([&](TComSetupFrm& d) {
              Pick(d.Combos[0], ftdi);  // the third entry
              Type(d.Combos[0], QStringLiteral("tcp://[::1]:1502"));
              return true;
            }),
            QStringLiteral("tcp://[::1]:1502"));
}

// Enter after a typed name closes the dialog as OK does.
TEST_F(PortBox, EnterAfterTypingIsOk) {
  port.SetPort(QStringLiteral("/dev/ttyS0"));
  bool accepted = false;
  EXPECT_EQ(Run([&](TComSetupFrm& d) {
              QTimer::singleShot(0, &d, [&] {
                d.activateWindow();
                d.Combos[0]->setFocus();
                Type(d.Combos[0], QStringLiteral("/dev/pts/4"));
                QTest::keyClick(d.Combos[0]->lineEdit(), Qt::Key_Return);
              });
              QTimer::singleShot(5000, &d, &QDialog::reject);  // a lost Enter fails, not hangs
              accepted = d.exec() == QDialog::Accepted;
              return accepted;
            }),
            QStringLiteral("/dev/pts/4"));
  EXPECT_TRUE(accepted);
}

// A port box on its own, applying at once: a typed name goes to the port on Enter only.
TEST_F(PortBox, AutoApplyTakesATypedNameOnEnter) {
  port.SetPort(QStringLiteral("/dev/ttyS0"));
  TComComboBox box;
  box.SetComProperty(cpPort);
  box.SetComPort(&port);
  box.SetAutoApply(true);
  int changes = 0;
  box.OnChange = [&](QObject*) { ++changes; };
  QTest::keyClick(box.lineEdit(), Qt::Key_Return);  // the name read from the port: no change
  EXPECT_EQ(changes, 0);
  Type(&box, QStringLiteral("/dev/pts/5"));
  EXPECT_EQ(port.Port(), QStringLiteral("/dev/ttyS0"));
  QTest::keyClick(box.lineEdit(), Qt::Key_Return);
  EXPECT_EQ(port.Port(), QStringLiteral("/dev/pts/5"));
  EXPECT_EQ(changes, 1);
  QTest::keyClick(box.lineEdit(), Qt::Key_Return);  // nothing new typed: nothing new applied
  EXPECT_EQ(changes, 1);
}

// The list dropped down: as wide as the adapters' names and descriptions, and on the screen.
// With ZT_SHOT_DIR set, the dialog and its list are saved there as port-box.png.
TEST_F(PortBox, DroppedDownListFitsItsNamesAndTheScreen) {
  port.SetPort(ftdi);
  Run([&](TComSetupFrm& d) {
    TComComboBox* box = d.Combos[0];
    d.show();
    box->showPopup();
    QWidget* popup = box->view()->window();
    EXPECT_TRUE(popup->isVisible());
    const QRect screen = d.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(popup->geometry()));
    for (int i = 0; i < box->count(); ++i)
      EXPECT_GE(box->view()->visualRect(box->model()->index(i, 0)).width(),
                box->view()->sizeHintForIndex(box->model()->index(i, 0)).width())
          << box->itemText(i).toStdString();

    if (const QString dir = qEnvironmentVariable("ZT_SHOT_DIR"); !dir.isEmpty()) {
      QImage shot(screen.size(), QImage::Format_RGB32);
      shot.fill(QColor(0x3a, 0x6e, 0xa5));
      QPainter painter(&shot);
      painter.drawPixmap(d.geometry().topLeft() - screen.topLeft(), d.grab());
      painter.drawPixmap(popup->geometry().topLeft() - screen.topLeft(), popup->grab());
      painter.end();
      EXPECT_TRUE(shot.save(dir + QStringLiteral("/port-box.png")));
      // On a real display, the screen as the operator sees it as well.
      if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QTest::qWait(500);
        EXPECT_TRUE(d.screen()->grabWindow(0).save(dir + QStringLiteral("/port-box-screen.png")));
      }
    }
    box->hidePopup();
    return false;
  });
}
