// What the simulated slaves answer: the frames a master sees, byte for byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "sim_harness.h"

namespace sim_test {
namespace {

using ::testing::ElementsAreArray;

TEST(SlaveSimAnswers, RequestsGetTheirAnswerTheirExceptionOrNothing) {
  ASSERT_EQ(ReadRequest(1), Bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB}));
  ASSERT_EQ(WriteRequest(2, 1, 123), Bytes({0x02, 0x06, 0x00, 0x01, 0x00, 0x7B, 0x98, 0x1A}));
  TempDir dir;
  SimProcess sim(dir, {"--fixed", "--slaves", "1-3,5-10"});
  Master master(sim.Link());
  Bytes spoiled = ReadRequest(1);
  spoiled[7] ^= 0x01;
  const std::pair<Bytes, Bytes> exchanges[] = {
      {ReadRequest(1), {0x01, 0x03, 0x06, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0xFD, 0x74}},
      {WriteRequest(2, 1, 123), WriteRequest(2, 1, 123)},
      {ReadRequest(2), ReadAnswer(2, 101, 123, 103)},  // the written value sticks
      // Past the end of the map, a quantity Modbus does not allow, and functions we do not
      // serve: one whose length its header tells, one we know nothing of.
      {ReadRequest(1, 120, 6), WithCrc({0x01, 0x83, 0x02})},
      {ReadRequest(1, 0, 0), WithCrc({0x01, 0x83, 0x03})},
      {WriteRequest(1, 125, 1), WithCrc({0x01, 0x86, 0x02})},
      {WithCrc({0x03, 0x10, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x07}), WithCrc({0x03, 0x90, 0x01})},
      {WithCrc({0x05, 0x11}), WithCrc({0x05, 0x91, 0x01})},
      {ReadRequest(1), ReadAnswer(1, 1, 2, 3)},  // the refused write stored nothing
      // A wrong CRC, an address not served and a broadcast get no answer.
      {spoiled, {}},
      {ReadRequest(4), {}},
      {WriteRequest(0, 2, 555), {}},
      {ReadRequest(3), ReadAnswer(3, 201, 202, 555)},  // the broadcast was stored all the same
  };
  for (const auto& [request, answer] : exchanges) ExpectAnswer(master, request, answer);
  std::vector<std::string> ignored;
  for (const LogLine& line : sim.Log("IGNORE")) ignored.push_back(line.rest);
  EXPECT_THAT(ignored, ElementsAreArray({"badcrc", "address 4", "broadcast"}));
  // The whole map in one read.
  const Bytes all = master.Transact(ReadRequest(10, 0, 125), 255);
  ASSERT_EQ(all.size(), 255u);
  EXPECT_EQ(all[2], 250);
  EXPECT_TRUE(CrcOk(all));
  EXPECT_EQ(Register(all, 0), 901);
  EXPECT_EQ(Register(all, 124), 1025);
}

TEST(SlaveSimAnswers, RequestsAreAssembledAcrossWritesAndStrayBytesAreShedBySilence) {
  TempDir dir;
  SimProcess sim(dir, {"--fixed"});
  Master master(sim.Link());
  const Bytes request = ReadRequest(1);
  master.Send(Bytes(request.begin(), request.begin() + 3));
  usleep(2000);  // well inside the 20 ms of silence that would end a frame
  master.Send(Bytes(request.begin() + 3, request.end()));
  EXPECT_EQ(master.Receive(11, milliseconds(1000)).size(), 11u);
  // A torn request followed by silence is dropped, and the next one is answered.
  master.Send({0x01, 0x03, 0x00});
  EXPECT_TRUE(master.ReceiveQuiet(milliseconds(100)).empty());
  EXPECT_EQ(master.Transact(ReadRequest(2), 11).size(), 11u);
  const auto received = sim.Log("RX");
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].rest, Hex(request));
  EXPECT_EQ(received[1].rest, "01 03 00");
}

TEST(SlaveSimAnswers, LiveRegistersMoveWrittenAndPinnedOnesStay) {
  TempDir dir;
  SimProcess sim(dir, {});
  Master master(sim.Link());
  const Bytes first = master.Transact(ReadRequest(3), 11);
  const Bytes second = master.Transact(ReadRequest(3), 11);
  ASSERT_TRUE(CrcOk(first) && CrcOk(second));
  EXPECT_EQ(Register(first, 0), 1);  // register 0 counts the slave's answers
  EXPECT_EQ(Register(second, 0), 2);
  EXPECT_LT(Register(first, 1), 1000);
  EXPECT_GE(Register(first, 2), 300);
  EXPECT_LT(Register(first, 2), 360);
  EXPECT_EQ(master.Transact(WriteRequest(3, 0, 7), 8), WriteRequest(3, 0, 7));
  EXPECT_EQ(Register(master.Transact(ReadRequest(3), 11), 0), 7);
  EXPECT_EQ(Register(master.Transact(ReadRequest(3), 11), 0), 7);
  ASSERT_THAT(sim.Command("regs 4-5 1,2,3"), ElementsAreArray({"ok"}));
  EXPECT_EQ(master.Transact(ReadRequest(5), 11), ReadAnswer(5, 1, 2, 3));
}

}  // namespace
}  // namespace sim_test
