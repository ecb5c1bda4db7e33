// The live port list, read from a made-up sysfs tree.
#include "platform/serial_ports.h"

#include "fake_serial_tree.h"
#include "store_fixture.h"

namespace {

using namespace platform;

class PortList : public store_test::StoreTest {
 protected:
  // A tty as the kernel shows it; driver names the device's driver link when not empty.
  void AddTty(const QString& name, bool device, const char* type = nullptr,
              const QString& driver = {}) {
    ASSERT_TRUE(tree.AddTty(
        name, device ? tree.Sys() + QStringLiteral("/devices/") + name : QString(), type, driver));
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

  fake_serial::Tree tree;
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

// USB adapters: what the list shows of each and the name it stores, through the registry key
// as the setup dialog reads it.
TEST(UsbPortList, DescribesAdaptersAndStoresTheirStableNames) {
  using fake_serial::Usb;
  fake_serial::Tree tree;
  tree.AddBuiltIn(QStringLiteral("ttyS0"));
  tree.LinkById(QStringLiteral("pci-built-in"), QStringLiteral("../../ttyS0"));
  const QString longLink = QStringLiteral("usb-Long_") + QString(200, u'n');
  for (const fake_serial::UsbAdapter& adapter :
       {fake_serial::Ftdi(), fake_serial::Ch340(),
        Usb("ttyACM0", "STMicroelectronics", "STM32 Virtual ComPort", "6D8E3A5B4957", "0483",
            "5740", {}, true),
        Usb("ttyUSB2", "Prolific", "Prolific USB-Serial", {}, "067b", "2303", "usb-Prolific_b"),
        Usb("ttyUSB3", "", "\x01\x7f", {}, "10c4", "ea60"),
        Usb("ttyUSB4", "Acme\tLab\x1b[31m", QByteArray(300, 'x') + "\xff", "S\nN", "abcd", "0001"),
        Usb("ttyUSB5", {}, "Long", {}, "abcd", "0002", longLink)})
    tree.AddUsb(adapter);
  tree.LinkById(QStringLiteral("usb-Prolific_a"), QStringLiteral("../../ttyUSB2"));
  tree.LinkById(QStringLiteral("usb-elsewhere"), QStringLiteral("../../ttyUSB9"));
  fake_serial::Tree::Put(tree.Dev() + QStringLiteral("/serial/by-id/not-a-link"), {});

  struct Row {
    QString valueName, name, description;
  };
  const std::vector<Row> expected{
      {"\\Device\\ttyACM0", "/dev/ttyACM0",
       "STMicroelectronics STM32 Virtual ComPort (6D8E3A5B4957)"},
      {"\\Device\\ttyS0", "/dev/ttyS0", ""},
      {"\\Device\\ttyUSB0", tree.ById("usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0"),
       "FTDI FT232R USB UART (A10K1234)"},
      {"\\Device\\ttyUSB1", tree.ById("usb-1a86_USB_Serial-if00-port0"), "USB Serial"},
      {"\\Device\\ttyUSB2", tree.ById("usb-Prolific_a"), "Prolific USB-Serial"},
      {"\\Device\\ttyUSB3", "/dev/ttyUSB3", "USB 10c4:ea60"},
      {"\\Device\\ttyUSB4", "/dev/ttyUSB4", "Acme Lab [31m " + QString(64, u'x') + " (S N)"},
      // A link too long for the list's 256-byte values: the plain path instead.
      {"\\Device\\ttyUSB5", "/dev/ttyUSB5", "Long"},
  };
  const std::vector<SerialPortEntry> ports = ListSerialPortDevices();
  ASSERT_EQ(ports.size(), expected.size());
  RegistryKeyPtr key;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("HARDWARE\\DEVICEMAP\\SERIALCOMM"),
                         KEY_READ, key),
            ERROR_SUCCESS);
  QString name;
  RegValue value;
  for (uint32_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ports[i].valueName, expected[i].valueName);
    EXPECT_EQ(ports[i].Name(), expected[i].name) << i;
    EXPECT_EQ(ports[i].description, expected[i].description) << i;
    ASSERT_EQ(RegEnumValue(*key, i, 256, 256, name, value), ERROR_SUCCESS);  // as the dialog reads
    EXPECT_EQ(name, expected[i].valueName);
    EXPECT_EQ(value.text, expected[i].name);
  }
  RegCloseKey(key);
}

}  // namespace
