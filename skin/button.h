// The skinned push button: nine-slice drawing of the style's button skin, an optional glyph
// beside the caption, and the style's transparency.
#pragma once

#include <QPoint>

#include "skin/custom_button.h"

namespace skin {

class TsuiButton : public TsuiCustomButton {
  Q_OBJECT
  Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
  Q_PROPERTY(bool Default READ Default WRITE SetDefault)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(int FocusedRectMargin READ FocusedRectMargin WRITE SetFocusedRectMargin)
  Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)
  Q_PROPERTY(TButtonLayout Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
  Q_PROPERTY(int MouseContinuouslyDownInterval READ MouseContinuouslyDownInterval WRITE
                 SetMouseContinuouslyDownInterval)
  Q_PROPERTY(uint ResHandle READ ResHandle WRITE SetResHandle)
  Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)

 public:
  enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
  Q_ENUM(TButtonLayout)

  explicit TsuiButton(QWidget* parent = nullptr);

  QImage Glyph() const { return glyph_; }
  void SetGlyph(const QImage& value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  uint ResHandle() const { return 0; }
  void SetResHandle(uint) {}
  QPoint CaptionOrigin() const { return captionOrigin_; }

 protected:
  void StyleChanged() override;
  void DrawSkin(QPainter& canvas, const QImage& skin) override;
  void DrawCaption(QPainter& canvas, const QString& caption) override;
  void DrawFocus(QPainter& canvas) override;

 private:
  void DrawGlyph(QPainter& canvas);

  QImage glyph_;
  TButtonLayout layout_ = blGlyphLeft;
  int spacing_ = 4;
  QPoint captionOrigin_;
};

}  // namespace skin
