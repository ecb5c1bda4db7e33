#include "framework/timer.h"

#include "framework/guard.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimerEvent>

namespace framework {

// The event loop rounds its own timers' waits up to whole milliseconds, which makes a 2 ms pause
// set in the middle of other work fire up to a millisecond late. A timerfd wakes the loop at
// the exact moment; Qt's precise timer stays as the fallback when none can be had.
TTimer::TTimer(QObject* owner) : QObject(owner) {
  fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ >= 0) {
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TTimer::Expired);
  }
  UpdateTimer();
}

TTimer::~TTimer() {
  if (timerId_) killTimer(timerId_);
  delete notifier_;
  if (fd_ >= 0) close(fd_);
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
  const bool running = enabled_ && interval_ > 0;
  if (fd_ >= 0) {
    // Arming anew (or disarming) also drops expiries not yet taken: the countdown starts over.
    itimerspec due{};
    if (running) {
      due.it_value = {interval_ / 1000, (interval_ % 1000) * 1'000'000L};
      due.it_interval = due.it_value;
    }
    timerfd_settime(fd_, 0, &due, nullptr);
    return;
  }
  if (timerId_) {
    killTimer(timerId_);
    timerId_ = 0;
  }
  if (running) timerId_ = startTimer(interval_, Qt::PreciseTimer);
}

void TTimer::Expired() {
  uint64_t expiries = 0;
  // Nothing to read: the timer was set again after the loop saw it due.
  if (read(fd_, &expiries, sizeof expiries) != sizeof expiries || expiries == 0) return;
  if (!enabled_) return;
  Guard([&] { Raise(OnTimer, this); });
}

void TTimer::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timerId_) return;
  Guard([&] { Raise(OnTimer, this); });
}

}  // namespace framework
