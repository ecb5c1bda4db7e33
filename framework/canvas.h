// Drawing with the pixel rules of the original platform. Coordinates are given as there:
// a rectangle (left, top, right, bottom) excludes its right column and bottom row, a line
// excludes its end point, a filled polygon is outlined in its own colour. Painting is aliased.
// QPainter's integer rectangles include their right and bottom edge; this is the one place
// that converts.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QPolygon>
#include <QRect>

namespace framework {

// The QRect covering exactly the pixels of the rectangle (left, top, right, bottom).
inline QRect GdiRect(int left, int top, int right, int bottom) {
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// A painter set up for these rules: no antialiasing.
void BeginGdiPainting(QPainter& painter);

// Fills the rectangle without an outline.
void GdiFillRect(QPainter& painter, const QRect& gdiPixels, const QColor& color);
void GdiFillRect(QPainter& painter, int left, int top, int right, int bottom, const QColor& color);

// The pen's one-pixel outline on the rectangle's outermost pixels, the brush inside
// (Qt::NoBrush for an outline only).
void GdiRectangle(QPainter& painter, int left, int top, int right, int bottom, const QColor& pen,
                  const QBrush& brush);

// A one-pixel line from `from` up to, but not including, `to`.
void GdiLine(QPainter& painter, QPoint from, QPoint to, const QColor& color);

// An ellipse inscribed in the rectangle, outlined with pen and filled with brush.
void GdiEllipse(QPainter& painter, int left, int top, int right, int bottom, const QColor& pen,
                const QBrush& brush);

}  // namespace framework
