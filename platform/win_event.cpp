#include "platform/win_event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// One lock for all events, since a wait spans several. Each wait under way is listed with its
// own condition, and setting an event wakes only the waits that include it: a write completing
// on the GUI thread must not wake the port's event thread, which waits on other events.
// Waiters come from a pool and are never freed, so a condition may be notified after the lock
// is released (the woken thread then finds the lock free) even if its wait has ended meanwhile;
// at worst a later wait on the same waiter wakes once for nothing and waits on.
struct Event::Waiter {
  std::initializer_list<Event*> events;
  std::condition_variable woken;
  Waiter* next = nullptr;
};

namespace {
// Never destroyed, like the waiters: an event may outlive static destruction.
std::mutex& EventLock() {
  static std::mutex& lock = *new std::mutex;
  return lock;
}
Event::Waiter* waiting = nullptr;  // under EventLock
Event::Waiter* spare = nullptr;    // under EventLock

// Signalled when the last held set of an event is made, for a destructor waiting on it.
std::condition_variable& HoldsReleased() {
  static std::condition_variable& released = *new std::condition_variable;
  return released;
}

Event::Waiter* TakeWaiter(std::initializer_list<Event*> events) {
  Event::Waiter* w = spare ? spare : new Event::Waiter;
  if (w == spare) spare = w->next;
  w->events = events;
  w->next = waiting;
  waiting = w;
  return w;
}

void ReturnWaiter(Event::Waiter* w) {
  Event::Waiter** link = &waiting;
  while (*link != w) link = &(*link)->next;
  *link = w->next;
  w->next = spare;
  spare = w;
}
}  // namespace

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

Event::~Event() {
  std::unique_lock<std::mutex> lock(EventLock());
  HoldsReleased().wait(lock, [this] { return holds_ == 0; });
}

void Event::Hold() {
  std::lock_guard<std::mutex> guard(EventLock());
  ++holds_;
}

void Event::Set() { SetReleasing(0); }

void Event::SetHeld() { SetReleasing(1); }

// Sets the event and gives up `held` holds, in one turn of the lock. The waits it wakes are
// notified once the lock is free; the event itself is not touched then, since a destructor
// waiting for the last hold may go ahead as soon as the lock is.
void Event::SetReleasing(int held) {
  constexpr int kMost = 8;  // more waits at once on one event than a port ever has
  Waiter* wake[kMost];
  int count = 0;
  {
    std::lock_guard<std::mutex> guard(EventLock());
    set_ = true;
    for (Waiter* w = waiting; w; w = w->next)
      for (Event* e : w->events)
        if (e == this) {
          if (count < kMost) wake[count++] = w;
          else w->woken.notify_one();
          break;
        }
    holds_ -= held;
    if (held && holds_ == 0) HoldsReleased().notify_all();
  }
  for (int i = 0; i < count; ++i) wake[i]->woken.notify_one();
}

void Event::Reset() {
  std::lock_guard<std::mutex> guard(EventLock());
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> guard(EventLock());
  return set_;
}

uint32_t WaitForMultipleObjects(std::initializer_list<Event*> events, uint32_t timeoutMs) {
  if (events.size() == 0) return WAIT_FAILED;
  for (Event* e : events)
    if (!e) return WAIT_FAILED;
  std::unique_lock<std::mutex> lock(EventLock());
  auto firstSet = [&]() -> int {
    int index = 0;
    for (Event* e : events) {
      if (e->set_) return index;
      ++index;
    }
    return -1;
  };
  int found = firstSet();
  if (found < 0 && timeoutMs != 0) {
    Event::Waiter* self = TakeWaiter(events);
    auto anySet = [&] { return (found = firstSet()) >= 0; };
    if (timeoutMs == INFINITE)
      self->woken.wait(lock, anySet);
    else
      self->woken.wait_for(lock, std::chrono::milliseconds(timeoutMs), anySet);
    ReturnWaiter(self);
  }
  if (found < 0) return WAIT_TIMEOUT;
  Event* hit = *(events.begin() + found);
  if (!hit->manualReset_) hit->set_ = false;
  return WAIT_OBJECT_0 + static_cast<uint32_t>(found);
}

uint32_t WaitForSingleObject(Event* event, uint32_t timeoutMs) {
  return WaitForMultipleObjects({event}, timeoutMs);
}

}  // namespace platform
