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
  if (from == to) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(color, 0));
  // Step back one pixel along the major axis so the end point stays out.
  const int dx = to.x() - from.x();
  const int dy = to.y() - from.y();
  QPoint end = to;
  if (std::abs(dx) >= std::abs(dy))
    end.rx() -= dx > 0 ? 1 : -1;
  else
    end.ry() -= dy > 0 ? 1 : -1;
  if (std::abs(dx) >= std::abs(dy) && dy != 0) end.ry() = from.y() + dy * (end.x() - from.x()) / dx;
  if (std::abs(dy) > std::abs(dx) && dx != 0) end.rx() = from.x() + dx * (end.y() - from.y()) / dy;
  painter.drawLine(from, end);
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
