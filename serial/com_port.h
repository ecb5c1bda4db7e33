// The serial port component: the complete configuration of one serial device, opening and
// closing it, the event thread that hands line events to the handlers, and blocking and
// overlapped transfers.
#pragma once

#include "framework/events.h"
#include "platform/serial_device.h"
#include "serial/com_error.h"
#include "serial/com_settings.h"
#include "serial/com_types.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

namespace platform {
class IniFile;
}

namespace serial {

class TRegistry;
class TComThread;
class TComEventWindow;

using TRxCharEvent = std::function<void(QObject* Sender, int Count)>;
using TRxBufEvent = std::function<void(QObject* Sender, const void* Buffer, int Count)>;
using TComSignalEvent = std::function<void(QObject* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(QObject* Sender, TComErrors Errors)>;

enum TTransferDirection : uint8_t { tdWrite = 0, tdRead = 1 };

// One read or write: the overlapped record with its event, the direction and, for a write, a
// copy of the bytes being written (the device reads from it while the write is pending).
struct TTransfer {
  platform::OVERLAPPED Overlapped;
  TTransferDirection Direction = tdWrite;
  std::unique_ptr<uint8_t[]> Data;
  int DataLength = 0;
  std::unique_ptr<platform::Event> OverlappedEvent;
};

void InitTransfer(TTransfer*& transfer);
void DoneTransfer(TTransfer*& transfer);

class TCustomComPort : public QObject {
  Q_OBJECT

 public:
  explicit TCustomComPort(QObject* owner = nullptr);
  ~TCustomComPort() override;

  // --- settings
  bool Connected() const { return connected_; }
  void SetConnected(bool value);
  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate value);
  int CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(int value);
  QString Port() const { return port_; }
  void SetPort(const QString& value);
  TComParity* Parity() const { return parity_.get(); }
  void SetParity(const TComParity& value);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits value);
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits value);
  bool DiscardNull() const { return discardNull_; }
  void SetDiscardNull(bool value);
  uint8_t EventChar() const { return eventChar_; }
  void SetEventChar(uint8_t value);
  TComEvents Events() const { return events_; }
  void SetEvents(TComEvents value) { events_ = value; }
  TComBuffer* Buffer() const { return buffer_.get(); }
  void SetBuffer(const TComBuffer& value);
  TComFlowControl* FlowControl() const { return flowControl_.get(); }
  void SetFlowControl(const TComFlowControl& value);
  TComTimeouts* Timeouts() const { return timeouts_.get(); }
  void SetTimeouts(const TComTimeouts& value);
  TSyncMethod SyncMethod() const { return syncMethod_; }
  void SetSyncMethod(TSyncMethod value);
  TSettingsGroups SavedGroups() const { return savedGroups_; }
  void SetSavedGroups(TSettingsGroups value) { savedGroups_ = value; }
  QThread::Priority EventPriority() const { return eventPriority_; }
  void SetEventPriority(QThread::Priority value) { eventPriority_ = value; }

  // The open device, or null when closed.
  platform::SerialDevice* DeviceHandle() const { return device_.get(); }
  bool ThreadRunning() const { return threadRunning_; }
  int BatchDepth() const { return batchDepth_; }

  // How the device is opened; the real serial device unless a test installs another.
  void SetDeviceOpener(platform::SerialOpener opener) { opener_ = std::move(opener); }

  // --- operations
  void BeginBatch();
  void EndBatch();
  virtual void ApplyAllSettings();
  void OpenPort();
  void ClosePort();
  int QueuedInput();
  TComErrors LineErrors();
  TModemSignals ModemSignals();
  // Whether the open device has lost its line (the far end closed, the adapter pulled); false
  // while closed. Only closing and opening again can bring the line back.
  bool LineLost() const;

  int BeginSend(const void* buffer, int count, TTransfer* transfer);
  int BeginReceive(void* buffer, int count, TTransfer* transfer);
  int FinishTransfer(TTransfer* transfer);
  int SendBytes(const void* buffer, int count);
  int ReceiveBytes(void* buffer, int count);

  // Settings persistence: path is a registry path ("HKEY_LOCAL_MACHINE\Software\...", the
  // component's name is the last key) or an ini file name (the name is the section). Every
  // failure becomes EComPort 16 (save) or 17 (restore); its Reason says why the store's file
  // could not be read or written, where that was the cause.
  void SaveSettings(TSettingsStore store, const QString& path);
  void RestoreSettings(TSettingsStore store, const QString& path);
  // Why the last RestoreSettings found the registry's file unreadable and so restored nothing,
  // in the operator's words; empty when it could read the file.
  const QString& SettingsProblem() const { return settingsProblem_; }

  // Lets the operator pick port and line format; OK applies them in one batch.
  void RunSetupDialog();

  // --- handlers
  framework::TNotifyEvent OnAfterOpen;
  framework::TNotifyEvent OnAfterClose;
  framework::TNotifyEvent OnBeforeOpen;
  framework::TNotifyEvent OnBeforeClose;
  TRxCharEvent OnRxChar;
  TRxBufEvent OnRxBuf;  // kept for completeness: received data is reported through OnRxChar
  framework::TNotifyEvent OnTxEmpty;
  framework::TNotifyEvent OnBreak;
  framework::TNotifyEvent OnRing;
  TComSignalEvent OnCTSChange;
  TComSignalEvent OnDSRChange;
  TComSignalEvent OnRLSDChange;
  framework::TNotifyEvent OnRxFlag;
  TComErrorEvent OnError;
  framework::TNotifyEvent OnRx80Full;
  // Not a line event of the device: the line went away under the open port. Raised once per
  // opening by the event thread, after the events that came before it and in the same way;
  // a handler may close the port.
  framework::TNotifyEvent OnLineLost;

 protected:
  virtual void SaveToRegistry(TRegistry& registry);
  virtual void SaveToIniFile(platform::IniFile& iniFile, const QString& section);
  virtual void RestoreFromRegistry(TRegistry& registry);
  virtual void RestoreFromIniFile(platform::IniFile& iniFile, const QString& section);
  virtual void OpenDevice();
  virtual void CloseDevice();

  // The event steps: each raises its handler when one is assigned.
  virtual void DoAfterClose();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoBeforeOpen();
  virtual void DoRxChar(int Count);
  virtual void DoRxBuf(const void* Buffer, int Count);
  virtual void DoTxEmpty();
  // Whether a transmit-empty event is heard at all: a port class whose DoTxEmpty does more
  // than raise OnTxEmpty says so here too. Asked at each write.
  virtual bool HearsTxEmpty() const { return bool(OnTxEmpty); }
  virtual void DoBreak();
  virtual void DoRing();
  virtual void DoRxFlag();
  virtual void DoCTSChange(bool OnOff);
  virtual void DoDSRChange(bool OnOff);
  virtual void DoError(TComErrors Errors);
  virtual void DoRLSDChange(bool OnOff);
  virtual void DoRx80Full();
  virtual void DoLineLost();

  virtual void ApplyLineSettings();
  virtual void ApplyTimeoutSettings();
  virtual void ApplyBufferSettings();

 private:
  friend class TComTimeouts;
  friend class TComFlowControl;
  friend class TComParity;
  friend class TComBuffer;
  friend class TComThread;
  friend class TComEventWindow;

  void OpenSettingsKey(TRegistry& registry, const QString& path, const QString& name);
  bool ApplyAllowed() const { return connected_ && batchDepth_ == 0; }
  platform::DCB BuildDCB() const;
  platform::SerialDevice& Device() const;
  void CancelTransfers();
  void StopEventThread();
  void DispatchEvents(TComEvents batch);
  void DispatchEvent(TComEvent event);
  void DispatchLineLost();
  void ReportModemLine(TModemSignal line);

  bool connected_ = false;
  TBaudRate baudRate_ = br9600;
  int customBaudRate_ = 9600;
  QString port_ = QStringLiteral("COM1");
  QString settingsProblem_;
  TStopBits stopBits_ = sbOneStopBit;
  TDataBits dataBits_ = dbEight;
  bool discardNull_ = false;
  uint8_t eventChar_ = 0;
  TComEvents events_ = AllComEvents;
  TSyncMethod syncMethod_ = smThreadSync;
  TSettingsGroups savedGroups_{sgBasic};
  QThread::Priority eventPriority_ = QThread::NormalPriority;
  int batchDepth_ = 0;
  bool threadRunning_ = false;
  bool dispatching_ = false;  // inside a batch the event thread waits for

  std::unique_ptr<TComParity> parity_;
  std::unique_ptr<TComFlowControl> flowControl_;
  std::unique_ptr<TComTimeouts> timeouts_;
  std::unique_ptr<TComBuffer> buffer_;

  platform::SerialOpener opener_;
  std::shared_ptr<platform::SerialDevice> device_;
  std::unique_ptr<TComThread> eventThread_;
  std::unique_ptr<TComEventWindow> eventWindow_;
};

// The component as placed on a form; it adds nothing.
class TComPort : public TCustomComPort {
  Q_OBJECT
 public:
  using TCustomComPort::TCustomComPort;
};

}  // namespace serial
