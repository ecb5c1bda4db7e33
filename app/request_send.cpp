#include "app/request_send.h"

#include "framework/guard.h"
#include "serial/com_port.h"

namespace app {

TRequestSend::TRequestSend(serial::TCustomComPort& port, std::function<void(bool)> ended)
    : port_(port), ended_(std::move(ended)) {}

TRequestSend::~TRequestSend() {
  stop_.Set();
  if (waiter_.joinable()) waiter_.join();
  // A write still under way keeps its record: the device fills it in when the write ends.
  if (transfer_ && !Ended()) return;
  serial::DoneTransfer(transfer_);
}

bool TRequestSend::Start(const uint8_t* bytes, int count) {
  Check();
  // Two writes under way at once: only a port that never closed in between could allow it.
  if (transfer_) throw serial::EComPort(2);
  serial::InitTransfer(transfer_);
  try {
    port_.BeginSend(bytes, count, transfer_);
    if (!Ended()) {
      WaitForEnd();
      return false;
    }
    port_.FinishTransfer(transfer_);  // the event is set: no wait
  } catch (...) {
    serial::DoneTransfer(transfer_);
    throw;
  }
  serial::DoneTransfer(transfer_);
  return true;
}

void TRequestSend::WaitForEnd() {
  platform::Event* end = transfer_->Overlapped.hEvent;
  waiter_ = std::thread([this, end] {
    if (platform::WaitForMultipleObjects({end, &stop_}, platform::INFINITE) != 0) return;
    QMetaObject::invokeMethod(
        &receiver_, [this] { framework::Guard([this] { Check(); }); }, Qt::QueuedConnection);
  });
}

void TRequestSend::Check() {
  if (!transfer_ || !Ended()) return;
  waiter_.join();  // it has seen the end, or is about to
  bool sent = true;
  try {
    port_.FinishTransfer(transfer_);
  } catch (...) {
    sent = false;
  }
  serial::DoneTransfer(transfer_);
  ended_(sent);
}

bool TRequestSend::Ended() const { return transfer_->Overlapped.hEvent->IsSet(); }

}  // namespace app
