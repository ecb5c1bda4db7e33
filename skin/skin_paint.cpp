#include "skin/skin_paint.h"

#include <QWidget>
#include <algorithm>

namespace skin {

void PaintParentBackground(QPainter& canvas, QWidget* control) {
  QWidget* parent = control ? control->parentWidget() : nullptr;
  if (!parent) return;
  canvas.save();
  canvas.translate(-control->x(), -control->y());
  canvas.setClipRect(parent->rect(), Qt::IntersectClip);
  // Only the parent itself: its other children are separate windows in the original.
  parent->render(&canvas, QPoint(), QRegion(parent->rect()), QWidget::DrawWindowBackground);
  canvas.restore();
}

void TilePicture(QPainter& canvas, const QImage& picture, const QRect& rect) {
  const int pw = picture.width();
  const int ph = picture.height();
  // An empty picture has no step to advance by.
  if (pw <= 0 || ph <= 0) return;
  for (int x = 0; x < pw + rect.width(); x += pw)
    for (int y = 0; y < ph + rect.height(); y += ph) canvas.drawImage(x, y, picture);
}

QImage KeyedImage(const QImage& image, QRgb key) {
  QImage result = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < result.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
  }
  return result;
}

QImage GreyedImage(const QImage& image, QRgb key) {
  QImage result = KeyedImage(image, key);
  for (int y = 0; y < result.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x) {
      if (qAlpha(line[x]) == 0) continue;
      // Light greys keep the shape readable without its colours.
      const int grey = 128 + qGray(line[x]) / 2;
      line[x] = qRgb(grey, grey, grey);
    }
  }
  return result;
}

void StretchPiece(QPainter& canvas, const QImage& image, const Box& source, const Box& target,
                  bool keyed) {
  if (source.Empty() || target.Empty() || image.isNull()) return;
  const QImage src = image.convertToFormat(QImage::Format_RGB32);
  QImage piece(target.Width(), target.Height(), QImage::Format_ARGB32);
  for (int y = 0; y < piece.height(); ++y) {
    const int sy =
        std::clamp(source.Top + y * source.Height() / target.Height(), 0, src.height() - 1);
    const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
    QRgb* out = reinterpret_cast<QRgb*>(piece.scanLine(y));
    for (int x = 0; x < piece.width(); ++x) {
      const int sx =
          std::clamp(source.Left + x * source.Width() / target.Width(), 0, src.width() - 1);
      const QRgb pixel = in[sx] | 0xFF000000u;
      out[x] = keyed && (pixel & 0xFFFFFF) == (MagentaKey & 0xFFFFFF) ? 0 : pixel;
    }
  }
  canvas.drawImage(target.Left, target.Top, piece);
}

namespace {

int Clip(int sourceSize, int quadrantSize) {
  return std::max(0, std::min(sourceSize, quadrantSize));
}

}  // namespace

std::vector<SlicePiece> NineSlicePieces(int sw, int sh, int W, int H) {
  const int hw = sw / 2, hh = sh / 2, dw = W / 2, dh = H / 2;
  std::vector<SlicePiece> pieces;
  // Corners keep the columns and rows on their own side when the quadrant is smaller.
  int w = Clip(hw, dw), h = Clip(hh, dh);
  const Box tl{0, 0, w, h};
  pieces.push_back({{0, 0, w, h}, tl, true});
  w = Clip(hw, dw), h = Clip(hh - 1, dh - 1);
  const Box bl{0, H - h, w, H};
  pieces.push_back({{0, sh - h, w, sh}, bl, true});
  Box source{0, hh, hw, sh - hh};
  Box target{0, tl.Bottom, tl.Right, bl.Top};
  if (target.Width() < source.Width()) source.Right = source.Left + target.Width();
  pieces.push_back({source, target, false});

  w = Clip(hw - 1, dw - 1), h = Clip(hh, dh);
  const Box tr{W - w, 0, W, h};
  pieces.push_back({{sw - w, 0, sw, h}, tr, true});
  w = Clip(hw - 1, dw - 1), h = Clip(hh - 1, dh - 1);
  const Box br{W - w, H - h, W, H};
  pieces.push_back({{sw - w, sh - h, sw, sh}, br, true});
  source = {sw - hw + 1, sh - hh, sw, hh + 2};
  target = {tr.Left, tr.Bottom, tr.Right, br.Top};
  if (target.Width() < source.Width()) source.Left = source.Right - target.Width();
  pieces.push_back({source, target, false});

  source = {hw, 0, sw - hw + 1, hh};
  target = {tl.Right, 0, tr.Left, tl.Bottom};
  if (target.Height() < source.Height()) source.Bottom = source.Top + target.Height();
  pieces.push_back({source, target, false});
  pieces.push_back(
      {{hw, hh, sw - hw + 1, sh - hh}, {tl.Right, tl.Bottom, tr.Left, br.Top - 1}, false});
  source = {hw, sh - hh, sw - hw + 1, sh};
  target = {tl.Right - 1, bl.Top - 1, br.Left, br.Bottom};
  if (target.Height() < source.Height()) source.Top = source.Bottom - target.Height();
  pieces.push_back({source, target, false});
  return pieces;
}

void DrawNineSlice(QPainter& canvas, const QImage& skin, int width, int height,
                   bool skinTransparent) {
  for (const SlicePiece& piece : NineSlicePieces(skin.width(), skin.height(), width, height))
    StretchPiece(canvas, skin, piece.Source, piece.Target, piece.Corner ? skinTransparent : true);
}

}  // namespace skin
