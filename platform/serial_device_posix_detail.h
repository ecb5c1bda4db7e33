// Internals of the POSIX serial device, shared by its two source files: serial_path.cpp finds
// and opens the terminal, serial_device_posix.cpp runs it.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/serial_comm_core.h"
#include "platform/serial_device.h"
#include "platform/termios2_linux.h"

namespace platform::detail {

// Whether a character device number is a terminal that can be a serial line, judged by the
// kernel's driver table (the text of /proc/tty/drivers).
bool IsSerialLineDevice(unsigned major, unsigned minor, std::string_view driverTable);
// The same against this machine's table.
bool IsSerialLineDevice(unsigned major, unsigned minor);

// What kept a port name from opening, as far as the open saw it.
struct OpenFailure {
  enum class Kind { NoName, Missing, NotSerial, Denied, Busy, Other };
  Kind kind = Kind::Other;
  uint32_t error = ERROR_SUCCESS;  // the Win32 number, what callers report
  int sysError = 0;                // errno of the call that failed; 0 when we refused the file
  std::string path;                // the file the name stands for
};

// Opens the terminal a port name stands for, exclusively and in raw mode. Returns the
// descriptor, or -1 and what went wrong. Nothing but a serial line is ever opened.
int OpenSerialLine(const std::string& portName, OpenFailure& failure);
// The failure in the operator's words, several lines of UTF-8: what the system said, who holds
// the line or which group may use it, and what to do.
std::string OpenFailureReason(const std::string& portName, const OpenFailure& failure);
// Gives up exclusive use and closes.
void CloseSerialLine(int fd);

inline constexpr uint32_t kRtsHandshake = 0x2000;
inline constexpr uint32_t kRtsToggle = 0x3000;

// No rate, or one past the signed range (a negative custom rate, such as -1 stored as
// 0xFFFFFFFF), is no line speed.
inline bool ValidState(const DCB& dcb) {
  if (dcb.BaudRate == 0 || dcb.BaudRate > 0x7FFFFFFF) return false;
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return false;
  if (dcb.Parity > 4 || dcb.StopBits > 2) return false;
  const bool xonXoff = dcb.Flags & (dcb_OutX | dcb_InX);
  return !xonXoff || dcb.XonChar != dcb.XoffChar;
}

inline bool HardwareHandshake(const DCB& dcb) {
  return (dcb.Flags & dcb_OutxCtsFlow) || (dcb.Flags & dcb_RtsControlMask) == kRtsHandshake;
}

inline LineFormat FormatFromDcb(const DCB& dcb) {
  LineFormat format;
  format.baudRate = dcb.BaudRate;
  format.dataBits = dcb.ByteSize;
  format.parity = dcb.Parity;
  format.stopBits = dcb.StopBits;
  format.parityCheck = dcb.Flags & dcb_ParityCheck;
  format.rtsCtsFlow = HardwareHandshake(dcb);
  format.xonXoffOut = dcb.Flags & dcb_OutX;
  format.xonXoffIn = dcb.Flags & dcb_InX;
  format.xonChar = static_cast<uint8_t>(dcb.XonChar);
  format.xoffChar = static_cast<uint8_t>(dcb.XoffChar);
  return format;
}

// What GetCommState reports before any SetCommState: the line as we found it.
inline DCB DcbFromDevice(int fd) {
  DCB dcb;
  dcb.DCBlength = 28;
  dcb.Flags = dcb_Binary;
  LineFormat format;
  if (ReadLineFormat(fd, format)) {
    dcb.BaudRate = format.baudRate;
    dcb.ByteSize = format.dataBits;
    dcb.Parity = format.parity;
    dcb.StopBits = format.stopBits;
    if (format.parityCheck) dcb.Flags |= dcb_ParityCheck;
    if (format.rtsCtsFlow) dcb.Flags |= dcb_OutxCtsFlow | kRtsHandshake;
    if (format.xonXoffOut) dcb.Flags |= dcb_OutX;
    if (format.xonXoffIn) dcb.Flags |= dcb_InX;
    dcb.XonChar = static_cast<char>(format.xonChar);
    dcb.XoffChar = static_cast<char>(format.xoffChar);
  }
  bool dtr = false, rts = false;
  if (ReadOutputLines(fd, dtr, rts)) {
    if (dtr) dcb.Flags |= 0x0010;
    if (rts && !format.rtsCtsFlow) dcb.Flags |= 0x1000;
  }
  return dcb;
}

// What the descriptor is. A socket to a device server carries the bytes only: its line
// settings are kept but go nowhere, it has no modem lines or error counters, and the far end
// closing it is the hang-up.
enum class LineKind { Terminal, Socket };

// What GetCommState reports on a socket before any SetCommState: the usual 9600 8N1.
inline DCB SocketDcb() {
  DCB dcb;
  dcb.DCBlength = 28;
  dcb.BaudRate = 9600;
  dcb.Flags = dcb_Binary;
  dcb.ByteSize = 8;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

// The device on an open terminal or socket; it owns both descriptors and its worker thread.
class PosixSerialDevice final : public SerialDevice {
 public:
  PosixSerialDevice(int fd, int wakeFd, LineKind kind = LineKind::Terminal);
  ~PosixSerialDevice() override;

  bool SetupComm(uint32_t inQueue, uint32_t outQueue) override;
  bool SetCommState(const DCB& dcb) override;
  bool GetCommState(DCB& dcb) override;
  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override;
  bool GetCommTimeouts(COMMTIMEOUTS& timeouts) override;
  bool SetCommMask(uint32_t mask) override;
  bool WaitCommEvent(uint32_t* mask, OVERLAPPED* overlapped) override;
  bool ReadFile(void* buffer, uint32_t count, uint32_t* read, OVERLAPPED* overlapped) override;
  bool WriteFile(const void* buffer, uint32_t count, uint32_t* written,
                 OVERLAPPED* overlapped) override;
  bool GetOverlappedResult(OVERLAPPED* overlapped, uint32_t* transferred, bool wait) override;
  bool ClearCommError(uint32_t* errors, COMSTAT* stat) override;
  bool GetCommModemStatus(uint32_t* status) override;
  bool PurgeComm(uint32_t flags) override;
  bool LineGone() override;
  void SetUnheardEvents(uint32_t events) override;

 private:
  struct WriteOp {
    OVERLAPPED* ov;
    std::vector<uint8_t> rest;  // our own copy of what had not gone out at the start
    size_t offset = 0;          // into rest
    uint32_t done = 0;          // of the whole request
    std::optional<Clock::time_point> deadline;
  };

  // Without an overlapped record a call blocks until its operation completes.
  template <typename StartOp>
  bool RunBlocking(StartOp start, uint32_t* transferred);
  bool BeginCall(OVERLAPPED* ov);

  void Run();
  int PollTimeoutMs(Clock::time_point now) const;
  short LineEvents() const;
  bool Ticking() const;
  void ServiceLine(short revents, Clock::time_point now);
  void DrainInput(Clock::time_point now);
  bool LineHungUp() const;
  uint32_t WriteNow(const uint8_t* data, size_t size, uint32_t& error);
  void PushWrites();
  void ExpireWrites(Clock::time_point now);
  void AbortWrites(uint32_t error);
  void WatchTxEmpty(Clock::time_point now);
  void CheckTxEmpty(Clock::time_point now);
  void PollLines(Clock::time_point now);
  void CheckCounters();
  void ApplyControlLines(const DCB& dcb);
  void HangUp();
  void Wake();

  bool Terminal() const { return kind_ == LineKind::Terminal; }

  const int fd_;
  const int wakeFd_;
  const LineKind kind_;
  std::mutex m_;
  CommCore core_;
  DCB dcb_;
  COMMTIMEOUTS timeouts_;
  std::deque<WriteOp> writes_;
  ParityMarks marks_;
  // With input flow control the kernel throttles the sender once we stop reading, so a full
  // queue leaves bytes in the kernel instead of dropping them.
  bool flowHold_ = false;
  bool txWatch_ = false;
  uint32_t unheard_ = 0;  // events nobody hears: not watched for, not raised
  Clock::time_point txCheckAt_;
  bool modemSupported_ = false;
  bool countersSupported_ = false;
  uint32_t modem_ = 0;
  LineCounters counters_;
  Clock::time_point nextLinePoll_;
  bool rtsToggle_ = false;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace platform::detail
