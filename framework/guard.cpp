#include "framework/guard.h"

#include "framework/exception.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <mutex>

namespace framework {

namespace {
std::mutex reporterLock;
ExceptionReporter& Reporter() {
  static ExceptionReporter reporter;
  return reporter;
}

// A copy, so that a reporter may replace itself while it runs.
ExceptionReporter CurrentReporter() {
  std::lock_guard<std::mutex> guard(reporterLock);
  return Reporter();
}

void ShowMessageBox(const QString& message) {
  QWidget* owner = QApplication::activeWindow();
  QMessageBox::critical(owner, QCoreApplication::applicationName(), message);
}
}  // namespace

ExceptionReporter SetExceptionReporter(ExceptionReporter reporter) {
  std::lock_guard<std::mutex> guard(reporterLock);
  ExceptionReporter previous = std::move(Reporter());
  Reporter() = std::move(reporter);
  return previous;
}

QString ExceptionMessage(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QStringLiteral("Unknown exception");
  }
}

void ShowMessage(const QString& text) {
  const ExceptionReporter reporter = CurrentReporter();
  if (reporter) {
    reporter(text);
    return;
  }
  QMessageBox::information(QApplication::activeWindow(), QCoreApplication::applicationName(), text);
}

void ShowException(const std::exception& e) {
  if (auto ours = dynamic_cast<const Exception*>(&e))
    ShowExceptionMessage(ours->Message());
  else
    ShowExceptionMessage(QString::fromUtf8(e.what()));
}

void ShowExceptionMessage(const QString& message) {
  const ExceptionReporter reporter = CurrentReporter();
  try {
    if (reporter)
      reporter(message);
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()))
      ShowMessageBox(message);
    else
      qWarning("%s", qPrintable(message));
  } catch (...) {
    // The report itself must never throw back into Qt.
  }
}

}  // namespace framework
