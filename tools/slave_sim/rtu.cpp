#include "rtu.h"

#include <array>

namespace slave_sim {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0xC0C1 && kCrcTable[128] == 0xA001 && kCrcTable[255] == 0x4040);

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t count) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < count; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void AppendCrc(Bytes& frame) {
  const uint16_t crc = Crc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool CrcMatches(const Bytes& frame) {
  if (frame.size() < 3) return false;
  const uint16_t crc = Crc16(frame.data(), frame.size() - 2);
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

std::string Hex(const uint8_t* data, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

size_t RequestAssembler::ExpectedLength() const {
  if (pending_.size() < 2) return 0;
  switch (pending_[1]) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
      return 8;
    case 0x0F:
    case 0x10:  // address, function, start, quantity, byte count, data, CRC
      return pending_.size() < 7 ? 0 : 9 + size_t{pending_[6]};
    default:  // a function we do not know the shape of ends by silence
      return 0;
  }
}

void RequestAssembler::Feed(const uint8_t* data, size_t count, int64_t now_us,
                            std::vector<Bytes>& frames) {
  if (auto stale = Expire(now_us)) frames.push_back(std::move(*stale));
  for (size_t i = 0; i < count; ++i) {
    pending_.push_back(data[i]);
    const size_t expected = ExpectedLength();
    if ((expected != 0 && pending_.size() >= expected) || pending_.size() >= kMaxFrame) {
      frames.push_back(std::move(pending_));
      pending_.clear();
    }
  }
  last_byte_us_ = now_us;
}

std::optional<Bytes> RequestAssembler::Expire(int64_t now_us) {
  if (pending_.empty() || now_us - last_byte_us_ < silence_us_) return std::nullopt;
  Bytes frame = std::move(pending_);
  pending_.clear();
  return frame;
}

std::optional<int64_t> RequestAssembler::Deadline() const {
  if (pending_.empty()) return std::nullopt;
  return last_byte_us_ + silence_us_;
}

}  // namespace slave_sim
