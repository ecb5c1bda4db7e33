#include "skin/custom_panel.h"

#include <QPainter>

#include "framework/canvas.h"
#include "framework/guard.h"
#include "skin/skin_paint.h"

namespace skin {

TsuiCustomPanel::TsuiCustomPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  UpdatePalette();
}

void TsuiCustomPanel::SetColor(framework::TColor value) {
  if (value == color_ && !parentColor_) return;
  color_ = value;
  parentColor_ = false;
  UpdatePalette();
  update();
}

void TsuiCustomPanel::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  UpdatePalette();
  update();
}

void TsuiCustomPanel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  update();
}

void TsuiCustomPanel::SetPicture(const QImage& value) {
  if (value == picture_) return;
  picture_ = value;
  PictureChanged();
}

void TsuiCustomPanel::PictureChanged() {
  if (autoSize_ && !picture_.isNull()) resize(picture_.size());
  update();
}

void TsuiCustomPanel::SetPictureDrawMode(int value) {
  if (value == drawMode_) return;
  drawMode_ = value;
  update();
}

void TsuiCustomPanel::SetAutoSizeToPicture(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  PictureChanged();
}

void TsuiCustomPanel::SetCaptionPosition(QPoint value) {
  if (value == captionPos_) return;
  captionPos_ = value;
  CaptionRectChanged();
  update();
}

void TsuiCustomPanel::SetAlignment(Qt::Alignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  update();
}

void TsuiCustomPanel::SetWindowText(const QString& value) {
  if (value == windowText_) return;
  windowText_ = value;
  update();
}

void TsuiCustomPanel::SetPaletteFontColor(const QColor& color) {
  if (color == fontColor_) return;
  fontColor_ = color;
  UpdatePalette();
  update();
}

void TsuiCustomPanel::UpdatePalette() {
  // Roles left unset are taken from the parent.
  QPalette own;
  own.setResolveMask(0);
  if (!parentColor_) own.setColor(QPalette::Window, framework::ColorToQColor(color_));
  if (fontColor_.isValid()) own.setColor(QPalette::WindowText, fontColor_);
  setPalette(own);
}

void TsuiCustomPanel::FillBackground(QPainter& canvas) {
  canvas.fillRect(rect(), EffectiveColor());
}

void TsuiCustomPanel::PaintPanel(QPainter& target) {
  if (width() <= 0 || height() <= 0) return;
  QImage buffer(size(), QImage::Format_RGB32);
  buffer.fill(EffectiveColor());
  QPainter canvas(&buffer);
  framework::BeginGdiPainting(canvas);
  if (transparent_) PaintParentBackground(canvas, this);
  if (!picture_.isNull()) {
    // A transparent picture leaves out the colour of its bottom-left pixel.
    const QImage picture =
        transparent_ ? KeyedImage(picture_, picture_.pixel(0, picture_.height() - 1)) : picture_;
    if (drawMode_ == dmStretch)
      canvas.drawImage(rect(), picture);
    else if (drawMode_ == dmTile)
      TilePicture(canvas, picture, rect());
    else
      canvas.drawImage(0, 0, picture);
  } else if (!transparent_) {
    FillBackground(canvas);
  }
  if (!windowText_.trimmed().isEmpty()) {
    canvas.setFont(font());
    canvas.setPen(palette().color(QPalette::WindowText));
    if (captionPos_.x() >= 0 && captionPos_.y() >= 0)
      canvas.drawText(QRect(captionPos_, size()), Qt::AlignLeft | Qt::AlignTop, windowText_);
    else
      canvas.drawText(
          rect(),
          int(alignment_ & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine,
          windowText_);
  }
  canvas.end();
  target.drawImage(0, 0, buffer);
}

void TsuiCustomPanel::paintEvent(QPaintEvent*) {
  framework::Guard([this] {
    QPainter canvas(this);
    PaintPanel(canvas);
  });
}

}  // namespace skin
