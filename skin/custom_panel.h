// A panel that paints a picture (as it is, stretched or tiled) over its own colour or over
// what lies behind it, and its window text. The skinned group box is built on it.
#pragma once

#include <QImage>
#include <QWidget>

#include "framework/tcolor.h"

namespace skin {

class TsuiCustomPanel : public QWidget {
  Q_OBJECT
  // Color, ParentColor and Transparent are published by the group box, in its stored order.

 public:
  enum DrawMode { dmNormal = 0, dmStretch = 1, dmTile = 2 };

  explicit TsuiCustomPanel(QWidget* parent = nullptr);

  framework::TColor Color() const { return color_; }
  // Setting a colour of its own ends taking the parent's.
  void SetColor(framework::TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);

  QImage Picture() const { return picture_; }
  void SetPicture(const QImage& value);
  int PictureDrawMode() const { return drawMode_; }
  void SetPictureDrawMode(int value);
  bool AutoSizeToPicture() const { return autoSize_; }
  void SetAutoSizeToPicture(bool value);
  // -1 for either coordinate: the text is aligned by Alignment instead.
  QPoint CaptionPosition() const { return captionPos_; }
  void SetCaptionPosition(QPoint value);
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment value);
  QString WindowText() const { return windowText_; }
  void SetWindowText(const QString& value);

  // The colour the panel fills with: its own, or the parent's when ParentColor.
  QColor EffectiveColor() const { return palette().color(QPalette::Window); }

 protected:
  virtual void FillBackground(QPainter& canvas);
  virtual void CaptionRectChanged() {}
  virtual void PictureChanged();
  // Font colour kept in the palette so that children with the parent's font take it too.
  void SetPaletteFontColor(const QColor& color);
  // The panel painting: background, picture and text, double-buffered.
  void PaintPanel(QPainter& target);
  void paintEvent(QPaintEvent* event) override;

 private:
  void UpdatePalette();

  framework::TColor color_ = framework::clBtnFace;
  bool parentColor_ = false;
  bool transparent_ = false;
  QImage picture_;
  int drawMode_ = dmNormal;
  bool autoSize_ = false;
  QPoint captionPos_{-1, -1};
  Qt::Alignment alignment_ = Qt::AlignHCenter;
  QString windowText_;
  QColor fontColor_;
};

}  // namespace skin
