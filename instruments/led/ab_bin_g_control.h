// The two-state logic of the LED controls: Checked, the status word and its bit, groups that
// share the status word, what the mouse does, and the flash-state message from the flash timer.
#pragma once

#include <QEvent>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "framework/events.h"

namespace instruments {

// The flash timer's message to a client: the flash counter and whether the lamp is in its on
// half-period. Delivered synchronously.
class TFlashStateEvent : public QEvent {
 public:
  static constexpr QEvent::Type FlashStateMessage = QEvent::Type(0x0400 + 100);

  TFlashStateEvent(uint32_t counter, int state)
      : QEvent(FlashStateMessage), WParam(counter), LParam(state) {}

  const uint32_t WParam;
  const int LParam;
};

class TAbBinGControl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(TFlashFreq Frequency READ Frequency WRITE SetFrequency)
  Q_PROPERTY(bool Flashing READ Flashing WRITE SetFlashing)
  Q_PROPERTY(int StatusInt READ StatusInt WRITE SetStatusInt)
  Q_PROPERTY(int StatusBit READ StatusBit WRITE SetStatusBit)
  Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
  Q_PROPERTY(TMode Mode READ Mode WRITE SetMode)
  Q_PROPERTY(int Tag READ Tag WRITE SetTag)

 public:
  enum TFlashFreq { ff8Hz, ff4Hz, ff2Hz, ff1Hz, ff05Hz };
  Q_ENUM(TFlashFreq)
  enum TMode { mButton, mSwitch, mIndicator, mRadioButton };
  Q_ENUM(TMode)

  using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                         Qt::KeyboardModifiers Shift, int X, int Y)>;
  using TMouseMoveEvent =
      std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;

  explicit TAbBinGControl(QWidget* owner = nullptr);
  ~TAbBinGControl() override;

  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  TFlashFreq Frequency() const { return frequency_; }
  void SetFrequency(TFlashFreq value);
  bool Flashing() const { return flashing_; }
  void SetFlashing(bool value);
  int StatusInt() const { return statusInt_; }
  void SetStatusInt(int value);
  int StatusBit() const { return statusBit_; }
  void SetStatusBit(int value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  TMode Mode() const { return mode_; }
  void SetMode(TMode value);
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  // The flash timer's code for a rate: 2 for ff8Hz up to 6 for ff05Hz (bit of the counter).
  static int FlashCode(TFlashFreq frequency) { return 2 + int(frequency); }

  framework::TNotifyEvent OnStatusChanged;
  framework::TNotifyEvent OnStatusIntChanged;
  framework::TNotifyEvent OnClick;
  framework::TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

 protected:
  // Redraws the whole control.
  virtual void UpdateAll() {}
  // Redraws the lamp in its current Checked state.
  virtual void UpdateLED() {}
  virtual void GroupIndexChanged() {}
  virtual void StatusIntChanged() {}
  // Draws the lamp in the given flash half-period.
  virtual void DrawFlashState(bool state) { (void)state; }

  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void UpdateFlashRegistration();
  void ShareStatusIntWithGroup(int value);
  QList<TAbBinGControl*> OwnerControls() const;
  void MouseDown(QMouseEvent* event);
  void MouseUp(QMouseEvent* event);
  uint32_t OwnBit() const { return uint32_t(1) << statusBit_; }

  bool checked_ = false;
  TFlashFreq frequency_ = ff1Hz;
  bool flashing_ = false;
  int statusInt_ = 0;
  int statusBit_ = 0;
  int groupIndex_ = 0;
  TMode mode_ = mIndicator;
  int tag_ = 0;
  bool clicked_ = false;  // the left button went down on the control
};

}  // namespace instruments
