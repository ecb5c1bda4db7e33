#include "serial/com_settings.h"

#include "serial/com_port.h"

namespace serial {

// --- timeouts

void TComTimeouts::Assign(const framework::TPersistent& source) {
  auto from = dynamic_cast<const TComTimeouts*>(&source);
  if (!from) AssignError(source);
  readInterval_ = from->readInterval_;
  readTotalMultiplier_ = from->readTotalMultiplier_;
  readTotalConstant_ = from->readTotalConstant_;
  writeTotalMultiplier_ = from->writeTotalMultiplier_;
  writeTotalConstant_ = from->writeTotalConstant_;
}

void TComTimeouts::Set(int& field, int value) {
  if (field == value) return;
  field = value;
  if (ComPort) ComPort->ApplyTimeoutSettings();
}

void TComTimeouts::SetReadInterval(int v) { Set(readInterval_, v); }
void TComTimeouts::SetReadTotalMultiplier(int v) { Set(readTotalMultiplier_, v); }
void TComTimeouts::SetReadTotalConstant(int v) { Set(readTotalConstant_, v); }
void TComTimeouts::SetWriteTotalMultiplier(int v) { Set(writeTotalMultiplier_, v); }
void TComTimeouts::SetWriteTotalConstant(int v) { Set(writeTotalConstant_, v); }

// --- flow control

void TComFlowControl::Assign(const framework::TPersistent& source) {
  auto from = dynamic_cast<const TComFlowControl*>(&source);
  if (!from) AssignError(source);
  outCTSFlow_ = from->outCTSFlow_;
  outDSRFlow_ = from->outDSRFlow_;
  controlDTR_ = from->controlDTR_;
  controlRTS_ = from->controlRTS_;
  xonXoffOut_ = from->xonXoffOut_;
  xonXoffIn_ = from->xonXoffIn_;
  dsrSensitivity_ = from->dsrSensitivity_;
  txContinueOnXoff_ = from->txContinueOnXoff_;
  xonChar_ = from->xonChar_;
  xoffChar_ = from->xoffChar_;
}

void TComFlowControl::Apply() {
  if (ComPort) ComPort->ApplyLineSettings();
}

template <typename T>
void TComFlowControl::Set(T& field, T value) {
  if (field == value) return;
  field = value;
  Apply();
}

TFlowControl TComFlowControl::FlowControl() const {
  if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcHardware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcNone;
  return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
  if (value != fcCustom) {
    controlRTS_ = rtsDisable;
    outCTSFlow_ = xonXoffIn_ = xonXoffOut_ = false;
    if (value == fcHardware) {
      controlRTS_ = rtsHandshake;
      outCTSFlow_ = true;
    } else if (value == fcSoftware) {
      xonXoffIn_ = xonXoffOut_ = true;
    }
  }
  Apply();
}

void TComFlowControl::SetOutCTSFlow(bool v) { Set(outCTSFlow_, v); }
void TComFlowControl::SetOutDSRFlow(bool v) { Set(outDSRFlow_, v); }
void TComFlowControl::SetControlDTR(TDTRFlowControl v) { Set(controlDTR_, v); }
void TComFlowControl::SetControlRTS(TRTSFlowControl v) { Set(controlRTS_, v); }
void TComFlowControl::SetXonXoffOut(bool v) { Set(xonXoffOut_, v); }
void TComFlowControl::SetXonXoffIn(bool v) { Set(xonXoffIn_, v); }
void TComFlowControl::SetDSRSensitivity(bool v) { Set(dsrSensitivity_, v); }
void TComFlowControl::SetTxContinueOnXoff(bool v) { Set(txContinueOnXoff_, v); }
void TComFlowControl::SetXonChar(uint8_t v) { Set(xonChar_, v); }
void TComFlowControl::SetXoffChar(uint8_t v) { Set(xoffChar_, v); }

// --- parity

void TComParity::Assign(const framework::TPersistent& source) {
  auto from = dynamic_cast<const TComParity*>(&source);
  if (!from) AssignError(source);
  bits_ = from->bits_;
  check_ = from->check_;
  replace_ = from->replace_;
  replaceChar_ = from->replaceChar_;
}

template <typename T>
void TComParity::Set(T& field, T value) {
  if (field == value) return;
  field = value;
  if (ComPort) ComPort->ApplyLineSettings();
}

void TComParity::SetBits(TParityBits v) { Set(bits_, v); }
void TComParity::SetCheck(bool v) { Set(check_, v); }
void TComParity::SetReplace(bool v) { Set(replace_, v); }
void TComParity::SetReplaceChar(uint8_t v) { Set(replaceChar_, v); }

// --- buffer

void TComBuffer::Assign(const framework::TPersistent& source) {
  auto from = dynamic_cast<const TComBuffer*>(&source);
  if (!from) AssignError(source);
  inputSize_ = from->inputSize_;
  outputSize_ = from->outputSize_;
}

void TComBuffer::Set(int& field, int value) {
  if (field == value) return;
  field = value;
  // Drivers want even queue sizes.
  if (field > 0 && field % 2 == 1) --field;
  if (ComPort) ComPort->ApplyBufferSettings();
}

void TComBuffer::SetInputSize(int v) { Set(inputSize_, v); }
void TComBuffer::SetOutputSize(int v) { Set(outputSize_, v); }

}  // namespace serial
