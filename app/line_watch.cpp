#include "app/line_watch.h"

#include "app/main_window.h"
#include "app/status_bar.h"
#include "app/traffic_capture.h"

#include <QMetaObject>

#include "platform/serial_device.h"

namespace app {

void TLineWatch::LineLost() {
  // A stop is under way: its tick closes the port and nothing is waited for.
  if (!Polling) return;
  Announce();
  // Not from inside the port's own delivery: the port may be closing already.
  QMetaObject::invokeMethod(
      &form_,
      [this] {
        if (lost_ && form_.ComPort->Connected() && form_.ComPort->LineLost()) Close();
      },
      Qt::QueuedConnection);
}

bool TLineWatch::Holding() {
  serial::TComPort& port = *form_.ComPort;
  if (port.Connected() && !port.LineLost()) {
    lost_ = false;  // also when the start button has opened it again meanwhile
    return false;
  }
  Announce();
  // A closed port is tried again from the next tick on, never in the tick that closed it: a
  // line that opens and drops at once then costs a few lines a second, not a flood.
  if (port.Connected()) {
    Close();
  } else if (Reopen()) {
    Resume();
    return false;
  }
  // Nothing is outstanding while the line is gone: the waiting ticks count nothing.
  AnswerState = 100;
  form_.tmr1->SetInterval(RetryInterval);
  return true;
}

void TLineWatch::Announce() {
  if (lost_) return;
  lost_ = true;
  const QString port = form_.ComPort->Port();
  form_.stat1->SetPanelText(4, port + QStringLiteral(" | 串口已断开，等待重新连接"));
  Note(QStringLiteral(" 串口已断开：%1，等待重新连接").arg(port));
  if (form_.capture_) form_.capture_->Note(QStringLiteral("line lost: ") + port);
}

void TLineWatch::Resume() {
  lost_ = false;
  const QString port = form_.ComPort->Port();
  form_.stat1->SetPanelText(4, port + QStringLiteral(" | "));
  Note(QStringLiteral(" 串口已恢复：%1，继续轮询").arg(port));
  if (form_.capture_) form_.capture_->Note(QStringLiteral("line back: ") + port);
}

void TLineWatch::Note(const QString& text) {
  form_.AppendMonitorLine(QStringLiteral("**-"), nullptr, 0, text);
  if (form_.OnLineNote) form_.OnLineNote(text.trimmed());
}

void TLineWatch::Close() {
  try {
    form_.ComPort->ClosePort();
  } catch (...) {
    // It stays open and held: nothing is sent into it, and the next tick closes it again.
  }
}

// Any failure here only means the line is not back yet.
bool TLineWatch::Reopen() {
  // A network line connects in the background first: a tick must not wait seconds for it.
  if (!platform::PortReadyToReopen(form_.ComPort->Port().toStdString())) return false;
  try {
    form_.ComPort->OpenPort();
  } catch (...) {
    return false;
  }
  return form_.ComPort->Connected() && !form_.ComPort->LineLost();
}

}  // namespace app
