#include "slaves.h"

namespace slave_sim {
namespace {

uint16_t Word(const Bytes& frame, size_t at) {
  return static_cast<uint16_t>(frame[at] << 8 | frame[at + 1]);
}

void PutWord(Bytes& frame, uint16_t value) {
  frame.push_back(static_cast<uint8_t>(value >> 8));
  frame.push_back(static_cast<uint8_t>(value & 0xFF));
}

}  // namespace

Bytes ExceptionAnswer(uint8_t address, uint8_t function, uint8_t code) {
  return {address, static_cast<uint8_t>(function | 0x80), code};
}

SlaveBank::SlaveBank(const std::set<int>& addresses, bool fixed, int64_t start_us)
    : addresses_(addresses), start_us_(start_us) {
  for (int address : addresses) {
    Slave& slave = slaves_[address];
    if (!fixed) continue;
    for (int reg = 0; reg < kRegisters; ++reg)
      slave.value[reg] = static_cast<uint16_t>(100 * (address - 1) + reg + 1);
    slave.pinned.set();
  }
}

uint16_t SlaveBank::Read(int address, const Slave& slave, int reg, int64_t now_us) const {
  if (slave.pinned[reg]) return slave.value[reg];
  const int64_t seconds = (now_us - start_us_) / 1'000'000;
  switch (reg) {
    case 0:
      return slave.answers;
    case 1:  // a slow sawtooth: the seconds since start, 0..999
      return static_cast<uint16_t>(seconds % 1000);
    case 2:  // tells the slaves apart at a glance, and still moves
      return static_cast<uint16_t>(address * 100 + seconds % 60);
    default:
      return static_cast<uint16_t>(reg);
  }
}

Bytes SlaveBank::ReadHolding(const Bytes& request, Slave& slave, int64_t now_us) const {
  const uint8_t address = request[0];
  if (request.size() != 8) return ExceptionAnswer(address, 0x03, kIllegalValue);
  const int start = Word(request, 2);
  const int quantity = Word(request, 4);
  if (quantity < 1 || quantity > kRegisters) return ExceptionAnswer(address, 0x03, kIllegalValue);
  if (start + quantity > kRegisters) return ExceptionAnswer(address, 0x03, kIllegalAddress);
  Bytes answer = {address, 0x03, static_cast<uint8_t>(2 * quantity)};
  for (int reg = start; reg < start + quantity; ++reg)
    PutWord(answer, Read(address, slave, reg, now_us));
  return answer;
}

Bytes SlaveBank::WriteSingle(const Bytes& request, Slave& slave) const {
  if (request.size() != 8) return ExceptionAnswer(request[0], 0x06, kIllegalValue);
  const int reg = Word(request, 2);
  if (reg >= kRegisters) return ExceptionAnswer(request[0], 0x06, kIllegalAddress);
  slave.value[reg] = Word(request, 4);
  slave.pinned.set(reg);
  return Bytes(request.begin(), request.end() - 2);  // the echo
}

Bytes SlaveBank::Answer(const Bytes& request, int64_t now_us) {
  Slave& slave = slaves_.at(request[0]);
  ++slave.answers;  // counted first, so the first answer reads 1
  switch (request[1]) {
    case 0x03:
      return ReadHolding(request, slave, now_us);
    case 0x06:
      return WriteSingle(request, slave);
    default:
      return ExceptionAnswer(request[0], request[1], kIllegalFunction);
  }
}

void SlaveBank::StoreBroadcast(int address, const Bytes& request) {
  auto found = slaves_.find(address);
  if (found != slaves_.end() && request.size() == 8 && request[1] == 0x06)
    WriteSingle(request, found->second);
}

bool SlaveBank::Pin(int address, const std::vector<uint16_t>& values) {
  auto found = slaves_.find(address);
  if (found == slaves_.end() || values.size() > kRegisters) return false;
  for (size_t reg = 0; reg < values.size(); ++reg) {
    found->second.value[reg] = values[reg];
    found->second.pinned.set(reg);
  }
  return true;
}

}  // namespace slave_sim
