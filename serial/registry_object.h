// The registry object the port settings are stored through: a root, one open key, and typed
// reads and writes that throw on failure, over the registry layer.
#pragma once

#include "framework/exception.h"
#include "platform/registry.h"

namespace serial {

class ERegistryException : public framework::Exception {
 public:
  ERegistryException(const QString& message, QString reason)
      : Exception(message), Reason(std::move(reason)) {}
  QString Reason;  // why the registry's file failed, for the operator; often empty
};

class TRegistry {
 public:
  TRegistry() = default;
  ~TRegistry();  // closes the key; a failed write-back is lost here, so call CloseKey first
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  platform::HKEY RootKey = platform::HKEY_CURRENT_USER;

  // Opens (or creates) a key under RootKey for full access; false when it cannot.
  bool OpenKey(const QString& path, bool canCreate);
  bool HasKey() const { return key_ != nullptr; }
  // Why the last OpenKey or CloseKey could not read or write the registry's file, in the
  // operator's words; empty when it did not fail on the file.
  const QString& Problem() const { return problem_; }
  // Closes the key, writing it back; throws when the write-back fails.
  void CloseKey();

  void WriteString(const QString& name, const QString& value);
  void WriteInteger(const QString& name, int32_t value);
  // A missing or empty value reads as the empty text; a value of another type throws.
  QString ReadString(const QString& name);
  // A missing value, or one that is not a 32-bit integer, throws.
  int32_t ReadInteger(const QString& name);

 private:
  void NoteProblem();

  platform::RegistryKeyPtr key_;
  QString problem_;
};

}  // namespace serial
