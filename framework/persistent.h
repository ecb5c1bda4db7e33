// The persistent base of settings objects: copying from another object of the same class.
#pragma once

#include "framework/exception.h"

namespace framework {

class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const = 0;
  // Copies every field from source; a source of another class is an assignment error.
  virtual void Assign(const TPersistent& source) = 0;

 protected:
  [[noreturn]] void AssignError(const TPersistent& source) const {
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2.")
                            .arg(QString::fromLatin1(source.ClassName()),
                                 QString::fromLatin1(ClassName())));
  }
};

}  // namespace framework
