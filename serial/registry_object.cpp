#include "serial/registry_object.h"

#include "serial/com_error.h"

namespace serial {

using namespace platform;

TRegistry::~TRegistry() {
  if (key_) RegCloseKey(key_);
}

void TRegistry::NoteProblem() {
  const RegistryFileProblem problem = LastRegistryFileProblem();
  problem_ = problem.sentence.isEmpty() ? QString()
                                        : ComText(problem.sentence).arg(problem.path, problem.details);
}

bool TRegistry::OpenKey(const QString& path, bool canCreate) {
  if (key_) RegCloseKey(key_);
  const uint32_t result = canCreate ? RegCreateKeyEx(RootKey, path, key_)
                                    : RegOpenKeyEx(RootKey, path, KEY_ALL_ACCESS, key_);
  NoteProblem();
  if (result != ERROR_SUCCESS) key_.reset();
  return result == ERROR_SUCCESS;
}

void TRegistry::CloseKey() {
  if (!key_) return;
  const uint32_t result = RegCloseKey(key_);
  NoteProblem();
  if (result != ERROR_SUCCESS)
    throw ERegistryException(QStringLiteral("Failed to write the registry file"), problem_);
}

void TRegistry::WriteString(const QString& name, const QString& value) {
  RegValue data;
  data.type = REG_SZ;
  data.text = value;
  if (!key_ || RegSetValueEx(*key_, name, data) != ERROR_SUCCESS)
    throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name), problem_);
}

void TRegistry::WriteInteger(const QString& name, int32_t value) {
  RegValue data;
  data.type = REG_DWORD;
  data.number = uint32_t(value);
  if (!key_ || RegSetValueEx(*key_, name, data) != ERROR_SUCCESS)
    throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name), problem_);
}

QString TRegistry::ReadString(const QString& name) {
  RegValue data;
  if (!key_ || RegQueryValueEx(*key_, name, data) != ERROR_SUCCESS) return QString();
  if (data.type == REG_SZ || data.type == REG_EXPAND_SZ) return data.text;
  const bool empty = data.type == REG_NONE || (data.type == REG_BINARY && data.bytes.isEmpty());
  if (empty) return QString();
  throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name), {});
}

int32_t TRegistry::ReadInteger(const QString& name) {
  RegValue data;
  if (!key_ || RegQueryValueEx(*key_, name, data) != ERROR_SUCCESS)
    throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(name), problem_);
  if (data.type != REG_DWORD)
    throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name), {});
  return int32_t(data.number);
}

}  // namespace serial
