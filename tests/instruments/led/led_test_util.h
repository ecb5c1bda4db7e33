// Rendering LEDs on a plain background and reading their pixels.
#pragma once

#include <QImage>

#include "framework/tcolor.h"
#include "instruments/led/ab_led.h"

namespace led_test {

// A background no lamp or caption uses.
inline const QColor Background(255, 0, 255);

inline QImage Render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(Background);
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

// The smallest rectangle holding every pixel of `area` that is not background.
inline QRect InkBounds(const QImage& image, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  QRect bounds;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y) != Background) bounds |= QRect(x, y, 1, 1);
  return bounds;
}

inline int CountColor(const QImage& image, const QRect& area, const QColor& color) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) count += image.pixelColor(x, y) == color;
  return count;
}

inline QRect PixelsOf(const instruments::TLampRect& r) {
  return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1));
}

// A colour as an image holds it: eight bits a channel.
inline QColor Rgb(framework::TColor color) {
  return QColor(framework::ColorToQColor(color).rgb());
}

}  // namespace led_test
