#include "instruments/update_object.h"

#include "framework/timer.h"
#include "instruments/component.h"

namespace instruments {

TiUpdateObject& TiUpdateObject::Instance() {
  // Made with the first control, when the application (and its event loop) exists.
  static TiUpdateObject sweeper;
  return sweeper;
}

TiUpdateObject::~TiUpdateObject() = default;

void TiUpdateObject::EnsureTimer() {
  if (timer_) return;
  timer_ = std::make_unique<framework::TTimer>();
  timer_->SetEnabled(false);
  timer_->SetInterval(kIntervalMs);
  timer_->OnTimer = [this](QObject*) { Sweep(); };
}

void TiUpdateObject::Register(TiComponent* control) {
  EnsureTimer();
  controls_.append(control);
  timer_->SetEnabled(true);
}

void TiUpdateObject::Unregister(TiComponent* control) {
  controls_.removeAll(control);
  if (controls_.isEmpty() && timer_) timer_->SetEnabled(false);
}

bool TiUpdateObject::TimerEnabled() const {
  return timer_ && timer_->Enabled();
}

void TiUpdateObject::Sweep() {
  const auto now = std::chrono::steady_clock::now();
  const QList<TiComponent*> controls = controls_;
  for (TiComponent* control : controls) {
    // A control may go away while an earlier one repaints.
    if (!controls_.contains(control)) continue;
    if (control->Updating() || !control->RepaintPending()) continue;
    const int rate = control->UpdateFrameRate();
    const auto frame =
        rate > 0 ? std::chrono::nanoseconds(1'000'000'000LL / rate) : std::chrono::nanoseconds(0);
    if (now - control->LastRepaint() > frame) control->RepaintNow();
  }
}

}  // namespace instruments
