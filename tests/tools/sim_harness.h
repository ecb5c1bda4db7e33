// Test side of the slave simulator: runs the real binary as a child process on a link in a
// scratch folder, and plays the master on that link. The CRC here is the textbook bit-by-bit
// one, so it checks the simulator's table rather than repeating it.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim_test {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

// `frame` with its CRC appended, low byte first.
Bytes WithCrc(Bytes frame);
bool CrcOk(const Bytes& frame);
Bytes ReadRequest(uint8_t address, uint16_t start = 0, uint16_t quantity = 3);
Bytes WriteRequest(uint8_t address, uint16_t reg, uint16_t value);
// The function-03 answer of three registers.
Bytes ReadAnswer(uint8_t address, uint16_t r0, uint16_t r1, uint16_t r2);
// Register r of a function-03 answer.
uint16_t Register(const Bytes& answer, size_t r);
// CLOCK_MONOTONIC in microseconds, the simulator's log clock.
int64_t NowUs();
std::string Hex(const Bytes& bytes);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

struct LogLine {
  int64_t us;
  std::string what;  // "RX", "TX", "FAULT", ...
  std::string rest;  // the remainder of the line
};

class SimProcess {
 public:
  // Starts the simulator with --link and --log in `dir` plus `args`, and waits for "ready".
  // With "--tcp" among `args` there is no link: Link() is the "tcp://" name it listens on.
  SimProcess(const TempDir& dir, const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& Link() const { return link_; }
  const std::string& ReadyLine() const { return ready_; }
  // Sends a control line; returns the reply lines up to and including "ok" or "error ...".
  std::vector<std::string> Command(const std::string& line);
  // The next reply: lines up to and including "ok" or "error ...".
  std::vector<std::string> Reply();
  void CloseInput() { close(std::exchange(in_, -1)); }
  // Sends `signal` (0: the quit command) and returns the exit status, -1 if it did not end.
  int Stop(int signal);
  // The log so far. While the simulator runs, a "stats" round trip first makes sure that it
  // has logged everything it did before: it logs a write only after the write.
  // Only the lines of kind `what`, when it is given.
  std::vector<LogLine> Log(const std::string& what = "");

 private:
  std::string ReadLine(milliseconds within);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string link_, log_, ready_, buffered_;
};

// Runs the simulator with `args` to its end; returns the exit status and its standard error.
int RunToEnd(const std::vector<std::string>& args, std::string& error_text);

class Master {
 public:
  // A path opens the pseudo-terminal; "tcp://127.0.0.1:PORT" connects to a --tcp simulator.
  explicit Master(const std::string& path);
  ~Master();
  Master(const Master&) = delete;
  Master& operator=(const Master&) = delete;

  void Send(const Bytes& bytes);
  // Whether the simulator ends the connection within the time (a network line).
  bool Closed(milliseconds within);
  // What arrives until `count` bytes are in or the time is up.
  Bytes Receive(size_t count, milliseconds within) { return Collect(count, within, within); }
  // What arrives until the line has been quiet for `quiet`.
  Bytes ReceiveQuiet(milliseconds quiet, milliseconds within = milliseconds(2000)) {
    return Collect(SIZE_MAX, quiet, within);
  }
  // Sends and collects `count` bytes of answer.
  Bytes Transact(const Bytes& request, size_t count, milliseconds within = milliseconds(1000)) {
    Send(request);
    return Receive(count, within);
  }

 private:
  Bytes Collect(size_t count, milliseconds quiet, milliseconds within);
  int fd_ = -1;
};

// Sends `request` and expects exactly `answer` back; an empty `answer`: nothing at all.
void ExpectAnswer(Master& master, const Bytes& request, const Bytes& answer);

}  // namespace sim_test
