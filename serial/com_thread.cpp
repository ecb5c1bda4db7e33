#include "serial/com_thread.h"

#include "framework/guard.h"
#include "framework/synchronize.h"
#include "serial/com_port.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <memory>

namespace serial {

namespace {

// The calling thread's priority as a nice value; normal leaves it as it is. Raising it may be
// refused to an ordinary user, which only costs latency.
void ApplyThreadPriority(QThread::Priority priority) {
  static const int niceOf[] = {19, 10, 5, 0, -5, -10, -15, 0};  // idle … time-critical, inherit
  if (priority == QThread::NormalPriority || priority == QThread::InheritPriority) return;
  setpriority(PRIO_PROCESS, id_t(gettid()), niceOf[int(priority)]);
}

// The window message number of an event notification: the first user message plus one.
const QEvent::Type ComEventMessageType = QEvent::Type(QEvent::User + 1);

class ComEventMessage : public QEvent {
 public:
  ComEventMessage(uint32_t wParam, std::shared_ptr<platform::Event> replied)
      : QEvent(ComEventMessageType), WParam(wParam), Replied(std::move(replied)) {}
  uint32_t WParam;
  std::shared_ptr<platform::Event> Replied;  // set as soon as the GUI thread takes the message
};

}  // namespace

// The order in which the events of one batch are handled.
const std::array<TComEvent, 10> DispatchOrder = {evError, evRxChar, evTxEmpty, evBreak,
                                                 evRing,  evCTS,    evDSR,     evRxFlag,
                                                 evRLSD,  evRx80Full};

TComThread::TComThread(TCustomComPort* port) : port_(port), device_(port->device_) {
  device_->SetCommMask(EventsToMask(port->Events()));
  thread_ = std::thread([this, priority = port->EventPriority()] {
    pthread_setname_np(pthread_self(), "zt-port-events");
    ApplyThreadPriority(priority);
    Run();
  });
}

TComThread::~TComThread() {
  Stop();
  framework::WaitServingSynchronize([this] { return ended_.load(); });
  thread_.join();
}

void TComThread::Stop() {
  stopEvent_.Set();
  std::this_thread::yield();
}

void TComThread::Release() {
  released_ = true;
  Stop();
}

void TComThread::Run() {
  platform::Event overlappedEvent(true, true);
  platform::OVERLAPPED overlapped;
  overlapped.hEvent = &overlappedEvent;
  uint32_t mask = 0;
  try {
    for (;;) {
      // A wait that cannot even start would leave the last result standing and spin.
      if (!device_->WaitCommEvent(&mask, &overlapped) &&
          platform::GetLastError() != platform::ERROR_IO_PENDING)
        break;
      const uint32_t signalled =
          platform::WaitForMultipleObjects({&stopEvent_, &overlappedEvent}, platform::INFINITE);
      if (signalled != platform::WAIT_OBJECT_0 + 1) break;
      uint32_t transferred = 0;
      if (device_->GetOverlappedResult(&overlapped, &transferred, false)) {
        events_ = MaskToEvents(mask);
        DeliverEvents();
      }
      ReportLineLost();
    }
  } catch (...) {
    // A handler's exception ends delivery; the port stays open.
  }
  device_->SetCommMask(0);  // completes the pending wait: nothing refers to this stack after it
  device_->PurgeComm(platform::PURGE_TXCLEAR | platform::PURGE_RXCLEAR);
  ended_ = true;
  framework::WakeSynchronizeWaiters();
  if (released_) {
    // Nobody waits for this thread: the GUI thread deletes it, joining what is left of it.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [this] { delete this; },
                              Qt::QueuedConnection);
  }
}

void TComThread::DeliverEvents() {
  switch (port_->SyncMethod()) {
    case smThreadSync:
      framework::Synchronize([this] { port_->DispatchEvents(events_); });
      break;
    case smWindowSync:
      SendEventMessages();
      break;
    case smNone:
      port_->DispatchEvents(events_);
      break;
  }
}

// Told once, after what the line brought before it went; a port being closed hears no more.
// It goes through the GUI thread's synchronize queue with either GUI sync method: posted after
// the batch's messages, it is also handled after them.
void TComThread::ReportLineLost() {
  if (lineLostReported_ || stopEvent_.IsSet() || !device_->LineGone()) return;
  lineLostReported_ = true;
  if (port_->SyncMethod() == smNone)
    port_->DispatchLineLost();
  else
    framework::Synchronize([this] { port_->DispatchLineLost(); });
}

void TComThread::SendEventMessages() {
  for (TComEvent event : DispatchOrder) {
    if (!events_.Contains(event)) continue;
    auto replied = std::make_shared<platform::Event>(true, false);
    QCoreApplication::postEvent(port_->eventWindow_.get(),
                                new ComEventMessage(EventMaskBit(event), replied));
    // Closing stops waiting for a reply the GUI thread will no longer give.
    if (platform::WaitForMultipleObjects({&stopEvent_, replied.get()}, platform::INFINITE) !=
        platform::WAIT_OBJECT_0 + 1)
      return;
  }
}

bool TComEventWindow::event(QEvent* e) {
  if (e->type() != ComEventMessageType) return QObject::event(e);
  auto message = static_cast<ComEventMessage*>(e);
  message->Replied->Set();  // let the event thread go on before the handler runs
  if (!port_->Connected()) return true;
  for (TComEvent event : DispatchOrder) {
    if (EventMaskBit(event) == message->WParam) {
      framework::Guard([&] { port_->DispatchEvent(event); });
      break;
    }
  }
  return true;
}

}  // namespace serial
