// Requests, the CRC, and collecting answers from receive events.
#include "form_test.h"
#include "serial/com_port.h"

#include <functional>

#include <cstring>
#include <vector>

using namespace app;

namespace {

std::vector<uint8_t> Tx() { return std::vector<uint8_t>(TxFrame, TxFrame + 8); }

class Collecting : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetDeviceOpener(line.Opener());
    port.SetEvents({});
    port.OpenPort();
    RxLength = 0;
  }
  RxState Event(const std::vector<uint8_t>& bytes) {
    line.Inject(bytes);
    return CollectAnswer(port, int(bytes.size()));
  }
  platform::RecordingLine line;
  serial::TComPort port;
};

}  // namespace

TEST(Crc16, TableAndKnownValues) {
  for (int i = 0; i < 256; ++i) {
    uint16_t steps = uint16_t(i);  // eight steps on i: the CRC of byte i from 0
    for (int bit = 0; bit < 8; ++bit) steps = steps & 1 ? (steps >> 1) ^ 0xA001 : steps >> 1;
    ASSERT_EQ(Crc16Table[i], steps) << i;
  }
  EXPECT_EQ(Crc16Table[255], 0x4040);
  const char* digits = "123456789";
  uint16_t crc = 0xFFFF;
  Crc16Update(reinterpret_cast<const uint8_t*>(digits), 9, crc);
  EXPECT_EQ(crc, 0x4B37);
  crc = 0x1234;
  Crc16Update(nullptr, 0, crc);
  EXPECT_EQ(crc, 0x1234);
}

TEST(Requests, ReadAndWriteFrames) {
  // Only the low 8 bits of address and register number, and the low 16 of the value, are sent.
  const std::pair<std::function<void()>, std::vector<uint8_t>> frames[] = {
      {[] { BuildReadRequest(1); }, {0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB}},
      {[] { BuildReadRequest(2); }, {0x02, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xF8}},
      {[] { BuildReadRequest(10); }, {0x0A, 0x03, 0x00, 0x00, 0x00, 0x03, 0x04, 0xB0}},
      {[] { BuildReadRequest(0x101); }, {0x01, 0x03, 0x00, 0x00, 0x00, 0x03, 0x05, 0xCB}},
      {[] { BuildWriteRequest(10, 2, 999); }, {0x0A, 0x06, 0x00, 0x02, 0x03, 0xE7, 0x69, 0xCB}},
      {[] { BuildWriteRequest(2, 1, 123); }, {0x02, 0x06, 0x00, 0x01, 0x00, 0x7B, 0x98, 0x1A}},
      {[] { BuildWriteRequest(1, 0x102, 0x12345); }, {0x01, 0x06, 0x00, 0x02, 0x23, 0x45, 0xF0, 0xC9}},
  };
  for (const auto& [build, frame] : frames) {
    build();
    EXPECT_EQ(Tx(), frame);
  }
}

TEST_F(Collecting, CompletenessFollowsFunctionAndByteCount) {
  // 01 03 06 00 01 00 02 00 03 FD 74, in pieces of 3 + 4 + 4.
  EXPECT_EQ(Event({0x01, 0x03, 0x06}), RxState::Incomplete);
  EXPECT_EQ(Event({0x00, 0x01, 0x00, 0x02}), RxState::Incomplete);
  EXPECT_EQ(Event({0x00, 0x03, 0xFD}), RxState::Incomplete);  // 10 of 11
  EXPECT_EQ(Event({0x74}), RxState::Complete);
  EXPECT_TRUE(AnswerCrcValid());
  uint16_t value = 0;
  ASSERT_TRUE(AnswerRegister(2, value));
  EXPECT_EQ(value, 3);
  EXPECT_EQ(Event({0x55}), RxState::Complete);  // later bytes: complete again, longer
  EXPECT_EQ(RxLength, 12);
  EXPECT_TRUE(AnswerCrcValid());  // checked over the answer's own length

  // Byte count 2: complete at 7 bytes; only register 0 comes from it.
  RxLength = 0;
  EXPECT_EQ(Event({0x05, 0x03, 0x02, 0x01, 0x02, 0x00}), RxState::Incomplete);
  EXPECT_EQ(Event({0x00}), RxState::Complete);
  EXPECT_TRUE(AnswerRegister(0, value));
  EXPECT_EQ(value, 0x0102);
  EXPECT_FALSE(AnswerRegister(1, value));
  EXPECT_FALSE(AnswerCrcValid());

  // A write echo at 8 bytes, not 7; an exception answer never completes but is recognised.
  RxLength = 0;
  EXPECT_EQ(Event({0x02, 0x06, 0x00, 0x01, 0x00, 0x7B, 0x98}), RxState::Incomplete);
  EXPECT_EQ(Event({0x1A}), RxState::Complete);
  EXPECT_TRUE(AnswerCrcValid());
  RxLength = 0;
  EXPECT_EQ(Event(WithCrc({0x03, 0x83, 0x02})), RxState::Incomplete);
  EXPECT_TRUE(ExceptionAnswer());
  EXPECT_EQ(Event({0, 0, 0}), RxState::Incomplete);
}

TEST_F(Collecting, OverflowDropsTheWholeEvent) {
  EXPECT_EQ(Event(std::vector<uint8_t>(95, 0x11)), RxState::Incomplete);
  EXPECT_EQ(Event(std::vector<uint8_t>(5, 0x22)), RxState::Incomplete);
  EXPECT_EQ(RxLength, 100);
  RxLength = 96;
  EXPECT_EQ(Event(std::vector<uint8_t>(5, 0x33)), RxState::Overflow);
  EXPECT_EQ(RxLength, 96);
  // A flood larger than the chunk buffer is drained, not written past it.
  RxLength = 0;
  EXPECT_EQ(Event(std::vector<uint8_t>(1000, 0x44)), RxState::Overflow);
  EXPECT_EQ(port.QueuedInput(), 0);
  EXPECT_EQ(RxChunk[100], 0x44);
}
