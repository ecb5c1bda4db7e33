#include "shapes.h"

#include <QPainter>
#include <algorithm>

namespace artwork {

QColor Mix(const QColor& a, const QColor& b, int n, int d) {
  if (d <= 0) return a;
  auto mix = [&](int x, int y) { return x + (y - x) * n / d; };
  return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

bool InRoundRect(int x, int y, const QRect& r, int radius) {
  // Work in doubled coordinates so that pixel centres are whole numbers.
  const int px = 2 * x + 1, py = 2 * y + 1;
  const int l = 2 * r.left(), t = 2 * r.top(), rr = 2 * (r.right() + 1), b = 2 * (r.bottom() + 1);
  if (px < l || px > rr || py < t || py > b) return false;
  const int rad = 2 * radius;
  const int cx = std::clamp(px, l + rad, rr - rad);
  const int cy = std::clamp(py, t + rad, b - rad);
  return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= rad * rad;
}

RowColor Gradient(const QColor& top, const QColor& bottom) {
  return [=](int y, int h) { return Mix(top, bottom, y, std::max(1, h - 1)); };
}

RowColor SplitGradient(int split, const QColor& a0, const QColor& a1, const QColor& b0,
                       const QColor& b1) {
  return [=](int y, int h) {
    if (y < split) return Mix(a0, a1, y, std::max(1, split - 1));
    return Mix(b0, b1, y - split, std::max(1, h - split - 1));
  };
}

void PaintBody(QImage& image, const QRect& r, const BodyStyle& style) {
  auto inside = [&](int x, int y) { return InRoundRect(x, y, r, style.Radius); };
  auto edge = [&](int x, int y) {
    return !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
  };
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      if (!inside(x, y)) continue;
      QColor c = style.Fill(y - r.top(), r.height());
      if (edge(x, y)) {
        c = style.Border;
      } else if (style.InnerTop.isValid() &&
                 (edge(x - 1, y) || edge(x + 1, y) || edge(x, y - 1) || edge(x, y + 1))) {
        c = (y - r.top()) * 2 < r.height() ? style.InnerTop : style.InnerBottom;
      }
      image.setPixel(x, y, c.rgb());
    }
}

QImage JoinFrames(const QImage& a, const QImage& b, const QImage& c) {
  QImage joined(a.width() * 3, a.height(), QImage::Format_RGB32);
  QPainter painter(&joined);
  painter.drawImage(0, 0, a);
  painter.drawImage(a.width(), 0, b);
  painter.drawImage(2 * a.width(), 0, c);
  return joined;
}

}  // namespace artwork
