// Faults a slave can be told to show, and how they bend an answer on its way to the line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rtu.h"

namespace slave_sim {

struct SlaveFaults {
  bool silent = false;
  int badcrc = 0;              // answers still to spoil; -1: every answer
  uint8_t exception = 0;       // answer every request with this exception code; 0: off
  std::vector<size_t> pieces;  // sizes of the first writes; the rest goes in one more
  int64_t piece_pause_us = 20'000;
  int64_t delay_us = 0;
  std::optional<uint8_t> foreign;  // address put in the answer instead of the slave's own
  bool midframe = false;           // the next answer stops after half its bytes
};

// An answer ready for the line: the writes, in order, and what was done to it.
struct ShapedAnswer {
  std::vector<Bytes> writes;
  int64_t pause_us = 0;            // between two writes
  int64_t delay_us = 0;            // before the first
  std::vector<std::string> notes;  // one per fault applied, for the log
};

class FaultTable {
 public:
  SlaveFaults& For(int address) { return slaves_[address]; }
  bool Silent(int address) const;
  void Clear();

  // Applies the faults of `address` to `answer` (without CRC), which gets its CRC here.
  // One-shot and counted faults are used up.
  ShapedAnswer Shape(int address, Bytes answer);

  int64_t garbage_every_us = 0;  // 0: off
  size_t garbage_every_count = 0;

 private:
  std::map<int, SlaveFaults> slaves_;
};

}  // namespace slave_sim
