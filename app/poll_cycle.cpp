// The poll cycle: start, stop, the timer tick that closes one request and sends the next, and
// the receive event that collects and shows the answer.
#include "app/line_watch.h"
#include "app/main_window.h"
#include "app/modbus_frames.h"
#include "app/open_failure_message.h"
#include "app/request_send.h"
#include "app/status_bar.h"
#include "app/traffic_capture.h"
#include "instruments/integer_output.h"
#include "instruments/led/ab_led.h"
#include "instruments/seven_segment_display.h"

#include "framework/guard.h"
#include <QDateTime>

namespace app {

int AnswerState = 0;
bool Polling = false;
QString MonitorLine;

namespace {

// The answer of this request has been noted already (a CRC error or an exception answer):
// later receive events of the same request add nothing to the monitor.
bool AnswerNoted = false;

// The pause after a complete answer, by baud rate; 0: the running countdown goes on.
int PauseFor(serial::TBaudRate rate) {
  switch (rate) {
    case serial::br2400:
      return 100;
    case serial::br4800:
      return 50;
    case serial::br9600:
      return 25;
    case serial::br19200:
      return 12;
    case serial::br38400:
      return 6;
    case serial::br57600:
      return 4;
    case serial::br115200:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

void TForm1::suiButton2Click(QObject*) {
  if (ComPort->Connected()) return;
  try {
    ComPort->SetConnected(true);
    AnswerState = 100;
    mm1->Clear();
    PendingWrite = 0;
    tmr1->SetInterval(1);
    tmr1->SetEnabled(true);
    Polling = true;
    RxLength = 0;
    stats_.Reset();
    ShowStats();
    statsTimer_->start();
    stat1->SetPanelText(1, QStringLiteral("0"));
    stat1->SetPanelText(3, QStringLiteral("0"));
    stat1->SetPanelText(4, ComPort->Port() + QStringLiteral(" | "));
    if (capture_) capture_->Note(QStringLiteral("start ") + ComPort->Port());
  } catch (...) {
    framework::ShowMessage(OpenFailureMessage(std::current_exception()));
  }
}

void TForm1::suiButton3Click(QObject*) {
  if (Polling) Polling = false;
}

void TForm1::IncrementPanel(int index) {
  stat1->SetPanelText(index, QString::number(stat1->PanelText(index).toInt() + 1));
}

void TForm1::AppendMonitorLine(const QString& prefix, const uint8_t* bytes, int count,
                               const QString& suffix) {
  // One instant for the screen's seconds and the full time a saved file shows. Time zones are
  // whole minutes away from UTC, so the local seconds and milliseconds are UTC's: no zone
  // look-up for each line.
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const int second = int(now / 1000 % 60), milli = int(now % 1000);
  const char stamp[] = {char('0' + second / 10), char('0' + second % 10), ':',
                        char('0' + milli / 100), char('0' + milli / 10 % 10),
                        char('0' + milli % 10), '>'};
  MonitorLine = prefix + QLatin1String(stamp, sizeof stamp);
  static const char digits[] = "0123456789ABCDEF";
  for (int i = 0; i < count; ++i) {
    MonitorLine += u' ';
    MonitorLine += QLatin1Char(digits[bytes[i] >> 4]);
    MonitorLine += QLatin1Char(digits[bytes[i] & 0xF]);
  }
  MonitorLine += suffix;
  mm1->Append(MonitorLine, now);
}

void TForm1::tmr1Timer(QObject*) {
  // The request under way is over: what came for it and is not in the capture yet goes there.
  if (capture_) capture_->RequestEnded(RxFrame, RxLength);
  if (AnswerState == 0) {
    IncrementPanel(3);
    stats_.Missed();
    if (instruments::TAbLED* led = TxFrame[0] <= 10 ? leds_[TxFrame[0]] : nullptr)
      led->SetStatusInt(0);
  }
  AnswerState = 0;
  if (!Polling) {
    ComPort->SetConnected(false);
    tmr1->SetEnabled(false);
    PollingStopped();
    return;
  }
  // With the line gone nothing is sent until it is back (line_watch.h).
  if (lineWatch_->Holding()) return;
  const int address = intgrtpt1->Value();
  intgrtpt1->SetValue(address < SlaveCount ? address + 1 : 1);
  if (PendingWrite == 2) {
    PendingWrite = 1;
    BuildWriteRequest(WriteAddress, WriteRegister, WriteValue);
  } else {
    BuildReadRequest(intgrtpt1->Value());
    PendingWrite = 0;
  }
  // Both builders have closed the frame with its CRC already.
  AppendMonitorLine(QStringLiteral("Tx-"), TxFrame, 8);
  if (capture_) capture_->Sent(TxFrame, 8);
  IncrementPanel(1);
  stats_.Sent(TxFrame[0]);
  if (OnRequestSent) OnRequestSent(stat1->PanelText(1).toLongLong());
  RxLength = 0;
  AnswerNoted = false;
  try {
    // A write the line cannot take yet holds the cycle, never the window: no tick comes until
    // it has ended, and RequestSent then does what is left of this one.
    if (requestSend_->Start(TxFrame, 8)) {
      stats_.Written(TSlaveStats::Clock::now());
      tmr1->SetInterval(500);
    } else {
      tmr1->SetEnabled(false);
    }
  } catch (...) {
    // Counted as unanswered at the next tick; no message.
    if (capture_) capture_->Note(QStringLiteral("the request could not be written"));
  }
}

// The end of a write that had to wait: the rest of its tick, then the answer bytes that came
// meanwhile, in the order a write that held the window gave them.
void TForm1::RequestSent(bool sent) {
  if (closing_) return;
  tmr1->SetEnabled(true);
  if (sent) {
    stats_.Written(TSlaveStats::Clock::now());
    tmr1->SetInterval(500);
  } else if (capture_) {
    capture_->Note(QStringLiteral("the request could not be written"));
  }
  if (!rxWaiting_) return;
  rxWaiting_ = false;
  if (ComPort->Connected()) ComPortRxChar(ComPort, ComPort->QueuedInput());
}

void TForm1::ComPortRxChar(QObject*, int Count) {
  if (requestSend_->Busy()) {
    rxWaiting_ = true;
    requestSend_->Check();  // a write that has just ended takes these bytes along
    return;
  }
  const RxState state = CollectAnswer(*ComPort, Count, capture_ ? capture_->DropSink() : nullptr);
  if (capture_) capture_->Received();
  if (state == RxState::Overflow) {
    if (capture_) capture_->Overflow(RxFrame, RxLength);
    tmr1->SetInterval(1);
    AnswerState = 99;
    return;
  }
  if (AnswerNoted) return;
  if (state != RxState::Complete) {
    // An exception answer never completes; it is shown all the same and times out.
    if (ExceptionAnswer()) {
      stats_.Exception(RxFrame[2]);
      AppendMonitorLine(QStringLiteral("Rx-"), RxFrame, RxLength);
      if (capture_) capture_->Exception(RxFrame, RxLength);
      AnswerNoted = true;
    }
    return;
  }
  if (!AnswerCrcValid()) {
    // Not an answer: nothing is shown from it and the request runs into its time-out.
    stats_.CrcError();
    AppendMonitorLine(QStringLiteral("Rx-"), RxFrame, RxLength, QStringLiteral("  CRC错误"));
    if (capture_) capture_->CrcError(RxFrame, RxLength);
    AnswerNoted = true;
    return;
  }
  stats_.Answered(RxFrame[0], TSlaveStats::Clock::now());
  AppendMonitorLine(QStringLiteral("Rx-"), RxFrame, RxLength);
  if (capture_) capture_->Answer(RxFrame, RxLength);
  if (RxFrame[1] == 3) AnswerState = 3;
  if (RxFrame[1] == 6) AnswerState = 6;
  if (const int pause = PauseFor(ComPort->BaudRate()); pause > 0) tmr1->SetInterval(pause);
  if (RxFrame[1] == 3) ShowAnswer();
}

void TForm1::PollingStopped() {
  if (capture_) CaptureFigures(QStringLiteral("stop"));
  if (OnPollingStopped) OnPollingStopped();
}

void TForm1::ShowAnswer() {
  const int a = RxFrame[0];
  // An address with no panel shows nowhere.
  if (a < 1 || a > 10) return;
  for (int k = 0; k < 3; ++k) {
    uint16_t value = 0;
    // Only registers the answer carries.
    if (displays_[a][k] && AnswerRegister(k, value)) displays_[a][k]->SetValue(value);
  }
  if (leds_[a]) leds_[a]->SetStatusInt(1);
}

}  // namespace app
