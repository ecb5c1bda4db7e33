// The simulator as a process on a line: its log and clock, a master that goes and comes back,
// line-speed timing, and how it starts and ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "sim_harness.h"

namespace sim_test {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

TEST(SlaveSimLine, TheLogTimesEveryFrameOnTheMonotonicClock) {
  TempDir dir;
  SimProcess sim(dir, {"--fixed"});
  EXPECT_THAT(sim.ReadyLine(), MatchesRegex("ready .*/ttyV0 -> /dev/pts/[0-9]+"));
  Master master(sim.Link());
  const int64_t before = NowUs();
  const Bytes answer = master.Transact(ReadRequest(1), 11);
  const int64_t after = NowUs();
  const auto rx = sim.Log("RX"), tx = sim.Log("TX");
  ASSERT_EQ(rx.size(), 1u);
  ASSERT_EQ(tx.size(), 1u);
  EXPECT_EQ(rx[0].rest, "01 03 00 00 00 03 05 CB");
  EXPECT_EQ(tx[0].rest, Hex(answer));
  EXPECT_LE(before, rx[0].us);
  EXPECT_LE(rx[0].us, tx[0].us);
  EXPECT_LE(tx[0].us, after);
  // Every line is complete and in time order, whatever kind it is.
  int64_t last = 0;
  for (const LogLine& line : sim.Log()) {
    EXPECT_GE(line.us, last) << line.what;
    last = line.us;
  }
  EXPECT_EQ(sim.Log().front().what, "START");
}

TEST(SlaveSimLine, AMasterThatClosesAndReopensIsServedAgain) {
  TempDir dir;
  SimProcess sim(dir, {"--fixed"});
  {
    Master master(sim.Link());
    EXPECT_EQ(master.Transact(ReadRequest(1), 11).size(), 11u);
  }
  usleep(50'000);
  // Nobody listens: what is sent now is lost, as on a real line, and not delivered later.
  EXPECT_THAT(sim.Command("garbage 9"), testing::ElementsAre("ok"));
  usleep(50'000);
  for (int round = 0; round < 2; ++round) {
    Master master(sim.Link());
    EXPECT_TRUE(master.ReceiveQuiet(milliseconds(50)).empty());
    EXPECT_EQ(master.Transact(ReadRequest(3), 11).size(), 11u);
  }
  const auto line = sim.Log("LINE");
  ASSERT_GE(line.size(), 3u);  // a close and reopen in the same instant may pass unseen
  EXPECT_EQ(line[0].rest + "," + line[1].rest + "," + line[2].rest, "up,down,up");
  ASSERT_EQ(sim.Log("DROP").size(), 1u);
  EXPECT_THAT(sim.Log("DROP")[0].rest, MatchesRegex("([0-9A-F]{2} ){8}[0-9A-F]{2}"));
}

// As a serial device server offers the line: one master at a time, a second one let in and sent
// away at once, and a dropped master served again when it comes back.
TEST(SlaveSimLine, ANetworkLineServesOneMasterAndDropsItOnCommand) {
  TempDir dir;
  SimProcess sim(dir, {"--fixed", "--tcp", "0"});
  EXPECT_THAT(sim.ReadyLine(), MatchesRegex("ready tcp://127\\.0\\.0\\.1:[0-9]+"));
  Master first(sim.Link());
  ExpectAnswer(first, ReadRequest(2), ReadAnswer(2, 101, 102, 103));
  {
    Master second(sim.Link());
    EXPECT_TRUE(second.Closed(milliseconds(1000))) << "busy";
  }
  ExpectAnswer(first, ReadRequest(1), ReadAnswer(1, 1, 2, 3));
  EXPECT_THAT(sim.Command("drop"), testing::ElementsAre("ok"));
  EXPECT_TRUE(first.Closed(milliseconds(1000)));
  EXPECT_THAT(sim.Command("drop"), testing::ElementsAre("error no network master to drop"));
  Master again(sim.Link());
  ExpectAnswer(again, ReadRequest(3), ReadAnswer(3, 201, 202, 203));
  const auto line = sim.Log("LINE");
  ASSERT_EQ(line.size(), 3u);
  EXPECT_EQ(line[0].rest + "," + line[1].rest + "," + line[2].rest, "up,down,up");
}

// The answer's last byte leaves when request + answer + 3.5 characters would have crossed a
// real line (at least 1.75 ms of gap above 19200 baud).
void ExpectLineTime(long baud, double expected_ms) {
  TempDir dir;
  SimProcess sim(dir, {"--fixed", "--baud", std::to_string(baud)});
  Master master(sim.Link());
  for (int i = 0; i < 5; ++i) {
    const int64_t sent = NowUs();
    ASSERT_EQ(master.Transact(ReadRequest(1), 11).size(), 11u);
    EXPECT_GE(NowUs() - sent, static_cast<int64_t>(expected_ms * 1000) - 100) << baud;
  }
  const auto rx = sim.Log("RX"), tx = sim.Log("TX");
  ASSERT_EQ(rx.size(), tx.size());
  std::vector<int64_t> taken;
  for (size_t i = 0; i < rx.size(); ++i) taken.push_back(tx[i].us - rx[i].us);
  std::sort(taken.begin(), taken.end());
  EXPECT_GE(taken.front(), expected_ms * 1000) << baud;
  // The median, so that one scheduling hiccup on a busy machine does not count.
  EXPECT_LT(taken[taken.size() / 2], expected_ms * 1000 + 10'000) << baud;
}

TEST(SlaveSimLine, LineSpeedDelaysAnswersByTheTransmissionTime) {
  ExpectLineTime(9600, (8 + 11 + 3.5) * 10 / 9.6);
  ExpectLineTime(115200, 19 * 10 / 115.2 + 1.75);
}

TEST(SlaveSimLine, ItOutlivesItsStandardInputAndEndsCleanlyOnQuitAndSignals) {
  for (int signal : {0, SIGTERM, SIGINT}) {
    TempDir dir;
    SimProcess sim(dir, {"--fixed"});
    ASSERT_TRUE(Exists(sim.Link()));
    if (signal != 0) {
      sim.CloseInput();  // as when a script starts it with nothing on standard input
      usleep(50'000);
      EXPECT_EQ(Master(sim.Link()).Transact(ReadRequest(1), 11).size(), 11u);
    }
    EXPECT_EQ(sim.Stop(signal), 0) << signal;
    EXPECT_FALSE(Exists(sim.Link())) << signal;
  }
}

TEST(SlaveSimLine, BadOptionsAreRefusedWithAMessage) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--slaves", "0-3"}, "--slaves"},
      {{"--slaves", "5-2"}, "--slaves"},
      {{"--baud", "fast"}, "--baud"},
      {{"--link"}, "--link needs a value"},
      {{"--frobnicate"}, "unknown option: --frobnicate"},
      {{"--fault", "silent 42"}, "address not served: 42"},
      {{"--tcp", "65536"}, "--tcp: not a port from 0 to 65535"},
      {{"--tcp", "0", "--link", "x"}, "not both"},
  };
  for (const auto& [args, message] : cases) {
    std::string errors;
    EXPECT_EQ(RunToEnd(args, errors), 2) << args[0];
    EXPECT_THAT(errors, HasSubstr(message));
  }
  std::string help;
  EXPECT_EQ(RunToEnd({"--help"}, help), 0);
}

TEST(SlaveSimLine, ALinkPathIsOnlyTakenOverFromAnEarlierRun) {
  TempDir dir;
  const std::string taken = dir.Path("ttyV0");
  std::ofstream(taken) << "someone's file";
  std::string errors;
  EXPECT_EQ(RunToEnd({"--link", taken}, errors), 1);
  EXPECT_THAT(errors, HasSubstr("will not replace"));
  std::string text;
  std::getline(std::ifstream(taken), text);
  EXPECT_EQ(text, "someone's file");
  // A link left behind by a killed run is replaced.
  unlink(taken.c_str());
  ASSERT_EQ(symlink("/dev/pts/999", taken.c_str()), 0);
  SimProcess sim(dir, {"--fixed"});
  Master master(sim.Link());
  EXPECT_EQ(master.Transact(ReadRequest(1), 11).size(), 11u);
}

}  // namespace
}  // namespace sim_test
