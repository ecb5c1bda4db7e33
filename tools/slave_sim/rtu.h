// Modbus RTU framing as the slave side sees it: the CRC-16 and the assembly of request frames
// from a byte stream, by expected length where the function code tells it and by line silence
// where it does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace slave_sim {

using Bytes = std::vector<uint8_t>;

// CRC-16 as Modbus defines it: reflected polynomial 0xA001, start 0xFFFF, no final XOR.
uint16_t Crc16(const uint8_t* data, size_t count);
inline uint16_t Crc16(const Bytes& bytes) {
  return Crc16(bytes.data(), bytes.size());
}

// Appends the CRC of `frame`, low byte first.
void AppendCrc(Bytes& frame);
// True when the last two bytes of `frame` are the CRC of the ones before them.
bool CrcMatches(const Bytes& frame);

// "01 03 00 00" (upper case, single blanks).
std::string Hex(const uint8_t* data, size_t count);
inline std::string Hex(const Bytes& bytes) {
  return Hex(bytes.data(), bytes.size());
}

// Collects request frames. A frame ends when it reaches the length its function code implies,
// when the line has been silent for `silence_us`, or when it reaches the longest legal frame.
class RequestAssembler {
 public:
  static constexpr size_t kMaxFrame = 256;

  explicit RequestAssembler(int64_t silence_us) : silence_us_(silence_us) {}

  // Takes bytes read at `now_us`; frames they complete go to `frames`.
  void Feed(const uint8_t* data, size_t count, int64_t now_us, std::vector<Bytes>& frames);
  // Ends the pending frame if the line has been silent long enough since its last byte.
  std::optional<Bytes> Expire(int64_t now_us);
  // When the pending frame will end by silence, if one is pending.
  std::optional<int64_t> Deadline() const;
  // Forgets a partial frame (the line went away).
  void Reset() { pending_.clear(); }

 private:
  // The full length of the pending frame, once its first bytes tell it; 0 while unknown.
  size_t ExpectedLength() const;

  int64_t silence_us_;
  int64_t last_byte_us_ = 0;
  Bytes pending_;
};

}  // namespace slave_sim
