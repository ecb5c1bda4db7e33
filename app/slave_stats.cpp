#include "app/slave_stats.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

namespace app {

namespace {

const SlaveFigures kNone{};

QString Ms(int64_t us) { return QString::number(double(us) / 1000.0, 'f', 1); }

QString Tr(const char* text) { return QCoreApplication::translate("SlaveStats", text); }

}  // namespace

void TSlaveStats::Reset() {
  table_.fill(SlaveFigures{});
  asked_ = 0;
  timed_ = open_ = false;
}

SlaveFigures* TSlaveStats::Asked() {
  return asked_ >= 1 && asked_ <= Slaves ? &table_[size_t(asked_)] : nullptr;
}

void TSlaveStats::Sent(int address) {
  asked_ = address;
  timed_ = false;
  open_ = true;
  if (SlaveFigures* f = Asked()) ++f->requests;
}

void TSlaveStats::Written(Clock::time_point written) {
  written_ = written;
  timed_ = true;
}

SlaveFigures* TSlaveStats::Settle() {
  if (!open_) return nullptr;
  open_ = false;
  return Asked();
}

void TSlaveStats::Answered(int answerAddress, Clock::time_point complete) {
  SlaveFigures* f = Settle();
  if (!f) return;
  if (answerAddress != asked_) {
    ++f->foreign;
    return;
  }
  ++f->answered;
  // Without its write's end (a write that failed) an answer is counted, not timed.
  if (!timed_) return;
  const int64_t us =
      std::chrono::duration_cast<std::chrono::microseconds>(complete - written_).count();
  f->lastUs = us;
  f->totalUs += us;
  if (++f->timed == 1 || us < f->minUs) f->minUs = us;
  if (us > f->maxUs) f->maxUs = us;
}

void TSlaveStats::CrcError() {
  if (SlaveFigures* f = Settle()) ++f->crcErrors;
}

void TSlaveStats::Exception(int code) {
  if (SlaveFigures* f = Settle()) {
    ++f->exceptions;
    f->lastException = code;
  }
}

void TSlaveStats::Missed() {
  if (SlaveFigures* f = Asked()) ++f->missed;
}

const SlaveFigures& TSlaveStats::Of(int address) const {
  return address >= 1 && address <= Slaves ? table_[size_t(address)] : kNone;
}

QString TSlaveStats::Line(const SlaveFigures& f) {
  if (f.requests == 0) return QString();
  QString line = Tr("%1 ok  %2 lost").arg(f.answered).arg(f.missed);
  if (f.timed) line += Tr("  %1 ms").arg(Ms(f.MeanUs()));
  return line;
}

QString TSlaveStats::Detail(int address, const SlaveFigures& f) {
  QString text = Tr("Slave %1 since start").arg(address);
  text += u'\n' + Tr("Requests: %1").arg(f.requests);
  text += u'\n' + Tr("Answered: %1").arg(f.answered);
  text += u'\n' + Tr("Missed (time-out): %1").arg(f.missed);
  text += u'\n' + Tr("CRC errors: %1").arg(f.crcErrors);
  text += u'\n' + Tr("Exception answers: %1").arg(f.exceptions);
  if (f.exceptions) text += Tr(" (last code %1)").arg(f.lastException);
  text += u'\n' + Tr("Answers from another address: %1").arg(f.foreign);
  if (f.timed) {
    text += u'\n' + Tr("Response time (ms): last %1, mean %2, min %3, max %4")
                        .arg(Ms(f.lastUs), Ms(f.MeanUs()), Ms(f.minUs), Ms(f.maxUs));
  }
  return text;
}

QString TSlaveStats::Table(int count) const {
  QStringList rows{Tr("Slave\tRequests\tAnswered\tMissed\tCRC errors\tExceptions\t"
                      "Last exception\tOther address\tLast ms\tMean ms\tMin ms\tMax ms")};
  for (int n = 1; n <= std::min(count, Slaves); ++n) {
    const SlaveFigures& f = Of(n);
    QStringList row;
    for (const int64_t figure : {int64_t(n), f.requests, f.answered, f.missed, f.crcErrors,
                                 f.exceptions, int64_t(f.lastException), f.foreign})
      row << QString::number(figure);
    for (const int64_t us : {f.lastUs, f.MeanUs(), f.minUs, f.maxUs})
      row << (f.timed ? Ms(us) : QString());
    rows << row.join(u'\t');
  }
  return rows.join(u'\n') + u'\n';
}

}  // namespace app
