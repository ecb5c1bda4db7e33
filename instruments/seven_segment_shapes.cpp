// The shapes of a seven-segment cell: the seven segment polygons and the special shapes.
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/canvas.h"
#include "instruments/seven_segment_character.h"

namespace instruments {

namespace {

// Larger cells are drawn directly: the kept glyphs stay a few megabytes at most.
constexpr int kMaxGlyph = 256;

int GlyphPad(int segmentSize) {
  return segmentSize + 2;
}

// Rounding to the nearest integer, halves to even.
int Round(double value) {
  return int(std::nearbyint(value));
}

QPolygon Rect(int x1, int y1, int x2, int y2) {
  return QPolygon({QPoint(x1, y1), QPoint(x2, y1), QPoint(x2, y2), QPoint(x1, y2)});
}

// The pixels of the line from a up to, but not including, b (Bresenham, as the platform).
void AppendLine(QPolygon& points, QPoint a, QPoint b) {
  const int dx = std::abs(b.x() - a.x());
  const int dy = std::abs(b.y() - a.y());
  const int sx = a.x() < b.x() ? 1 : -1;
  const int sy = a.y() < b.y() ? 1 : -1;
  int error = dx - dy;
  QPoint p = a;
  while (p != b) {
    points << p;
    const int twice = 2 * error;
    if (twice > -dy) {
      error -= dy;
      p.rx() += sx;
    }
    if (twice < dx) {
      error += dx;
      p.ry() += sy;
    }
  }
}

// A filled polygon outlined in its own colour. Qt's own outline leaves out some vertices, the
// platform's closed outline has every one, so the outline is drawn point by point.
void Fill(QPainter& canvas, QPolygon polygon, QPoint origin, const QColor& color) {
  polygon.translate(origin);
  canvas.setPen(Qt::NoPen);
  canvas.setBrush(color);
  canvas.drawPolygon(polygon);
  QPolygon outline;
  for (qsizetype i = 0; i < polygon.size(); ++i)
    AppendLine(outline, polygon[i], polygon[(i + 1) % polygon.size()]);
  if (polygon.size() == 1) outline << polygon[0];
  canvas.setPen(QPen(color, 0));
  canvas.drawPoints(outline);
}

// Segment A .. G (0 .. 6) of a W x H cell.
QPolygon SegmentPolygon(int segment, int W, int H, int M, int S, int P) {
  const int h = (H - 1) / 2;
  switch (segment) {
    case 0:
      return QPolygon({{M + P, M},
                       {W - M - P - 1, M},
                       {W - M - P - 2 * S - 1, M + 2 * S},
                       {M + P + 2 * S, M + 2 * S}});
    case 1:
      return QPolygon({{W - M - 1, M + P},
                       {W - M - 1, h - P},
                       {W - M - 2 * S - 1, h - P - 2 * S},
                       {W - M - 2 * S - 1, M + P + 2 * S}});
    case 2:
      return QPolygon({{W - M - 1, h + P},
                       {W - M - 1, H - M - P - 1},
                       {W - M - 2 * S - 1, H - M - P - 2 * S - 1},
                       {W - M - 2 * S - 1, h + P + 2 * S}});
    case 3:
      return QPolygon({{M + P, H - M - 1},
                       {W - M - P - 1, H - M - 1},
                       {W - M - P - 2 * S - 1, H - M - 2 * S - 1},
                       {M + P + 2 * S, H - M - 2 * S - 1}});
    case 4:
      return QPolygon({{M, h + P},
                       {M, H - M - P - 1},
                       {M + 2 * S, H - M - P - 2 * S - 1},
                       {M + 2 * S, h + P + 2 * S}});
    case 5:
      return QPolygon(
          {{M, M + P}, {M, h - P}, {M + 2 * S, h - P - 2 * S}, {M + 2 * S, M + P + 2 * S}});
    default:
      return QPolygon({{M + P, h},
                       {M + P + S, h - S},
                       {W - M - P - S - 1, h - S},
                       {W - M - P - 1, h},
                       {W - M - P - S - 1, h + S},
                       {M + P + S, h + S}});
  }
}

QPolygon PlusBar(int W, int H, int S) {
  return Rect(Round(2.5 * W / 10), Round(4.5 * H / 18 - S / 2.0), Round(7.5 * W / 10),
              Round(4.5 * H / 18 + S / 2.0));
}

QPolygon PlusStem(int W, int H, int S) {
  return Rect(Round(W / 2.0 - S / 2.0), Round(2.0 * H / 18), Round(W / 2.0 + S / 2.0),
              Round(7.0 * H / 18));
}

QPolygon MinusBar(int W, int H, int S) {
  return Rect(Round(2.5 * W / 10), Round(13.5 * H / 18 - S / 2.0), Round(7.5 * W / 10),
              Round(13.5 * H / 18 + S / 2.0));
}

}  // namespace

void TiSevenSegmentCharacter::DrawShapes(QPainter& canvas, QPoint origin, int W, int H,
                                         TSevenSegmentCharacter type, const QColor& on,
                                         const QColor& off) const {
  if (UseSegmentBits()) {
    DrawSegments(canvas, origin, W, H, SegmentBits(), on, off);
  } else if (type <= sscF || type == sscBlank) {
    DrawSegments(canvas, origin, W, H, SegmentsOf(type), on, off);
  } else {
    DrawSpecial(canvas, origin, W, H, type, on, off);
  }
}

const QImage& TiSevenSegmentCharacter::Glyph(int W, int H, TSevenSegmentCharacter type,
                                             const QColor& on, const QColor& off) {
  const GlyphParameters parameters{
      W,        H,         SegmentMargin(),   SegmentSize(),    SegmentSeperation(),
      on.rgb(), off.rgb(), ShowOffSegments(), UseSegmentBits(), SegmentBits()};
  if (!(parameters == glyphParameters_)) {
    glyphParameters_ = parameters;
    glyphs_.fill(QImage());
  }
  QImage& glyph = glyphs_[std::clamp(int(type), 0, int(sscComma))];
  if (!glyph.isNull()) return glyph;
  // Some shapes reach a pixel or two past the cell (the period's foot): room on every side.
  const int pad = GlyphPad(SegmentSize());
  glyph = QImage(W + 2 * pad, H + 2 * pad, QImage::Format_ARGB32_Premultiplied);
  glyph.fill(Qt::transparent);
  QPainter painter(&glyph);
  framework::BeginGdiPainting(painter);
  DrawShapes(painter, QPoint(pad, pad), W, H, type, on, off);
  return glyph;
}

void TiSevenSegmentCharacter::DrawCharacter(QPainter& canvas, QPoint origin, int W, int H,
                                            TSevenSegmentCharacter type) {
  const QColor on = framework::ColorToQColor(OnColor());
  const QColor off = framework::ColorToQColor(OffColor());
  if (W <= 0 || H <= 0 || W > kMaxGlyph || H > kMaxGlyph) {
    DrawShapes(canvas, origin, W, H, type, on, off);
    return;
  }
  const int pad = GlyphPad(SegmentSize());
  canvas.drawImage(origin - QPoint(pad, pad), Glyph(W, H, type, on, off));
}

void TiSevenSegmentCharacter::DrawSegments(QPainter& canvas, QPoint origin, int W, int H, int lit,
                                           const QColor& on, const QColor& off) const {
  for (int segment = 0; segment < 7; ++segment) {
    const bool isLit = lit & (1 << segment);
    if (!isLit && !ShowOffSegments()) continue;
    const QPolygon polygon =
        SegmentPolygon(segment, W, H, SegmentMargin(), SegmentSize(), SegmentSeperation());
    Fill(canvas, polygon, origin, isLit ? on : off);
  }
}

void TiSevenSegmentCharacter::DrawSpecial(QPainter& canvas, QPoint origin, int W, int H,
                                          TSevenSegmentCharacter type, const QColor& on,
                                          const QColor& off) const {
  const int S = SegmentSize();
  const int M = SegmentMargin();
  const int c = W / 2;
  auto r = [H](int k) { return Round(double(k) * H / 18); };
  const QPolygon upperDot = Rect(c - S, r(5), c + S, r(7));
  const QPolygon lowerDot = Rect(c - S, r(11), c + S, r(13));
  const QPolygon tail = Rect(c, r(13), c + S, r(16));
  const int m = H / 2;
  const int cx = (W - 1) / 2;
  const int hw = (W - 1 - 2 * M) / 2;
  switch (type) {
    case sscPeriod:
      Fill(canvas, Rect(c - S, H - 2 * S, c + S, H), origin, on);
      break;
    case sscColon:
      Fill(canvas, upperDot, origin, on);
      Fill(canvas, lowerDot, origin, on);
      break;
    case sscSemiColon:
      Fill(canvas, upperDot, origin, on);
      Fill(canvas, lowerDot, origin, on);
      Fill(canvas, tail, origin, on);
      break;
    case sscComma:
      Fill(canvas, lowerDot, origin, on);
      Fill(canvas, tail, origin, on);
      break;
    case sscPlus:
      Fill(canvas, PlusBar(W, H, S), origin, on);
      Fill(canvas, PlusStem(W, H, S), origin, on);
      if (ShowOffSegments()) Fill(canvas, MinusBar(W, H, S), origin, off);
      break;
    case sscMinus:
      Fill(canvas, MinusBar(W, H, S), origin, on);
      if (ShowOffSegments()) {
        Fill(canvas, PlusBar(W, H, S), origin, off);
        Fill(canvas, PlusStem(W, H, S), origin, off);
      }
      break;
    case sscLine: {
      const int h = (H - 1) / 2;
      Fill(canvas, Rect(M, h - S / 2, W - M - 1, h + S / 2), origin, on);
      break;
    }
    case sscUpArrow:
      Fill(canvas, QPolygon({{cx + hw, m}, {cx - hw, m}, {cx, std::max(M, m - hw)}}), origin, on);
      break;
    case sscDownArrow:
      Fill(canvas, QPolygon({{cx + hw, m}, {cx - hw, m}, {cx, std::min(m + hw, H - M - 1)}}),
           origin, on);
      break;
    default:
      break;
  }
}

}  // namespace instruments
