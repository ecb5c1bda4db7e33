#include "framework/timer.h"

#include "framework/guard.h"

#include <QTimerEvent>

namespace framework {

TTimer::TTimer(QObject* owner) : QObject(owner) { UpdateTimer(); }

TTimer::~TTimer() {
  if (timerId_) killTimer(timerId_);
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(int value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (timerId_) {
    killTimer(timerId_);
    timerId_ = 0;
  }
  if (enabled_ && interval_ > 0) timerId_ = startTimer(interval_, Qt::PreciseTimer);
}

void TTimer::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timerId_) return;
  Guard([&] { Raise(OnTimer, this); });
}

}  // namespace framework
