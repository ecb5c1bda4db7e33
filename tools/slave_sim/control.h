// Control commands, one per line, from standard input, a control FIFO or the command line.
// Every command is answered with "ok" or "error <why>" (after any lines of its own output).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "simulator.h"

namespace slave_sim {

extern const char kCommandHelp[];

class Control {
 public:
  explicit Control(Simulator& simulator) : simulator_(simulator) {}

  // Runs `line`; returns the reply, each line ending in a newline, the last "ok" or "error ...".
  // A blank line is no command and gets no reply.
  std::string Run(const std::string& line, int64_t now_us);
  bool QuitRequested() const { return quit_; }

 private:
  // Each returns an error text, empty on success; `out` collects output lines.
  std::string Dispatch(const std::vector<std::string>& words, int64_t now_us, std::string& out);
  std::string PerSlave(const std::vector<std::string>& words);
  std::string Pieces(const std::vector<std::string>& words);
  std::string Noise(const std::vector<std::string>& words, int64_t now_us);
  std::string Regs(const std::vector<std::string>& words);
  // Parses an address set that the simulator serves in full.
  std::string ServedAddresses(const std::string& text, std::set<int>& addresses) const;

  Simulator& simulator_;
  bool quit_ = false;
};

// Reads control lines from a descriptor without blocking.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  int Fd() const { return fd_; }
  // Reads once and appends the lines that completes; false once the writer side is gone.
  bool ReadLines(std::vector<std::string>& lines);

 private:
  int fd_;
  std::string partial_;
};

}  // namespace slave_sim
