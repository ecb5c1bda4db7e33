#include "platform/serial_ports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <mutex>

#include "platform/registry.h"

namespace platform {

namespace {

std::mutex sysfsMutex;
QString sysfsRootOverride;

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

}  // namespace

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
    ports.push_back({QStringLiteral("\\Device\\") + name, QStringLiteral("/dev/") + node});
  }
  return ports;
}

}  // namespace platform
