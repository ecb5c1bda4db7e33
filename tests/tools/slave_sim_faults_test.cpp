// The faults the simulator puts on the line, set at start or through the control channel.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "sim_harness.h"

namespace sim_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const Bytes kAnswer1 = ReadAnswer(1, 1, 2, 3);

class SlaveSimFaults : public ::testing::Test {
 protected:
  TempDir dir;
  SimProcess sim{dir, {"--fixed", "--slaves", "1-3", "--seed", "7"}};
  Master master{sim.Link()};

  void Set(const std::string& command) { ASSERT_THAT(sim.Command(command), ElementsAre("ok")); }
  Bytes Poll(uint8_t address) { return master.Transact(ReadRequest(address), 11); }
};

TEST_F(SlaveSimFaults, EachFaultShapesTheAnswersOfItsSlaveUntilItIsTakenBack) {
  const Bytes kAnswer2 = ReadAnswer(2, 101, 102, 103);
  auto spoiled = [](Bytes answer) {
    answer[answer.size() - 2] ^= 0xFF;
    return answer;
  };
  struct Step {
    const char* command;  // set first, when there is one
    Bytes request, answer;
  };
  const Step steps[] = {
      {"silent 2", ReadRequest(2), {}},
      {"", ReadRequest(1), kAnswer1},  // the others carry on
      {"speak 2", ReadRequest(2), kAnswer2},
      {"badcrc 1 2", ReadRequest(1), spoiled(kAnswer1)},  // for two answers
      {"", ReadRequest(1), spoiled(kAnswer1)},
      {"", ReadRequest(1), kAnswer1},
      {"badcrc 2", ReadRequest(2), spoiled(kAnswer2)},  // for all
      {"", ReadRequest(2), spoiled(kAnswer2)},
      {"clear", ReadRequest(2), kAnswer2},
      {"exception 1 4", ReadRequest(1), WithCrc({0x01, 0x83, 0x04})},
      {"", WriteRequest(1, 0, 99), WithCrc({0x01, 0x86, 0x04})},
      {"exception 1 0", ReadRequest(1), kAnswer1},  // the write stored nothing
      {"foreign 1 200", ReadRequest(1), ReadAnswer(200, 1, 2, 3)},
      {"foreign 1 0", ReadRequest(1), ReadAnswer(0, 1, 2, 3)},
      {"foreign 1 off", ReadRequest(1), kAnswer1},
      {"midframe 1", ReadRequest(1), Bytes(kAnswer1.begin(), kAnswer1.begin() + 5)},
      {"", ReadRequest(1), kAnswer1},  // once only
  };
  for (const Step& step : steps) {
    if (*step.command) Set(step.command);
    ExpectAnswer(master, step.request, step.answer);
  }
  const auto faults = sim.Log("FAULT");
  ASSERT_FALSE(faults.empty());
  EXPECT_EQ(faults[0].rest, "silent 2");
}

