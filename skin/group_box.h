// The skinned group box: a one-pixel frame in BorderColor with the Caption in a gap of its top
// line, colours from the UI style, and a style change handed on to the skinned controls inside.
// Disabling it (SetEnabled, not QWidget::setEnabled) withholds mouse and keyboard input from
// its children while they keep their own Enabled and their look.
#pragma once

#include <QPointer>

#include "framework/events.h"
#include "skin/custom_panel.h"
#include "skin/file_theme.h"
#include "skin/skin_events.h"
#include "skin/ui_style.h"

namespace skin {

class TsuiCustomGroupBox : public TsuiCustomPanel {
  Q_OBJECT
  Q_PROPERTY(skin::TsuiFileTheme* FileTheme READ FileTheme WRITE SetFileTheme)
  Q_PROPERTY(skin::TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(int Color READ Color WRITE SetColor)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)

 public:
  explicit TsuiCustomGroupBox(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& value);
  TsuiUIStyle UIStyle() const { return uiStyle_; }
  void SetUIStyle(TsuiUIStyle value);
  TsuiFileTheme* FileTheme() const { return fileTheme_; }
  void SetFileTheme(TsuiFileTheme* value);
  framework::TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(framework::TColor value);
  framework::TColor FontColor() const { return fontColor_; }
  void SetFontColor(framework::TColor value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  // The rectangle that children aligned to the box share (also its contents rectangle).
  QRect ClientAreaForAlign() const;

  virtual void ApplyStyle(TsuiUIStyle style, TsuiFileTheme* fileTheme);

  framework::TNotifyEvent OnClick;
  framework::TNotifyEvent OnDblClick;
  framework::TNotifyEvent OnEnter;
  framework::TNotifyEvent OnExit;
  framework::TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  int FontHeight() const;
  void UpdateClientArea();
  void Paint();
  void DrawFrame(QPainter& canvas, int textWidth);
  void WatchInput(QObject* object);
  void FileThemeRemoved();

  QString caption_;
  TsuiUIStyle uiStyle_ = DeepBlue;
  TsuiFileTheme* fileTheme_ = nullptr;
  QMetaObject::Connection fileThemeWatch_;
  framework::TColor borderColor_ = framework::clBlack;
  framework::TColor fontColor_ = framework::clBlack;
  bool enabled_ = true;
  int tag_ = 0;
  bool pressedInside_ = false;
};

class TsuiGroupBox : public TsuiCustomGroupBox {
  Q_OBJECT
  Q_PROPERTY(int BorderColor READ BorderColor WRITE SetBorderColor)

 public:
  explicit TsuiGroupBox(QWidget* parent = nullptr) : TsuiCustomGroupBox(parent) {}
};

}  // namespace skin
