// Rendering LEDs into images and reading their pixels.
#pragma once

#include "instruments/led/ab_led.h"

#include <QImage>
#include <QRect>
#include <QWidget>

namespace led_test {

// A background no lamp or caption colour uses.
inline const QColor Background(255, 0, 255);

// The control as painted on a plain background (the LED itself has none).
inline QImage Render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(Background);
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

inline QColor Pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// The smallest rectangle holding every pixel inside `area` that differs from the background.
inline QRect InkBounds(const QImage& image, const QRect& area) {
  QRect bounds;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y) != Background) bounds |= QRect(x, y, 1, 1);
  return bounds;
}

inline int CountColor(const QImage& image, const QRect& area, const QColor& color) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y) == color) ++count;
  return count;
}

inline QRect PixelsOf(const instruments::TLampRect& r) {
  return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1));
}

}  // namespace led_test
