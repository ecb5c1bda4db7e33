#include "instruments/bevel.h"

#include "framework/canvas.h"
#include "framework/tcolor.h"

namespace instruments {

namespace {

using framework::ColorToQColor;
using framework::GdiFillRect;

// One ring: top and left in the first colour, then bottom and right in the second, which
// therefore own the top-right and bottom-left corner pixels.
void Ring(QPainter& canvas, int left, int top, int right, int bottom, const QColor& topLeft,
          const QColor& bottomRight) {
  if (right - left < 1 || bottom - top < 1) return;
  GdiFillRect(canvas, left, top, right, top + 1, topLeft);
  GdiFillRect(canvas, left, top, left + 1, bottom, topLeft);
  GdiFillRect(canvas, left, bottom - 1, right, bottom, bottomRight);
  GdiFillRect(canvas, right - 1, top, right, bottom, bottomRight);
}

}  // namespace

void DrawBevel(QPainter& canvas, int left, int top, int right, int bottom, BevelKind kind) {
  const QColor highlight = ColorToQColor(framework::clBtnHighlight);
  const QColor light = ColorToQColor(framework::cl3DLight);
  const QColor shadow = ColorToQColor(framework::clBtnShadow);
  const QColor darkShadow = ColorToQColor(framework::cl3DDkShadow);
  switch (kind) {
    case BevelKind::Flat:
      Ring(canvas, left, top, right, bottom, shadow, shadow);
      break;
    case BevelKind::Raised:
      // Outer ring light grey, inner ring white: the platform's raised edge.
      Ring(canvas, left, top, right, bottom, light, darkShadow);
      Ring(canvas, left + 1, top + 1, right - 1, bottom - 1, highlight, shadow);
      break;
    case BevelKind::Sunken:
      Ring(canvas, left, top, right, bottom, shadow, highlight);
      Ring(canvas, left + 1, top + 1, right - 1, bottom - 1, darkShadow, light);
      break;
  }
}

}  // namespace instruments
