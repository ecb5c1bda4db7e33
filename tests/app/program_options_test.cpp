// The program's command line. It is read before the GUI is made: read in-process here, and run
// as the program itself where it matters that no display is needed or that Qt gets its options.
#include "app/options.h"
#include "child_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testing_support::RunProgram;
using testing_support::RunResult;

namespace {

const QStringList kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

RunResult RunTool(const QStringList& arguments, const QStringList& environment = kNoDisplay) {
  return RunProgram(QStringLiteral(ZT_PROGRAM_PATH), arguments, 30000, environment);
}

struct Read {
  std::variant<app::Options, int> result;
  std::string out, err;
};

Read ReadArguments(const QStringList& arguments) {
  std::vector<QByteArray> bytes{"zt-modbus-k"};
  for (const QString& argument : arguments) bytes.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& b : bytes) argv.push_back(b.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Read read{app::ReadOptions(int(bytes.size()), argv.data()), {}, {}};
  read.out = testing::internal::GetCapturedStdout();
  read.err = testing::internal::GetCapturedStderr();
  return read;
}

int Status(const Read& read) {
  const int* status = std::get_if<int>(&read.result);
  return status ? *status : -1;
}

}  // namespace

TEST(ProgramOptions, HelpAndVersionNeedNoDisplay) {
  for (const char* help : {"--help", "-h"}) {
    const Read read = ReadArguments({help});
    EXPECT_EQ(Status(read), 0) << help;
    EXPECT_EQ(read.out.rfind("Usage: zt-modbus-k [options]\n", 0), 0u) << read.out;
    for (const char* option : {"--version", "--counts <file>", "--exit-after-first-paint"})
      EXPECT_NE(read.out.find(option), std::string::npos) << option;
    EXPECT_EQ(read.out.find("<value>"), std::string::npos) << "Qt's options are not listed";
    EXPECT_EQ(read.err, "");
  }
  for (const char* version : {"--version", "-v"}) {
    const Read read = ReadArguments({version});
    EXPECT_EQ(Status(read), 0) << version;
    EXPECT_EQ(read.out, "zt-modbus-k " ZT_VERSION "\n");
  }
  // The program itself, with no display at all.
  const RunResult run = RunTool({"--help"});
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_EQ(run.out.toStdString(), ReadArguments({"--help"}).out);
  EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
}

// Status 1 for the window's mistakes; with --run, 2 for every mistake, a run option without
// --run being one of the window's.
TEST(ProgramOptions, MistakesEndWithTheReasonTheUsageAndTheirStatus) {
  const std::tuple<QStringList, int, std::string> mistakes[] = {
      {{"--bogus"}, 1, "Unknown option 'bogus'."},
      {{"--help", "-x"}, 1, "Unknown option 'x'."},
      {{"--counts"}, 1, "Missing value after '--counts'."},
      {{"stray"}, 1, "Unexpected argument 'stray'."},
      {{"-platform"}, 1, "Missing value after '-platform'."},
      {{"-reverse", "stray"}, 1, "Unexpected argument 'stray'."},
      {{"--slaves", "3"}, 1, "--slaves goes with --run."},
      {{"--report", "-"}, 1, "--report goes with --run."},
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
  };
  for (const auto& [arguments, status, reason] : mistakes) {
    const Read read = ReadArguments(arguments);
    EXPECT_EQ(Status(read), status) << reason;
    EXPECT_EQ(read.err.rfind("zt-modbus-k: " + reason + "\n\nUsage: zt-modbus-k [options]\n", 0),
              0u) << read.err;
    EXPECT_EQ(read.out, "") << reason;
  }
}

