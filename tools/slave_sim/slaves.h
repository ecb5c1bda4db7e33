// The slaves on the line: a map of 125 holding registers each, answering reads (function 03)
// and single writes (function 06). Registers nobody wrote change over time so that a master's
// displays visibly move; a written or pinned register holds its value until overwritten.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "rtu.h"

namespace slave_sim {

// Modbus exception codes we answer with.
inline constexpr uint8_t kIllegalFunction = 0x01;
inline constexpr uint8_t kIllegalAddress = 0x02;
inline constexpr uint8_t kIllegalValue = 0x03;

// address, function | 0x80, code (no CRC yet).
Bytes ExceptionAnswer(uint8_t address, uint8_t function, uint8_t code);

class SlaveBank {
 public:
  static constexpr int kRegisters = 125;

  // `fixed`: every register starts pinned at 100 * (address - 1) + register + 1, so slave 1
  // reads 1, 2, 3 and slave 2 reads 101, 102, 103.
  SlaveBank(const std::set<int>& addresses, bool fixed, int64_t start_us);

  bool Serves(int address) const { return slaves_.count(address) != 0; }
  const std::set<int>& Addresses() const { return addresses_; }

  // The answer (without CRC) to a request with a good CRC for a served address.
  Bytes Answer(const Bytes& request, int64_t now_us);
  // A broadcast write (address 0) as `address` takes it: stored, not answered, not counted.
  void StoreBroadcast(int address, const Bytes& request);
  // Pins registers 0.. of `address` to `values`; false when they do not fit the map.
  bool Pin(int address, const std::vector<uint16_t>& values);

 private:
  struct Slave {
    std::array<uint16_t, kRegisters> value{};
    std::bitset<kRegisters> pinned;
    uint16_t answers = 0;
  };

  uint16_t Read(int address, const Slave& slave, int reg, int64_t now_us) const;
  Bytes ReadHolding(const Bytes& request, Slave& slave, int64_t now_us) const;
  Bytes WriteSingle(const Bytes& request, Slave& slave) const;

  std::set<int> addresses_;
  std::map<int, Slave> slaves_;
  int64_t start_us_;
};

}  // namespace slave_sim
