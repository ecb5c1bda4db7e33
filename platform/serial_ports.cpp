#include "platform/serial_ports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <map>
#include <mutex>

#include "platform/registry.h"

namespace platform {

namespace {

std::mutex sysfsMutex;
QString sysfsRootOverride;
QString devRootOverride;

bool Exists(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();
}

// The 8250 driver registers ttyS0 ... ttyS<n> whether or not a UART answers at those
// addresses; the ones with no hardware report port type 0 (PORT_UNKNOWN) in "type". Kernels
// or test trees without that file: the placeholders are the ones bound to the "serial8250"
// platform device, real ports found by firmware are bound to other drivers.
bool IsRealLegacyUart(const QString& ttyFolder) {
  QFile typeFile(ttyFolder + QStringLiteral("/type"));
  if (typeFile.open(QIODevice::ReadOnly)) {
    bool ok = false;
    const int type = typeFile.read(32).trimmed().toInt(&ok);
    if (ok) return type != 0;
  }
  const QString driver = QFileInfo(ttyFolder + QStringLiteral("/device/driver")).symLinkTarget();
  return QFileInfo(driver).fileName() != QLatin1String("serial8250");
}

// One sysfs attribute as text fit for a list: the device writes these strings itself, so they
// are cut short and anything that is not printable becomes a space.
QString ReadAttribute(const QString& folder, const char* name) {
  QFile file(folder + u'/' + QLatin1String(name));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  QString text = QString::fromUtf8(file.read(256));
  for (QChar& c : text)
    if (!c.isPrint()) c = u' ';
  return text.simplified().left(64);
}

// "Manufacturer Product (serial)" from the USB device's own strings; its vendor and product
// numbers when it gives neither name.
QString UsbDescription(const QString& usbDevice) {
  const QString manufacturer = ReadAttribute(usbDevice, "manufacturer");
  const QString product = ReadAttribute(usbDevice, "product");
  const QString serial = ReadAttribute(usbDevice, "serial");
  QString text = product;
  if (!manufacturer.isEmpty() && !product.startsWith(manufacturer, Qt::CaseInsensitive))
    text = (manufacturer + u' ' + product).trimmed();
  if (text.isEmpty())
    text = QStringLiteral("USB %1:%2")
               .arg(ReadAttribute(usbDevice, "idVendor"), ReadAttribute(usbDevice, "idProduct"));
  if (!serial.isEmpty()) text += QStringLiteral(" (%1)").arg(serial);
  return text;
}

// The USB device a tty belongs to: its "device" is the USB interface (cdc_acm) or a port below
// the interface (usb-serial), so the device is one or two folders up; it is the one that has
// an idVendor. Empty when the tty is not on USB.
QString UsbDeviceOf(const QString& ttyFolder) {
  const QString root = QFileInfo(SysfsRoot()).canonicalFilePath();
  QString folder = QFileInfo(ttyFolder + QStringLiteral("/device")).canonicalFilePath();
  for (int up = 0; up < 4 && !folder.isEmpty() && folder.startsWith(root + u'/'); ++up) {
    if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) return folder;
    folder = QFileInfo(folder).path();
  }
  return QString();
}

// udev's by-id links by the device node they point at ("<dev>/ttyUSB0"); the first in name
// order where a node has several.
std::map<QString, QString> StableNames() {
  const QString dev = DevRoot();
  const QDir byId(dev + QStringLiteral("/serial/by-id"));
  std::map<QString, QString> names;
  const QStringList links = byId.entryList(QDir::Files | QDir::System, QDir::Name);
  for (const QString& link : links) {
    const QFileInfo info(byId.filePath(link));
    if (!info.isSymLink()) continue;
    names.emplace(QDir::cleanPath(info.symLinkTarget()), info.absoluteFilePath());
  }
  return names;
}

}  // namespace

void SetDevRoot(const QString& path) {
  std::lock_guard lock(sysfsMutex);
  devRootOverride = path;
}

QString DevRoot() {
  std::lock_guard lock(sysfsMutex);
  return devRootOverride.isEmpty() ? QStringLiteral("/dev") : QDir::cleanPath(devRootOverride);
}

void SetSysfsRoot(const QString& path) {
  std::lock_guard lock(sysfsMutex);
  sysfsRootOverride = path;
}

QString SysfsRoot() {
  std::lock_guard lock(sysfsMutex);
  return sysfsRootOverride.isEmpty() ? QStringLiteral("/sys") : sysfsRootOverride;
}

std::vector<SerialPortEntry> ListSerialPortDevices() {
  static const QRegularExpression legacyName(QStringLiteral("^ttyS[0-9]+$"));
  const QDir ttyClass(SysfsRoot() + QStringLiteral("/class/tty"));
  std::vector<SerialPortEntry> ports;
  std::map<QString, QString> stableNames;
  bool stableNamesRead = false;
  const QStringList names =
      ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
  for (const QString& name : names) {
    const QString folder = ttyClass.filePath(name);
    // Virtual consoles, pseudo-terminals and the like have no device behind them.
    if (!Exists(folder + QStringLiteral("/device"))) continue;
    if (legacyName.match(name).hasMatch() && !IsRealLegacyUart(folder)) continue;
    // sysfs writes a "/" in a device name as "!" (tty/foo appears as tty!foo).
    QString node = name;
    node.replace(u'!', u'/');
    SerialPortEntry port{
        QStringLiteral("\\Device\\") + name, QStringLiteral("/dev/") + node, {}, {}};
    // Only USB adapters move between names; the built-in ports keep theirs.
    const QString usbDevice = UsbDeviceOf(folder);
    if (!usbDevice.isEmpty()) {
      port.description = UsbDescription(usbDevice);
      if (!stableNamesRead) stableNames = StableNames();
      stableNamesRead = true;
      const auto link = stableNames.find(QDir::cleanPath(DevRoot() + u'/' + node));
      // The port list hands names over in 256-byte values of UTF-16 text; one that would not
      // fit is left out rather than making the whole list unreadable.
      if (link != stableNames.end() && link->second.size() < 128) port.stableName = link->second;
    }
    ports.push_back(port);
  }
  return ports;
}

}  // namespace platform
