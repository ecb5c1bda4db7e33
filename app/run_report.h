// What a run without a window reports: the verdict, the JSON report, the summary and the
// progress line, all from the run's settings and the poll cycle's figures.
#pragma once

#include "app/slave_stats.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

namespace app {

struct RunRecord {
  // The settings used.
  QString port;
  int baud = 0;
  QString dataBits, parity, stopBits, flowControl;
  int slaves = 1;
  double seconds = 0;  // 0: not limited
  int64_t polls = 0;   // 0: not limited
  double minAnswered = 100;
  // What happened.
  QDateTime start, end;
  QString stoppedBy;  // "seconds", "polls" or "signal"
  int64_t tx = 0, er = 0;
  const TSlaveStats* stats = nullptr;
};

// A slave polled at all passes when it answered at least minAnswered percent of its requests.
bool SlavePassed(const SlaveFigures& f, double minAnswered);
// RunPassed when something was polled and every polled slave passed; RunFailed otherwise.
int RunVerdict(const RunRecord& record);

QByteArray ReportJson(const RunRecord& record);
// A few lines for a person: the run, the slaves' table, the verdict.
QString RunSummary(const RunRecord& record);
// One line a second on a terminal.
QString ProgressLine(double elapsedSeconds, int64_t tx, int64_t er, int answering, int slaves);

}  // namespace app
