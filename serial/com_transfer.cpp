// Overlapped reads and writes, and their blocking forms.
#include "serial/com_port.h"

#include <cstring>

namespace serial {

namespace {

// A count the device cannot take is refused the way the device refuses a bad argument.
void CheckCount(int count, int code) {
  if (count < 0) throw EComPort(code, int(platform::ERROR_INVALID_PARAMETER));
}

// Releases a blocking call's transfer record however the call ends.
struct TransferHolder {
  TTransfer* transfer = nullptr;
  TransferHolder() { InitTransfer(transfer); }
  ~TransferHolder() { DoneTransfer(transfer); }
};

}  // namespace

void InitTransfer(TTransfer*& transfer) {
  transfer = new TTransfer;
  transfer->OverlappedEvent = std::make_unique<platform::Event>(true, true);
  transfer->Overlapped.hEvent = transfer->OverlappedEvent.get();
}

void DoneTransfer(TTransfer*& transfer) {
  delete transfer;
  transfer = nullptr;
}

int TCustomComPort::BeginSend(const void* buffer, int count, TTransfer* transfer) {
  if (!transfer) throw EComPort(4);
  CheckCount(count, 2);
  transfer->Direction = tdWrite;
  // The device writes from our own copy, which lives as long as the transfer.
  transfer->Data.reset(new uint8_t[size_t(count) + 1]);
  if (count > 0) std::memcpy(transfer->Data.get(), buffer, size_t(count));
  transfer->DataLength = count;
  // A transmit-empty nobody hears would wake the event thread and the GUI thread for nothing,
  // every request: the device leaves it out.
  Device().SetUnheardEvents(HearsTxEmpty() ? 0 : platform::EV_TXEMPTY);
  uint32_t written = 0;
  if (!Device().WriteFile(transfer->Data.get(), uint32_t(count), &written, &transfer->Overlapped) &&
      platform::GetLastError() != platform::ERROR_IO_PENDING)
    throw EComPort(2, int(platform::GetLastError()));
  return int(written);
}

int TCustomComPort::BeginReceive(void* buffer, int count, TTransfer* transfer) {
  if (!transfer) throw EComPort(4);
  CheckCount(count, 3);
  transfer->Direction = tdRead;
  uint32_t read = 0;
  if (!Device().ReadFile(buffer, uint32_t(count), &read, &transfer->Overlapped) &&
      platform::GetLastError() != platform::ERROR_IO_PENDING)
    throw EComPort(3, int(platform::GetLastError()));
  return int(read);
}

int TCustomComPort::FinishTransfer(TTransfer* transfer) {
  if (!transfer) throw EComPort(4);
  const int code = transfer->Direction == tdWrite ? 2 : 3;
  uint32_t transferred = 0;
  if (platform::WaitForSingleObject(transfer->Overlapped.hEvent, platform::INFINITE) !=
          platform::WAIT_OBJECT_0 ||
      !Device().GetOverlappedResult(&transfer->Overlapped, &transferred, false))
    throw EComPort(code, int(platform::GetLastError()));
  if (transfer->Direction == tdRead) QueuedInput();
  return int(transferred);
}

int TCustomComPort::SendBytes(const void* buffer, int count) {
  TransferHolder holder;
  BeginSend(buffer, count, holder.transfer);
  return FinishTransfer(holder.transfer);
}

int TCustomComPort::ReceiveBytes(void* buffer, int count) {
  TransferHolder holder;
  BeginReceive(buffer, count, holder.transfer);
  return FinishTransfer(holder.transfer);
}

}  // namespace serial