TEST(ProgramOptions, OursAndQtsOwnReadSideBySide) {
  const Read plain = ReadArguments({});
  ASSERT_TRUE(std::holds_alternative<app::Options>(plain.result));
  EXPECT_FALSE(std::get<app::Options>(plain.result).countsFile);
  EXPECT_FALSE(std::get<app::Options>(plain.result).exitAfterFirstPaint);
  const std::pair<const char*, bool> qtOptions[] = {
      {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true},
      {"plugin", true},     {"qwindowgeometry", true},    {"qwindowicon", true},
      {"qwindowtitle", true}, {"session", true},          {"display", true},
      {"geometry", true},   {"style", true},              {"stylesheet", true},
      {"reverse", false},   {"widgetcount", false}};
  for (const auto& [name, takesValue] : qtOptions) {
    QStringList arguments{QStringLiteral("-") + QLatin1String(name)};
    if (takesValue) arguments << QStringLiteral("value");
    const Read read = ReadArguments(arguments + QStringList{"--counts", "f", "--exit-after-first-paint"});
    ASSERT_TRUE(std::holds_alternative<app::Options>(read.result)) << name << read.err;
    EXPECT_EQ(std::get<app::Options>(read.result).countsFile, QStringLiteral("f")) << name;
    EXPECT_TRUE(std::get<app::Options>(read.result).exitAfterFirstPaint) << name;
  }
}

TEST(ProgramOptions, RunOptionsReadWithTheirDefaults) {
  const Read plain = ReadArguments({"--run"});
  ASSERT_TRUE(std::holds_alternative<app::Options>(plain.result));
  const app::RunOptions& d = *std::get<app::Options>(plain.result).run;
  EXPECT_EQ(std::tuple(d.port, d.baud, d.slaves, d.seconds, d.polls, d.report, d.minAnswered),
            std::tuple(std::optional<QString>(), std::optional<int>(), 1, std::optional<double>(),
                       std::optional<int64_t>(), std::optional<QString>(), 100.0));
  const Read full = ReadArguments({"--run", "--port", "tty9", "--baud", "250000", "--slaves", "10",
                                   "--seconds", "2.5", "--report", "-", "--min-answered", "99.5",
                                   "--capture", "c.txt"});
  ASSERT_TRUE(std::holds_alternative<app::Options>(full.result));
  const app::Options& o = std::get<app::Options>(full.result);
  EXPECT_EQ(std::tuple(*o.run->port, *o.run->baud, o.run->slaves, *o.run->seconds, *o.run->report,
                       o.run->minAnswered, *o.captureFile),
            std::tuple(QStringLiteral("tty9"), 250000, 10, 2.5, QStringLiteral("-"), 99.5,
                       QStringLiteral("c.txt")));
  EXPECT_EQ(*std::get<app::Options>(ReadArguments({"-run", "--polls", "1"}).result).run->polls, 1);
}

// Qt's own options pass through to it: here they are what picks a platform with no display.
TEST(ProgramOptions, QtOptionsReachTheGuiBesideOurs) {
  QTemporaryDir dir;
  const QString counts = dir.filePath(QStringLiteral("counts"));
  const RunResult run = RunTool({"-platform", "offscreen", "-style", "Fusion", "--counts", counts,
                                 "--exit-after-first-paint"},
                                kNoDisplay + QStringList{"XDG_CONFIG_HOME=" + dir.path()});
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(run.out.startsWith("first paint ")) << run.out.constData();
  QFile file(counts);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("Tx=0\nEr=0\n"));
}

// The program's translation is set up before its window: a damaged catalogue is named on
// standard error and left out, and the program runs as usual.
TEST(ProgramStart, ADamagedCatalogueIsNamedAndLeftOut) {
  QTemporaryDir dir;
  const QString program = dir.filePath(QStringLiteral("zt-modbus-k"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(ZT_PROGRAM_PATH), program));
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("locale/zh_CN/LC_MESSAGES")));
  QFile catalogue(dir.filePath(QStringLiteral("locale/zh_CN/LC_MESSAGES/cport.mo")));
  ASSERT_TRUE(catalogue.open(QIODevice::WriteOnly));
  catalogue.write(QByteArray(100, 'Z'));
  catalogue.close();
  const RunResult run = RunProgram(
      program, {"-platform", "offscreen", "--exit-after-first-paint"}, 30000,
      kNoDisplay + QStringList{"XDG_CONFIG_HOME=" + dir.filePath(QStringLiteral("config")),
                               "LANG=zh_CN.UTF-8"});
  EXPECT_EQ(run.exitCode, 0) << run.err.constData();
  EXPECT_TRUE(run.err.contains("This file is not a valid GNU gettext mo file: " +
                               catalogue.fileName().toUtf8()))
      << run.err.constData();
}
