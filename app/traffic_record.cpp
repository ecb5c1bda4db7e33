// The traffic on record: the monitor's lines saved to a file, and the capture of a whole
// session (traffic_capture.h) with its figures at each stop.
#include "app/main_window.h"
#include "app/status_bar.h"
#include "app/traffic_capture.h"

#include "framework/guard.h"
#include "framework/line_memo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QSaveFile>
#include <QShortcut>

#include <algorithm>
#include <cstdio>

namespace app {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("TrafficRecord", text); }

bool Digit(QChar c) { return c >= u'0' && c <= u'9'; }

// A monitor line starts with its kind and the time as the screen shows it: "Tx-ss:zzz>".
bool HasScreenTime(const QString& line) {
  return line.size() >= 10 && line[2] == u'-' && Digit(line[3]) && Digit(line[4]) &&
         line[5] == u':' && Digit(line[6]) && Digit(line[7]) && Digit(line[8]) && line[9] == u'>';
}

// Lines come some hundreds a second: the date and time are worked out once per second.
class FullTime {
 public:
  QString Of(int64_t ms) {
    const int64_t second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != second_ || text_.isEmpty()) {
      second_ = second;
      text_ = QDateTime::fromMSecsSinceEpoch(second * 1000)
                  .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    return text_ + QStringLiteral(".%1").arg(int(ms - second * 1000), 3, 10, QLatin1Char('0'));
  }

 private:
  int64_t second_ = 0;
  QString text_;
};

QByteArray MonitorFileText(const framework::TLineMemo& memo) {
  QByteArray text;
  text.reserve(int(memo.LineCount()) * 64);
  FullTime time;
  memo.ForEachLine([&](const QString& line, int64_t stamp) {
    if (HasScreenTime(line))
      text += (line.left(3) + time.Of(stamp) + line.mid(9)).toUtf8();
    else
      text += (time.Of(stamp) + u' ' + line).toUtf8();
    text += '\n';
  });
  return text;
}

}  // namespace

QString TForm1::SaveMonitor(const QString& path) const {
  // Written beside it and put in its place whole: a failure leaves any earlier file as it was.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  const QByteArray text = MonitorFileText(*mm1);
  if (file.write(text) != text.size()) return file.errorString();
  if (!file.commit()) return file.errorString();
  return {};
}

void TForm1::SaveMonitorAs() {
  const QString suggested = QDir::home().filePath(
      QDateTime::currentDateTime().toString(QStringLiteral("'monitor-'yyyyMMdd-hhmmss'.txt'")));
  const QString path = QFileDialog::getSaveFileName(
      this, Tr("Save the monitor lines"), suggested, Tr("Text files (*.txt);;All files (*)"));
  if (path.isEmpty()) return;
  const QString why = SaveMonitor(path);
  if (!why.isEmpty())
    framework::ShowMessage(Tr("The monitor lines could not be saved to %1:\n%2").arg(path, why));
}

void TForm1::CreateMonitorSave() {
  mm1->OnContextMenu = [this, before = mm1->OnContextMenu](QMenu& menu) {
    if (before) before(menu);
    menu.addAction(Tr("Save..."), QKeySequence(QKeySequence::Save), this, &TForm1::SaveMonitorAs)
        ->setEnabled(mm1->LineCount() > 0);
  };
  auto shortcut = new QShortcut(QKeySequence::Save, this);
  connect(shortcut, &QShortcut::activated, this,
          [this] { framework::Guard([this] { SaveMonitorAs(); }); });
}

QString TForm1::StartCapture(const QString& path) {
  auto capture = std::make_unique<TTrafficCapture>();
  const QString why = capture->Open(path);
  if (!why.isEmpty()) return Tr("The capture file %1 cannot be opened: %2").arg(path, why);
  capture->OnFailure = [this](const QString& reason) { CaptureFailed(reason); };
  capture_ = std::move(capture);
  return {};
}

// Said once, on the monitor and on standard error; polling goes on without the capture.
void TForm1::CaptureFailed(const QString& reason) {
  const QString text = QStringLiteral("记录文件写入失败，记录已停止：%1").arg(reason);
  AppendMonitorLine(QStringLiteral("**-"), nullptr, 0, u' ' + text);
  std::fprintf(stderr, ZT_PROGRAM ": %s\n", text.toLocal8Bit().constData());
}

void TForm1::CaptureFigures(const QString& why) {
  capture_->Note(why);
  // Every slave asked since start, also one beyond a slave count lowered meanwhile.
  int slaves = SlaveCount;
  for (int n = 1; n <= TSlaveStats::Slaves; ++n)
    if (stats_.Of(n).requests) slaves = std::max(slaves, n);
  capture_->Figures(QStringLiteral("Tx=%1 Er=%2\n").arg(stat1->PanelText(1), stat1->PanelText(3)) +
                    stats_.Table(slaves));
}

}  // namespace app
