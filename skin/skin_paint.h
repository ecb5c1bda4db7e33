// Painting shared by the skinned controls: the parent's image behind a control, picture
// tiling, colour-keyed images, and the nine-slice drawing of a button skin.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <vector>

class QWidget;

namespace skin {

// The skins' transparency colour.
inline constexpr QRgb MagentaKey = qRgb(255, 0, 255);

// Paints what lies behind the control (its parent's background and painting, without the
// parent's other children) into the canvas, whose (0, 0) is the control's top-left pixel.
void PaintParentBackground(QPainter& canvas, QWidget* control);

// Draws the picture at every multiple of its size from (0, 0) that reaches into the rectangle.
void TilePicture(QPainter& canvas, const QImage& picture, const QRect& rect);

// A copy in which pixels of the key colour are fully transparent.
QImage KeyedImage(const QImage& image, QRgb key);

// A copy drawn greyed (disabled look); pixels of the key colour become transparent.
QImage GreyedImage(const QImage& image, QRgb key);

// A rectangle as the description gives them: right and bottom excluded.
struct Box {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  bool operator==(const Box&) const = default;
};

// One piece of the nine-slice drawing: a corner is copied unscaled, masked only when the skin is
// transparent; an edge or the centre is scaled and always keyed on magenta.
struct SlicePiece {
  Box Source;
  Box Target;
  bool Corner = false;
};

// The pieces in drawing order: top-left, bottom-left, left edge, top-right, bottom-right, right
// edge, top edge, centre, bottom edge.
std::vector<SlicePiece> NineSlicePieces(int skinWidth, int skinHeight, int width, int height);

// Draws the skin frame over (0, 0, width, height).
void DrawNineSlice(QPainter& canvas, const QImage& skin, int width, int height,
                   bool skinTransparent);

// Copies the source rectangle of the image scaled to the target by nearest pixels; with keyed,
// magenta pixels are left out. Empty rectangles draw nothing.
void StretchPiece(QPainter& canvas, const QImage& image, const Box& source, const Box& target,
                  bool keyed);

}  // namespace skin
