// The Linux terminal calls behind the serial device: line format through termios2 (so that any
// baud rate works), modem lines, error counters and queue controls. No termios type appears
// here: <asm/termbits.h> and <termios.h> cannot meet in one translation unit, so only
// termios2_linux.cpp sees the kernel's structures. Every call returns false with errno set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {

// A line format in the device control block's own numbering.
struct LineFormat {
  uint32_t baudRate = 9600;
  uint8_t dataBits = 8;  // 5..8
  uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t stopBits = 0;  // 0 one, 1 one and a half (sent as two), 2 two
  bool parityCheck = false;
  bool rtsCtsFlow = false;  // hardware handshake, both directions
  bool xonXoffOut = false;  // honour XOFF from the far end
  bool xonXoffIn = false;   // send XOFF when our input fills
  uint8_t xonChar = 0x11;
  uint8_t xoffChar = 0x13;
  bool operator==(const LineFormat&) const = default;
};

// Raw binary line: no echo, no signals, no translation, receiver on, modem control ignored
// for reading. VMIN 1 keeps a non-blocking read telling "nothing yet" (EAGAIN) apart from a
// hung-up line (0).
bool SetRawMode(int fd);

bool ApplyLineFormat(int fd, const LineFormat& format);
// Reads the format back. One and a half stop bits read back as two. A pseudo-terminal keeps
// neither data bits nor parity (the kernel forces 8 bits, no parity), so those read back as
// 8 and none there.
bool ReadLineFormat(int fd, LineFormat& format);

// With parity checking on, the kernel marks each byte that came with a parity or framing
// error (PARMRK): 0xFF 0x00 and the byte as received; a true 0xFF arrives doubled. Without the
// marks it would hand over 0x00 in place of the byte. This takes the marks out again, also
// across reads, and passes a marked byte on as received or, when one is set, as the
// replacement character.
class ParityMarks {
 public:
  void Configure(bool marked, bool replace, uint8_t replaceChar) {
    marked_ = marked;
    replace_ = replace;
    replaceChar_ = replaceChar;
  }
  // Half a mark from before is of no use after the kernel's buffer was flushed.
  void Reset() { state_ = State::Plain; }
  // The bytes as they came from the line: `data` itself while nothing is marked, otherwise
  // a buffer of this object's that the next call overwrites.
  std::span<const uint8_t> Decode(const uint8_t* data, size_t size);

 private:
  enum class State { Plain, AfterFF, AfterMark };
  bool marked_ = false;
  bool replace_ = false;
  uint8_t replaceChar_ = 0;
  State state_ = State::Plain;
  std::vector<uint8_t> decoded_;
};

// The termios words behind a format, as the kernel's own numbers. The two calls above go
// through these; they are exposed because a pseudo-terminal cannot show all of them.
struct LineFlags {
  uint32_t cflag = 0;
  uint32_t iflag = 0;
  uint32_t ispeed = 0;
  uint32_t ospeed = 0;
};
// Replaces the format's bits in `current` and keeps the rest.
LineFlags EncodeLineFormat(const LineFormat& format, LineFlags current);
// The control characters are not in the flag words and keep their defaults.
LineFormat DecodeLineFlags(const LineFlags& flags);
bool ReadLineSpeed(int fd, uint32_t& inputSpeed, uint32_t& outputSpeed);

// Modem input lines as the Win32 modem status bits (MS_CTS_ON, MS_DSR_ON, MS_RING_ON,
// MS_RLSD_ON). Fails on a device without modem lines (a pseudo-terminal).
bool ReadModemStatus(int fd, uint32_t& status);
bool ReadOutputLines(int fd, bool& dtr, bool& rts);
bool SetDtr(int fd, bool on);
bool SetRts(int fd, bool on);
// RTS raised by the driver only while sending (RS-485 direction control).
bool SetRtsToggle(int fd, bool on);

// The driver's running totals of receive errors. Fails where the driver keeps none.
struct LineCounters {
  uint32_t frame = 0;
  uint32_t overrun = 0;  // the UART's and the driver buffer's together
  uint32_t parity = 0;
  uint32_t breaks = 0;
};
bool ReadLineCounters(int fd, LineCounters& counters);

// Bytes written but not yet sent.
bool ReadOutputQueue(int fd, uint32_t& bytes);
bool FlushLine(int fd, bool input, bool output);
bool SetExclusive(int fd, bool on);

}  // namespace platform
