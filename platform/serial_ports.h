// The machine's serial ports as the live key HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM
// shows them, read from sysfs (SysfsRoot(), "/sys" unless a test points it elsewhere).
#pragma once

#include <QString>
#include <vector>

namespace platform {

struct SerialPortEntry {
  QString valueName;   // "\Device\ttyUSB0", in the style of the original platform's names
  QString devicePath;  // "/dev/ttyUSB0"
  // udev's link that follows the adapter from one ttyUSBn to the next when it is plugged in
  // again ("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0"); empty for a
  // port that has none.
  QString stableName;
  // What the USB device says it is ("FTDI FT232R USB UART (A10K1234)"); empty for a port that
  // is not on USB.
  QString description;

  // The name to store for this port: the stable one where there is one.
  QString Name() const { return stableName.isEmpty() ? devicePath : stableName; }
};

// Every tty under <sysfs>/class/tty with a "device" link, except legacy ttyS<n> entries that
// the 8250 driver registers for UARTs that are not there. In name order.
std::vector<SerialPortEntry> ListSerialPortDevices();

}  // namespace platform
