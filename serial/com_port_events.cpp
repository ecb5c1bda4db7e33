// Opening and closing the device, the status queries, and handing line events to handlers.
#include "framework/events.h"
#include "serial/com_port.h"
#include "serial/com_thread.h"

#include <utility>

namespace serial {

using framework::Raise;

namespace {

// Marks the port as inside a delivery the event thread waits for, so that a handler that
// closes the port does not wait for that thread (com_port.cpp, StopEventThread).
class DispatchScope {
 public:
  explicit DispatchScope(bool& flag) : flag_(flag), outer_(std::exchange(flag, true)) {}
  ~DispatchScope() { flag_ = outer_; }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  bool& flag_;
  bool outer_;
};

}  // namespace

void TCustomComPort::OpenDevice() {
  std::unique_ptr<platform::SerialDevice> device = opener_(port_.toStdString());
  if (!device) {
    const QString reason = QString::fromStdString(platform::GetLastErrorReason());
    EComPort error(1, int(platform::GetLastError()));
    error.Reason = reason;
    throw error;
  }
  device_ = std::move(device);
}

void TCustomComPort::CloseDevice() { device_.reset(); }

void TCustomComPort::OpenPort() {
  if (connected_) return;
  DoBeforeOpen();
  OpenDevice();
  connected_ = true;
  try {
    ApplyAllSettings();
  } catch (...) {
    CloseDevice();
    connected_ = false;
    throw;
  }
  if (events_.Empty()) {
    threadRunning_ = false;
  } else {
    if (syncMethod_ == smWindowSync) eventWindow_ = std::make_unique<TComEventWindow>(this);
    eventThread_ = std::make_unique<TComThread>(this);
    threadRunning_ = true;
  }
  DoAfterOpen();
  ReportModemLine(msCTS);
  ReportModemLine(msDSR);
  ReportModemLine(msRLSD);
}

void TCustomComPort::ReportModemLine(TModemSignal line) {
  const bool on = ModemSignals().Contains(line);
  if (line == msCTS)
    DoCTSChange(on);
  else if (line == msDSR)
    DoDSRChange(on);
  else
    DoRLSDChange(on);
}

void TCustomComPort::ClosePort() {
  if (!connected_) return;
  DoCTSChange(false);
  DoDSRChange(false);
  DoRLSDChange(false);
  DoBeforeClose();
  CancelTransfers();
  if (threadRunning_) {
    StopEventThread();
    threadRunning_ = false;
  }
  CloseDevice();
  connected_ = false;
  DoAfterClose();
}

void TCustomComPort::CancelTransfers() {
  if (!Device().PurgeComm(platform::PURGE_TXABORT | platform::PURGE_RXABORT))
    throw EComPort(5, int(platform::GetLastError()));
}

void TCustomComPort::StopEventThread() {
  if (eventThread_ && (dispatching_ || eventThread_->IsCurrentThread())) {
    // Closed from inside a handler of this very thread: it is waiting for us, so it cannot be
    // waited for. It ends as soon as the handler returns and then is deleted; it holds its own
    // reference to the device until then.
    eventThread_.release()->Release();
  } else {
    eventThread_.reset();
  }
  eventWindow_.reset();
}

int TCustomComPort::QueuedInput() {
  platform::COMSTAT stat;
  uint32_t errors = 0;
  if (!Device().ClearCommError(&errors, &stat)) throw EComPort(10, int(platform::GetLastError()));
  return int(stat.cbInQue);
}

TComErrors TCustomComPort::LineErrors() {
  platform::COMSTAT stat;
  uint32_t errors = 0;
  if (!Device().ClearCommError(&errors, &stat)) throw EComPort(10, int(platform::GetLastError()));
  return ErrorBitsToErrors(errors, parity_->Check());
}

TModemSignals TCustomComPort::ModemSignals() {
  uint32_t status = 0;
  if (!Device().GetCommModemStatus(&status)) throw EComPort(11, int(platform::GetLastError()));
  return ModemStatusToSignals(status);
}

void TCustomComPort::DispatchEvents(TComEvents batch) {
  DispatchScope scope(dispatching_);
  for (TComEvent event : DispatchOrder) {
    if (!connected_) break;  // a handler closed the port: nothing more to deliver
    if (batch.Contains(event)) DispatchEvent(event);
  }
}

void TCustomComPort::DispatchLineLost() {
  DispatchScope scope(dispatching_);
  if (connected_) DoLineLost();
}

bool TCustomComPort::LineLost() const { return device_ && device_->LineGone(); }

void TCustomComPort::DispatchEvent(TComEvent event) {
  switch (event) {
    case evRxChar:
      if (int count = QueuedInput(); count > 0) DoRxChar(count);
      break;
    case evError:
      if (TComErrors errors = LineErrors(); !errors.Empty()) DoError(errors);
      break;
    case evCTS:
      DoCTSChange(ModemSignals().Contains(msCTS));
      break;
    case evDSR:
      DoDSRChange(ModemSignals().Contains(msDSR));
      break;
    case evRLSD:
      DoRLSDChange(ModemSignals().Contains(msRLSD));
      break;
    case evTxEmpty:
      DoTxEmpty();
      break;
    case evBreak:
      DoBreak();
      break;
    case evRing:
      DoRing();
      break;
    case evRxFlag:
      DoRxFlag();
      break;
    case evRx80Full:
      DoRx80Full();
      break;
  }
}

void TCustomComPort::DoAfterClose() { Raise(OnAfterClose, this); }
void TCustomComPort::DoAfterOpen() { Raise(OnAfterOpen, this); }
void TCustomComPort::DoBeforeClose() { Raise(OnBeforeClose, this); }
void TCustomComPort::DoBeforeOpen() { Raise(OnBeforeOpen, this); }
void TCustomComPort::DoRxChar(int Count) { Raise(OnRxChar, this, Count); }
void TCustomComPort::DoRxBuf(const void* Buffer, int Count) { Raise(OnRxBuf, this, Buffer, Count); }
void TCustomComPort::DoTxEmpty() { Raise(OnTxEmpty, this); }
void TCustomComPort::DoBreak() { Raise(OnBreak, this); }
void TCustomComPort::DoRing() { Raise(OnRing, this); }
void TCustomComPort::DoRxFlag() { Raise(OnRxFlag, this); }
void TCustomComPort::DoCTSChange(bool OnOff) { Raise(OnCTSChange, this, OnOff); }
void TCustomComPort::DoDSRChange(bool OnOff) { Raise(OnDSRChange, this, OnOff); }
void TCustomComPort::DoError(TComErrors Errors) { Raise(OnError, this, Errors); }
void TCustomComPort::DoRLSDChange(bool OnOff) { Raise(OnRLSDChange, this, OnOff); }
void TCustomComPort::DoRx80Full() { Raise(OnRx80Full, this); }
void TCustomComPort::DoLineLost() { Raise(OnLineLost, this); }

}  // namespace serial
