// The first base of every instrument control: one double-buffered paint through DrawContents
// (errors shown inside the control), repaint requests with batching and a frame-rate limit, the
// background and bevel border, the error-presentation properties, the internal input hooks with
// the UserAction flag, and the property text file.
#pragma once

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>

#include "framework/events.h"
#include "framework/tcolor.h"
#include "instruments/font.h"
#include "instruments/input.h"
#include "instruments/types.h"

class QPainter;

namespace instruments {

using TPropertyChangeEvent =
    std::function<void(QObject* Sender, const QString& PropertyName, bool& Allow)>;
using TPropertyNotifyEvent = std::function<void(QObject* Sender, const QString& PropertyName)>;
using TAfterPaintEvent = std::function<void(QObject* Sender, QPainter& Canvas)>;

class TiComponent : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)
  Q_PROPERTY(int Left READ Left WRITE SetLeft)
  Q_PROPERTY(int Top READ Top WRITE SetTop)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
  Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
  Q_PROPERTY(bool AutoFrameRate READ AutoFrameRate WRITE SetAutoFrameRate)
  Q_PROPERTY(int UpdateFrameRate READ UpdateFrameRate WRITE SetUpdateFrameRate)
  Q_PROPERTY(
      bool OptionSaveAllProperties READ OptionSaveAllProperties WRITE SetOptionSaveAllProperties)

 public:
  explicit TiComponent(QWidget* parent = nullptr);
  ~TiComponent() override;

  // Framework properties.
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }
  int Left() const { return x(); }
  void SetLeft(int value) { SetBounds(value, y(), width(), height()); }
  int Top() const { return y(); }
  void SetTop(int value) { SetBounds(x(), value, width(), height()); }
  int Width() const { return width(); }
  void SetWidth(int value) { SetBounds(x(), y(), value, height()); }
  int Height() const { return height(); }
  void SetHeight(int value) { SetBounds(x(), y(), width(), value); }
  void SetBounds(int left, int top, int width, int height);
  QString Hint() const { return hint_; }
  void SetHint(const QString& value);
  bool Visible() const;
  void SetVisible(bool value);
  bool Enabled() const;
  void SetEnabled(bool value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  QMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu* value) { popupMenu_ = value; }

  bool AutoFrameRate() const { return autoFrameRate_; }
  void SetAutoFrameRate(bool value);
  int UpdateFrameRate() const { return updateFrameRate_; }
  void SetUpdateFrameRate(int value);
  bool OptionSaveAllProperties() const { return optionSaveAllProperties_; }
  void SetOptionSaveAllProperties(bool value) { optionSaveAllProperties_ = value; }

  // Held here, made stored properties by the subclasses that use them.
  framework::TColor BackGroundColor() const { return backGroundColor_; }
  virtual void SetBackGroundColor(framework::TColor value);
  TiBevelStyle BorderStyle() const { return borderStyle_; }
  virtual void SetBorderStyle(TiBevelStyle value);
  bool ErrorActive() const { return errorActive_; }
  void SetErrorActive(bool value);
  QString ErrorText() const { return errorText_; }
  void SetErrorText(const QString& value);
  TFont* ErrorFont() const { return errorFont_; }
  void SetErrorFont(TFont* value);
  framework::TColor ErrorBackGroundColor() const { return errorBackGroundColor_; }
  void SetErrorBackGroundColor(framework::TColor value);

  // Repaints.
  void InvalidateChange();
  void RepaintNow();
  virtual void RefreshAll();
  virtual void BeginUpdate();
  virtual void EndUpdate();
  bool Updating() const { return updating_; }
  bool RepaintPending() const { return repaintPending_; }
  std::chrono::steady_clock::time_point LastRepaint() const { return lastRepaint_; }

  virtual QPoint GetCenterPoint() const { return QPoint(width() / 2, height() / 2); }
  virtual void SetCachedBackground(bool value);
  bool CachedBackground() const { return cachedBackground_; }
  // A picture stretched over the control instead of the colour fill (null: none).
  void SetBackGroundPicture(const QImage& picture);

  virtual void DrawBackGround(QPainter& canvas, framework::TColor color);
  virtual void DrawBorder(QPainter& canvas);

  // The control's own timer.
  virtual bool TimerIsRunning() const = 0;
  virtual void TimerStart(int initialDelay, int repeatInterval) = 0;
  virtual void TimerStop() = 0;

  virtual bool OutputToLink(const QString& propertyName, const QVariant& value);

  virtual void Lock() = 0;
  virtual void Unlock() = 0;

  // Property text file; failures raise framework::Exception with the described messages.
  virtual void SavePropertiesToFile(const QString& fileName);
  virtual void LoadPropertiesFromFile(const QString& fileName);

  bool HasFocus() const { return hasFocus_; }
  // Set while the control runs a handler for the user's keyboard, mouse or focus input.
  bool UserAction() const { return userAction_; }

  // Internal hooks.
  TPropertyChangeEvent OnBeforePropertyChange;
  TPropertyNotifyEvent OnAfterPropertyChange;
  TAfterPaintEvent OnAfterPaint;
  framework::TNotifyEvent OnInternalAutoSize;

  // Framework events.
  framework::TNotifyEvent OnClick;
  framework::TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  framework::TNotifyEvent OnEnter;
  framework::TNotifyEvent OnExit;

  // The whole picture of the control, as the paint makes it.
  QImage RenderContents();

 protected:
  // Painting: the whole control into the off-screen canvas.
  virtual void DrawContents(QPainter& canvas) = 0;
  // Drawn over the finished picture (the edit box's caret).
  virtual void DrawOverlay(QPainter&) {}

  virtual void HandleGotFocus();
  virtual void HandleLostFocus();
  virtual void HandleWantSpecialKey(int& charCode, bool& result);
  virtual void HandleKeyUp(uint16_t& key, TShiftState shift);
  virtual void HandleKeyDown(uint16_t& key, TShiftState shift);
  virtual void HandleKeyPress(char16_t& key);
  virtual void HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void HandleMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void HandleMouseMove(TShiftState shift, int x, int y);
  virtual void HandleDblClick();
  virtual bool HandleMouseWheel(int wheelDelta, TShiftState shift, QPoint mousePos);

  // Asks OnBeforePropertyChange; true when the change may go ahead.
  bool AllowPropertyChange(const QString& name);
  void NotifyPropertyChanged(const QString& name);
  void NotifyAutoSize() { framework::Raise(OnInternalAutoSize, this); }

  // Runs fn with UserAction set, restoring the previous state afterwards (also on error).
  template <typename Fn>
  void AsUserAction(Fn&& fn) {
    const bool previous = userAction_;
    userAction_ = true;
    struct Restore {
      bool& flag;
      bool value;
      ~Restore() { flag = value; }
    } restore{userAction_, previous};
    fn();
  }
  void SetHasFocus(bool value) { hasFocus_ = value; }

  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintBuffer();
  void DrawError(const QString& message);
  bool FrameDue() const;

  int tag_ = 0;
  QString hint_;
  bool showHint_ = false;
  QPointer<QMenu> popupMenu_;
  bool autoFrameRate_ = false;
  int updateFrameRate_ = 60;
  bool optionSaveAllProperties_ = false;
  framework::TColor backGroundColor_ = framework::clBtnFace;
  TiBevelStyle borderStyle_ = ibsNone;
  bool errorActive_ = false;
  QString errorText_ = QStringLiteral("Error");
  TFont* errorFont_;
  framework::TColor errorBackGroundColor_ = framework::clBlack;

  bool repaintPending_ = false;
  bool updating_ = false;
  std::chrono::steady_clock::time_point lastRepaint_;
  QImage backGroundPicture_;
  bool cachedBackground_ = true;
  bool hasFocus_ = false;
  bool userAction_ = false;
  QImage buffer_;
};

}  // namespace instruments
