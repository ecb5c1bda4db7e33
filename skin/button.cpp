#include "skin/button.h"

#include <QPainter>

#include "skin/skin_paint.h"

namespace skin {

TsuiButton::TsuiButton(QWidget* parent) : TsuiCustomButton(parent) {
  resize(80, 27);
  // The base constructor ran its own (empty) style change; run ours.
  SetUIStyle(UIStyle());
}

void TsuiButton::SetGlyph(const QImage& value) {
  if (value == glyph_) return;
  glyph_ = value;
  update();
}

void TsuiButton::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  update();
}

void TsuiButton::SetSpacing(int value) {
  if (value == spacing_) return;
  spacing_ = value;
  update();
}

void TsuiButton::StyleChanged() {
  const StyleSource source = ResolveStyleSource(FileTheme(), UIStyle());
  SetTransparent(source.UseThemeFile ? FileTheme()->Bool(2) : StyleBool(source.Style, 2));
}

void TsuiButton::DrawSkin(QPainter& canvas, const QImage& skin) {
  DrawNineSlice(canvas, skin, width(), height(), SkinTransparent());
  if (!glyph_.isNull()) DrawGlyph(canvas);
}

void TsuiButton::DrawGlyph(QPainter& canvas) {
  const QFontMetrics metrics(font());
  const int tw = metrics.horizontalAdvance(Caption());
  const int th = metrics.height();
  const int gh = glyph_.height();
  const bool twoFrames = glyph_.width() == 2 * gh;
  const int gw = twoFrames ? gh : glyph_.width();
  const int W = width(), H = height(), s = spacing_;
  QPoint at;
  switch (layout_) {
    case blGlyphLeft:
      at = {(W - gw - tw - s) / 2, (H - gh) / 2};
      captionOrigin_ = {at.x() + gw + s, (H - th) / 2};
      break;
    case blGlyphRight:
      at = {(W + tw + s - gw) / 2, (H - gh) / 2};
      captionOrigin_ = {at.x() - tw - s, (H - th) / 2};
      break;
    case blGlyphTop:
      at = {(W - gw) / 2, (H - th - gh - s) / 2};
      captionOrigin_ = {(W - tw) / 2, at.y() + gh + s};
      break;
    case blGlyphBottom:
      at = {(W - gw) / 2, (H + th + s - gh) / 2};
      captionOrigin_ = {(W - tw) / 2, at.y() - th - s};
      break;
  }
  if (Pressed()) at += QPoint(1, 1);
  const QRgb key = glyph_.pixel(0, 0);
  if (twoFrames)
    canvas.drawImage(at, KeyedImage(glyph_.copy(isEnabled() ? 0 : gw, 0, gw, gh), key));
  else
    canvas.drawImage(at, isEnabled() ? KeyedImage(glyph_, key) : GreyedImage(glyph_, key));
}

void TsuiButton::DrawCaption(QPainter& canvas, const QString& caption) {
  if (glyph_.isNull()) {
    DrawCenteredCaption(canvas, caption);
    return;
  }
  canvas.setFont(font());
  auto draw = [&](QPoint origin, const QColor& color) {
    canvas.setPen(color);
    canvas.drawText(QRect(origin, QPoint(width() - 1, height() - 1)),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic,
                    caption);
  };
  if (!isEnabled()) {
    draw(captionOrigin_ + QPoint(1, 1), Qt::white);
    draw(captionOrigin_, QColor(128, 128, 128));
  } else {
    draw(Pressed() ? captionOrigin_ + QPoint(1, 1) : captionOrigin_, FontColor());
  }
  SetBoldCaption(false);
}

void TsuiButton::DrawFocus(QPainter& canvas) {
  if (UIStyle() == MacOS || UIStyle() == BlueGlass)
    SetBoldCaption(true);
  else
    TsuiCustomButton::DrawFocus(canvas);
}

}  // namespace skin
