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
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  QString Sys() const { return dir_.filePath(QStringLiteral("sys")); }
  QString Dev() const { return dir_.filePath(QStringLiteral("dev")); }
  QString ById(const QString& link) const {
    return Dev() + QStringLiteral("/serial/by-id/") + link;
  }

  // A port with a device behind it that is not on USB (ttyS0 on its UART, type 4).
  void AddBuiltIn(const QString& tty) {
    const QString device = Sys() + QStringLiteral("/devices/platform/serial8250/tty/") + tty;
    QDir().mkpath(device);
    AddTty(tty, device);
    Put(Sys() + QStringLiteral("/class/tty/") + tty + QStringLiteral("/type"), "4\n");
  }

  // The adapter on its own USB port: devices/.../usb1/1-N/{idVendor,...}/1-N:1.0/[ttyUSBn].
  void AddUsb(const UsbAdapter& adapter) {
    const QString usb =
        Sys() + QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(++usbPorts_);
    const QString interface = usb + QStringLiteral("/1-%1:1.0").arg(usbPorts_);
    const QString device = adapter.acm ? interface : interface + u'/' + adapter.tty;
    QDir().mkpath(device);
    Put(usb + QStringLiteral("/idVendor"), adapter.vendorId + '\n');
    Put(usb + QStringLiteral("/idProduct"), adapter.productId + '\n');
    if (!adapter.manufacturer.isNull())
      Put(usb + QStringLiteral("/manufacturer"), adapter.manufacturer + '\n');
    if (!adapter.product.isNull()) Put(usb + QStringLiteral("/product"), adapter.product + '\n');
    if (!adapter.serial.isNull()) Put(usb + QStringLiteral("/serial"), adapter.serial + '\n');
    AddTty(adapter.tty, device);
    if (!adapter.byId.isEmpty()) LinkById(adapter.byId, QStringLiteral("../../") + adapter.tty);
  }

  // The adapter's device node made a link to a real line (a pseudo-terminal), so that its names
  // can be opened.
  void PointNode(const QString& tty, const QString& target) {
    QFile::remove(Dev() + u'/' + tty);
    QFile::link(target, Dev() + u'/' + tty);
  }

  // Pulled out: its tty and node are gone, and udev removes its by-id link.
  void Unplug(const QString& tty, const QString& byId) {
    QDir(Sys() + QStringLiteral("/class/tty/") + tty).removeRecursively();
    QFile::remove(Dev() + u'/' + tty);
    QFile::remove(ById(byId));
  }

  void LinkById(const QString& link, const QString& target) {
    QDir().mkpath(Dev() + QStringLiteral("/serial/by-id"));
    QFile::link(target, ById(link));
  }

  static void Put(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(data);
  }

 private:
  void AddTty(const QString& tty, const QString& device) {
    const QString folder = Sys() + QStringLiteral("/class/tty/") + tty;
    QDir().mkpath(folder);
    QFile::link(device, folder + QStringLiteral("/device"));
    QDir().mkpath(Dev());
    Put(Dev() + u'/' + tty, {});
  }

  QTemporaryDir dir_;
  int usbPorts_ = 0;
};

// The two adapters most seen on a bench: an FTDI with all its strings, a CH340 with only a
// product name.
inline UsbAdapter Ftdi(const QString& tty = QStringLiteral("ttyUSB0")) {
  return {tty,
          "FTDI",
          "FT232R USB UART",
          "A10K1234",
          "0403",
          "6001",
          QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0"),
          false};
}
inline UsbAdapter Ch340(const QString& tty = QStringLiteral("ttyUSB1")) {
  return {
      tty,  {}, "USB Serial", {}, "1a86", "7523", QStringLiteral("usb-1a86_USB_Serial-if00-port0"),
      false};
}

}  // namespace fake_serial
