// The part of a Windows serial driver that lives in memory: the input queue, the pending line
// errors, the event history, and the reads and event waits that wait on them. Kept apart from
// the file descriptor (serial_device_posix.cpp) so that the Win32 rules read on their own.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/serial_device.h"

namespace platform::detail {

using Clock = std::chrono::steady_clock;

// Timeout products can reach 2^64 ms; beyond a few years they mean "never" anyway, and the
// clock must not overflow.
inline std::chrono::milliseconds TimeoutMs(uint64_t multiplier, uint64_t count, uint64_t constant) {
  constexpr uint64_t kLongest = uint64_t{1} << 40;
  return std::chrono::milliseconds(std::min(multiplier * count + constant, kLongest));
}

// How one read waits, from the timeouts in force when it starts (the Win32 rules).
struct ReadPlan {
  bool returnQueued = false;   // at once with what is queued, possibly nothing
  bool returnIfAny = false;    // at once when anything is queued
  bool firstByteEnds = false;  // while waiting, the first byte completes the read
  std::optional<std::chrono::milliseconds> total;
  std::optional<std::chrono::milliseconds> interval;  // between bytes, after the first
};

inline ReadPlan PlanRead(const COMMTIMEOUTS& t, uint32_t count) {
  ReadPlan plan;
  const uint32_t multiplier = t.ReadTotalTimeoutMultiplier;
  const uint32_t constant = t.ReadTotalTimeoutConstant;
  if (t.ReadIntervalTimeout == MAXDWORD) {
    if (multiplier == 0 && constant == 0) {
      plan.returnQueued = true;
    } else if (constant != MAXDWORD && multiplier != MAXDWORD) {
      plan.returnIfAny = true;
      plan.total = TimeoutMs(multiplier, count, constant);
    } else if (constant != MAXDWORD) {
      plan.returnIfAny = plan.firstByteEnds = true;
      plan.total = TimeoutMs(0, 0, constant);
    }
    return plan;
  }
  if (multiplier != 0 || constant != 0) plan.total = TimeoutMs(multiplier, count, constant);
  if (t.ReadIntervalTimeout != 0) plan.interval = TimeoutMs(0, 0, t.ReadIntervalTimeout);
  return plan;
}

// The device holds its lock around every call.
class CommCore {
 public:
  enum class Start { Done, Pending, Failed };

  // Fills in the result, then wakes the caller's event and any GetOverlappedResult waiter.
  // The record is not touched afterwards.
  void Complete(OVERLAPPED* ov, uint32_t error, uint32_t transferred) {
    ov->Internal = error;
    ov->InternalHigh = transferred;
    ov->Pending = false;
    if (ov->hEvent && deferred_) {
      ov->hEvent->Hold();
      deferred_->push_back(ov->hEvent);
    } else if (ov->hEvent) {
      ov->hEvent->Set();
    }
    done_.notify_all();
  }
  // While set, completions hold their events' sets in the list instead of making them; the
  // holder makes them with SetHeld once the device's lock is free.
  void DeferSets(std::vector<Event*>* into) { deferred_ = into; }
  // A call that fails at once leaves the caller's event alone, as Win32 does: a caller that
  // waits on it regardless must not be woken into retrying the same failing call.
  static void FailAtOnce(OVERLAPPED* ov, uint32_t error, uint32_t transferred) {
    ov->Internal = error;
    ov->InternalHigh = transferred;
    ov->Pending = false;
  }
  static void MarkPending(OVERLAPPED* ov) {
    ov->Internal = ERROR_IO_PENDING;
    ov->InternalHigh = 0;
    ov->Pending = true;
  }
  void WaitUntilComplete(std::unique_lock<std::mutex>& lock, const OVERLAPPED* ov) {
    done_.wait(lock, [ov] { return !ov->Pending; });
  }

  // --- input ---
  void SetQueueSize(uint32_t size) { capacity_ = size; }
  void SetFilters(bool discardNull, uint8_t eventChar) {
    discardNull_ = discardNull;
    eventChar_ = eventChar;
  }
  uint32_t Queued() const { return static_cast<uint32_t>(queue_.size()); }
  // How many bytes the line may deliver before one would be dropped.
  size_t Room() const {
    size_t room = queue_.size() < capacity_ ? capacity_ - queue_.size() : 0;
    for (const ReadOp& r : reads_) room += r.count - r.got;
    return room;
  }
  void ClearQueue() { queue_.clear(); }

  // Bytes from the line: pending reads first (they exist only while the queue is empty),
  // then the queue; what finds no room is dropped and reported.
  void Receive(const uint8_t* data, size_t size, Clock::time_point now) {
    const size_t threshold = capacity_ - capacity_ / 5;
    uint32_t events = 0;
    size_t dropped = 0;
    for (size_t i = 0; i < size; ++i) {
      const uint8_t byte = data[i];
      if (discardNull_ && byte == 0) continue;
      events |= EV_RXCHAR;
      if (byte == eventChar_) events |= EV_RXFLAG;
      if (!reads_.empty()) {
        FeedRead(byte, now);
      } else if (queue_.size() < capacity_) {
        queue_.push_back(byte);
        if (queue_.size() == threshold) events |= EV_RX80FULL;
      } else {
        ++dropped;
      }
    }
    if (dropped) {
      errors_ |= CE_RXOVER;
      events |= EV_ERR;
    }
    Raise(events);
  }

