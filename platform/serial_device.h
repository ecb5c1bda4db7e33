// The serial device as the port component sees it: the Win32 communications calls it relies on,
// with their meaning kept (overlapped transfers, a cancellable event wait, a driver input queue,
// Win32 error numbers through a thread-local last error), behind one interface so that the real
// POSIX device and the recording fake used by the tests are interchangeable.
#pragma once

#include "platform/win_error.h"
#include "platform/win_event.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Device control block: the fields and flag values of Win32's DCB. The flags word packs the
// bit fields in their Win32 order.
struct DCB {
  uint32_t DCBlength = 0;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
  bool operator==(const DCB&) const = default;
};

// DCB flag bits.
inline constexpr uint32_t dcb_Binary = 0x0001;
inline constexpr uint32_t dcb_ParityCheck = 0x0002;
inline constexpr uint32_t dcb_OutxCtsFlow = 0x0004;
inline constexpr uint32_t dcb_OutxDsrFlow = 0x0008;
inline constexpr uint32_t dcb_DtrControlMask = 0x0030;  // 0x10 enable, 0x20 handshake
inline constexpr uint32_t dcb_DsrSensivity = 0x0040;
inline constexpr uint32_t dcb_TXContinueOnXoff = 0x0080;
inline constexpr uint32_t dcb_OutX = 0x0100;
inline constexpr uint32_t dcb_InX = 0x0200;
inline constexpr uint32_t dcb_ErrorChar = 0x0400;
inline constexpr uint32_t dcb_Null = 0x0800;
inline constexpr uint32_t dcb_RtsControlMask = 0x3000;  // 0x1000 enable, 0x2000 handshake, 0x3000 toggle
inline constexpr uint32_t dcb_AbortOnError = 0x4000;

struct COMMTIMEOUTS {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
  bool operator==(const COMMTIMEOUTS&) const = default;
};

inline constexpr uint32_t MAXDWORD = 0xFFFFFFFF;

// Event mask bits (SetCommMask, WaitCommEvent).
inline constexpr uint32_t EV_RXCHAR = 0x0001;
inline constexpr uint32_t EV_RXFLAG = 0x0002;
inline constexpr uint32_t EV_TXEMPTY = 0x0004;
inline constexpr uint32_t EV_CTS = 0x0008;
inline constexpr uint32_t EV_DSR = 0x0010;
inline constexpr uint32_t EV_RLSD = 0x0020;
inline constexpr uint32_t EV_BREAK = 0x0040;
inline constexpr uint32_t EV_ERR = 0x0080;
inline constexpr uint32_t EV_RING = 0x0100;
inline constexpr uint32_t EV_RX80FULL = 0x0400;

// Communication error bits (ClearCommError).
inline constexpr uint32_t CE_RXOVER = 0x0001;
inline constexpr uint32_t CE_OVERRUN = 0x0002;
inline constexpr uint32_t CE_RXPARITY = 0x0004;
inline constexpr uint32_t CE_FRAME = 0x0008;
inline constexpr uint32_t CE_BREAK = 0x0010;
inline constexpr uint32_t CE_TXFULL = 0x0100;
inline constexpr uint32_t CE_IOE = 0x0400;
inline constexpr uint32_t CE_MODE = 0x8000;

// Modem status bits (GetCommModemStatus).
inline constexpr uint32_t MS_CTS_ON = 0x0010;
inline constexpr uint32_t MS_DSR_ON = 0x0020;
inline constexpr uint32_t MS_RING_ON = 0x0040;
inline constexpr uint32_t MS_RLSD_ON = 0x0080;

// PurgeComm flags.
inline constexpr uint32_t PURGE_TXABORT = 0x0001;
inline constexpr uint32_t PURGE_RXABORT = 0x0002;
inline constexpr uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr uint32_t PURGE_RXCLEAR = 0x0008;

struct COMSTAT {
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// The record of one overlapped operation. The caller owns it and the event; the device fills
// in the result. While an operation is pending the device keeps a pointer to the record (and to
// the caller's buffer or mask variable) until the operation completes, is aborted by PurgeComm,
// is completed by SetCommMask (a pending WaitCommEvent) or the device is destroyed.
struct OVERLAPPED {
  uint32_t Internal = 0;      // Win32 error of the completed operation, 0 for success
  uint32_t InternalHigh = 0;  // bytes transferred
  bool Pending = false;       // owned by the device, read under its lock
  Event* hEvent = nullptr;
};

// Win32 meaning throughout: every operation returns false on failure and sets the calling
// thread's last error (SetLastError). An overlapped operation that cannot complete at once
// returns false with ERROR_IO_PENDING, resets hEvent first and sets it once it completes.
// All operations may be called from any thread.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;  // CloseHandle: pending operations complete with 995

  virtual bool SetupComm(uint32_t inQueue, uint32_t outQueue) = 0;
  virtual bool SetCommState(const DCB& dcb) = 0;
  virtual bool GetCommState(DCB& dcb) = 0;
  virtual bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) = 0;
  virtual bool GetCommTimeouts(COMMTIMEOUTS& timeouts) = 0;
  // Sets the event mask; a pending WaitCommEvent completes with mask 0.
  virtual bool SetCommMask(uint32_t mask) = 0;
  // Completes with the events (of the mask) that occurred since the last wait completed.
  virtual bool WaitCommEvent(uint32_t* mask, OVERLAPPED* overlapped) = 0;
  virtual bool ReadFile(void* buffer, uint32_t count, uint32_t* read, OVERLAPPED* overlapped) = 0;
  virtual bool WriteFile(const void* buffer, uint32_t count, uint32_t* written,
                         OVERLAPPED* overlapped) = 0;
  // wait = false on a pending operation: false with ERROR_IO_INCOMPLETE.
  virtual bool GetOverlappedResult(OVERLAPPED* overlapped, uint32_t* transferred, bool wait) = 0;
  // Returns and clears the pending CE_* bits; stat (optional) gets the queue counts.
  virtual bool ClearCommError(uint32_t* errors, COMSTAT* stat) = 0;
  virtual bool GetCommModemStatus(uint32_t* status) = 0;
  virtual bool PurgeComm(uint32_t flags) = 0;

  // Not a Win32 call: whether the line has gone away under the open device (the far end of a
  // pseudo-terminal closed, an adapter pulled). Once gone it stays gone; only opening the name
  // again can bring the line back.
  virtual bool LineGone() { return false; }

  // Not a Win32 call: events of the mask that nobody will hear for now (EV_TXEMPTY when the
  // owner has no handler for it). A device may leave them out instead of waking a waiter for
  // them; others deliver them as usual.
  virtual void SetUnheardEvents(uint32_t /*events*/) {}
};

// Opens a serial device by port name with exclusive access (CreateFile on "\\.\" + name).
// Returns null and sets the last error on failure.
using SerialOpener = std::function<std::unique_ptr<SerialDevice>(const std::string& portName)>;

// What a closed port talks to: every call fails with ERROR_INVALID_HANDLE.
SerialDevice& InvalidSerialDevice();

// The real device on this machine.
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& portName);

// Whether a port whose line went away may be opened again now without keeping the caller
// waiting. A serial device opens or fails at once: always true. A network line ("tcp://...")
// may take seconds to connect, so the connect runs in the background: true once it has
// succeeded; the connection is then kept a short while for the next open of that name.
bool PortReadyToReopen(const std::string& portName);

// The device path a port name stands for: "COM<n>" is /dev/ttyS<n-1>, a name starting with '/'
// is a path, any other plain name is looked up in /dev/. Empty when the name can be no device.
std::string SerialDevicePath(const std::string& portName);

}  // namespace platform
