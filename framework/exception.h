// The one exception base of the program: a message text. Everything our code throws derives
// from it; the guard shows its message.
#pragma once

#include <QString>

#include <exception>
#include <string>

namespace framework {

class Exception : public std::exception {
 public:
  explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
  const QString& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  QString message_;
  std::string utf8_;
};

// Copying a settings object from an object of another class.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace framework
