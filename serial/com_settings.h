// The port's four settings objects. Each holds its values and, when it belongs to a port,
// tells the port to apply them after every change. Without a port it only stores.
#pragma once

#include "framework/persistent.h"
#include "serial/com_types.h"

#include <cstdint>

namespace serial {

class TCustomComPort;

class TComTimeouts : public framework::TPersistent {
 public:
  const char* ClassName() const override { return "TComTimeouts"; }
  void Assign(const framework::TPersistent& source) override;

  int ReadInterval() const { return readInterval_; }
  int ReadTotalMultiplier() const { return readTotalMultiplier_; }
  int ReadTotalConstant() const { return readTotalConstant_; }
  int WriteTotalMultiplier() const { return writeTotalMultiplier_; }
  int WriteTotalConstant() const { return writeTotalConstant_; }
  void SetReadInterval(int value);
  void SetReadTotalMultiplier(int value);
  void SetReadTotalConstant(int value);
  void SetWriteTotalMultiplier(int value);
  void SetWriteTotalConstant(int value);

  TCustomComPort* ComPort = nullptr;

 private:
  void Set(int& field, int value);
  int readInterval_ = -1;
  int readTotalMultiplier_ = 0;
  int readTotalConstant_ = 0;
  int writeTotalMultiplier_ = 100;
  int writeTotalConstant_ = 1000;
};

class TComFlowControl : public framework::TPersistent {
 public:
  const char* ClassName() const override { return "TComFlowControl"; }
  void Assign(const framework::TPersistent& source) override;

  // Derived from the flags; writing it sets them (always re-applies, also for fcCustom).
  TFlowControl FlowControl() const;
  void SetFlowControl(TFlowControl value);

  bool OutCTSFlow() const { return outCTSFlow_; }
  bool OutDSRFlow() const { return outDSRFlow_; }
  TDTRFlowControl ControlDTR() const { return controlDTR_; }
  TRTSFlowControl ControlRTS() const { return controlRTS_; }
  bool XonXoffOut() const { return xonXoffOut_; }
  bool XonXoffIn() const { return xonXoffIn_; }
  bool DSRSensitivity() const { return dsrSensitivity_; }
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  uint8_t XonChar() const { return xonChar_; }
  uint8_t XoffChar() const { return xoffChar_; }
  void SetOutCTSFlow(bool value);
  void SetOutDSRFlow(bool value);
  void SetControlDTR(TDTRFlowControl value);
  void SetControlRTS(TRTSFlowControl value);
  void SetXonXoffOut(bool value);
  void SetXonXoffIn(bool value);
  void SetDSRSensitivity(bool value);
  void SetTxContinueOnXoff(bool value);
  void SetXonChar(uint8_t value);
  void SetXoffChar(uint8_t value);

  TCustomComPort* ComPort = nullptr;

 private:
  template <typename T>
  void Set(T& field, T value);
  void Apply();
  bool outCTSFlow_ = false;
  bool outDSRFlow_ = false;
  TDTRFlowControl controlDTR_ = dtrDisable;
  TRTSFlowControl controlRTS_ = rtsDisable;
  bool xonXoffOut_ = false;
  bool xonXoffIn_ = false;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = false;
  uint8_t xonChar_ = 17;
  uint8_t xoffChar_ = 19;
};

class TComParity : public framework::TPersistent {
 public:
  const char* ClassName() const override { return "TComParity"; }
  void Assign(const framework::TPersistent& source) override;

  TParityBits Bits() const { return bits_; }
  bool Check() const { return check_; }
  bool Replace() const { return replace_; }
  uint8_t ReplaceChar() const { return replaceChar_; }
  void SetBits(TParityBits value);
  void SetCheck(bool value);
  void SetReplace(bool value);
  void SetReplaceChar(uint8_t value);

  TCustomComPort* ComPort = nullptr;

 private:
  template <typename T>
  void Set(T& field, T value);
  TParityBits bits_ = prNone;
  bool check_ = false;
  bool replace_ = false;
  uint8_t replaceChar_ = 0;
};

class TComBuffer : public framework::TPersistent {
 public:
  const char* ClassName() const override { return "TComBuffer"; }
  void Assign(const framework::TPersistent& source) override;

  int InputSize() const { return inputSize_; }
  int OutputSize() const { return outputSize_; }
  // An odd positive size is lowered by one.
  void SetInputSize(int value);
  void SetOutputSize(int value);

  TCustomComPort* ComPort = nullptr;

 private:
  void Set(int& field, int value);
  int inputSize_ = 1024;
  int outputSize_ = 1024;
};

}  // namespace serial
