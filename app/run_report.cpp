#include "app/run_report.h"

#include "app/options.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace app {

namespace {

QJsonValue Ms(const SlaveFigures& f, int64_t us) {
  return f.timed ? QJsonValue(double(us) / 1000.0) : QJsonValue(QJsonValue::Null);
}

double AnsweredPercent(const SlaveFigures& f) {
  return f.requests ? 100.0 * double(f.answered) / double(f.requests) : 0.0;
}

QJsonObject SlaveJson(int address, const SlaveFigures& f, double minAnswered) {
  return QJsonObject{
      {QStringLiteral("address"), address},
      {QStringLiteral("requests"), double(f.requests)},
      {QStringLiteral("answered"), double(f.answered)},
      {QStringLiteral("missed"), double(f.missed)},
      {QStringLiteral("crcErrors"), double(f.crcErrors)},
      {QStringLiteral("exceptions"), double(f.exceptions)},
      {QStringLiteral("lastException"), f.exceptions ? QJsonValue(f.lastException)
                                                     : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("otherAddress"), double(f.foreign)},
      {QStringLiteral("answeredPercent"), AnsweredPercent(f)},
      {QStringLiteral("responseMs"),
       QJsonObject{{QStringLiteral("last"), Ms(f, f.lastUs)},
                   {QStringLiteral("mean"), Ms(f, f.MeanUs())},
                   {QStringLiteral("min"), Ms(f, f.minUs)},
                   {QStringLiteral("max"), Ms(f, f.maxUs)}}},
      {QStringLiteral("passed"), f.requests ? QJsonValue(SlavePassed(f, minAnswered))
                                            : QJsonValue(QJsonValue::Null)},
  };
}

QString Time(const QDateTime& t) { return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs); }

QString Percent(double value) { return QString::number(value, 'f', 1).remove(QStringLiteral(".0")); }

}  // namespace

bool SlavePassed(const SlaveFigures& f, double minAnswered) {
  // In whole requests, so that 100 % means every one and no rounding decides.
  return f.requests == 0 || double(f.answered) * 100.0 >= minAnswered * double(f.requests);
}

int RunVerdict(const RunRecord& record) {
  if (record.tx == 0) return RunFailed;
  for (int a = 1; a <= record.slaves; ++a)
    if (!SlavePassed(record.stats->Of(a), record.minAnswered)) return RunFailed;
  return RunPassed;
}

QByteArray ReportJson(const RunRecord& r) {
  QJsonObject settings{
      {QStringLiteral("port"), r.port},
      {QStringLiteral("baud"), r.baud},
      {QStringLiteral("dataBits"), r.dataBits},
      {QStringLiteral("parity"), r.parity},
      {QStringLiteral("stopBits"), r.stopBits},
      {QStringLiteral("flowControl"), r.flowControl},
      {QStringLiteral("slaves"), r.slaves},
      {QStringLiteral("seconds"), r.seconds > 0 ? QJsonValue(r.seconds) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("polls"), r.polls > 0 ? QJsonValue(double(r.polls)) : QJsonValue(QJsonValue::Null)},
      {QStringLiteral("minAnsweredPercent"), r.minAnswered},
  };
  int64_t answered = 0, crc = 0, exceptions = 0, foreign = 0;
  QJsonArray slaves;
  for (int a = 1; a <= r.slaves; ++a) {
    const SlaveFigures& f = r.stats->Of(a);
    answered += f.answered;
    crc += f.crcErrors;
    exceptions += f.exceptions;
    foreign += f.foreign;
    slaves.append(SlaveJson(a, f, r.minAnswered));
  }
  const QJsonObject totals{
      {QStringLiteral("requests"), double(r.tx)},     {QStringLiteral("missed"), double(r.er)},
      {QStringLiteral("answered"), double(answered)}, {QStringLiteral("crcErrors"), double(crc)},
      {QStringLiteral("exceptions"), double(exceptions)},
      {QStringLiteral("otherAddress"), double(foreign)},
  };
  const QJsonObject report{
      {QStringLiteral("program"), QStringLiteral(ZT_PROGRAM)},
      {QStringLiteral("version"), QStringLiteral(ZT_VERSION)},
      {QStringLiteral("settings"), settings},
      {QStringLiteral("start"), Time(r.start)},
      {QStringLiteral("end"), Time(r.end)},
      {QStringLiteral("stoppedBy"), r.stoppedBy},
      {QStringLiteral("passed"), RunVerdict(r) == RunPassed},
      {QStringLiteral("totals"), totals},
      {QStringLiteral("slaves"), slaves},
  };
  return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

QString RunSummary(const RunRecord& r) {
  const double seconds = double(r.start.msecsTo(r.end)) / 1000.0;
  QString text = QStringLiteral("%1 at %2 baud, %3 slave(s), %4 s: Tx=%5 Er=%6\n")
                     .arg(r.port)
                     .arg(r.baud)
                     .arg(r.slaves)
                     .arg(QString::number(seconds, 'f', 1))
                     .arg(r.tx)
                     .arg(r.er);
  text += r.stats->Table(r.slaves);
  QStringList short_;
  for (int a = 1; a <= r.slaves; ++a) {
    const SlaveFigures& f = r.stats->Of(a);
    if (!SlavePassed(f, r.minAnswered))
      short_ << QStringLiteral("slave %1 answered %2 of %3 (%4 %)")
                    .arg(a)
                    .arg(f.answered)
                    .arg(f.requests)
                    .arg(Percent(AnsweredPercent(f)));
  }
  if (r.tx == 0)
    text += QStringLiteral("FAILED: no request was sent.\n");
  else if (!short_.isEmpty())
    text += QStringLiteral("FAILED (%1 % needed): %2.\n")
                .arg(Percent(r.minAnswered), short_.join(QStringLiteral("; ")));
  else
    text += QStringLiteral("PASSED: every polled slave answered at least %1 % of its requests.\n")
                .arg(Percent(r.minAnswered));
  return text;
}

QString ProgressLine(double elapsedSeconds, int64_t tx, int64_t er, int answering, int slaves) {
  return QStringLiteral("%1 s  Tx=%2  Er=%3  answering %4/%5")
      .arg(QString::number(elapsedSeconds, 'f', 0))
      .arg(tx)
      .arg(er)
      .arg(answering)
      .arg(slaves);
}

}  // namespace app
