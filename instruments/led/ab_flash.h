// A periodic event driven by a worker thread: the thread sleeps TickInterval milliseconds and
// then runs DoTick on the GUI thread, waiting until it has run.
#pragma once

#include <QObject>
#include <memory>

#include "framework/events.h"

namespace instruments {

class TAbFlash;

// The worker of a TAbFlash. While suspended it holds no operating-system thread; resuming starts
// one. Destroying it ends the thread and waits for it while serving the GUI thread's
// synchronize requests, so a thread blocked handing over a tick always finishes; the thread
// never reaches the owner again once the owner is gone.
class TTimerThread {
 public:
  explicit TTimerThread(TAbFlash* owner);
  ~TTimerThread();
  TTimerThread(const TTimerThread&) = delete;
  TTimerThread& operator=(const TTimerThread&) = delete;

  void Suspend();
  void Resume();
  bool Suspended() const;
  // Whether an operating-system thread currently runs the loop.
  bool Running() const;

  int Interval() const;
  void SetInterval(int milliseconds);
  void SetPriority(int priority);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

class TAbFlash : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(TThreadPriority ThreadPriority READ ThreadPriority WRITE SetThreadPriority)

 public:
  enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
  Q_ENUM(TThreadPriority)

  explicit TAbFlash(QObject* owner = nullptr);
  ~TAbFlash() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TThreadPriority ThreadPriority() const { return threadPriority_; }
  void SetThreadPriority(TThreadPriority value);
  int TickInterval() const { return tickInterval_; }
  void SetTickInterval(int milliseconds);
  const framework::TNotifyEvent& OnTick() const { return onTick_; }
  // Assigning or clearing the event starts or stops the thread; replacing one event by another
  // only stores it.
  void SetOnTick(framework::TNotifyEvent handler);

  // Runs on the GUI thread at each tick.
  void DoTick();

  TTimerThread* Thread() const { return thread_.get(); }

 protected:
  void UpdateThread();

 private:
  bool enabled_ = true;
  TThreadPriority threadPriority_ = tpNormal;
  int tickInterval_ = 16;
  framework::TNotifyEvent onTick_;
  bool destroying_ = false;
  std::unique_ptr<TTimerThread> thread_;
};

// True from the moment the application object is being destroyed: flash threads stop ticking.
bool ApplicationClosing();

}  // namespace instruments
