#include <gtest/gtest.h>

#include <QPainter>
#include <functional>

#include "skin/skin_paint.h"

using namespace skin;

namespace {

// A skin whose every pixel names its own column (red) and row (green).
QImage CodedSkin(int w, int h) {
  QImage skin(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) skin.setPixel(x, y, qRgb(x, y, 7));
  return skin;
}

QImage Draw(const QImage& skin, int w, int h) {
  QImage canvas(w, h, QImage::Format_RGB32);
  canvas.fill(qRgb(0, 0, 99));
  QPainter painter(&canvas);
  DrawNineSlice(painter, skin, w, h, true);
  return canvas;
}

// The source pixel that landed at (x, y).
QPoint SourceAt(const QImage& canvas, int x, int y) {
  const QRgb p = canvas.pixel(x, y);
  return qBlue(p) == 7 ? QPoint(qRed(p), qGreen(p)) : QPoint(-1, -1);
}

std::vector<Box> Targets(int sw, int sh, int w, int h) {
  std::vector<Box> boxes;
  for (const SlicePiece& piece : NineSlicePieces(sw, sh, w, h)) boxes.push_back(piece.Target);
  return boxes;
}

}  // namespace

TEST(NineSlice, BlueGlassFrameOnTheMainWindowsButtons) {
  const auto t = Targets(77, 27, 97, 41);
  EXPECT_EQ(t[0], (Box{0, 0, 38, 13}));    // top-left
  EXPECT_EQ(t[1], (Box{0, 29, 38, 41}));   // bottom-left
  EXPECT_EQ(t[3], (Box{60, 0, 97, 13}));   // top-right
  EXPECT_EQ(t[4], (Box{60, 29, 97, 41}));  // bottom-right
  EXPECT_EQ(t[7], (Box{38, 13, 60, 28}));  // centre
  EXPECT_EQ(t[8], (Box{37, 28, 60, 41}));  // bottom edge

  const QImage canvas = Draw(CodedSkin(77, 27), 97, 41);
  std::function<QPoint(int, int)> expected = [](int x, int y) -> QPoint {
    // Later pieces cover earlier ones: the bottom edge is drawn last.
    if (x >= 37 && x < 60 && y >= 28) return {38 + (x - 37) * 2 / 23, 14 + (y - 28)};
    if (x < 38 && y < 13) return {x, y};
    if (x < 38 && y >= 29) return {x, y - 29 + 15};
    if (x >= 60 && y < 13) return {x - 60 + 40, y};
    if (x >= 60 && y >= 29) return {x - 20, y - 29 + 15};
    if (x < 38) return {x, 13};                      // left edge: source row 13 over rows 13..28
    if (x >= 60) return {x - 20, 14};                // right edge: source row 14
    if (y < 13) return {38 + (x - 38) * 2 / 22, y};  // top edge: columns 38..39
    return {38 + (x - 38) * 2 / 22, 13};             // centre: row 13 of columns 38..39
  };
  int wrong = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 97; ++x)
      if (SourceAt(canvas, x, y) != expected(x, y) && ++wrong < 5)
        ADD_FAILURE() << "pixel " << x << "," << y << " came from " << SourceAt(canvas, x, y).x()
                      << "," << SourceAt(canvas, x, y).y();
  EXPECT_EQ(wrong, 0);
}

TEST(NineSlice, SlavePanelSendButtonKeepsTheOuterCornerColumns) {
  const auto t = Targets(77, 27, 57, 41);
  EXPECT_EQ(t[0], (Box{0, 0, 28, 13}));
  EXPECT_EQ(t[3], (Box{30, 0, 57, 13}));
  EXPECT_EQ(t[6], (Box{28, 0, 30, 13}));  // a two-pixel top edge
  const QImage canvas = Draw(CodedSkin(77, 27), 57, 41);
  EXPECT_EQ(SourceAt(canvas, 27, 0), QPoint(27, 0));  // left 28 columns of the top-left corner
  EXPECT_EQ(SourceAt(canvas, 30, 5), QPoint(50, 5));  // right 27 columns of the top-right one
  EXPECT_EQ(SourceAt(canvas, 56, 12), QPoint(76, 12));
  EXPECT_EQ(SourceAt(canvas, 28, 3), QPoint(38, 3));
  EXPECT_EQ(SourceAt(canvas, 29, 3), QPoint(39, 3));
}

// Corners clipped to 5 x 5, 5 x 4, 4 x 5 and 4 x 4 keeping their own side's rows and columns,
// one-pixel edges, a two-pixel bottom edge, and an empty centre (5,5)-(6,5).
TEST(NineSlice, TinyButtonClipsItsCornersAndSkipsTheEmptyCentre) {
  const std::vector<SlicePiece> pieces = NineSlicePieces(77, 27, 10, 10);
  // Top-left, bottom-left, left edge, top-right, bottom-right, right edge, top edge, centre,
  // bottom.
  const Box targets[] = {{0, 0, 5, 5},  {0, 6, 5, 10}, {0, 5, 5, 6}, {6, 0, 10, 5}, {6, 6, 10, 10},
                         {6, 5, 10, 6}, {5, 0, 6, 5},  {5, 5, 6, 5}, {4, 5, 6, 10}};
  const Box sources[] = {{0, 0, 5, 5},   {0, 23, 5, 27},   {0, 13, 5, 14},
                         {73, 0, 77, 5}, {73, 23, 77, 27}, {73, 14, 77, 15},
                         {38, 0, 40, 5}, {38, 13, 40, 14}, {38, 22, 40, 27}};
  ASSERT_EQ(pieces.size(), 9u);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(pieces[i].Target, targets[i]) << i;
    EXPECT_EQ(pieces[i].Source, sources[i]) << i;
  }
  const QImage canvas = Draw(CodedSkin(77, 27), 10, 10);
  EXPECT_EQ(SourceAt(canvas, 9, 9), QPoint(76, 26));
  EXPECT_EQ(SourceAt(canvas, 0, 9), QPoint(0, 26));
}

TEST(NineSlice, CornersAreMaskedOnlyForTransparentSkinsButEdgesAlways) {
  QImage skin(9, 9, QImage::Format_RGB32);
  skin.fill(qRgb(255, 0, 255));
  QImage canvas(20, 20, QImage::Format_RGB32);
  canvas.fill(Qt::green);
  {
    QPainter painter(&canvas);
    DrawNineSlice(painter, skin, 20, 20, false);
  }
  EXPECT_EQ(QColor(canvas.pixel(0, 0)), QColor(255, 0, 255));  // opaque corner
  EXPECT_EQ(QColor(canvas.pixel(10, 0)), QColor(Qt::green));   // top edge keyed
  canvas.fill(Qt::green);
  {
    QPainter painter(&canvas);
    DrawNineSlice(painter, skin, 20, 20, true);
  }
  EXPECT_EQ(QColor(canvas.pixel(0, 0)), QColor(Qt::green));
}
