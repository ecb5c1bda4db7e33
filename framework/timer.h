// The timer component: Interval in milliseconds and Enabled. A changed Interval restarts the
// countdown from that moment; setting either property to the value it has changes nothing, so a
// running countdown goes on. Ticks use a precise timer (pauses are 1 to 100 ms) and run
// OnTimer through the guard.
#pragma once

#include "framework/events.h"

#include <QObject>

class QSocketNotifier;

namespace framework {

class TTimer : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(int Interval READ Interval WRITE SetInterval)

 public:
  explicit TTimer(QObject* owner = nullptr);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int Interval() const { return interval_; }
  void SetInterval(int value);

  TNotifyEvent OnTimer;

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  void UpdateTimer();
  void Expired();

  bool enabled_ = true;
  int interval_ = 1000;
  int timerId_ = 0;
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace framework
