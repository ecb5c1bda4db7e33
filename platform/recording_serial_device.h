// A serial device for tests: it records every call with its arguments, behaves like a device
// with an input queue (bytes are injected by the test, written bytes are kept), and can be told
// to fail a named call with a given Win32 error.
#pragma once

#include "platform/serial_device.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct RecordedCall {
  std::string name;  // "CreateFile", "SetupComm", "SetCommState", ... as the Win32 call
  std::string args;  // the arguments in a readable, stable form
};

// Shared between the test and the devices it opens, so that the record survives the device.
class RecordingLine {
 public:
  RecordingLine();

  // Every call of every device opened on this line, in order.
  std::vector<RecordedCall> Calls() const;
  std::vector<std::string> CallNames() const;
  void ClearCalls();

  // The next `times` calls named `name` fail with `error` (CreateFile included).
  void FailCall(const std::string& name, uint32_t error, int times = 1);

  // Bytes from the far end: queued, with EV_RXCHAR (and EV_RXFLAG, EV_RX80FULL) raised.
  void Inject(const std::vector<uint8_t>& bytes);
  // Line events and state raised from the far end.
  void RaiseEvents(uint32_t evMask);
  void SetErrors(uint32_t ceBits);       // pending CE_* bits, with EV_ERR
  void SetModemStatus(uint32_t msBits);  // no event by itself
  // While held, events gather without waking a waiting WaitCommEvent; releasing hands them
  // over as one batch.
  void HoldEvents(bool hold);
  // While stalled the far end takes nothing: an overlapped write stays under way (one at a
  // time) until the stall ends and it goes out whole, a purge aborts it or the device closes.
  void StallWrites(bool stall);
  bool WriteUnderWay() const;
  // Everything written so far, and clears it.
  std::vector<uint8_t> TakeWritten();
  // The line vanishes: reads of an empty queue and writes fail with ERROR_GEN_FAILURE.
  void HangUp();
  // The device goes away altogether: the open one hangs up, and opening fails with
  // ERROR_FILE_NOT_FOUND until it is plugged in again.
  void Unplug();
  void PlugIn();

  // Opening a device fails with ERROR_ACCESS_DENIED while another is open on this line.
  SerialOpener Opener();
  bool DeviceOpen() const;
  DCB LastState() const;
  COMMTIMEOUTS LastTimeouts() const;

 private:
  friend class RecordingSerialDevice;
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace platform
