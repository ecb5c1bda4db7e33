// Every entry from Qt into our code (event overrides, slots, timer ticks, queued calls) runs
// through Guard: an exception that escapes ends that handler and its message is shown in a
// message box, the application-wide exception report. Nothing is thrown through Qt.
#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace framework {

// Shows an exception's message (the report). Tests replace the message box by their own sink.
void ShowException(const std::exception& e);
void ShowExceptionMessage(const QString& message);

using ExceptionReporter = std::function<void(const QString& message)>;
// Installs a reporter and returns the previous one; an empty one restores the message box.
ExceptionReporter SetExceptionReporter(ExceptionReporter reporter);

// A plain message box of the program's own (not an error report); tests see it through the
// reporter as well.
void ShowMessage(const QString& text);

// The message of any exception, for the report.
QString ExceptionMessage(const std::exception_ptr& error);

// Runs fn; an escaping exception is reported and swallowed. Returns false when one escaped.
template <typename Fn>
bool Guard(Fn&& fn) noexcept {
  try {
    fn();
    return true;
  } catch (...) {
    ShowExceptionMessage(ExceptionMessage(std::current_exception()));
    return false;
  }
}

}  // namespace framework
