#include "instruments/led/ab_flash.h"

#include <pthread.h>
#include <sched.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/guard.h"
#include "framework/synchronize.h"

namespace instruments {

namespace {

std::atomic<bool> Closing{false};
bool ClosingRoutineAdded = false;  // GUI thread only

void ReapFinishedThreads(bool wait);

void MarkApplicationClosing() {
  Closing = true;
  ClosingRoutineAdded = false;
  ReapFinishedThreads(true);
}

// Flash threads must stop before the application object goes; its destructor runs this first.
void WatchApplicationEnd() {
  if (ClosingRoutineAdded || !QCoreApplication::instance()) return;
  ClosingRoutineAdded = true;
  Closing = false;
  qAddPostRoutine(MarkApplicationClosing);
}

// Ordinary threads share one scheduling level on Linux; only the idle class differs.
void ApplyPriority(int priority) {
  sched_param param{};
  param.sched_priority = 0;
  pthread_setschedparam(pthread_self(), priority == TAbFlash::tpIdle ? SCHED_IDLE : SCHED_OTHER,
                        &param);
}

}  // namespace

bool ApplicationClosing() {
  return Closing;
}

struct TTimerThread::State {
  std::mutex lock;
  std::condition_variable wake;
  int interval = 16;                  // under lock
  int priority = TAbFlash::tpNormal;  // under lock
  bool resumed = false;               // under lock
  bool terminated = false;            // under lock
  bool alive = false;                 // under lock: a thread runs the loop
  std::thread worker;                 // GUI thread only
  TAbFlash* owner = nullptr;          // GUI thread only
  bool inTick = false;                // GUI thread only: the owner's DoTick is running

  bool Alive() {
    std::lock_guard<std::mutex> guard(lock);
    return alive;
  }
};

namespace {

using Clock = std::chrono::steady_clock;

// Runs on the GUI thread, inside the worker's synchronize request.
void RunOwnerTick(TTimerThread::State& s) {
  if (!s.owner || ApplicationClosing()) return;
  s.inTick = true;
  framework::Guard([&s] { s.owner->DoTick(); });
  s.inTick = false;
}

// Threads of flash components destroyed from inside their own tick. Each ends as soon as that
// tick returns and is joined at the next opportunity (GUI thread only).
std::vector<std::shared_ptr<TTimerThread::State>>& FinishedThreads() {
  static std::vector<std::shared_ptr<TTimerThread::State>> finished;
  return finished;
}

void ReapFinishedThreads(bool wait) {
  auto& finished = FinishedThreads();
  for (auto it = finished.begin(); it != finished.end();) {
    TTimerThread::State& s = **it;
    if (wait) framework::WaitServingSynchronize([&s] { return !s.Alive(); });
    if (s.Alive()) {
      ++it;
      continue;
    }
    s.worker.join();
    it = finished.erase(it);
  }
}

// Ticks are due on a fixed schedule, so the time the GUI thread takes does not add up.
void TimerThreadLoop(std::shared_ptr<TTimerThread::State> s) {
  std::unique_lock<std::mutex> lock(s->lock);
  int appliedPriority = -1;
  Clock::time_point due = Clock::now();
  for (;;) {
    if (appliedPriority != s->priority) ApplyPriority(appliedPriority = s->priority);
    const auto interval = std::chrono::milliseconds(s->interval);
    due += interval;
    const Clock::time_point now = Clock::now();
    if (due + interval < now) due = now;  // far behind (a busy GUI thread): start afresh
    s->wake.wait_until(lock, due, [&s] { return s->terminated || !s->resumed; });
    if (s->terminated || !s->resumed || ApplicationClosing()) break;
    lock.unlock();
    framework::Synchronize([s] { RunOwnerTick(*s); });
    lock.lock();
  }
  s->alive = false;
  lock.unlock();
  framework::WakeSynchronizeWaiters();
}

}  // namespace

TTimerThread::TTimerThread(TAbFlash* owner) : state_(std::make_shared<State>()) {
  state_->owner = owner;
  ReapFinishedThreads(false);
}

TTimerThread::~TTimerThread() {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.terminated = true;
  }
  s.wake.notify_all();
  s.owner = nullptr;
  if (!s.worker.joinable()) return;
  if (s.inTick) {
    // Destroyed from inside its own tick: the thread waits for this very tick, so it cannot
    // be waited for here. It ends once the tick returns, touching only the shared state.
    FinishedThreads().push_back(state_);
    return;
  }
  framework::WaitServingSynchronize([&s] { return !s.Alive(); });
  s.worker.join();
  ReapFinishedThreads(false);
}

void TTimerThread::Suspend() {
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (!state_->resumed) return;
    state_->resumed = false;
  }
  state_->wake.notify_all();
}

void TTimerThread::Resume() {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.lock);
  if (s.resumed || s.terminated) return;
  s.resumed = true;
  if (s.alive) return;  // suspended a moment ago and not yet ended: it simply goes on
  lock.unlock();
  // A thread that has already left its loop only needs to return.
  if (s.worker.joinable()) s.worker.join();
  lock.lock();
  s.alive = true;
  s.worker = std::thread(TimerThreadLoop, state_);
}

bool TTimerThread::Suspended() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return !state_->resumed;
}

bool TTimerThread::Running() const {
  return state_->Alive();
}

int TTimerThread::Interval() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->interval;
}

void TTimerThread::SetInterval(int milliseconds) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->interval = milliseconds;
}

void TTimerThread::SetPriority(int priority) {
  std::lock_guard<std::mutex> guard(state_->lock);
  state_->priority = priority;
}

TAbFlash::TAbFlash(QObject* owner) : QObject(owner), thread_(std::make_unique<TTimerThread>(this)) {
  WatchApplicationEnd();
}

TAbFlash::~TAbFlash() {
  destroying_ = true;
  SetEnabled(false);
  SetOnTick(nullptr);
  thread_.reset();
}

void TAbFlash::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateThread();
}

void TAbFlash::SetThreadPriority(TThreadPriority value) {
  if (value == threadPriority_) return;
  threadPriority_ = value;
  UpdateThread();
}

void TAbFlash::SetTickInterval(int milliseconds) {
  if (milliseconds == tickInterval_) return;
  tickInterval_ = milliseconds;
  UpdateThread();
}

void TAbFlash::SetOnTick(framework::TNotifyEvent handler) {
  const bool assignedChanges = bool(handler) != bool(onTick_);
  onTick_ = std::move(handler);
  if (assignedChanges) UpdateThread();
}

void TAbFlash::UpdateThread() {
  thread_->Suspend();
  thread_->SetInterval(tickInterval_);
  if (tickInterval_ <= 0 || !enabled_ || !onTick_) return;
  thread_->SetPriority(threadPriority_);
  thread_->Resume();
}

void TAbFlash::DoTick() {
  if (!enabled_ || destroying_ || !onTick_) return;
  // A copy: the handler may replace the event, or free this component, while it runs.
  const framework::TNotifyEvent handler = onTick_;
  handler(this);
}

}  // namespace instruments
