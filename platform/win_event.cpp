#include "platform/win_event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

namespace {
// One lock and one condition for all events: waits span several events, and the program has
// only a handful of threads, so waking every waiter on a change costs nothing worth saving.
std::mutex& EventLock() {
  static std::mutex lock;
  return lock;
}
std::condition_variable& EventChanged() {
  static std::condition_variable changed;
  return changed;
}
}  // namespace

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

Event::~Event() = default;

void Event::Set() {
  {
    std::lock_guard<std::mutex> guard(EventLock());
    set_ = true;
  }
  EventChanged().notify_all();
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
    if (timeoutMs == INFINITE) {
      EventChanged().wait(lock, [&] { return (found = firstSet()) >= 0; });
    } else {
      EventChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return (found = firstSet()) >= 0; });
    }
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
