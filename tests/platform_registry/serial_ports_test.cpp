// The live port list, read from a made-up sysfs tree.
#include <QDir>
#include <QFile>

#include "platform/registry.h"
#include "store_fixture.h"

namespace {

using namespace platform;

class PortList : public store_test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    SetSysfsRoot(Path(QStringLiteral("sys")));
  }
  void TearDown() override {
    SetSysfsRoot({});
    StoreTest::TearDown();
  }

  // A tty as the kernel shows it; driver names the device's driver link when not empty.
  void AddTty(const QString& name, bool device, const char* type = nullptr,
              const QString& driver = {}) {
    const QString tty = Path(QStringLiteral("sys/class/tty/") + name);
    ASSERT_TRUE(QDir().mkpath(tty));
    if (device) {
      const QString dev = Path(QStringLiteral("sys/devices/") + name);
      ASSERT_TRUE(QDir().mkpath(dev));
      ASSERT_TRUE(QFile::link(dev, tty + QStringLiteral("/device")));
      if (!driver.isEmpty()) {
        const QString drv = Path(QStringLiteral("sys/bus/drivers/") + driver);
        QDir().mkpath(drv);
        ASSERT_TRUE(QFile::link(drv, dev + QStringLiteral("/driver")));
      }
    }
    if (type) Put(tty + QStringLiteral("/type"), type);
  }

  // The ports as the setup dialog will show them: data of every value, sorted.
  static QStringList Ports() {
    RegistryKeyPtr key;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                           KEY_READ, key),
              ERROR_SUCCESS);
    QStringList ports;
    if (!key) return ports;
    QString name;
    RegValue value;
    for (uint32_t i = 0; RegEnumValue(*key, i, 256, 256, name, value) == ERROR_SUCCESS; ++i) {
      EXPECT_EQ(value.type, REG_SZ);
      EXPECT_EQ(name, QStringLiteral("\\Device\\") + value.text.mid(5));
      ports << value.text;
    }
    ports.sort(Qt::CaseInsensitive);
    return ports;
  }
};

TEST_F(PortList, ListsDevicesAndRealUartsOnly) {
  AddTty(QStringLiteral("ttyS0"), true, "4\n");
  AddTty(QStringLiteral("ttyS1"), true, "0\n");
  AddTty(QStringLiteral("ttyUSB0"), true);
  AddTty(QStringLiteral("ttyACM0"), true);
  AddTty(QStringLiteral("tty0"), false);
  AddTty(QStringLiteral("ptmx"), false);
  EXPECT_EQ(Ports(), QStringList({"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"}));
}

TEST_F(PortList, WithoutATypeFileThePlaceholderDriverDecides) {
  AddTty(QStringLiteral("ttyS2"), true, nullptr, QStringLiteral("serial8250"));
  AddTty(QStringLiteral("ttyS3"), true, nullptr, QStringLiteral("serial"));
  AddTty(QStringLiteral("ttyS4"), true, "junk", QStringLiteral("serial8250"));
  AddTty(QStringLiteral("ttySAC0"), true, "0");  // not a legacy 8250 name
  EXPECT_EQ(Ports(), QStringList({"/dev/ttyS3", "/dev/ttySAC0"}));
}

TEST_F(PortList, IsReadOnlyAndEmptyWithoutSysfs) {
  EXPECT_TRUE(Ports().isEmpty());
  RegistryKeyPtr key;
  const QString path = QStringLiteral("hardware\\DeviceMap\\SerialComm");
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("HARDWARE\\Other"), KEY_READ, key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(QFile::exists(RegFile()));  // nothing of it is stored
}

}  // namespace
