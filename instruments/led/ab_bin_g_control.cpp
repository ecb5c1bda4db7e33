#include "instruments/led/ab_bin_g_control.h"

#include <QMouseEvent>
#include <QScopeGuard>

#include "framework/guard.h"
#include "instruments/led/flash_timer.h"

namespace instruments {

namespace {
// Set while one control hands its status word to its group (GUI thread only).
bool GroupUpdating = false;
}  // namespace

TAbBinGControl::TAbBinGControl(QWidget* owner) : QWidget(owner) {
  setMouseTracking(true);
}

TAbBinGControl::~TAbBinGControl() {
  UnregisterFlash(this);
}

void TAbBinGControl::UpdateFlashRegistration() {
  if (checked_ && flashing_)
    RegisterFlash(this, FlashCode(frequency_));
  else
    UnregisterFlash(this);
}

void TAbBinGControl::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  UpdateFlashRegistration();
  if (value)
    SetStatusInt(mode_ == mRadioButton ? int(OwnBit()) : int(uint32_t(statusInt_) | OwnBit()));
  else if (mode_ != mRadioButton)
    SetStatusInt(int(uint32_t(statusInt_) & ~OwnBit()));
  UpdateLED();
  framework::Raise(OnStatusChanged, this);
}

void TAbBinGControl::SetFrequency(TFlashFreq value) {
  if (value == frequency_) return;
  frequency_ = value;
  if (checked_ && flashing_) RegisterFlash(this, FlashCode(frequency_));
}

void TAbBinGControl::SetFlashing(bool value) {
  if (value == flashing_) return;
  flashing_ = value;
  UpdateFlashRegistration();
  UpdateLED();
  framework::Raise(OnStatusChanged, this);
}

void TAbBinGControl::SetStatusInt(int value) {
  if (value == statusInt_) return;
  statusInt_ = value;
  SetChecked((uint32_t(value) & OwnBit()) != 0);
  StatusIntChanged();
  framework::Raise(OnStatusIntChanged, this);
  if (groupIndex_ != 0 && !GroupUpdating) ShareStatusIntWithGroup(value);
}

void TAbBinGControl::ShareStatusIntWithGroup(int value) {
  GroupUpdating = true;
  // A handler that throws must not leave every group frozen.
  const auto done = qScopeGuard([] { GroupUpdating = false; });
  for (TAbBinGControl* control : OwnerControls())
    if (control->groupIndex_ == groupIndex_) control->SetStatusInt(value);
}

void TAbBinGControl::SetStatusBit(int value) {
  if (value == statusBit_ || value < 0 || value >= 32) return;
  statusBit_ = value;
  SetChecked((uint32_t(statusInt_) & OwnBit()) != 0);
}

void TAbBinGControl::SetMode(TMode value) {
  // Entering a mode resets the status word even when the mode is the same.
  mode_ = value;
  if (mode_ == mButton) SetStatusInt(0);
  if (mode_ == mRadioButton) SetStatusInt(1);
}

void TAbBinGControl::SetGroupIndex(int value) {
  if (value == groupIndex_ || value < 0) return;
  groupIndex_ = value;
  if (value != 0) {
    for (TAbBinGControl* control : OwnerControls()) {
      if (control->groupIndex_ != value) continue;
      SetStatusInt(control->statusInt_);
      break;
    }
  }
  GroupIndexChanged();
}

// The controls owned by this control's owner, in the order they were created.
QList<TAbBinGControl*> TAbBinGControl::OwnerControls() const {
  QList<TAbBinGControl*> controls;
  if (!parent()) return controls;
  for (QObject* child : parent()->children())
    if (auto* control = qobject_cast<TAbBinGControl*>(child)) controls.append(control);
  return controls;
}

bool TAbBinGControl::event(QEvent* event) {
  if (event->type() != TFlashStateEvent::FlashStateMessage) return QWidget::event(event);
  // A client that fails to draw its flash state must not stop the others: swallowed here.
  try {
    DrawFlashState(static_cast<TFlashStateEvent*>(event)->LParam != 0);
  } catch (...) {
  }
  return true;
}

void TAbBinGControl::MouseDown(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    clicked_ = true;
    switch (mode_) {
      case mButton:
        SetChecked(true);
        break;
      case mSwitch:
        SetChecked(!checked_);
        break;
      case mRadioButton:
        SetStatusInt(int(OwnBit()));
        break;
      case mIndicator:
        break;
    }
  }
  const QPoint at = event->position().toPoint();
  framework::Raise(OnMouseDown, this, event->button(), event->modifiers(), at.x(), at.y());
}

void TAbBinGControl::MouseUp(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const bool left = event->button() == Qt::LeftButton;
  if (left && clicked_) {
    clicked_ = false;
    if (rect().contains(at)) framework::Raise(OnClick, this);
  }
  framework::Raise(OnMouseUp, this, event->button(), event->modifiers(), at.x(), at.y());
  if (!left || mode_ == mIndicator) return;
  if (mode_ == mButton) SetChecked(false);
  UpdateLED();
}

void TAbBinGControl::mousePressEvent(QMouseEvent* event) {
  framework::Guard([&] { MouseDown(event); });
}

void TAbBinGControl::mouseDoubleClickEvent(QMouseEvent* event) {
  framework::Guard([&] {
    if (event->button() == Qt::LeftButton) framework::Raise(OnDblClick, this);
    MouseDown(event);
  });
}

void TAbBinGControl::mouseMoveEvent(QMouseEvent* event) {
  framework::Guard([&] {
    const QPoint at = event->position().toPoint();
    framework::Raise(OnMouseMove, this, event->modifiers(), at.x(), at.y());
  });
}

void TAbBinGControl::mouseReleaseEvent(QMouseEvent* event) {
  framework::Guard([&] { MouseUp(event); });
}

}  // namespace instruments
