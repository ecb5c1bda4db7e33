// The only translation unit that sees the kernel's termios2: see the header for why.
#include "platform/termios2_linux.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstddef>
#include <iterator>

#include "platform/serial_device.h"

namespace platform {

namespace {

struct SpeedCode {
  unsigned code;
  uint32_t rate;
};

// The classic rate codes. A rate among them is set by its code, which every driver knows;
// any other rate goes through BOTHER.
constexpr SpeedCode kSpeeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
};

unsigned CodeForRate(uint32_t rate) {
  for (const SpeedCode& s : kSpeeds)
    if (s.rate == rate) return s.code;
  return BOTHER;
}

uint32_t RateForCode(unsigned code, uint32_t explicitRate) {
  if (code == BOTHER) return explicitRate;
  for (const SpeedCode& s : kSpeeds)
    if (s.code == code) return s.rate;
  return 0;  // B0: hang up
}

bool Get(int fd, termios2& t) {
  return ioctl(fd, TCGETS2, &t) == 0;
}
bool Set(int fd, const termios2& t) {
  return ioctl(fd, TCSETS2, &t) == 0;
}

tcflag_t SizeFlag(uint8_t dataBits) {
  switch (dataBits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

uint8_t DataBitsOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

tcflag_t ParityFlags(uint8_t parity) {
  switch (parity) {
    case 1:
      return PARENB | PARODD;
    case 2:
      return PARENB;
    case 3:
      return PARENB | CMSPAR | PARODD;
    case 4:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

uint8_t ParityOf(tcflag_t cflag) {
  if (!(cflag & PARENB)) return 0;
  const bool odd = cflag & PARODD;
  if (cflag & CMSPAR) return odd ? 3 : 4;
  return odd ? 1 : 2;
}

bool ModemBits(int fd, int request, int bits) {
  return ioctl(fd, request, &bits) == 0;
}

}  // namespace

bool SetRawMode(int fd) {
  termios2 t{};
  if (!Get(fd, t)) return false;
  t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                 IXANY | IUCLC | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return Set(fd, t);
}

LineFlags EncodeLineFormat(const LineFormat& format, LineFlags current) {
  LineFlags flags = current;
  flags.cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  // CIBAUD left zero: input runs at the output rate.
  flags.cflag |=
      CodeForRate(format.baudRate) | SizeFlag(format.dataBits) | ParityFlags(format.parity);
  if (format.stopBits != 0) flags.cflag |= CSTOPB;
  if (format.rtsCtsFlow) flags.cflag |= CRTSCTS;
  flags.ispeed = flags.ospeed = format.baudRate;
  flags.iflag &= ~(INPCK | PARMRK | IGNPAR | IXON | IXOFF);
  if (format.parityCheck) flags.iflag |= INPCK | PARMRK;
  if (format.xonXoffOut) flags.iflag |= IXON;
  if (format.xonXoffIn) flags.iflag |= IXOFF;
  return flags;
}

LineFormat DecodeLineFlags(const LineFlags& flags) {
  LineFormat format;
  format.baudRate = RateForCode(flags.cflag & CBAUD, flags.ospeed);
  format.dataBits = DataBitsOf(flags.cflag);
  format.parity = ParityOf(flags.cflag);
  format.stopBits = (flags.cflag & CSTOPB) ? 2 : 0;
  format.parityCheck = flags.iflag & INPCK;
  format.rtsCtsFlow = flags.cflag & CRTSCTS;
  format.xonXoffOut = flags.iflag & IXON;
  format.xonXoffIn = flags.iflag & IXOFF;
  return format;
}

bool ApplyLineFormat(int fd, const LineFormat& format) {
  termios2 t{};
  if (!Get(fd, t)) return false;
  const LineFlags flags = EncodeLineFormat(format, {t.c_cflag, t.c_iflag, t.c_ispeed, t.c_ospeed});
  t.c_cflag = flags.cflag;
  t.c_iflag = flags.iflag;
  t.c_ispeed = flags.ispeed;
  t.c_ospeed = flags.ospeed;
  t.c_cc[VSTART] = format.xonChar;
  t.c_cc[VSTOP] = format.xoffChar;
  return Set(fd, t);
}

bool ReadLineFormat(int fd, LineFormat& format) {
  termios2 t{};
  if (!Get(fd, t)) return false;
  format = DecodeLineFlags({t.c_cflag, t.c_iflag, t.c_ispeed, t.c_ospeed});
  format.xonChar = t.c_cc[VSTART];
  format.xoffChar = t.c_cc[VSTOP];
  return true;
}

std::span<const uint8_t> ParityMarks::Decode(const uint8_t* data, size_t size) {
  if (!marked_ && state_ == State::Plain) return {data, size};
  decoded_.clear();
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = data[i];
    switch (state_) {
      case State::Plain:
        if (marked_ && byte == 0xFF)
          state_ = State::AfterFF;
        else
          decoded_.push_back(byte);
        break;
      case State::AfterFF:
        state_ = byte == 0x00 ? State::AfterMark : State::Plain;
        // 0xFF 0xFF is a true 0xFF. The kernel sends nothing else after 0xFF; should it, both
        // bytes go on rather than be lost.
        if (byte != 0x00) decoded_.push_back(0xFF);
        if (byte != 0x00 && byte != 0xFF) decoded_.push_back(byte);
        break;
      case State::AfterMark:
        state_ = State::Plain;
        decoded_.push_back(replace_ ? replaceChar_ : byte);
        break;
    }
  }
  return decoded_;
}

bool ReadLineSpeed(int fd, uint32_t& inputSpeed, uint32_t& outputSpeed) {
  termios2 t{};
  if (!Get(fd, t)) return false;
  outputSpeed = RateForCode(t.c_cflag & CBAUD, t.c_ospeed);
  const unsigned inputCode = (t.c_cflag & CIBAUD) >> IBSHIFT;
  inputSpeed = inputCode == 0 ? outputSpeed : RateForCode(inputCode, t.c_ispeed);
  return true;
}

bool ReadModemStatus(int fd, uint32_t& status) {
  int bits = 0;
  if (ioctl(fd, TIOCMGET, &bits) != 0) return false;
  status = 0;
  if (bits & TIOCM_CTS) status |= MS_CTS_ON;
  if (bits & TIOCM_DSR) status |= MS_DSR_ON;
  if (bits & TIOCM_RI) status |= MS_RING_ON;
  if (bits & TIOCM_CD) status |= MS_RLSD_ON;
  return true;
}

bool ReadOutputLines(int fd, bool& dtr, bool& rts) {
  int bits = 0;
  if (ioctl(fd, TIOCMGET, &bits) != 0) return false;
  dtr = bits & TIOCM_DTR;
  rts = bits & TIOCM_RTS;
  return true;
}

bool SetDtr(int fd, bool on) {
  return ModemBits(fd, on ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
}

bool SetRts(int fd, bool on) {
  return ModemBits(fd, on ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}

bool SetRtsToggle(int fd, bool on) {
  serial_rs485 rs485{};
  if (ioctl(fd, TIOCGRS485, &rs485) != 0) return false;
  if (on) {
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
  } else {
    rs485.flags &= ~SER_RS485_ENABLED;
  }
  return ioctl(fd, TIOCSRS485, &rs485) == 0;
}

bool ReadLineCounters(int fd, LineCounters& counters) {
  serial_icounter_struct icount{};
  if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  counters.frame = static_cast<uint32_t>(icount.frame);
  counters.overrun =
      static_cast<uint32_t>(icount.overrun) + static_cast<uint32_t>(icount.buf_overrun);
  counters.parity = static_cast<uint32_t>(icount.parity);
  counters.breaks = static_cast<uint32_t>(icount.brk);
  return true;
}

bool ReadOutputQueue(int fd, uint32_t& bytes) {
  int queued = 0;
  if (ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
  bytes = queued > 0 ? static_cast<uint32_t>(queued) : 0;
  return true;
}

bool FlushLine(int fd, bool input, bool output) {
  if (!input && !output) return true;
  const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  return ioctl(fd, TCFLSH, which) == 0;
}

bool SetExclusive(int fd, bool on) {
  return ioctl(fd, on ? TIOCEXCL : TIOCNXCL) == 0;
}

}  // namespace platform
