#include "serial/com_port.h"

#include "serial/com_thread.h"

namespace serial {

TCustomComPort::TCustomComPort(QObject* owner)
    : QObject(owner),
      parity_(std::make_unique<TComParity>()),
      flowControl_(std::make_unique<TComFlowControl>()),
      timeouts_(std::make_unique<TComTimeouts>()),
      buffer_(std::make_unique<TComBuffer>()),
      opener_(&platform::OpenSerialDevice) {
  parity_->ComPort = this;
  flowControl_->ComPort = this;
  timeouts_->ComPort = this;
  buffer_->ComPort = this;
}

TCustomComPort::~TCustomComPort() {
  // Whoever handled our events may be half gone by now (an owner destroying its children):
  // a batch still on its way, or the closing notifications, must not reach them.
  OnAfterOpen = OnAfterClose = OnBeforeOpen = OnBeforeClose = nullptr;
  OnTxEmpty = OnBreak = OnRing = OnRxFlag = OnRx80Full = nullptr;
  OnRxChar = nullptr;
  OnRxBuf = nullptr;
  OnCTSChange = OnDSRChange = OnRLSDChange = nullptr;
  OnError = nullptr;
  OnLineLost = nullptr;
  try {
    ClosePort();
  } catch (...) {
    // A port that refuses to close (the purge failed) is still taken down: the event thread
    // must not outlive the object it reads.
    StopEventThread();
    CloseDevice();
    connected_ = false;
  }
}

void TCustomComPort::SetConnected(bool value) {
  if (value == connected_) return;
  if (value)
    OpenPort();
  else
    ClosePort();
}

void TCustomComPort::SetBaudRate(TBaudRate value) {
  if (value == baudRate_) return;
  baudRate_ = value;
  ApplyLineSettings();
}

void TCustomComPort::SetCustomBaudRate(int value) {
  if (value == customBaudRate_) return;
  customBaudRate_ = value;
  ApplyLineSettings();
}

void TCustomComPort::SetPort(const QString& value) {
  if (value == port_) return;
  port_ = value;
  if (connected_) {
    ClosePort();
    OpenPort();
  }
}

void TCustomComPort::SetParity(const TComParity& value) {
  parity_->Assign(value);
  ApplyLineSettings();
}

void TCustomComPort::SetStopBits(TStopBits value) {
  if (value == stopBits_) return;
  stopBits_ = value;
  ApplyLineSettings();
}

void TCustomComPort::SetDataBits(TDataBits value) {
  if (value == dataBits_) return;
  dataBits_ = value;
  ApplyLineSettings();
}

void TCustomComPort::SetDiscardNull(bool value) {
  if (value == discardNull_) return;
  discardNull_ = value;
  ApplyLineSettings();
}

void TCustomComPort::SetEventChar(uint8_t value) {
  if (value == eventChar_) return;
  eventChar_ = value;
  ApplyLineSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& value) {
  buffer_->Assign(value);
  ApplyBufferSettings();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& value) {
  flowControl_->Assign(value);
  ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& value) {
  timeouts_->Assign(value);
  ApplyTimeoutSettings();
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
  if (value == syncMethod_) return;
  if (connected_) throw EComPort(14);
  syncMethod_ = value;
}

void TCustomComPort::BeginBatch() { ++batchDepth_; }

void TCustomComPort::EndBatch() {
  if (batchDepth_ <= 0) return;
  if (--batchDepth_ == 0) ApplyAllSettings();
}

void TCustomComPort::ApplyAllSettings() {
  ApplyBufferSettings();
  ApplyLineSettings();
  ApplyTimeoutSettings();
}

platform::DCB TCustomComPort::BuildDCB() const {
  platform::DCB dcb;
  dcb.DCBlength = 28;
  dcb.BaudRate = baudRate_ == brCustom ? uint32_t(customBaudRate_) : BaudRateValue(baudRate_);
  uint32_t flags = platform::dcb_Binary;
  if (discardNull_) flags |= platform::dcb_Null;
  if (flowControl_->OutCTSFlow()) flags |= platform::dcb_OutxCtsFlow;
  if (flowControl_->OutDSRFlow()) flags |= platform::dcb_OutxDsrFlow;
  flags |= DtrControlValue(flowControl_->ControlDTR());
  flags |= RtsControlValue(flowControl_->ControlRTS());
  if (flowControl_->XonXoffOut()) flags |= platform::dcb_OutX;
  if (flowControl_->XonXoffIn()) flags |= platform::dcb_InX;
  if (flowControl_->DSRSensitivity()) flags |= platform::dcb_DsrSensivity;
  if (flowControl_->TxContinueOnXoff()) flags |= platform::dcb_TXContinueOnXoff;
  if (parity_->Check()) {
    flags |= platform::dcb_ParityCheck;
    if (parity_->Replace()) {
      flags |= platform::dcb_ErrorChar;
      dcb.ErrorChar = char(parity_->ReplaceChar());
    }
  }
  dcb.Flags = flags;
  dcb.XonLim = dcb.XoffLim = uint16_t(buffer_->InputSize() / 4);
  dcb.ByteSize = DataBitsValue(dataBits_);
  dcb.Parity = ParityValue(parity_->Bits());
  dcb.StopBits = StopBitsValue(stopBits_);
  dcb.XonChar = char(flowControl_->XonChar());
  dcb.XoffChar = char(flowControl_->XoffChar());
  dcb.EvtChar = char(eventChar_);
  return dcb;
}

void TCustomComPort::ApplyLineSettings() {
  if (!ApplyAllowed()) return;
  if (!Device().SetCommState(BuildDCB())) throw EComPort(7, int(platform::GetLastError()));
}

void TCustomComPort::ApplyTimeoutSettings() {
  if (!ApplyAllowed()) return;
  platform::COMMTIMEOUTS t;
  t.ReadIntervalTimeout = uint32_t(timeouts_->ReadInterval());
  t.ReadTotalTimeoutMultiplier = uint32_t(timeouts_->ReadTotalMultiplier());
  t.ReadTotalTimeoutConstant = uint32_t(timeouts_->ReadTotalConstant());
  t.WriteTotalTimeoutMultiplier = uint32_t(timeouts_->WriteTotalMultiplier());
  t.WriteTotalTimeoutConstant = uint32_t(timeouts_->WriteTotalConstant());
  if (!Device().SetCommTimeouts(t)) throw EComPort(8, int(platform::GetLastError()));
}

void TCustomComPort::ApplyBufferSettings() {
  if (!ApplyAllowed()) return;
  if (!Device().SetupComm(uint32_t(buffer_->InputSize()), uint32_t(buffer_->OutputSize())))
    throw EComPort(9, int(platform::GetLastError()));
}

platform::SerialDevice& TCustomComPort::Device() const {
  return device_ ? *device_ : platform::InvalidSerialDevice();
}

}  // namespace serial
