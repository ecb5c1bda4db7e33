// Helpers of the skin tests: a shown, active form to host controls, and pixel access.
#pragma once

#include <QApplication>
#include <QImage>
#include <QSet>
#include <QWidget>
#include <memory>

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

// The pixels of exactly that colour in the area (the whole image when empty).
inline QSet<QPoint> PixelsOf(const QImage& image, const QColor& color, QRect area = {}) {
  if (area.isEmpty()) area = image.rect();
  QSet<QPoint> found;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (QColor(image.pixel(x, y)) == color) found << QPoint(x, y);
  return found;
}

}  // namespace skin_test
