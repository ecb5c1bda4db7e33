// The port's event thread: waits for line events on the device and hands each batch to the
// port's handlers by the port's sync method. Internal to the port component.
#pragma once

#include "platform/serial_device.h"
#include "platform/win_event.h"
#include "serial/com_types.h"

#include <QObject>

#include <array>
#include <atomic>
#include <memory>
#include <thread>

namespace serial {

class TCustomComPort;

extern const std::array<TComEvent, 10> DispatchOrder;

class TComThread {
 public:
  // Sets the device's event mask from the port's Events and starts the thread.
  explicit TComThread(TCustomComPort* port);
  // Sets the stop event and waits for the thread to end, serving its synchronize requests.
  ~TComThread();

  // Asks the thread to end without waiting for it.
  void Stop();
  // Lets the thread end on its own and delete itself (on the GUI thread) once it has.
  void Release();
  bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Run();
  void WaitForEvents();
  void DeliverEvents();
  void SendEventMessages();
  void ReportLineLost();

  TCustomComPort* port_;
  // Shared with the port, so that the device outlives a thread that is still finishing.
  std::shared_ptr<platform::SerialDevice> device_;
  platform::Event stopEvent_{true, false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> released_{false};
  std::thread thread_;
  TComEvents events_;  // the last batch
  bool lineLostReported_ = false;
};

// smWindowSync: events arrive on the GUI thread as messages to this object, one per event.
class TComEventWindow : public QObject {
 public:
  explicit TComEventWindow(TCustomComPort* port) : port_(port) {}
  bool event(QEvent* e) override;

 private:
  TCustomComPort* port_;
};

}  // namespace serial
