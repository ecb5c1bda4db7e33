// Win32-style event objects and waits, for overlapped records and thread stop signals.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace platform {

inline constexpr uint32_t INFINITE = 0xFFFFFFFF;
inline constexpr uint32_t WAIT_OBJECT_0 = 0;
inline constexpr uint32_t WAIT_TIMEOUT = 258;
inline constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;

class Event {
 public:
  Event(bool manualReset, bool initiallySet);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // A set promised while another lock is held, made with SetHeld once that lock is free (so
  // that the woken thread does not run straight into it). Until then the event is not
  // destroyed: its destructor waits.
  void Hold();
  void SetHeld();

  struct Waiter;  // a wait under way

 private:
  friend uint32_t WaitForMultipleObjects(std::initializer_list<Event*>, uint32_t);
  void SetReleasing(int held);
  bool manualReset_;
  bool set_;
  int holds_ = 0;
};

// Waits until one of the events is set; returns WAIT_OBJECT_0 + its index (the first set one
// in list order), WAIT_TIMEOUT, or WAIT_FAILED for an empty list or a null event. An
// auto-reset event that ends the wait is reset.
uint32_t WaitForMultipleObjects(std::initializer_list<Event*> events, uint32_t timeoutMs);
uint32_t WaitForSingleObject(Event* event, uint32_t timeoutMs);

}  // namespace platform
