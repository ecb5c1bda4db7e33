// A caption with margins, drop shadow and border that sizes itself to its text and can hand
// the focus to another control when its accelerator key is pressed.
#pragma once

#include <QPointer>

#include "instruments/vcl_component.h"

namespace instruments {

class TiLabel : public TiCustomComponent {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(instruments::TiAlignmentHorizontal Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(instruments::TiLabelBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(instruments::TFont* Font READ Font WRITE SetFont)
  Q_PROPERTY(int OuterMarginLeft READ OuterMarginLeft WRITE SetOuterMarginLeft)
  Q_PROPERTY(int OuterMarginTop READ OuterMarginTop WRITE SetOuterMarginTop)
  Q_PROPERTY(int OuterMarginRight READ OuterMarginRight WRITE SetOuterMarginRight)
  Q_PROPERTY(int OuterMarginBottom READ OuterMarginBottom WRITE SetOuterMarginBottom)
  Q_PROPERTY(bool ShadowShow READ ShadowShow WRITE SetShadowShow)
  Q_PROPERTY(int ShadowXOffset READ ShadowXOffset WRITE SetShadowXOffset)
  Q_PROPERTY(int ShadowYOffset READ ShadowYOffset WRITE SetShadowYOffset)
  Q_PROPERTY(int ShadowColor READ ShadowColor WRITE SetShadowColor)
  Q_PROPERTY(QWidget* FocusControl READ FocusControl WRITE SetFocusControl)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
  Q_PROPERTY(int BackGroundColor READ BackGroundColor WRITE SetBackGroundColor)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

 public:
  explicit TiLabel(QWidget* parent = nullptr);

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TiAlignmentHorizontal Alignment() const { return alignment_; }
  void SetAlignment(TiAlignmentHorizontal value);
  // The label's own border kinds (they hide the bevel style of the base).
  TiLabelBorderStyle BorderStyle() const { return labelBorderStyle_; }
  void SetBorderStyle(TiLabelBorderStyle value);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value);
  TFont* Font() const { return font_; }
  void SetFont(TFont* value);
  int OuterMarginLeft() const { return marginLeft_; }
  void SetOuterMarginLeft(int value) { SetLayoutValue(marginLeft_, value); }
  int OuterMarginTop() const { return marginTop_; }
  void SetOuterMarginTop(int value) { SetLayoutValue(marginTop_, value); }
  int OuterMarginRight() const { return marginRight_; }
  void SetOuterMarginRight(int value) { SetLayoutValue(marginRight_, value); }
  int OuterMarginBottom() const { return marginBottom_; }
  void SetOuterMarginBottom(int value) { SetLayoutValue(marginBottom_, value); }
  bool ShadowShow() const { return shadowShow_; }
  void SetShadowShow(bool value);
  int ShadowXOffset() const { return shadowXOffset_; }
  void SetShadowXOffset(int value) { SetLayoutValue(shadowXOffset_, value); }
  int ShadowYOffset() const { return shadowYOffset_; }
  void SetShadowYOffset(int value) { SetLayoutValue(shadowYOffset_, value); }
  framework::TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(framework::TColor value);
  QWidget* FocusControl() const { return focusControl_; }
  void SetFocusControl(QWidget* value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);

  // Border width: 0 none, 1 single, 2 lowered or raised.
  int BorderWidth() const;

 protected:
  void DrawContents(QPainter& canvas) override;
  bool event(QEvent* event) override;

 private:
  void SetLayoutValue(int& field, int value);
  void DoAutoSize();
  int TextFlags() const;
  void UpdateAccelerator();

  bool autoSize_ = true;
  TiAlignmentHorizontal alignment_ = iahLeft;
  TiLabelBorderStyle labelBorderStyle_ = ilbsNone;
  QString caption_ = QStringLiteral("iLabel");
  TFont* font_;
  int marginLeft_ = 0;
  int marginTop_ = 0;
  int marginRight_ = 0;
  int marginBottom_ = 0;
  bool shadowShow_ = false;
  int shadowXOffset_ = 1;
  int shadowYOffset_ = 1;
  framework::TColor shadowColor_ = framework::clGray;
  QPointer<QWidget> focusControl_;
  QMetaObject::Connection focusControlGone_;
  bool wordWrap_ = false;
  bool autoSizing_ = false;
  int shortcutId_ = 0;
};

}  // namespace instruments