TEST_F(SlaveSimFaults, AnswersInPiecesWithPauses) {
  Set("pieces 2 3,4,4 30ms");
  master.Send(ReadRequest(2));
  const Bytes answer = master.Receive(11, milliseconds(1000));
  EXPECT_TRUE(CrcOk(answer));
  // Our reads may be late on a busy machine; the simulator's stamps say when each went out.
  const auto pieces = sim.Log("PIECE"), sent = sim.Log("TX");
  ASSERT_EQ(pieces.size(), 2u);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(pieces[0].rest, Hex(Bytes(answer.begin(), answer.begin() + 3)));
  EXPECT_EQ(pieces[1].rest, Hex(Bytes(answer.begin() + 3, answer.begin() + 7)));
  EXPECT_EQ(sent[0].rest, Hex(answer));
  EXPECT_GE(pieces[1].us - pieces[0].us, 30'000);
  EXPECT_GE(sent[0].us - pieces[1].us, 30'000);
}

TEST_F(SlaveSimFaults, DelayedAnswersComePastTheTimeOut) {
  Set("delay 1 600");
  const int64_t sent = NowUs();
  master.Send(ReadRequest(1));
  EXPECT_TRUE(master.Receive(11, milliseconds(500)).empty());
  EXPECT_EQ(master.Receive(11, milliseconds(1000)), kAnswer1);
  EXPECT_GE(NowUs() - sent, 600'000);
  const auto rx = sim.Log("RX"), tx = sim.Log("TX");
  ASSERT_EQ(rx.size(), 1u);
  ASSERT_EQ(tx.size(), 1u);
  EXPECT_GE(tx[0].us - rx[0].us, 600'000);
  EXPECT_LT(tx[0].us - rx[0].us, 650'000);
}

TEST_F(SlaveSimFaults, GarbageAndFloodsArriveAsLogged) {
  Set("garbage 17");
  const Bytes garbage = master.Receive(17, milliseconds(500));
  ASSERT_EQ(garbage.size(), 17u);
  Set("flood 150");
  const Bytes flood = master.Receive(150, milliseconds(500));
  ASSERT_EQ(flood.size(), 150u);
  const auto garbage_lines = sim.Log("GARBAGE"), flood_lines = sim.Log("FLOOD");
  ASSERT_EQ(garbage_lines.size(), 1u);
  EXPECT_EQ(garbage_lines[0].rest, "17 bytes " + Hex(garbage));
  ASSERT_EQ(flood_lines.size(), 1u);
  EXPECT_EQ(flood_lines[0].rest, "150 bytes " + Hex(flood));
  // Periodic garbage, until it is turned off.
  Set("garbage-every 40ms 5");
  const Bytes bursts = master.ReceiveQuiet(milliseconds(100), milliseconds(300));
  EXPECT_GE(bursts.size(), 20u);
  EXPECT_EQ(bursts.size() % 5, 0u);
  Set("garbage-every 0");
  master.ReceiveQuiet(milliseconds(60));
  EXPECT_TRUE(master.ReceiveQuiet(milliseconds(150)).empty());
}

TEST_F(SlaveSimFaults, CommandsAreCheckedAndCounted) {
  EXPECT_THAT(sim.Command("silent 9"), ElementsAre("error address not served: 9"));
  EXPECT_THAT(sim.Command("pieces 1 3,x"), ElementsAre(HasSubstr("error bad sizes")));
  EXPECT_THAT(sim.Command("delay 1"), ElementsAre(HasSubstr("error usage")));
  EXPECT_THAT(sim.Command("exception 1 300"), ElementsAre(HasSubstr("error bad exception")));
  EXPECT_THAT(sim.Command("dance"), ElementsAre(HasSubstr("error unknown command")));
  EXPECT_THAT(sim.Command(std::string(5000, 'x')), ElementsAre(HasSubstr("error")));
  Poll(1);
  Poll(1);
  master.Transact(WriteRequest(2, 1, 5), 8);
  master.Send(ReadRequest(9));
  master.ReceiveQuiet(milliseconds(50));
  EXPECT_THAT(sim.Command("stats"),
              ElementsAre("stats 1 03 2", "stats 2 06 1", "stats 9 03 1",
                          "stats total frames 4 badcrc 0 answers 3 dropped 0", "ok"));
}

TEST(SlaveSimStartFaults, OptionsAndTheControlFifoSetFaults) {
  TempDir dir;
  const std::string fifo = dir.Path("control");
  SimProcess sim(dir, {"--fixed", "--fault", "silent 1", "--fault", "badcrc 2", "--control", fifo});
  Master master(sim.Link());
  master.Send(ReadRequest(1));
  EXPECT_TRUE(master.ReceiveQuiet(milliseconds(150)).empty());
  EXPECT_FALSE(CrcOk(master.Transact(ReadRequest(2), 11)));
  const int control = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(control, 0);
  ASSERT_EQ(write(control, "speak 1\n", 8), 8);
  close(control);
  EXPECT_THAT(sim.Reply(), ElementsAre("ok"));  // answered on standard output like the others
  EXPECT_EQ(master.Transact(ReadRequest(1), 11), kAnswer1);
  EXPECT_EQ(sim.Stop(0), 0);
  EXPECT_NE(access(fifo.c_str(), F_OK), 0);  // we made it, so we removed it
}

}  // namespace
}  // namespace sim_test
