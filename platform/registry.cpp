#include "platform/registry.h"

#include <QDir>
#include <QStringList>
#include <QtDebug>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/locked_file.h"
#include "platform/registry_file.h"
#include "platform/serial_ports.h"

namespace platform {

class RegistryKey {
 public:
  QString path;  // as stored: "HKEY_LOCAL_MACHINE\Software\ZT_MODBUS_K\ComPort"
  bool writable = false;
  bool created = false;                // a new key is written back even without values
  std::vector<regfile::Value> values;  // as read at open, this handle's writes laid over
  QStringList written;                 // names written through this handle, first-written order
};

void RegistryKeyDeleter::operator()(RegistryKey* key) const {
  delete key;
}

namespace {

constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;

std::mutex pathMutex;
QString registryPathOverride;

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString RootName(HKEY root) {
  switch (root) {
    case HKEY_LOCAL_MACHINE:
      return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_CURRENT_USER:
      return QStringLiteral("HKEY_CURRENT_USER");
  }
  return {};
}

// The root's name followed by the subkey names. Empty names (a doubled, leading or trailing
// backslash) are passed over, as the original platform tolerates them.
uint32_t SplitPath(HKEY root, const QString& subKey, QStringList& parts) {
  const QString rootName = RootName(root);
  if (rootName.isEmpty()) return ERROR_INVALID_HANDLE;
  parts = subKey.split(u'\\', Qt::SkipEmptyParts);
  for (const QString& part : parts)
    if (!regfile::IsValidKeyName(part)) return ERROR_INVALID_PARAMETER;
  parts.prepend(rootName);
  return ERROR_SUCCESS;
}

// HKEY_LOCAL_MACHINE\HARDWARE is the machine's, never stored: its SERIALCOMM key lists the
// ports, the two keys above it exist and are empty, anything else in it is missing.
enum class Hardware { kNo, kPortList, kEmptyKey, kMissing };

Hardware HardwareKind(const QStringList& parts) {
  if (parts.size() < 2 || parts[0] != QLatin1String("HKEY_LOCAL_MACHINE") ||
      !SameName(parts[1], QStringLiteral("HARDWARE")))
    return Hardware::kNo;
  if (parts.size() == 2) return Hardware::kEmptyKey;
  if (!SameName(parts[2], QStringLiteral("DEVICEMAP"))) return Hardware::kMissing;
  if (parts.size() == 3) return Hardware::kEmptyKey;
  if (parts.size() == 4 && SameName(parts[3], QStringLiteral("SERIALCOMM")))
    return Hardware::kPortList;
  return Hardware::kMissing;
}

RegistryKeyPtr HardwareKey(const QStringList& parts, Hardware kind) {
  RegistryKeyPtr key(new RegistryKey);
  key->path = parts.join(u'\\');
  if (kind == Hardware::kPortList) {
    for (const SerialPortEntry& port : ListSerialPortDevices()) {
      RegValue data;
      data.type = REG_SZ;
      data.text = port.devicePath;
      key->values.push_back({port.valueName, data});
    }
  }
  return key;
}

QString DefaultRegistryFilePath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + "/.config";
  return base + QStringLiteral("/zt-modbus-k/registry.reg");
}

// A missing file is an empty registry. raw receives the file's bytes.
uint32_t LoadDocument(const QString& file, regfile::Document& doc, QByteArray* raw = nullptr) {
  detail::FileReadResult read = detail::ReadStoreFile(file);
  if (read.status == detail::FileReadResult::kMissing) return ERROR_SUCCESS;
  if (read.status == detail::FileReadResult::kFailed) {
    qWarning().noquote() << "registry:" << read.errorText;
    return ERROR_GEN_FAILURE;
  }
  QString error;
  if (!regfile::Parse(read.data, doc, error)) {
    qWarning().noquote() << "registry:" << file << error;
    return ERROR_GEN_FAILURE;
  }
  if (raw) *raw = std::move(read.data);
  return ERROR_SUCCESS;
}

// The spelling a new key gets: that of its deepest existing ancestor, then the names as asked.
QString NewKeySpelling(const regfile::Document& doc, const QStringList& parts) {
  for (qsizetype n = parts.size() - 1; n >= 1; --n) {
    const QString ancestor = doc.ExistingSpelling(parts.first(n).join(u'\\'));
    if (!ancestor.isEmpty()) return ancestor + u'\\' + parts.sliced(n).join(u'\\');
  }
  return parts.join(u'\\');
}

uint32_t OpenStoredKey(const QStringList& parts, bool writable, bool create, RegistryKeyPtr& key) {
  regfile::Document doc;
  if (const uint32_t error = LoadDocument(RegistryFilePath(), doc)) return error;
  const QString asked = parts.join(u'\\');
  QString path = parts.size() == 1 ? asked : doc.ExistingSpelling(asked);
  const bool exists = !path.isEmpty();
  if (!exists && !create) return ERROR_FILE_NOT_FOUND;
  key.reset(new RegistryKey);
  key->path = exists ? path : NewKeySpelling(doc, parts);
  key->writable = writable;
  key->created = !exists;
  if (const regfile::Key* stored = doc.Find(key->path)) key->values = stored->values;
  return ERROR_SUCCESS;
}

uint32_t WriteBack(const RegistryKey& key) {
  const QString file = RegistryFilePath();
  if (const int err = detail::EnsureParentFolder(file)) return Win32ErrorFromErrno(err);
  detail::FileLock lock(file + QStringLiteral(".lock"));
  if (!lock.Locked()) {
    qWarning().noquote() << "registry: cannot lock" << file << strerror(lock.Errno());
    return Win32ErrorFromErrno(lock.Errno());
  }
  // Another copy of the program may have written since this key was read: start from the
  // file as it is now. A file we cannot read stays as it is; overwriting it would lose it.
  regfile::Document doc;
  QByteArray before;
  if (const uint32_t error = LoadDocument(file, doc, &before)) return error;
  regfile::Key& stored = doc.FindOrAdd(key.path);
  for (const QString& name : key.written) {
    for (const regfile::Value& value : key.values)
      if (SameName(value.name, name)) stored.Set(value.name, value.data);
  }
  const QByteArray after = regfile::Write(doc);
  if (after == before) return ERROR_SUCCESS;
  if (after.size() > detail::kMaxStoreFileSize) {
    qWarning().noquote() << "registry: refusing to write more than" << detail::kMaxStoreFileSize
                         << "bytes to" << file;
    return ERROR_GEN_FAILURE;
  }
  QString why;
  if (const int err = detail::ReplaceFileAtomically(file, after, &why)) {
    qWarning().noquote() << "registry:" << why;
    return Win32ErrorFromErrno(err);
  }
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t RegOpenKeyEx(HKEY root, const QString& subKey, uint32_t access, RegistryKeyPtr& key) {
  key.reset();
  QStringList parts;
  if (const uint32_t error = SplitPath(root, subKey, parts)) return error;
  const bool writable = (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
  const Hardware hardware = HardwareKind(parts);
  if (hardware == Hardware::kMissing) return ERROR_FILE_NOT_FOUND;
  if (hardware != Hardware::kNo) {
    if (writable) return ERROR_ACCESS_DENIED;
    key = HardwareKey(parts, hardware);
    return ERROR_SUCCESS;
  }
  return OpenStoredKey(parts, writable, false, key);
}

uint32_t RegCreateKeyEx(HKEY root, const QString& subKey, RegistryKeyPtr& key) {
  key.reset();
  QStringList parts;
  if (const uint32_t error = SplitPath(root, subKey, parts)) return error;
  if (HardwareKind(parts) != Hardware::kNo) return ERROR_ACCESS_DENIED;
  return OpenStoredKey(parts, true, true, key);
}

uint32_t RegSetValueEx(RegistryKey& key, const QString& name, const RegValue& value) {
  if (!key.writable) return ERROR_ACCESS_DENIED;
  if (!regfile::IsValidValueName(name)) return ERROR_INVALID_PARAMETER;
  bool found = false;
  for (regfile::Value& stored : key.values) {
    if (SameName(stored.name, name)) {
      stored.data = regfile::Normalized(value);
      found = true;
      break;
    }
  }
  if (!found) key.values.push_back({name, regfile::Normalized(value)});
  if (!key.written.contains(name, Qt::CaseInsensitive)) key.written.append(name);
  return ERROR_SUCCESS;
}

uint32_t RegQueryValueEx(RegistryKey& key, const QString& name, RegValue& value) {
  for (const regfile::Value& stored : key.values) {
    if (SameName(stored.name, name)) {
      value = stored.data;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_FILE_NOT_FOUND;
}

uint32_t RegEnumValue(RegistryKey& key, uint32_t index, uint32_t nameCapacity,
                      uint32_t dataCapacity, QString& name, RegValue& value) {
  if (index >= key.values.size()) return ERROR_NO_MORE_ITEMS;
  const regfile::Value& stored = key.values[index];
  qint64 dataSize = stored.data.bytes.size();
  if (stored.data.type == REG_SZ || stored.data.type == REG_EXPAND_SZ)
    dataSize = (stored.data.text.size() + 1) * 2;
  else if (stored.data.type == REG_DWORD)
    dataSize = 4;
  name = stored.name;
  if (static_cast<qint64>(stored.name.size()) + 1 > nameCapacity || dataSize > dataCapacity) {
    value = RegValue{};
    value.type = stored.data.type;  // what the caller needs to know to retry
    return ERROR_MORE_DATA;
  }
  value = stored.data;
  return ERROR_SUCCESS;
}

uint32_t RegCloseKey(RegistryKeyPtr& key) {
  if (!key) return ERROR_INVALID_HANDLE;
  uint32_t result = ERROR_SUCCESS;
  if (key->created || !key->written.isEmpty()) result = WriteBack(*key);
  key.reset();
  return result;
}

void SetRegistryFilePath(const QString& path) {
  std::lock_guard lock(pathMutex);
  registryPathOverride = path;
}

QString RegistryFilePath() {
  std::lock_guard lock(pathMutex);
  return registryPathOverride.isEmpty() ? DefaultRegistryFilePath() : registryPathOverride;
}

}  // namespace platform
