#include "platform/serial_device.h"

namespace platform {

namespace {

class InvalidDevice : public SerialDevice {
 public:
  bool SetupComm(uint32_t, uint32_t) override { return Fail(); }
  bool SetCommState(const DCB&) override { return Fail(); }
  bool GetCommState(DCB&) override { return Fail(); }
  bool SetCommTimeouts(const COMMTIMEOUTS&) override { return Fail(); }
  bool GetCommTimeouts(COMMTIMEOUTS&) override { return Fail(); }
  bool SetCommMask(uint32_t) override { return Fail(); }
  bool WaitCommEvent(uint32_t*, OVERLAPPED*) override { return Fail(); }
  bool ReadFile(void*, uint32_t, uint32_t*, OVERLAPPED*) override { return Fail(); }
  bool WriteFile(const void*, uint32_t, uint32_t*, OVERLAPPED*) override { return Fail(); }
  bool GetOverlappedResult(OVERLAPPED*, uint32_t*, bool) override { return Fail(); }
  bool ClearCommError(uint32_t*, COMSTAT*) override { return Fail(); }
  bool GetCommModemStatus(uint32_t*) override { return Fail(); }
  bool PurgeComm(uint32_t) override { return Fail(); }

 private:
  static bool Fail() {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
};

}  // namespace

SerialDevice& InvalidSerialDevice() {
  static InvalidDevice device;
  return device;
}

}  // namespace platform
