// The event log: one line per event, "<microseconds> <WHAT> <details>", stamped with the
// monotonic clock so that another process on the machine can line its own times up with ours.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace slave_sim {

// CLOCK_MONOTONIC in microseconds.
int64_t NowUs();

class EventLog {
 public:
  EventLog() = default;
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  // "-" logs to standard error. Returns false (errno set) when the file cannot be opened.
  bool Open(const std::string& path);
  // Writes and flushes one line, so a killed simulator leaves a complete log.
  void Write(int64_t us, const std::string& what);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace slave_sim
