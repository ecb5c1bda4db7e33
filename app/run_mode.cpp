#include "app/run_mode.h"

#include "app/main_window.h"
#include "app/run_report.h"
#include "app/status_bar.h"
#include "framework/guard.h"
#include "instruments/integer_output.h"
#include "instruments/led/ab_led.h"
#include "platform/registry.h"
#include "skin/button.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTime>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace app {

namespace {

void Say(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

QString Reason(const QFile& file) { return file.errorString(); }

serial::TBaudRate StandardRate(int rate) {
  for (int r = serial::br110; r < serial::BaudRateCount; ++r)
    if (serial::BaudRateValue(serial::TBaudRate(r)) == uint32_t(rate)) return serial::TBaudRate(r);
  return serial::brCustom;
}

int BaudOf(const serial::TComPort& port) {
  return port.BaudRate() == serial::brCustom ? port.CustomBaudRate()
                                             : int(serial::BaudRateValue(port.BaudRate()));
}

int64_t Panel(const TForm1& window, int index) {
  return window.stat1->PanelText(index).toLongLong();
}

}  // namespace

TUnattendedRun::TUnattendedRun(RunOptions options, std::optional<QString> capture)
    : options_(std::move(options)), capture_(std::move(capture)) {}

TUnattendedRun::~TUnattendedRun() { platform::HoldRegistryWrites(false); }

void TUnattendedRun::Stop() {
  stopAsked_ = true;
  if (stoppedBy_.isEmpty()) stoppedBy_ = QStringLiteral("signal");
  if (window_) window_->suiButton3Click(nullptr);
}

// The window as a person would leave it before pressing start: the port and the slave count
// set. Gives RunCannotRun when something the run needs cannot be had, RunPassed otherwise.
int TUnattendedRun::Prepare(TForm1& window) {
  if (options_.port) window.ComPort->SetPort(*options_.port);
  if (options_.baud) {
    const serial::TBaudRate rate = StandardRate(*options_.baud);
    if (rate == serial::brCustom) window.ComPort->SetCustomBaudRate(*options_.baud);
    window.ComPort->SetBaudRate(rate);
  }
  window.intgrtpt2->SetValue(options_.slaves);
  window.btn1Click(window.btn1);
  if (capture_) {
    const QString why = window.StartCapture(*capture_);
    if (!why.isEmpty()) {
      Say(stderr, why + u'\n');
      return RunCannotRun;
    }
  }
  return RunPassed;
}

int TUnattendedRun::Exec() {
  // Messages (an unreadable settings file, a port that does not open) have no one to click
  // them away: they go to standard error.
  const framework::ExceptionReporter previous =
      framework::SetExceptionReporter([](const QString& message) { Say(stderr, message + u'\n'); });
  platform::HoldRegistryWrites(true);
  const bool toStdout = options_.report == QStringLiteral("-");
  std::FILE* people = toStdout ? stderr : stdout;
  QFile report;
  if (options_.report && !toStdout) {
    // Opened now: a report that cannot be written is known before anything is polled.
    report.setFileName(*options_.report);
    if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      Say(stderr, QStringLiteral("The report %1 cannot be written: %2.\n")
                      .arg(*options_.report, Reason(report)));
      framework::SetExceptionReporter(previous);
      return RunCannotRun;
    }
  }

  TForm1 window;
  window_ = &window;
  int status = Prepare(window);
  RunRecord record;
  QEventLoop loop;
  if (status == RunPassed) {
    window.OnRequestSent = [this, &window](int64_t sent) {
      if (options_.polls && sent >= *options_.polls && stoppedBy_.isEmpty()) {
        stoppedBy_ = QStringLiteral("polls");
        window.suiButton3Click(nullptr);
      }
    };
    window.OnPollingStopped = [&loop] { loop.quit(); };
    window.OnLineNote = [](const QString& text) {
      Say(stderr, QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + text + u'\n');
    };
    record.start = QDateTime::currentDateTime();
    window.suiButton2Click(nullptr);
    if (!window.ComPort->Connected()) status = RunCannotRun;  // the reason is said already
  }
  if (status == RunPassed) {
    QElapsedTimer clock;
    clock.start();
    QTimer limit, progress;
    if (options_.seconds) {
      limit.setSingleShot(true);
      limit.setTimerType(Qt::PreciseTimer);
      QObject::connect(&limit, &QTimer::timeout, [this, &window] {
        if (stoppedBy_.isEmpty()) stoppedBy_ = QStringLiteral("seconds");
        window.suiButton3Click(nullptr);
      });
      limit.start(int(std::min(*options_.seconds * 1000.0, 2e9)));
    }
    if (isatty(fileno(people))) {
      QObject::connect(&progress, &QTimer::timeout, [&] {
        const int polled = window.SlaveCount;
        int answering = 0;
        for (int a = 1; a <= polled; ++a)
          if (auto led = window.FindComponent<instruments::TAbLED>(QStringLiteral("abld%1").arg(a)))
            answering += led->StatusInt() == 1 && window.Stats().Of(a).answered > 0;
        Say(people, ProgressLine(double(clock.elapsed()) / 1000.0, Panel(window, 1),
                                 Panel(window, 3), answering, polled) +
                        u'\n');
      });
      progress.start(1000);
    }
    if (stopAsked_) window.suiButton3Click(nullptr);
    loop.exec();
  }
  window_ = nullptr;
  framework::SetExceptionReporter(previous);
  if (status != RunPassed) return status;

  record.end = QDateTime::currentDateTime();
  record.port = window.ComPort->Port();
  record.baud = BaudOf(*window.ComPort);
  record.dataBits = serial::DataBitsText(window.ComPort->DataBits());
  record.parity = serial::ParityText(window.ComPort->Parity()->Bits());
  record.stopBits = serial::StopBitsText(window.ComPort->StopBits());
  record.flowControl = serial::FlowControlText(window.ComPort->FlowControl()->FlowControl());
  record.slaves = window.SlaveCount;
  record.seconds = options_.seconds.value_or(0);
  record.polls = options_.polls.value_or(0);
  record.minAnswered = options_.minAnswered;
  record.stoppedBy = stoppedBy_;
  record.tx = Panel(window, 1);
  record.er = Panel(window, 3);
  record.stats = &window.Stats();

  Say(people, RunSummary(record));
  const QByteArray json = ReportJson(record);
  if (toStdout) {
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    std::fflush(stdout);
  } else if (report.isOpen()) {
    if (report.write(json) != json.size() || !report.flush()) {
      Say(stderr, QStringLiteral("The report %1 cannot be written: %2.\n")
                      .arg(report.fileName(), Reason(report)));
      return RunCannotRun;
    }
    report.close();
  }
  return RunVerdict(record);
}

}  // namespace app
