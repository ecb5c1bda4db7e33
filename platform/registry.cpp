#include "platform/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QtDebug>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/locked_file.h"
#include "platform/registry_file.h"
#include "platform/serial_ports.h"

namespace platform {

class RegistryKey {
 public:
  // The path as stored ("HKEY_LOCAL_MACHINE\Software\ZT_MODBUS_K\ComPort") and the values
  // as read at open, this handle's writes laid over.
  regfile::Key stored;
  bool writable = false;
  bool created = false;          // a new key is written back even without values
  std::vector<QString> written;  // names written through this handle, first-written order
  QSet<QString> writtenFolded;
};

void RegistryKeyDeleter::operator()(RegistryKey* key) const {
  delete key;
}

namespace {

constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;

std::mutex pathMutex;
QString registryPathOverride;
std::atomic<bool> writesHeld{false};

thread_local RegistryFileProblem lastProblem;

// What this program last read or wrote of each stored value, by file, key and name.
std::mutex seenMutex;
QHash<QString, RegValue> seen;

QString SeenId(const QString& keyPath, const QString& name) {
  return RegistryFilePath() + u'\n' + regfile::Folded(keyPath) + u'\n' + regfile::Folded(name);
}

void Saw(const QString& keyPath, const QString& name, const RegValue* data) {
  const QString id = SeenId(keyPath, name);
  std::lock_guard lock(seenMutex);
  if (data)
    seen.insert(id, *data);
  else
    seen.remove(id);
}

bool SameData(const RegValue& a, const RegValue& b) {
  return a.type == b.type && a.text == b.text && a.number == b.number && a.bytes == b.bytes;
}

bool AsLastSeen(const QString& keyPath, const regfile::Value& value) {
  const QString id = SeenId(keyPath, value.name);
  std::lock_guard lock(seenMutex);
  const auto found = seen.constFind(id);
  return found != seen.cend() && SameData(*found, value.data);
}

// Records why the file failed, says it on standard error too, and gives back the error.
uint32_t FileProblem(uint32_t error, const char* sentence, const QString& path,
                     const QString& details) {
  lastProblem = {QString::fromLatin1(sentence), path, details};
  qWarning().noquote() << "registry:" << lastProblem.sentence.arg(path, details);
  return error;
}

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
  key->stored.path = parts.join(u'\\');
  if (kind == Hardware::kPortList) {
    for (const SerialPortEntry& port : ListSerialPortDevices()) {
      RegValue data;
      data.type = REG_SZ;
      data.text = port.Name();
      key->stored.Set(port.valueName, data);
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
  const char* cannotRead = "The settings file %1 cannot be read: %2.";
  if (read.status == detail::FileReadResult::kFailed)
    return FileProblem(ERROR_GEN_FAILURE, cannotRead, file, read.errorText);
  QString error;
  if (!regfile::Parse(read.data, doc, error))
    return FileProblem(ERROR_GEN_FAILURE, cannotRead, file, error);
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
  const QString spelling = exists ? path : NewKeySpelling(doc, parts);
  if (regfile::Key* stored = doc.Find(spelling))
    key->stored = std::move(*stored);
  else
    key->stored.path = spelling;
  key->writable = writable;
  key->created = !exists;
  return ERROR_SUCCESS;
}

QString LockPath(const QString& file) {
  return file + QStringLiteral(".lock");
}

uint32_t LockProblem(const QString& file, int err) {
  if (err == EBUSY)
    return FileProblem(ERROR_ACCESS_DENIED,
                       "Another copy of the program holds the settings file %1: %2.", file,
                       QStringLiteral("it has not let go of %1 within a second").arg(LockPath(file)));
  const QString why =
      err == EINVAL ? QStringLiteral("it is not a plain file") : detail::SystemWords(err);
  return FileProblem(Win32ErrorFromErrno(err),
                     "The lock file of the settings file %1 cannot be used: %2.", file,
                     LockPath(file) + QStringLiteral(": ") + why);
}

// Lays the key's writes over the file as it is now, which another copy of the program may have
// changed since the key was read. A file we cannot read stays as it is; overwriting it would
// lose it.
uint32_t WriteBack(const RegistryKey& key) {
  const QString file = RegistryFilePath();
  if (const int err = detail::EnsureParentFolder(file))
    return FileProblem(Win32ErrorFromErrno(err), "The folder %1 cannot be created: %2.",
                       QFileInfo(file).absolutePath(), detail::SystemWords(err));
  const detail::FileLock lock(LockPath(file));
  if (!lock.Locked()) return LockProblem(file, lock.Errno());
  regfile::Document doc;
  QByteArray before;
  if (const uint32_t error = LoadDocument(file, doc, &before)) return error;
  regfile::Key& stored = doc.FindOrAdd(key.stored.path);
  std::vector<const regfile::Value*> mine;
  for (const QString& name : key.written) {
    const regfile::Value* value = key.stored.Find(name);
    if (!value || (stored.Find(name) && AsLastSeen(key.stored.path, *value))) continue;
    stored.Set(value->name, value->data);
    mine.push_back(value);
  }
  const QByteArray after = regfile::Write(doc);
  if (after.size() > detail::kMaxStoreFileSize)
    return FileProblem(ERROR_GEN_FAILURE, "The settings file %1 would grow past %2 bytes.", file,
                       QString::number(detail::kMaxStoreFileSize));
  QString why;
  if (after == before)
    detail::RemoveLeftoverTemporary(file);
  else if (const int err = detail::ReplaceFileAtomically(file, after, &why))
    return FileProblem(Win32ErrorFromErrno(err), "The settings file %1 cannot be written: %2.",
                       file, why);
  for (const regfile::Value* value : mine) Saw(key.stored.path, value->name, &value->data);
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t RegOpenKeyEx(HKEY root, const QString& subKey, uint32_t access, RegistryKeyPtr& key) {
  key.reset();
  lastProblem = {};
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
  lastProblem = {};
  QStringList parts;
  if (const uint32_t error = SplitPath(root, subKey, parts)) return error;
  if (HardwareKind(parts) != Hardware::kNo) return ERROR_ACCESS_DENIED;
  return OpenStoredKey(parts, true, true, key);
}

uint32_t RegSetValueEx(RegistryKey& key, const QString& name, const RegValue& value) {
  if (!key.writable) return ERROR_ACCESS_DENIED;
  if (!regfile::IsValidValueName(name)) return ERROR_INVALID_PARAMETER;
  key.stored.Set(name, value);
  if (!key.writtenFolded.contains(regfile::Folded(name))) {
    key.writtenFolded.insert(regfile::Folded(name));
    key.written.push_back(name);
  }
  return ERROR_SUCCESS;
}

uint32_t RegQueryValueEx(RegistryKey& key, const QString& name, RegValue& value) {
  const regfile::Value* stored = key.stored.Find(name);
  Saw(key.stored.path, name, stored ? &stored->data : nullptr);
  if (!stored) return ERROR_FILE_NOT_FOUND;
  value = stored->data;
  return ERROR_SUCCESS;
}

uint32_t RegEnumValue(RegistryKey& key, uint32_t index, uint32_t nameCapacity,
                      uint32_t dataCapacity, QString& name, RegValue& value) {
  if (index >= key.stored.values.size()) return ERROR_NO_MORE_ITEMS;
  const regfile::Value& stored = key.stored.values[index];
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
  lastProblem = {};
  if (!key) return ERROR_INVALID_HANDLE;
  uint32_t result = ERROR_SUCCESS;
  if ((key->created || !key->written.empty()) && !writesHeld) result = WriteBack(*key);
  key.reset();
  return result;
}

RegistryFileProblem LastRegistryFileProblem() {
  return lastProblem;
}

void HoldRegistryWrites(bool hold) {
  writesHeld = hold;
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
