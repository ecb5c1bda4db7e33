// A small registry with the Win32 meaning the port settings and the port list rely on: two
// roots, keys, REG_SZ and REG_DWORD values, value enumeration, Win32 error numbers as results.
//
// It lives in one file in the registry export text format (see registry_file.h), by default
// $XDG_CONFIG_HOME/zt-modbus-k/registry.reg (~/.config/... when the variable is unset). The file
// is read when a key is opened; a key through which values were written is written back when
// it is closed: under a lock file, the file is read again, this key's writes are laid over it,
// and the result replaces the file atomically (temporary file and rename). So a crash never
// leaves a torn file, and two programs writing different keys keep each other's values. A value
// written back just as this program last read or wrote it is no change of ours: where another
// copy has saved that value since, its change stands.
//
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM is not stored: opening it lists the
// machine's serial ports live from sysfs, one REG_SZ value per port whose data is the device
// path ("/dev/ttyS0"), or for a USB adapter its stable udev name under /dev/serial/by-id.
#pragma once

#include "platform/win_error.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace platform {

enum HKEY : uint32_t { HKEY_CURRENT_USER = 0x80000001, HKEY_LOCAL_MACHINE = 0x80000002 };

enum RegType : uint32_t { REG_NONE = 0, REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4 };

inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;
inline constexpr uint32_t ERROR_MORE_DATA = 234;

// One value as stored: a string for REG_SZ and REG_EXPAND_SZ, a number for REG_DWORD, bytes
// for anything else.
struct RegValue {
  RegType type = REG_NONE;
  QString text;
  uint32_t number = 0;
  QByteArray bytes;
};

class RegistryKey;
// Deleting a key handle does not write it back (RegCloseKey does); defined beside RegistryKey.
struct RegistryKeyDeleter {
  void operator()(RegistryKey* key) const;
};
using RegistryKeyPtr = std::unique_ptr<RegistryKey, RegistryKeyDeleter>;

// Opens root\subKey ("Software\ZT_MODBUS_K\ComPort"; backslashes separate, letter case is
// ignored when matching key names, as on the original platform). Returns ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND (2) for a missing key, ERROR_ACCESS_DENIED (5) for a write access to
// the live port list, or ERROR_GEN_FAILURE (31) when the file cannot be read or parsed.
uint32_t RegOpenKeyEx(HKEY root, const QString& subKey, uint32_t access, RegistryKeyPtr& key);
// The same, creating the key (and its parents) when missing; write access implied.
uint32_t RegCreateKeyEx(HKEY root, const QString& subKey, RegistryKeyPtr& key);

// Writing needs a key opened for writing (ERROR_ACCESS_DENIED otherwise).
uint32_t RegSetValueEx(RegistryKey& key, const QString& name, const RegValue& value);
// A missing value: ERROR_FILE_NOT_FOUND.
uint32_t RegQueryValueEx(RegistryKey& key, const QString& name, RegValue& value);
// Values in the order they were first written. Past the last: ERROR_NO_MORE_ITEMS (259). A name
// longer than nameCapacity - 1 characters, or data (text in UTF-16 with its terminating zero,
// or bytes) longer than dataCapacity bytes: ERROR_MORE_DATA (234).
uint32_t RegEnumValue(RegistryKey& key, uint32_t index, uint32_t nameCapacity,
                      uint32_t dataCapacity, QString& name, RegValue& value);
// Writes back a changed key (see above); the key is gone afterwards whatever the result.
uint32_t RegCloseKey(RegistryKeyPtr& key);

// Why the last registry call on this thread could not read or write the registry's file, for
// the operator: an English sentence with %1 for the file or folder and %2 for the details, to be
// translated before they are filled in. An empty sentence when that call did not fail on the
// file.
struct RegistryFileProblem {
  QString sentence;
  QString path;
  QString details;
};
RegistryFileProblem LastRegistryFileProblem();

// With writes held, closing a key never writes the file back: what was set or created lives
// only as long as the key (a run that must leave the stored settings as they are).
void HoldRegistryWrites(bool hold);

// Where things are: tests point these at their own folders. Empty restores the defaults.
void SetRegistryFilePath(const QString& path);
QString RegistryFilePath();
void SetSysfsRoot(const QString& path);  // default "/sys"
QString SysfsRoot();
void SetDevRoot(const QString& path);  // default "/dev"; where serial/by-id is looked for
QString DevRoot();

}  // namespace platform
