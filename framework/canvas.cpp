#include "framework/canvas.h"

#include <cstdlib>

namespace framework {

void BeginGdiPainting(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
}

void GdiFillRect(QPainter& painter, const QRect& gdiPixels, const QColor& color) {
  if (gdiPixels.isEmpty()) return;
  painter.fillRect(gdiPixels, color);
}

void GdiFillRect(QPainter& painter, int left, int top, int right, int bottom, const QColor& color) {
  if (right <= left || bottom <= top) return;
  painter.fillRect(GdiRect(left, top, right, bottom), color);
}

void GdiRectangle(QPainter& painter, int left, int top, int right, int bottom, const QColor& pen,
                  const QBrush& brush) {
  if (right <= left || bottom <= top) return;
  if (brush.style() != Qt::NoBrush && right - left > 2 && bottom - top > 2)
    painter.fillRect(GdiRect(left + 1, top + 1, right - 1, bottom - 1), brush);
  painter.fillRect(GdiRect(left, top, right, top + 1), pen);
  painter.fillRect(GdiRect(left, bottom - 1, right, bottom), pen);
  painter.fillRect(GdiRect(left, top, left + 1, bottom), pen);
  painter.fillRect(GdiRect(right - 1, top, right, bottom), pen);
}

void GdiLine(QPainter& painter, QPoint from, QPoint to, const QColor& color) {
  // The line's own pixels (Bresenham), all but the end point: the exact pixels of the
  // original platform, which a shortened Qt line would not give on a slope.
  const int dx = std::abs(to.x() - from.x());
  const int dy = -std::abs(to.y() - from.y());
  const int sx = from.x() < to.x() ? 1 : -1;
  const int sy = from.y() < to.y() ? 1 : -1;
  int err = dx + dy;
  QPolygon pixels;
  for (QPoint p = from; p != to;) {
    pixels << p;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      p.rx() += sx;
    }
    if (e2 <= dx) {
      err += dx;
      p.ry() += sy;
    }
  }
  if (pixels.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(color, 1));
  painter.drawPoints(pixels);
  painter.restore();
}

void GdiEllipse(QPainter& painter, int left, int top, int right, int bottom, const QColor& pen,
                const QBrush& brush) {
  if (right <= left || bottom <= top) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(pen, 0));
  painter.setBrush(brush);
  painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
  painter.restore();
}

}  // namespace framework