  // --- reads ---
  Start StartRead(uint8_t* buffer, uint32_t count, const COMMTIMEOUTS& timeouts, OVERLAPPED* ov,
                  Clock::time_point now, uint32_t& got, uint32_t& error) {
    got = reads_.empty() ? Take(buffer, count) : 0;
    if (got == count) return Start::Done;
    if (hungUp_) {
      error = ERROR_GEN_FAILURE;
      return got > 0 ? Start::Done : Start::Failed;
    }
    const ReadPlan plan = PlanRead(timeouts, count);
    const bool zeroTotal = plan.total && plan.total->count() == 0;
    if (plan.returnQueued || (plan.returnIfAny && got > 0) || zeroTotal) return Start::Done;
    ReadOp op{ov, buffer, count, got, plan, std::nullopt, now};
    if (plan.total) op.totalDeadline = now + *plan.total;
    MarkPending(ov);
    reads_.push_back(op);
    return Start::Pending;
  }

  // Timed-out reads complete successfully with what they got.
  void ExpireReads(Clock::time_point now) {
    for (auto it = reads_.begin(); it != reads_.end();) {
      const auto deadline = Deadline(*it);
      if (deadline && now >= *deadline) {
        Complete(it->ov, ERROR_SUCCESS, it->got);
        it = reads_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::optional<Clock::time_point> NextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const ReadOp& r : reads_) {
      const auto deadline = Deadline(r);
      if (deadline && (!next || *deadline < *next)) next = deadline;
    }
    return next;
  }

  void AbortReads(uint32_t error) {
    for (ReadOp& r : reads_) Complete(r.ov, error, r.got);
    reads_.clear();
  }

  // --- events ---
  uint32_t Mask() const { return mask_; }

  // A pending wait completes with no events; the history starts afresh.
  void SetMask(uint32_t mask) {
    if (wait_) FinishWait(0, ERROR_SUCCESS);
    history_ = 0;
    mask_ = mask;
  }

  Start StartWait(uint32_t* mask, OVERLAPPED* ov, uint32_t& error) {
    if (mask_ == 0 || wait_) {
      error = ERROR_INVALID_PARAMETER;
      return Start::Failed;
    }
    if (history_ & mask_) {
      *mask = history_ & mask_;
      history_ = 0;
      return Start::Done;
    }
    MarkPending(ov);
    wait_ = ov;
    waitMask_ = mask;
    return Start::Pending;
  }

  void AbortWait(uint32_t error) {
    if (wait_) FinishWait(0, error);
  }

  // Only events of the current mask are remembered.
  void Raise(uint32_t events) {
    history_ |= events & mask_;
    if (wait_ && history_) {
      const uint32_t happened = history_;
      history_ = 0;
      FinishWait(happened, ERROR_SUCCESS);
    }
  }

  void AddErrors(uint32_t errors) { errors_ |= errors; }
  uint32_t TakeErrors() { return std::exchange(errors_, 0); }

  // The line is gone: one error event; reads that got something keep it, the rest fail.
  // A pending event wait stays pending: no more events will come, but it is still cancellable.
  void HangUp() {
    if (hungUp_) return;
    hungUp_ = true;
    errors_ |= CE_IOE;
    Raise(EV_ERR);
    for (ReadOp& r : reads_) Complete(r.ov, r.got > 0 ? ERROR_SUCCESS : ERROR_GEN_FAILURE, r.got);
    reads_.clear();
  }
  bool HungUp() const { return hungUp_; }

 private:
  struct ReadOp {
    OVERLAPPED* ov;
    uint8_t* buffer;
    uint32_t count;
    uint32_t got;
    ReadPlan plan;
    std::optional<Clock::time_point> totalDeadline;
    Clock::time_point lastByte;
  };

  static std::optional<Clock::time_point> Deadline(const ReadOp& r) {
    std::optional<Clock::time_point> deadline = r.totalDeadline;
    if (r.plan.interval && r.got > 0) {
      const auto gap = r.lastByte + *r.plan.interval;
      if (!deadline || gap < *deadline) deadline = gap;
    }
    return deadline;
  }

  uint32_t Take(uint8_t* buffer, uint32_t count) {
    const uint32_t n = std::min<uint32_t>(count, Queued());
    std::copy_n(queue_.begin(), n, buffer);
    queue_.erase(queue_.begin(), queue_.begin() + n);
    return n;
  }

  void FeedRead(uint8_t byte, Clock::time_point now) {
    ReadOp& r = reads_.front();
    r.buffer[r.got++] = byte;
    r.lastByte = now;
    if (r.got == r.count || r.plan.firstByteEnds) {
      Complete(r.ov, ERROR_SUCCESS, r.got);
      reads_.pop_front();
    }
  }

  void FinishWait(uint32_t events, uint32_t error) {
    *waitMask_ = events;
    OVERLAPPED* ov = std::exchange(wait_, nullptr);
    waitMask_ = nullptr;
    Complete(ov, error, 0);
  }

  std::condition_variable done_;
  std::vector<Event*>* deferred_ = nullptr;
  std::deque<uint8_t> queue_;
  size_t capacity_ = 4096;
  bool discardNull_ = false;
  uint8_t eventChar_ = 0;
  std::list<ReadOp> reads_;
  uint32_t mask_ = 0;
  uint32_t history_ = 0;
  OVERLAPPED* wait_ = nullptr;
  uint32_t* waitMask_ = nullptr;
  uint32_t errors_ = 0;
  bool hungUp_ = false;
};

}  // namespace platform::detail
