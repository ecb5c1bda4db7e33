// Reads and writes on a pseudo-terminal: the input queue, the Win32 timeout rules, purging.
#include <gtest/gtest.h>

#include <thread>

#include "tests/platform/far_end.h"

namespace platform {
namespace {

using namespace testing;

class SerialTransfer : public ::testing::TestWithParam<FarEnd::Kind> {
 protected:
  void SetUp() override { ASSERT_TRUE(device_ = OpenConfigured(far_->PortName())); }
  void ReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
    ASSERT_TRUE(device_->SetCommTimeouts({interval, multiplier, constant, 100, 1000}));
  }
  void SendAndQueue(const std::string& bytes) {
    const uint32_t before = Queued(*device_);
    far_->Send(bytes);
    ASSERT_TRUE(WaitFor([&] { return Queued(*device_) == before + bytes.size(); }, 2s));
  }
  // A read that must stay pending.
  void StartRead(char* buffer, uint32_t count, Overlapped& op) {
    ASSERT_FALSE(device_->ReadFile(buffer, count, nullptr, &op.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  // The transferred count, and the error (0 for success) in `error`.
  uint32_t Result(Overlapped& op, uint32_t& error) {
    uint32_t n = 0;
    error = device_->GetOverlappedResult(&op.ov, &n, false) ? 0 : GetLastError();
    return n;
  }
  void WriteBig(size_t size, Overlapped& op) {
    const std::string big(size, 'w');
    ASSERT_FALSE(device_->WriteFile(big.data(), static_cast<uint32_t>(size), nullptr, &op.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }

  std::unique_ptr<FarEnd> far_ = MakeFarEnd(GetParam());
  std::unique_ptr<SerialDevice> device_;
  char buffer_[16] = {};
  uint32_t error_ = 0;
};

TEST_P(SerialTransfer, WrittenBytesReachTheFarEnd) {
  Overlapped op;
  const std::string frame("\x01\x03\x00\x00\x00\x01\x84\x0a", 8);
  uint32_t written = 0;
  ASSERT_TRUE(device_->WriteFile(frame.data(), 8, &written, &op.ov));
  EXPECT_EQ(written, 8u);
  EXPECT_TRUE(op.event.IsSet());
  EXPECT_EQ(Result(op, error_), 8u);
  EXPECT_EQ(far_->Receive(8, 2s), frame);
}

TEST_P(SerialTransfer, DefaultTimeoutsReturnAtOnceWithWhatIsQueued) {
  uint32_t read = 99;
  Overlapped op;
  ASSERT_TRUE(device_->ReadFile(buffer_, 10, &read, &op.ov));
  EXPECT_EQ(read, 0u) << "nothing queued";
  SendAndQueue("abcd");
  ASSERT_TRUE(device_->ReadFile(buffer_, 0, &read, &op.ov));
  EXPECT_EQ(read, 0u);
  ASSERT_TRUE(device_->ReadFile(buffer_, 10, &read, &op.ov));
  EXPECT_EQ(std::string(buffer_, read), "abcd");
  EXPECT_TRUE(op.event.IsSet());
}

TEST_P(SerialTransfer, NoTimeoutsWaitForTheWholeCount) {
  ReadTimeouts(0, 0, 0);
  SendAndQueue("ab");
  Overlapped op;
  StartRead(buffer_, 5, op);
  Result(op, error_);
  EXPECT_EQ(error_, ERROR_IO_INCOMPLETE);
  far_->Send("cdefg");
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_EQ(Result(op, error_), 5u);
  EXPECT_EQ(std::string(buffer_, 5), "abcde");
  EXPECT_TRUE(WaitFor([&] { return Queued(*device_) == 2; }, 2s)) << "the rest stays queued";
}

TEST_P(SerialTransfer, TimedOutReadsSucceedWithWhatCame) {
  ReadTimeouts(0, 10, 200);  // total: 10 * 10 + 200 ms
  Overlapped op;
  auto start = Clock::now();
  StartRead(buffer_, 10, op);
  far_->Send("xyz");
  ASSERT_TRUE(op.Signalled(3s));
  EXPECT_GE(Clock::now() - start, 280ms);
  EXPECT_EQ(Result(op, error_), 3u);
  EXPECT_EQ(error_, 0u);

  ReadTimeouts(60, 0, 0);  // interval only: no limit before the first byte
  StartRead(buffer_, 10, op);
  EXPECT_FALSE(op.Signalled(200ms));
  start = Clock::now();
  far_->Send("12");
  ASSERT_TRUE(op.Signalled(3s));
  EXPECT_GE(Clock::now() - start, 50ms);
  EXPECT_EQ(Result(op, error_), 2u);

  ReadTimeouts(MAXDWORD, MAXDWORD, 150);  // the first byte, or nothing after the constant
  start = Clock::now();
  StartRead(buffer_, 10, op);
  ASSERT_TRUE(op.Signalled(3s));
  EXPECT_GE(Clock::now() - start, 130ms);
  EXPECT_EQ(Result(op, error_), 0u);
  StartRead(buffer_, 10, op);
  far_->Send("Q");
  ASSERT_TRUE(op.Signalled(3s));
  EXPECT_EQ(Result(op, error_), 1u);
}

TEST_P(SerialTransfer, PurgeAbortsReadsKeepingWhatTheyGotAndClearsTheQueue) {
  ReadTimeouts(0, 0, 0);
  Overlapped op;
  StartRead(buffer_, 10, op);
  far_->Send("abc");
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(device_->PurgeComm(PURGE_RXABORT));
  ASSERT_TRUE(op.Signalled(0ms));
  EXPECT_EQ(Result(op, error_), 3u);
  EXPECT_EQ(error_, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(std::string(buffer_, 3), "abc");

  SendAndQueue("def");
  ASSERT_TRUE(device_->PurgeComm(PURGE_RXCLEAR | PURGE_TXCLEAR));
  EXPECT_EQ(Queued(*device_), 0u);
}

TEST_P(SerialTransfer, AFullQueueDropsAndSaysSo) {
  ASSERT_TRUE(device_->SetupComm(16, 16));
  far_->Send(std::string(20, 'z'));
  uint32_t errors = 0, seen = 0;
  COMSTAT stat;
  ASSERT_TRUE(WaitFor(
      [&] { return device_->ClearCommError(&errors, &stat) && (seen |= errors) == CE_RXOVER; },
      2s));
  EXPECT_EQ(stat.cbInQue, 16u);
  ASSERT_TRUE(device_->ClearCommError(&errors, &stat));
  EXPECT_EQ(errors, 0u) << "reading the errors clears them";
}

// With parity checked the terminal doubles a true 0xFF (the marks: termios2_flags_test); a
// socket marks nothing, and only the nulls go.
TEST_P(SerialTransfer, DiscardNullAndParityCheckFilterWhatArrives) {
  DCB dcb;
  ASSERT_TRUE(device_->GetCommState(dcb));
  dcb.Flags |= dcb_Null | dcb_ParityCheck | dcb_ErrorChar;
  dcb.ErrorChar = '?';
  ASSERT_TRUE(device_->SetCommState(dcb));
  far_->Send(std::string("\0a\0\0\xff\0b\0", 8));
  ASSERT_TRUE(WaitFor([&] { return Queued(*device_) == 3; }, 2s));
  uint32_t read = 0;
  Overlapped op;
  ASSERT_TRUE(device_->ReadFile(buffer_, 8, &read, &op.ov));
  EXPECT_EQ(std::string(buffer_, read),
            "a\xff"
            "b");
}

// Nobody reads the far end, so the terminal fills up and the rest of a long write waits.
TEST_P(SerialTransfer, WritesTheLineCannotTakeWaitTimeOutOrAbort) {
  ASSERT_TRUE(device_->SetCommTimeouts({MAXDWORD, 0, 0, 0, 300}));
  Overlapped op;
  const auto start = Clock::now();
  WriteBig(far_->Unreadable(), op);
  COMSTAT stat;
  ASSERT_TRUE(device_->ClearCommError(nullptr, &stat));
  EXPECT_GT(stat.cbOutQue, 0u);
  ASSERT_TRUE(op.Signalled(5s));
  EXPECT_GE(Clock::now() - start, 280ms);
  const uint32_t sent = Result(op, error_);
  EXPECT_EQ(error_, 0u) << "a timed-out write succeeds with what went out";
  EXPECT_LT(sent, far_->Unreadable());

  ASSERT_TRUE(device_->SetCommTimeouts({MAXDWORD, 0, 0, 0, 0}));
  WriteBig(far_->Unreadable(), op);
  ASSERT_TRUE(device_->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR));
  ASSERT_TRUE(op.Signalled(0ms));
  Result(op, error_);
  EXPECT_EQ(error_, ERROR_OPERATION_ABORTED);
}

TEST_P(SerialTransfer, APendingWriteFinishesAsTheFarEndReads) {
  ASSERT_TRUE(device_->SetCommTimeouts({MAXDWORD, 0, 0, 0, 0}));
  const size_t size = far_->Unreadable();
  std::string data(size, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
  const std::string expected = data;
  Overlapped op;
  ASSERT_FALSE(device_->WriteFile(data.data(), static_cast<uint32_t>(size), nullptr, &op.ov));
  data.assign(data.size(), 'x');  // the device keeps its own copy
  EXPECT_TRUE(far_->Receive(size, 10s) == expected);
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_EQ(Result(op, error_), size);
}

INSTANTIATE_TEST_SUITE_P(Lines, SerialTransfer,
                         ::testing::Values(FarEnd::Kind::Pty, FarEnd::Kind::Tcp),
                         [](const auto& line) { return KindName(line.param); });

}  // namespace
}  // namespace platform
