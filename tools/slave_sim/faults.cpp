#include "faults.h"

#include <algorithm>

namespace slave_sim {
namespace {

std::string Note(const char* fault, int address, const std::string& detail = "") {
  std::string note = std::string(fault) + " " + std::to_string(address);
  if (!detail.empty()) note += " " + detail;
  return note;
}

std::vector<Bytes> Split(const Bytes& frame, const std::vector<size_t>& sizes) {
  std::vector<Bytes> writes;
  size_t at = 0;
  for (size_t size : sizes) {
    if (at >= frame.size()) break;
    const size_t end = std::min(frame.size(), at + size);
    writes.emplace_back(frame.begin() + static_cast<long>(at),
                        frame.begin() + static_cast<long>(end));
    at = end;
  }
  if (at < frame.size()) writes.emplace_back(frame.begin() + static_cast<long>(at), frame.end());
  return writes;
}

}  // namespace

bool FaultTable::Silent(int address) const {
  auto found = slaves_.find(address);
  return found != slaves_.end() && found->second.silent;
}

void FaultTable::Clear() {
  slaves_.clear();
  garbage_every_us = 0;
  garbage_every_count = 0;
}

ShapedAnswer FaultTable::Shape(int address, Bytes answer) {
  SlaveFaults& faults = slaves_[address];
  ShapedAnswer shaped;
  if (faults.foreign) {
    answer[0] = *faults.foreign;
    shaped.notes.push_back(Note("foreign", address, std::to_string(*faults.foreign)));
  }
  AppendCrc(answer);
  if (faults.badcrc != 0) {
    answer[answer.size() - 2] ^= 0xFF;  // any change will do; this one never cancels out
    if (faults.badcrc > 0) --faults.badcrc;
    shaped.notes.push_back(Note(
        "badcrc", address, faults.badcrc < 0 ? "all" : std::to_string(faults.badcrc) + " left"));
  }
  if (faults.midframe) {
    faults.midframe = false;
    answer.resize(answer.size() / 2);
    shaped.notes.push_back(Note("midframe", address, std::to_string(answer.size()) + " bytes"));
  }
  if (faults.delay_us > 0) {
    shaped.delay_us = faults.delay_us;
    shaped.notes.push_back(Note("delay", address, std::to_string(faults.delay_us / 1000) + "ms"));
  }
  if (!faults.pieces.empty()) {
    shaped.writes = Split(answer, faults.pieces);
    shaped.pause_us = faults.piece_pause_us;
    shaped.notes.push_back(Note("pieces", address, std::to_string(shaped.writes.size())));
  } else {
    shaped.writes.push_back(std::move(answer));
  }
  return shaped;
}

}  // namespace slave_sim
