// Helpers of the skin tests: a shown, active form to host controls, pixel access, and a sink
// for exception reports.
#pragma once

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <memory>

#include "framework/guard.h"
#include "framework/tcolor.h"

namespace skin_test {

// A top-level form with a plain background, shown and active so that focus and keys work.
class Form {
 public:
  explicit Form(QColor background = QColor(200, 100, 50)) : widget_(std::make_unique<QWidget>()) {
    QPalette p = widget_->palette();
    p.setColor(QPalette::Window, background);
    widget_->setPalette(p);
    widget_->setAutoFillBackground(true);
    widget_->resize(500, 320);
  }
  QWidget* get() const { return widget_.get(); }
  QWidget* operator->() const { return widget_.get(); }
  // Shows the form and waits until it is the active window.
  bool ShowActive();

 private:
  std::unique_ptr<QWidget> widget_;
};

inline QImage Grab(QWidget* widget) {
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor Pixel(const QImage& image, int x, int y) {
  return QColor(image.pixel(x, y));
}

struct ReportSink {
  QStringList messages;
  framework::ExceptionReporter previous;
  ReportSink() {
    previous = framework::SetExceptionReporter([this](const QString& m) { messages << m; });
  }
  ~ReportSink() { framework::SetExceptionReporter(previous); }
};

}  // namespace skin_test
