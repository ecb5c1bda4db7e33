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

std::variant<Options, int> Read(const QStringList& arguments, std::string* err = nullptr) {
  std::vector<QByteArray> bytes{"zt-modbus-k"};
  for (const QString& argument : arguments) bytes.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& b : bytes) argv.push_back(b.data());
  testing::internal::CaptureStderr();
  auto result = ReadOptions(int(argv.size()), argv.data());
  const std::string text = testing::internal::GetCapturedStderr();
  if (err) *err = text;
  return result;
}

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

TEST(RunOptions, ReadWithTheirDefaultsAndLimits) {
  const auto plain = Read({"--run"});
  ASSERT_TRUE(std::holds_alternative<Options>(plain));
  const RunOptions& d = *std::get<Options>(plain).run;
  EXPECT_EQ(std::tuple(d.port, d.baud, d.slaves, d.seconds, d.polls, d.report, d.minAnswered),
            std::tuple(std::optional<QString>(), std::optional<int>(), 1, std::optional<double>(),
                       std::optional<int64_t>(), std::optional<QString>(), 100.0));
  const auto full = Read({"--run", "--port", "tty9", "--baud", "250000", "--slaves", "10",
                          "--seconds", "2.5", "--report", "-", "--min-answered", "99.5",
                          "--capture", "c.txt"});
  ASSERT_TRUE(std::holds_alternative<Options>(full));
  const Options& o = std::get<Options>(full);
  EXPECT_EQ(std::tuple(*o.run->port, *o.run->baud, o.run->slaves, *o.run->seconds, *o.run->report,
                       o.run->minAnswered, *o.captureFile),
            std::tuple(QStringLiteral("tty9"), 250000, 10, 2.5, QStringLiteral("-"), 99.5,
                       QStringLiteral("c.txt")));
  EXPECT_EQ(*std::get<Options>(Read({"-run", "--polls", "1"})).run->polls, 1);

  // With --run every mistake ends with status 2; without it, a run option is a mistake (1).
  const std::tuple<QStringList, int, std::string> mistakes[] = {
      {{"--run", "--slaves", "0"}, 2, "--slaves: '0' is not a number of slaves from 1 to 10."},
      {{"--run", "--slaves", "11"}, 2, "--slaves: '11' is not a number of slaves from 1 to 10."},
      {{"--run", "--baud", "0"}, 2, "--baud: '0' is not a baud rate (a whole number above 0)."},
      {{"--run", "--baud", "2147483648"}, 2,
       "--baud: '2147483648' is not a baud rate (a whole number above 0)."},
      {{"--run", "--baud", "96OO"}, 2, "--baud: '96OO' is not a baud rate (a whole number above 0)."},
      {{"--run", "--seconds", "0"}, 2, "--seconds: '0' is not a number of seconds above 0."},
      {{"--run", "--seconds", "nan"}, 2, "--seconds: 'nan' is not a number of seconds above 0."},
      {{"--run", "--polls", "1.5"}, 2, "--polls: '1.5' is not a number of requests above 0."},
      {{"--run", "--min-answered", "100.1"}, 2,
       "--min-answered: '100.1' is not a percentage from 0 to 100."},
      {{"--run", "--seconds", "1", "--polls", "5"}, 2,
       "--seconds and --polls: give one of them, not both."},
      {{"--run", "--port", ""}, 2, "--port: the name is empty."},
      {{"--run", "--counts", "f"}, 2, "--counts is for the window, not for --run."},
      {{"--run", "--bogus"}, 2, "Unknown option 'bogus'."},
      {{"--slaves", "3"}, 1, "--slaves goes with --run."},
      {{"--report", "-"}, 1, "--report goes with --run."},
  };
  for (const auto& [arguments, status, reason] : mistakes) {
    std::string err;
    const auto read = Read(arguments, &err);
    ASSERT_TRUE(std::holds_alternative<int>(read)) << reason;
    EXPECT_EQ(std::get<int>(read), status) << reason;
    EXPECT_EQ(err.rfind("zt-modbus-k: " + reason + "\n\nUsage: ", 0), 0u) << err;
  }
}

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
