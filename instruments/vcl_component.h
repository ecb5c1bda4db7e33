// The second and third bases of the instrument controls: transparency (the parent's picture
// under the control), the paint lock, the control's own timer, the routing of focus, key and
// mouse input into the internal hooks with the UserAction flag, and the data-link hooks.
#pragma once

#include <QRecursiveMutex>

#include "instruments/component.h"
#include "instruments/data_link.h"

namespace instruments {

class TiVCLComponent : public TiComponent {
  Q_OBJECT

 public:
  explicit TiVCLComponent(QWidget* parent = nullptr);
  ~TiVCLComponent() override;

  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  // Asks for the parent's picture to be taken again at the next paint.
  void RequestRecapture();
  bool RecapturePending() const { return recapture_; }

  void DrawBackGround(QPainter& canvas, framework::TColor color) override;
  void RefreshAll() override;

  bool TimerIsRunning() const override { return timerId_ != 0; }
  void TimerStart(int initialDelay, int repeatInterval) override;
  void TimerStop() override;
  framework::TNotifyEvent OnInternalTimer;

  void Lock() override { paintLock_.lock(); }
  void Unlock() override { paintLock_.unlock(); }

  bool OutputToLink(const QString& propertyName, const QVariant& value) override;
  virtual bool InputFromLink(const QString& propertyName, QVariant& value);
  virtual void ExtensionHook() {}
  TiOPCItemManager& OPCItems() { return opcItems_; }
  // Data arriving from the link for item `index`.
  void NewLinkData(int index, QVariant value);
  TIndexObjectEvent OnNewOPCData;
  TBeforeOPCNewDataEvent OnBeforeNewOPCData;

  // The answer to the platform's dialog-code query: 4 wants all keys (Enter, Escape and the
  // arrows come to the control and never to a default button), 5 also the arrows.
  Q_INVOKABLE virtual int DialogCode() const { return 4; }

 protected:
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

  // Keys the control takes before the window's shortcuts see them.
  virtual bool WantsShortcutKey(const QKeyEvent& event) const;

 private:
  void Recapture();

  QRecursiveMutex paintLock_;
  int timerId_ = 0;
  bool firstInterval_ = false;
  int repeatInterval_ = 0;
  bool transparent_ = false;
  QImage capture_;
  bool recapture_ = false;
  TiOPCItemManager opcItems_;
  bool incomingLinkData_ = false;
  bool pressedHere_ = false;
};

// The common parent of the concrete controls.
class TiCustomComponent : public TiVCLComponent {
  Q_OBJECT

 public:
  using TiVCLComponent::TiVCLComponent;
};

}  // namespace instruments
