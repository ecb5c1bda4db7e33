// The machine's serial ports as the live key HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM
// shows them, read from sysfs (SysfsRoot(), "/sys" unless a test points it elsewhere).
#pragma once

#include <QString>
#include <vector>

namespace platform {

struct SerialPortEntry {
  QString valueName;   // "\Device\ttyUSB0", in the style of the original platform's names
  QString devicePath;  // "/dev/ttyUSB0"
};

// Every tty under <sysfs>/class/tty with a "device" link, except legacy ttyS<n> entries that
// the 8250 driver registers for UARTs that are not there. In name order.
std::vector<SerialPortEntry> ListSerialPortDevices();

}  // namespace platform
