// The termios bits behind a line format, against the kernel's own constants: a
// pseudo-terminal forces 8 data bits without parity, so these cannot be read back from one.
#include <asm/termbits.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/termios2_linux.h"
#include "tests/platform/pty_pair.h"

namespace platform {
namespace {

LineFormat Format(uint32_t baud, uint8_t bits, uint8_t parity, uint8_t stop) {
  return {baud, bits, parity, stop};
}

uint32_t Bits(const LineFormat& format) {
  return EncodeLineFormat(format, {}).cflag &
         (CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
}

TEST(LineFlags, FormatBits) {
  EXPECT_EQ(Bits(Format(9600, 7, 2, 2)), uint32_t{B9600 | CS7 | PARENB | CSTOPB});
  EXPECT_EQ(Bits(Format(9600, 6, 1, 0)), uint32_t{B9600 | CS6 | PARENB | PARODD});
  EXPECT_EQ(Bits(Format(9600, 8, 3, 0)), uint32_t{B9600 | CS8 | PARENB | PARODD | CMSPAR});
  EXPECT_EQ(Bits(Format(9600, 8, 4, 0)), uint32_t{B9600 | CS8 | PARENB | CMSPAR});
  EXPECT_EQ(Bits(Format(115200, 5, 0, 1)), uint32_t{B115200 | CS5 | CSTOPB});
  const LineFlags custom = EncodeLineFormat(Format(31250, 8, 0, 0), {});
  EXPECT_EQ(custom.cflag & (CBAUD | CIBAUD), uint32_t{BOTHER});
  EXPECT_EQ(custom.ospeed, 31250u);
}

TEST(LineFlags, FlowControlKeepsTheOtherBits) {
  LineFormat format = Format(9600, 8, 0, 0);
  format.rtsCtsFlow = format.xonXoffIn = format.xonXoffOut = format.parityCheck = true;
  const LineFlags flags =
      EncodeLineFormat(format, {CLOCAL | CREAD | CS7 | PARENB, IGNBRK | IGNPAR, 0, 0});
  EXPECT_EQ(flags.cflag, uint32_t{CLOCAL | CREAD | CS8 | B9600 | CRTSCTS});
  // Checked parity marks the bad bytes instead of dropping them or reading them as 0x00.
  EXPECT_EQ(flags.iflag, uint32_t{IGNBRK | INPCK | PARMRK | IXON | IXOFF});
  EXPECT_EQ(EncodeLineFormat(Format(9600, 8, 0, 0), flags).iflag, uint32_t{IGNBRK});
}

TEST(LineFlags, DecodeGivesBackWhatWasEncoded) {
  for (uint8_t bits = 5; bits <= 8; ++bits)
    for (uint8_t parity = 0; parity <= 4; ++parity)
      for (uint32_t baud : {300u, 31250u, 4000000u}) {
        const LineFormat format = Format(baud, bits, parity, 2);
        EXPECT_EQ(DecodeLineFlags(EncodeLineFormat(format, {})), format);
      }
}

// Every call answers whether the kernel did it; a pseudo-terminal has no modem lines.
TEST(TerminalCalls, SayWhetherTheyWorked) {
  testing::PtyPair pty;
  EXPECT_TRUE(SetExclusive(pty.OwnSlave(), true));
  EXPECT_TRUE(SetExclusive(pty.OwnSlave(), false));
  EXPECT_FALSE(SetDtr(pty.OwnSlave(), true));
  EXPECT_FALSE(SetRts(pty.OwnSlave(), false));
  EXPECT_FALSE(SetExclusive(-1, true));
}

// Marks as the kernel sends them with PARMRK, one read per inner list; '?' replaces when set.
TEST(ParityMarks, BadBytesComeOutAsReceivedOrReplaced) {
  using Bytes = std::vector<uint8_t>;
  struct Case {
    const char* what;
    bool marked, replace;
    std::vector<Bytes> reads;
    Bytes expected;
  };
  const Case cases[] = {
      {"error byte", true, false, {{'a', 0xFF, 0x00, 'X', 'b'}}, {'a', 'X', 'b'}},
      {"error byte replaced", true, true, {{'a', 0xFF, 0x00, 'X', 'b'}}, {'a', '?', 'b'}},
      {"error on a 0xFF", true, false, {{0xFF, 0x00, 0xFF}}, {0xFF}},
      {"true 0xFF, never replaced", true, true, {{0xFF, 0xFF, 'c', 0xFF, 0xFF}}, {0xFF, 'c', 0xFF}},
      {"break", true, false, {{0xFF, 0x00, 0x00}}, {0x00}},
      {"marks split over reads", true, true, {{'a', 0xFF}, {0x00}, {'X', 0xFF}, {0xFF, 'b'}},
       {'a', '?', 0xFF, 'b'}},
      {"stray byte after 0xFF kept", true, false, {{0xFF, 'q'}}, {0xFF, 'q'}},
      {"unchecked line: nothing is a mark", false, true, {{0xFF, 0x00, 'X', 0xFF, 0xFF}},
       {0xFF, 0x00, 'X', 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    ParityMarks marks;
    marks.Configure(c.marked, c.replace, '?');
    Bytes out;
    for (const Bytes& read : c.reads) {
      const auto bytes = marks.Decode(read.data(), read.size());
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(out, c.expected) << c.what;
  }
  ParityMarks flushed;
  flushed.Configure(true, true, '?');
  const uint8_t half[] = {0xFF, 0x00}, after[] = {'z'};
  EXPECT_TRUE(flushed.Decode(half, 2).empty());
  flushed.Reset();
  const auto z = flushed.Decode(after, 1);
  EXPECT_EQ(Bytes(z.begin(), z.end()), Bytes{'z'}) << "not a marked byte";
}

}  // namespace
}  // namespace platform
