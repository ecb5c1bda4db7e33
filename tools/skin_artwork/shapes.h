// Aliased drawing helpers for the skin artwork: rounded bodies filled row by row, rings along
// their outline, and colour arithmetic in whole numbers so that every run draws the same pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <functional>

namespace artwork {

inline constexpr QRgb Magenta = 0xFFFF00FF;

QColor Mix(const QColor& a, const QColor& b, int numerator, int denominator);

// True when the pixel centre lies inside the rectangle with corners rounded by radius.
bool InRoundRect(int x, int y, const QRect& r, int radius);

// The colour of row y (0 = the body's top row) of a body h rows high.
using RowColor = std::function<QColor(int y, int h)>;

// A vertical blend from top to bottom.
RowColor Gradient(const QColor& top, const QColor& bottom);
// Two blends: rows above split and rows from split on.
RowColor SplitGradient(int split, const QColor& a0, const QColor& a1, const QColor& b0,
                       const QColor& b1);

struct BodyStyle {
  int Radius = 0;
  RowColor Fill;
  QColor Border;
  // Drawn on the ring just inside the border when valid: the top half and the bottom half.
  QColor InnerTop;
  QColor InnerBottom;
};

// Fills the rounded body inside r on the image (other pixels untouched).
void PaintBody(QImage& image, const QRect& r, const BodyStyle& style);

// Places frames side by side.
QImage JoinFrames(const QImage& a, const QImage& b, const QImage& c);

}  // namespace artwork
