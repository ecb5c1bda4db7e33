// What a run without a window decides and says: its options, the verdict against the share of
// answers asked for, the report and the summary.
#include "app/options.h"
#include "app/run_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace app;

namespace {

// Slave 1 answers every request in 3 ms, slave 2 answers `answered2` of `asked2`, slave 3 is
// never asked.
TSlaveStats Figures(int asked2, int answered2) {
  TSlaveStats stats;
  const auto t0 = TSlaveStats::Clock::now();
  for (int r = 0; r < 4; ++r) {
    stats.Sent(1);
    stats.Written(t0);
    stats.Answered(1, t0 + std::chrono::microseconds(3000 + r * 500));
  }
  for (int r = 0; r < asked2; ++r) {
    stats.Sent(2);
    stats.Written(t0);
    r < answered2 ? stats.Answered(2, t0 + std::chrono::microseconds(10000)) : stats.Missed();
  }
  return stats;
}

RunRecord Record(const TSlaveStats& stats, double minAnswered, int slaves = 3) {
  const QDateTime start(QDate(2026, 12, 8), QTime(5, 58, 20, 123), QTimeZone(3600));
  RunRecord r{.port = "/dev/ttyUSB0", .baud = 9600, .dataBits = "8", .parity = "None",
              .stopBits = "1", .flowControl = "None", .slaves = slaves, .polls = 24,
              .minAnswered = minAnswered, .start = start, .end = start.addMSecs(12500),
              .stoppedBy = "polls", .stats = &stats};
  for (int a = 1; a <= 10; ++a) r.tx += stats.Of(a).requests, r.er += stats.Of(a).missed;
  return r;
}

QByteArray Compact(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace

TEST(RunReport, TheVerdictCountsWholeRequestsAgainstTheShareAskedFor) {
  // Slave 2 answered 19 of 20 (95 %); slave 3 was never asked and does not count.
  const TSlaveStats stats = Figures(20, 19);
  const std::tuple<double, int> cases[] = {
      {100, RunFailed}, {95.1, RunFailed}, {95, RunPassed}, {0, RunPassed}};
  for (const auto& [share, verdict] : cases)
    EXPECT_EQ(RunVerdict(Record(stats, share)), verdict) << share;
  // Only the slaves of the run count: slave 2 left out, slave 1 answered all.
  EXPECT_EQ(RunVerdict(Record(stats, 100, 1)), RunPassed);
  // Nothing sent at all is no pass.
  const TSlaveStats none;
  EXPECT_EQ(RunVerdict(Record(none, 0)), RunFailed);
  EXPECT_TRUE(RunSummary(Record(none, 0)).endsWith("FAILED: no request was sent.\n"));
}

TEST(RunReport, TheReportCarriesTheSettingsTotalsAndEverySlave) {
  const TSlaveStats stats = Figures(20, 19);
  const QJsonObject report = QJsonDocument::fromJson(ReportJson(Record(stats, 100))).object();
  EXPECT_EQ(report["program"].toString(), "zt-modbus-k");
  EXPECT_EQ(report["version"].toString(), ZT_VERSION);
  EXPECT_EQ(report["start"].toString(), "2026-12-08T05:58:20.123+01:00");
  EXPECT_EQ(report["end"].toString(), "2026-12-08T05:58:32.623+01:00");
  EXPECT_EQ(report["stoppedBy"].toString(), "polls");
  EXPECT_FALSE(report["passed"].toBool(true));
  EXPECT_EQ(Compact(report["settings"].toObject()),
            R"({"baud":9600,"dataBits":"8","flowControl":"None","minAnsweredPercent":100,)"
            R"("parity":"None","polls":24,"port":"/dev/ttyUSB0","seconds":null,"slaves":3,)"
            R"("stopBits":"1"})");
  EXPECT_EQ(Compact(report["totals"].toObject()),
            R"({"answered":23,"crcErrors":0,"exceptions":0,"missed":1,"otherAddress":0,)"
            R"("requests":24})");
  const QJsonArray slaves = report["slaves"].toArray();
  ASSERT_EQ(slaves.size(), 3);
  EXPECT_EQ(Compact(slaves[0].toObject()),
            R"({"address":1,"answered":4,"answeredPercent":100,"crcErrors":0,"exceptions":0,)"
            R"("lastException":null,"missed":0,"otherAddress":0,"passed":true,"requests":4,)"
            R"("responseMs":{"last":4.5,"max":4.5,"mean":3.75,"min":3}})");
  EXPECT_EQ(slaves[1]["answeredPercent"].toDouble(), 95.0);
  EXPECT_FALSE(slaves[1]["passed"].toBool(true));
  EXPECT_EQ(Compact(slaves[2].toObject()),
            R"({"address":3,"answered":0,"answeredPercent":0,"crcErrors":0,"exceptions":0,)"
            R"("lastException":null,"missed":0,"otherAddress":0,"passed":null,"requests":0,)"
            R"("responseMs":{"last":null,"max":null,"mean":null,"min":null}})");
}

TEST(RunReport, TheSummaryNamesTheRunAndEachSlaveShortOfItsShare) {
  const TSlaveStats stats = Figures(20, 19);
  const QString summary = RunSummary(Record(stats, 99.5));
  EXPECT_TRUE(summary.startsWith("/dev/ttyUSB0 at 9600 baud, 3 slave(s), 12.5 s: Tx=24 Er=1\n"
                                 "Slave\tRequests\t"))
      << summary.toStdString();
  EXPECT_TRUE(summary.endsWith("\nFAILED (99.5 % needed): slave 2 answered 19 of 20 (95 %).\n"))
      << summary.toStdString();
  EXPECT_TRUE(RunSummary(Record(stats, 90)).endsWith(
      "\nPASSED: every polled slave answered at least 90 % of its requests.\n"));
  EXPECT_EQ(ProgressLine(12.4, 240, 3, 9, 10), "12 s  Tx=240  Er=3  answering 9/10");
}
