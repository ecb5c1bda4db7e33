// The program's command line, run as the real program with no display at all: the options are
// read before the GUI is made.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "child_process.h"

using testing_support::RunProgram;
using testing_support::RunResult;

namespace {

const QStringList kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

RunResult RunTool(const QStringList& arguments, const QStringList& environment = kNoDisplay) {
  return RunProgram(QStringLiteral(ZT_PROGRAM_PATH), arguments, 30000, environment);
}

TEST(ProgramOptions, HelpAndVersionNeedNoDisplay) {
  for (const char* help : {"--help", "-h"}) {
    const RunResult run = RunTool({help});
    EXPECT_TRUE(run.finished) << help;
    EXPECT_EQ(run.exitCode, 0) << help << run.err.constData();
    EXPECT_TRUE(run.out.startsWith("Usage: zt-modbus-k [options]\n")) << run.out.constData();
    for (const char* option : {"--version", "--counts <file>", "--exit-after-first-paint"})
      EXPECT_TRUE(run.out.contains(option)) << option;
    EXPECT_FALSE(run.out.contains("<value>")) << "Qt's options are not listed one by one";
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
  }
  for (const char* version : {"--version", "-v"}) {
    const RunResult run = RunTool({version});
    EXPECT_EQ(run.exitCode, 0) << version;
    EXPECT_EQ(run.out, QByteArray("zt-modbus-k " ZT_VERSION "\n"));
  }
}

TEST(ProgramOptions, MistakesEndWithTheReasonTheUsageAndStatusOne) {
  const std::pair<QStringList, const char*> mistakes[] = {
      {{"--bogus"}, "Unknown option 'bogus'."},
      {{"--help", "-x"}, "Unknown option 'x'."},
      {{"--counts"}, "Missing value after '--counts'."},
      {{"stray"}, "Unexpected argument 'stray'."},
      {{"-platform"}, "Missing value after '-platform'."},
  };
  for (const auto& [arguments, reason] : mistakes) {
    const RunResult run = RunTool(arguments);
    EXPECT_TRUE(run.finished) << reason;
    EXPECT_EQ(run.exitCode, 1) << reason;
    EXPECT_TRUE(run.err.startsWith(QByteArray("zt-modbus-k: ") + reason)) << run.err.constData();
    EXPECT_TRUE(run.err.contains("\nUsage: zt-modbus-k [options]\n")) << reason;
    EXPECT_TRUE(run.out.isEmpty()) << reason;
  }
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

}  // namespace
