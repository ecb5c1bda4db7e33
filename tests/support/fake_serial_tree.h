// A made-up sysfs and /dev with USB serial adapters as the kernel and udev lay them out, for
// the port list's tests and screenshots. The platform layer is pointed at it while it lives.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/registry.h"

namespace fake_serial {

struct UsbAdapter {
  QString tty;              // "ttyUSB0"
  QByteArray manufacturer;  // attribute files; null = the device has no such string
  QByteArray product;
  QByteArray serial;
  QByteArray vendorId = "0403";
  QByteArray productId = "6001";
  QString byId;      // udev's link name, empty for none
  bool acm = false;  // cdc_acm: the tty's device is the interface itself
};

inline UsbAdapter Usb(const QString& tty, const QByteArray& manufacturer, const QByteArray& product,
                      const QByteArray& serial, const QByteArray& vendorId,
                      const QByteArray& productId, const QString& byId = {}, bool acm = false) {
  return {tty, manufacturer, product, serial, vendorId, productId, byId, acm};
}

// The two adapters most seen on a bench: an FTDI with all its strings, a CH340 with only a
// product name.
inline UsbAdapter Ftdi() {
  return Usb("ttyUSB0", "FTDI", "FT232R USB UART", "A10K1234", "0403", "6001",
             "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0");
}
inline UsbAdapter Ch340() {
  return Usb("ttyUSB1", {}, "USB Serial", {}, "1a86", "7523", "usb-1a86_USB_Serial-if00-port0");
}

class Tree {
 public:
  Tree() {
    platform::SetSysfsRoot(Sys());
    platform::SetDevRoot(Dev());
  }
  ~Tree() {
    platform::SetSysfsRoot({});
    platform::SetDevRoot({});
  }

  QString Sys() const { return dir_.filePath(QStringLiteral("sys")); }
  QString Dev() const { return dir_.filePath(QStringLiteral("dev")); }
  QString ById(const QString& link) const {
    return Dev() + QStringLiteral("/serial/by-id/") + link;
  }

  // A tty as the kernel shows it, with its node in /dev: its device folder when `device` is not
  // empty, bound to `driver` when that is not empty either; a type file when `type` is not null.
  // False if any of it could not be made.
  bool AddTty(const QString& tty, const QString& device = {}, const QByteArray& type = {},
              const QString& driver = {}) {
    const QString folder = Sys() + QStringLiteral("/class/tty/") + tty;
    const QString drivers = Sys() + QStringLiteral("/bus/drivers/") + driver;
    return QDir().mkpath(folder) && QDir().mkpath(Dev()) && Put(Dev() + u'/' + tty, {}) &&
           (device.isEmpty() ||
            (QDir().mkpath(device) && QFile::link(device, folder + "/device"))) &&
           (driver.isEmpty() ||
            (QDir().mkpath(drivers) && QFile::link(drivers, device + "/driver"))) &&
           (type.isNull() || Put(folder + QStringLiteral("/type"), type));
  }

  // A port with a device behind it that is not on USB (ttyS0 on its UART, type 4).
  void AddBuiltIn(const QString& tty) {
    AddTty(tty, Sys() + QStringLiteral("/devices/platform/serial8250/tty/") + tty, "4\n");
  }

  // The adapter on its own USB port: devices/.../usb1/1-N/{idVendor,...}/1-N:1.0/[ttyUSBn].
  void AddUsb(const UsbAdapter& adapter) {
    const QString usb =
        Sys() + QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(++usbPorts_);
    const QString interface = usb + QStringLiteral("/1-%1:1.0").arg(usbPorts_);
    AddTty(adapter.tty, adapter.acm ? interface : interface + u'/' + adapter.tty);
    Put(usb + QStringLiteral("/idVendor"), adapter.vendorId + '\n');
    Put(usb + QStringLiteral("/idProduct"), adapter.productId + '\n');
    if (!adapter.manufacturer.isNull())
      Put(usb + QStringLiteral("/manufacturer"), adapter.manufacturer + '\n');
    if (!adapter.product.isNull()) Put(usb + QStringLiteral("/product"), adapter.product + '\n');
    if (!adapter.serial.isNull()) Put(usb + QStringLiteral("/serial"), adapter.serial + '\n');
    if (!adapter.byId.isEmpty()) LinkById(adapter.byId, QStringLiteral("../../") + adapter.tty);
  }

  // The adapter's device node made a link to a real line (a pseudo-terminal), so that its names
  // can be opened.
  void PointNode(const QString& tty, const QString& target) {
    QFile::remove(Dev() + u'/' + tty);
    QFile::link(target, Dev() + u'/' + tty);
  }

  // Pulled out: its tty and node are gone, and udev removes its by-id link.
  void Unplug(const UsbAdapter& adapter) {
    QDir(Sys() + QStringLiteral("/class/tty/") + adapter.tty).removeRecursively();
    QFile::remove(Dev() + u'/' + adapter.tty);
    QFile::remove(ById(adapter.byId));
  }

  void LinkById(const QString& link, const QString& target) {
    QDir().mkpath(Dev() + QStringLiteral("/serial/by-id"));
    QFile::link(target, ById(link));
  }

  static bool Put(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
  }

 private:
  QTemporaryDir dir_;
  int usbPorts_ = 0;
};

}  // namespace fake_serial
