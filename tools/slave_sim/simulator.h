// The slaves' side of the line: turns complete request frames into answers, applies the
// faults, times the writes (line speed, delays, pieces) and keeps the log and the counts.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>

#include "event_log.h"
#include "faults.h"
#include "line.h"
#include "rtu.h"
#include "slaves.h"

namespace slave_sim {

struct SimulatorSettings {
  std::set<int> slaves;
  bool fixed = false;
  long baud = 0;  // 0: answer at once
  uint32_t seed = 0;
};

class Simulator {
 public:
  Simulator(Line& line, EventLog& log, const SimulatorSettings& settings, int64_t now_us);

  // Notices the master program opening and closing its end of the line.
  void CheckLine(int64_t now_us);
  bool LineUp() const { return line_up_; }
  // Reads the line and answers what completes.
  void OnReadable(int64_t now_us);
  // Ends silent frames, writes what is due, sends periodic garbage.
  void OnTimers(int64_t now_us);
  // The earliest time OnTimers has something to do; -1 when nothing is pending.
  int64_t NextDeadline() const;
  // A due write is waiting for room on the line.
  bool WaitingForRoom() const { return waiting_for_room_; }

  // Sends the master away (a network line only); false when there is nobody to drop.
  bool Drop(int64_t now_us);
  FaultTable& Faults() { return faults_; }
  SlaveBank& Bank() { return bank_; }
  // Queues `count` random bytes for the line now ("GARBAGE" or "FLOOD" in the log).
  void SendNoise(const std::string& kind, size_t count, int64_t now_us);
  // Restarts the periodic garbage after its settings changed.
  void RestartGarbageTimer(int64_t now_us);
  // Counts per address and function, then the totals; one line each.
  std::string Stats() const;
  void Log(int64_t us, const std::string& what) { log_.Write(us, what); }

 private:
  struct Outgoing {
    int64_t due_us;
    Bytes bytes;
    std::string done_note;  // logged once the last byte is out
    size_t written = 0;
    // Further pieces of the same answer, each due `pause_us` after the one before went out.
    std::deque<Bytes> later = {};
    int64_t pause_us = 0;
    std::string answer_hex = {};  // the whole answer, for its "TX" line
  };

  void HandleFrame(const Bytes& frame, int64_t now_us);
  void AnswerRequest(const Bytes& request, int64_t now_us);
  void Schedule(ShapedAnswer shaped, size_t request_size, int64_t now_us);
  void Enqueue(Outgoing outgoing);
  // Queues the next piece of `done`'s answer, if it has one, after `done` went out at `at_us`.
  void EnqueueNextPiece(Outgoing& done, int64_t at_us);
  // Writes due bytes until the queue has nothing due or the line is full.
  void WriteDue(int64_t now_us);
  // Microseconds the line needs for `bytes` bytes at the emulated speed, with or without the
  // silence that ends a frame.
  int64_t LineTimeUs(size_t bytes, bool with_gap = true) const;

  Line& line_;
  EventLog& log_;
  SlaveBank bank_;
  FaultTable faults_;
  RequestAssembler assembler_;
  long baud_;
  std::mt19937 random_;
  std::deque<Outgoing> queue_;  // by due time; equal times keep their order
  bool line_up_ = false;
  bool waiting_for_room_ = false;
  int64_t next_garbage_us_ = 0;

  std::map<int, std::map<int, long>> requests_;  // address -> function -> good frames
  long frames_ = 0, bad_crc_ = 0, answers_ = 0, dropped_ = 0;
};

}  // namespace slave_sim
