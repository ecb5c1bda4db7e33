// The skinned push button's state machine, painting frame and keyboard handling: the face is
// one of three skin frames (normal, mouse over, pressed), the caption is drawn over it, and a
// repeat event fires at a fixed period while the left mouse button holds the button down.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "framework/events.h"
#include "framework/timer.h"
#include "skin/file_theme.h"
#include "skin/skin_events.h"
#include "skin/ui_style.h"

namespace skin {

class TsuiCustomButton : public QWidget {
  Q_OBJECT
  Q_PROPERTY(skin::TsuiFileTheme* FileTheme READ FileTheme WRITE SetFileTheme)
  Q_PROPERTY(skin::TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)

 public:
  explicit TsuiCustomButton(QWidget* parent = nullptr);
  ~TsuiCustomButton() override;

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int value) { modalResult_ = value; }
  TsuiUIStyle UIStyle() const { return uiStyle_; }
  void SetUIStyle(TsuiUIStyle value);
  TsuiFileTheme* FileTheme() const { return fileTheme_; }
  void SetFileTheme(TsuiFileTheme* value);
  int FocusedRectMargin() const { return focusedRectMargin_; }
  void SetFocusedRectMargin(int value);
  int MouseContinuouslyDownInterval() const { return repeatInterval_; }
  void SetMouseContinuouslyDownInterval(int value) { repeatInterval_ = value; }
  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool value);
  bool Enabled() const { return isEnabled(); }
  void SetEnabled(bool value) { setEnabled(value); }
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  bool SkinTransparent() const { return skinTransparent_; }
  bool MouseInside() const { return mouseInside_; }
  bool Pressed() const { return pressed_; }
  bool IsDefaultNow() const { return isDefaultNow_; }
  bool HasRepeatTimer() const { return repeatTimer_ != nullptr; }

  // Releases a press, hands ModalResult to the form and fires OnClick.
  void Click();
  // Visible, enabled and not inside a container that withholds input.
  bool CanFocus() const;

  // The window's routing (dialog_keys.h): Enter or Esc, an accelerator character, a new focus.
  bool DialogKey(int key, Qt::KeyboardModifiers modifiers);
  bool DialogChar(QChar character);
  void FocusChanged(QWidget* active);

  framework::TNotifyEvent OnClick;
  framework::TNotifyEvent OnEnter;
  framework::TNotifyEvent OnExit;
  framework::TNotifyEvent OnMouseEnter;
  framework::TNotifyEvent OnMouseExit;
  framework::TNotifyEvent OnMouseContinuouslyDown;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  virtual void ApplyAutoSize();
  virtual void CaptionChanged() {}
  virtual void FontChanged() { update(); }
  virtual void TransparentChanged();
  virtual void EnabledChanged() {}
  virtual void StyleChanged() {}
  virtual void DrawSkin(QPainter& canvas, const QImage& skin);
  virtual void DrawCaption(QPainter& canvas, const QString& caption);
  virtual void DrawFocus(QPainter& canvas);
  virtual void GetNormalSkin(QImage* bitmap) { GetSkinFrame(bitmap, 1); }
  virtual void GetHotSkin(QImage* bitmap) { GetSkinFrame(bitmap, 2); }
  virtual void GetDownSkin(QImage* bitmap) { GetSkinFrame(bitmap, 3); }
  virtual void GetDisabledSkin(QImage* bitmap) { GetSkinFrame(bitmap, 1); }

  void SetBoldCaption(bool value) { boldCaption_ = value; }
  // The caption centred in the client rectangle, greyed when disabled.
  void DrawCenteredCaption(QPainter& canvas, const QString& caption);
  QColor FontColor() const { return palette().color(QPalette::WindowText); }

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Paint();
  QImage FetchSkin();
  void GetSkinFrame(QImage* bitmap, int frame);
  void StartRepeatTimer();
  void ReleaseRepeatTimer();
  void PointerEntered();
  void PointerLeft();
  void FileThemeRemoved();
  void HandleKeyPress(QKeyEvent* event);
  void HandleKeyRelease(QKeyEvent* event);
  void HandleMouseRelease(QMouseEvent* event);

  bool autoSize_ = false;
  QString caption_;
  bool cancel_ = false;
  bool default_ = false;
  bool transparent_ = false;
  int modalResult_ = 0;
  TsuiUIStyle uiStyle_ = DeepBlue;
  TsuiFileTheme* fileTheme_ = nullptr;
  QMetaObject::Connection fileThemeWatch_;
  bool boldCaption_ = false;
  bool skinTransparent_ = false;
  framework::TTimer* repeatTimer_ = nullptr;
  int repeatInterval_ = 100;
  int focusedRectMargin_ = 2;
  bool isDefaultNow_ = false;
  bool mouseInside_ = false;
  bool pressed_ = false;
  bool leftWhileHeld_ = false;  // a leave taken from the moves of a press, Qt's still to come
  int tag_ = 0;
};

}  // namespace skin
