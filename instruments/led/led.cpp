#include "instruments/led/led.h"

#include <QPainter>
#include <QPolygon>

#include "framework/canvas.h"

namespace instruments {

using framework::ColorToQColor;

void TLED::Assign(const framework::TPersistent& source) {
  auto* other = dynamic_cast<const TLED*>(&source);
  if (!other) AssignError(source);
  SetShape(other->shape_);
  SetColorOn(other->colorOn_);
  SetColorOff(other->colorOff_);
  SetWidth(other->width_);
  SetHeight(other->height_);
}

void TLED::SetShape(TLEDShape value) {
  if (value == shape_) return;
  shape_ = value;
  Changed();
}

void TLED::SetColorOn(framework::TColor value) {
  if (value == colorOn_) return;
  colorOn_ = value;
  Changed();
}

void TLED::SetColorOff(framework::TColor value) {
  if (value == colorOff_) return;
  colorOff_ = value;
  Changed();
}

void TLED::SetWidth(int value) {
  if (value == width_ || value < MinSize || value > MaxSize) return;
  width_ = value;
  Changed();
}

void TLED::SetHeight(int value) {
  if (value == height_ || value < MinSize || value > MaxSize) return;
  height_ = value;
  Changed();
}

namespace {

// A triangle as the original draws it: the inside filled with the brush, then each edge with
// the one-pixel pen; an edge leaves out its end point, which the next edge starts from.
void DrawTriangle(QPainter& painter, QPoint a, QPoint b, QPoint c, const QColor& pen,
                  const QColor& fill) {
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawPolygon(QPolygon({a, b, c}));
  painter.restore();
  framework::GdiLine(painter, a, b, pen);
  framework::GdiLine(painter, b, c, pen);
  framework::GdiLine(painter, c, a, pen);
}

}  // namespace

void TLED::Draw(QPainter& painter, bool on) const {
  const auto [L, T, R, B] = rect_;
  if (R <= L || B <= T) return;
  const int hw = (R - L) / 2;
  const int hh = (B - T) / 2;
  const QColor pen = ColorToQColor(framework::clBtnShadow);
  const QColor fill = ColorToQColor(on ? colorOn_ : colorOff_);
  switch (shape_) {
    case sRound:
      framework::GdiEllipse(painter, L, T, R, B, pen, fill);
      DrawHighlight(painter);
      break;
    case sArrowLeft:
      DrawTriangle(painter, {L, T + hh}, {R - 1, T}, {R - 1, B - 1}, pen, fill);
      break;
    case sArrowRight:
      DrawTriangle(painter, {L, T}, {R - 1, T + hh}, {L, B - 1}, pen, fill);
      break;
    case sArrowUp:
      DrawTriangle(painter, {L + hw, T}, {R - 1, B - 1}, {L, B - 1}, pen, fill);
      break;
    case sArrowDown:
      DrawTriangle(painter, {L, T}, {R - 1, T}, {L + hw, B - 1}, pen, fill);
      break;
    case sRectangle:
      // A rounded rectangle with a 1 x 1 corner ellipse has square corners.
      framework::GdiRectangle(painter, L, T, R, B, pen, fill);
      break;
  }
}

// The glint of a round lamp: a quarter arc in the upper left, inset by a fifth of the size.
void TLED::DrawHighlight(QPainter& painter) const {
  const int size = rect_.Right - rect_.Left;
  const int inset = size / 5;
  const int left = rect_.Left + inset;
  const int top = rect_.Top + inset;
  const int right = rect_.Right - inset;
  const int bottom = rect_.Bottom - inset;
  if (right - left < 2 || bottom - top < 2) return;
  painter.save();
  QPen pen(ColorToQColor(framework::clBtnHighlight), size / 8);
  pen.setCapStyle(Qt::FlatCap);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  // From the top radial counter-clockwise to the left one (Qt counts degrees counter-clockwise
  // from three o'clock, in sixteenths).
  painter.drawArc(QRect(left, top, right - left - 1, bottom - top - 1), 90 * 16, 90 * 16);
  painter.restore();
}

}  // namespace instruments
