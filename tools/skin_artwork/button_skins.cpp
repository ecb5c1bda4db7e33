// The button skins: three frames side by side (normal, mouse over, pressed). BlueGlass is blue
// glass with a magenta margin (the pressed frame sits one row lower), MacOS an aqua pill with
// magenta corners, DeepBlue a 16-colour opaque bevel, Protein and WinXP opaque.
#include "artwork.h"
#include "shapes.h"

namespace artwork {

namespace {

QImage Frame(int w, int h, QRgb outside, const QRect& body, const BodyStyle& style) {
  QImage frame(w, h, QImage::Format_RGB32);
  frame.fill(outside);
  PaintBody(frame, body, style);
  return frame;
}

BodyStyle Glass(int split, QColor a0, QColor a1, QColor b0, QColor b1, QColor border,
                QColor innerTop, QColor innerBottom, int radius) {
  return {radius, SplitGradient(split, a0, a1, b0, b1), border, innerTop, innerBottom};
}

Bitmap BlueGlassButton() {
  const QRect body(1, 1, 75, 25);
  const QRect pressedBody(1, 2, 75, 24);
  const QImage normal =
      Frame(77, 27, Magenta, body,
            Glass(12, {236, 246, 255}, {178, 215, 247}, {112, 174, 234}, {172, 222, 253},
                  {36, 86, 168}, {252, 254, 255}, {146, 204, 250}, 5));
  const QImage hot =
      Frame(77, 27, Magenta, body,
            Glass(12, {242, 251, 255}, {192, 230, 255}, {128, 198, 250}, {190, 238, 255},
                  {28, 100, 192}, {255, 255, 255}, {176, 228, 255}, 5));
  const QImage pressed =
      Frame(77, 27, Magenta, pressedBody,
            Glass(11, {186, 216, 244}, {138, 186, 234}, {82, 142, 214}, {124, 180, 236},
                  {22, 64, 138}, {166, 204, 240}, {98, 158, 224}, 5));
  return {QStringLiteral("BLUEGLASS_BUTTON"), JoinFrames(normal, hot, pressed), 8};
}

Bitmap MacOSButton() {
  const QRect body(0, 0, 84, 23);
  const QImage normal =
      Frame(84, 23, Magenta, body,
            Glass(11, {255, 255, 255}, {238, 238, 238}, {220, 220, 220}, {250, 250, 250},
                  {124, 124, 124}, {255, 255, 255}, {242, 242, 242}, 9));
  const QImage hot =
      Frame(84, 23, Magenta, body,
            Glass(11, {234, 244, 255}, {178, 210, 246}, {138, 186, 240}, {204, 232, 255},
                  {62, 104, 172}, {255, 255, 255}, {214, 238, 255}, 9));
  const QImage pressed =
      Frame(84, 23, Magenta, body,
            Glass(11, {178, 208, 242}, {122, 170, 230}, {84, 140, 216}, {152, 202, 248},
                  {38, 76, 142}, {204, 224, 248}, {120, 176, 238}, 9));
  return {QStringLiteral("MACOS_BUTTON"), JoinFrames(normal, hot, pressed), 8};
}

// Four bands from light to dark: sixteen colours in all three frames together.
RowColor Bands(QColor c0, QColor c1, QColor c2, QColor c3) {
  return [=](int y, int h) {
    const int band = std::min(3, y * 4 / std::max(1, h));
    return band == 0 ? c0 : band == 1 ? c1 : band == 2 ? c2 : c3;
  };
}

Bitmap DeepBlueButton() {
  const QRgb face = qRgb(232, 232, 232);
  const QRect body(0, 0, 74, 21);
  const QColor border(22, 44, 112), light(255, 255, 255), shade(150, 166, 210);
  const QImage normal =
      Frame(74, 21, face, body,
            {2, Bands({236, 240, 250}, {218, 226, 244}, {200, 212, 238}, {186, 200, 232}), border,
             light, shade});
  const QImage hot =
      Frame(74, 21, face, body,
            {2, Bands({242, 246, 255}, {224, 234, 252}, {206, 222, 248}, {190, 212, 244}), border,
             light, shade});
  const QImage pressed =
      Frame(74, 21, face, body,
            {2, Bands({176, 192, 228}, {190, 204, 234}, {204, 216, 240}, {214, 224, 244}), border,
             shade, light});
  return {QStringLiteral("DEEPBLUE_BUTTON"), JoinFrames(normal, hot, pressed), 4};
}

Bitmap ProteinButton() {
  const QRgb face = qRgb(251, 251, 251);
  const QRect body(0, 0, 74, 21);
  const QImage normal =
      Frame(74, 21, face, body,
            Glass(10, {253, 253, 255}, {234, 234, 248}, {212, 212, 236}, {238, 238, 252},
                  {82, 82, 152}, {255, 255, 255}, {204, 204, 232}, 3));
  const QImage hot =
      Frame(74, 21, face, body,
            Glass(10, {246, 249, 255}, {216, 228, 255}, {188, 206, 250}, {224, 234, 255},
                  {70, 90, 190}, {255, 255, 255}, {196, 214, 252}, 3));
  const QImage pressed =
      Frame(74, 21, face, body,
            Glass(10, {198, 198, 228}, {212, 212, 238}, {224, 224, 246}, {236, 236, 250},
                  {50, 50, 122}, {186, 186, 220}, {240, 240, 252}, 3));
  return {QStringLiteral("PROTEIN_BUTTON"), JoinFrames(normal, hot, pressed), 8};
}

Bitmap WinXPButton() {
  const QRgb face = qRgb(239, 235, 222);
  const QRect body(0, 0, 18, 21);
  const QColor border(0, 60, 116);
  const QImage normal = Frame(18, 21, face, body,
                              Glass(16, {255, 255, 255}, {240, 240, 234}, {230, 228, 220},
                                    {214, 208, 197}, border, {255, 255, 255}, {226, 223, 214}, 3));
  const QImage hot = Frame(18, 21, face, body,
                           Glass(16, {255, 255, 255}, {240, 240, 234}, {230, 228, 220},
                                 {214, 208, 197}, border, {255, 240, 207}, {229, 151, 0}, 3));
  const QImage pressed = Frame(18, 21, face, body,
                               Glass(16, {226, 225, 218}, {236, 235, 230}, {240, 240, 236},
                                     {244, 244, 240}, border, {218, 216, 208}, {242, 242, 238}, 3));
  return {QStringLiteral("WINXP_BUTTON"), JoinFrames(normal, hot, pressed), 8};
}

}  // namespace

std::vector<Bitmap> ButtonSkins() {
  return {MacOSButton(), WinXPButton(), DeepBlueButton(), ProteinButton(), BlueGlassButton()};
}

}  // namespace artwork
