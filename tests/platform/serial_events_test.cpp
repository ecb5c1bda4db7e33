// Line events through WaitCommEvent, closing with operations pending, a line that hangs up,
// and the device shared between an event thread and a writer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/platform/far_end.h"

namespace platform {
namespace {

using namespace testing;

class SerialEvents : public ::testing::TestWithParam<FarEnd::Kind> {
 protected:
  void SetUp() override { ASSERT_TRUE(device_ = OpenConfigured(far_->PortName())); }
  // A wait that must stay pending.
  void StartWait(uint32_t& mask, Overlapped& op) {
    ASSERT_FALSE(device_->WaitCommEvent(&mask, &op.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }
  // The events of one wait, collected the way the port's event thread does it; 0 if none.
  uint32_t NextEvents(std::chrono::milliseconds within) {
    Overlapped op;
    Event stop(true, false);
    uint32_t mask = 0, n = 0;
    if (!device_->WaitCommEvent(&mask, &op.ov) &&
        WaitForMultipleObjects({&stop, &op.event}, static_cast<uint32_t>(within.count())) !=
            WAIT_OBJECT_0 + 1) {
      device_->SetCommMask(0);  // nothing may stay pending on a record of our stack
      return 0;
    }
    EXPECT_TRUE(device_->GetOverlappedResult(&op.ov, &n, false));
    return mask;
  }

  std::unique_ptr<FarEnd> far_ = MakeFarEnd(GetParam());
  std::unique_ptr<SerialDevice> device_;
};

TEST_P(SerialEvents, ArrivingBytesRaiseRxCharAndTheEventChar) {
  DCB dcb;
  ASSERT_TRUE(device_->GetCommState(dcb));
  dcb.EvtChar = '\n';
  ASSERT_TRUE(device_->SetCommState(dcb));
  ASSERT_TRUE(device_->SetCommMask(EV_RXCHAR | EV_RXFLAG));
  uint32_t mask = 0;
  Overlapped op;
  StartWait(mask, op);
  far_->Send("ab");
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_EQ(mask, EV_RXCHAR);
  far_->Send("c\n");
  uint32_t seen = 0;
  EXPECT_TRUE(WaitFor([&] { return (seen |= NextEvents(500ms)) == (EV_RXCHAR | EV_RXFLAG); }, 3s));
}

TEST_P(SerialEvents, EventsBeforeTheWaitCompleteItAtOnceAndOnlyOnce) {
  ASSERT_TRUE(device_->SetCommMask(EV_RXCHAR));
  far_->Send("x");
  ASSERT_TRUE(WaitFor([&] { return Queued(*device_) == 1; }, 2s));
  uint32_t mask = 0;
  Overlapped op;
  op.event.Reset();
  ASSERT_TRUE(device_->WaitCommEvent(&mask, &op.ov));
  EXPECT_EQ(mask, EV_RXCHAR);
  EXPECT_TRUE(op.event.IsSet());
  StartWait(mask, op);
  ASSERT_TRUE(device_->SetCommMask(0));
}

TEST_P(SerialEvents, UnmaskedEventsAreForgottenAndTxEmptyFollowsAWrite) {
  ASSERT_TRUE(device_->SetCommMask(EV_TXEMPTY));
  uint32_t mask = 0;
  Overlapped op, write;
  StartWait(mask, op);
  far_->Send("ignored");
  EXPECT_FALSE(op.Signalled(150ms));
  ASSERT_TRUE(device_->WriteFile("go", 2, nullptr, &write.ov));
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_EQ(mask, EV_TXEMPTY);
}

// A transmit-empty nobody hears leaves the waiter asleep; heard again, it comes as before.
TEST_P(SerialEvents, AnUnheardTxEmptyLeavesTheWaitAlone) {
  ASSERT_TRUE(device_->SetCommMask(EV_TXEMPTY));
  uint32_t mask = 0;
  Overlapped op, first, second;
  StartWait(mask, op);
  device_->SetUnheardEvents(EV_TXEMPTY);
  ASSERT_TRUE(device_->WriteFile("go", 2, nullptr, &first.ov));
  EXPECT_FALSE(op.Signalled(150ms));
  device_->SetUnheardEvents(0);
  ASSERT_TRUE(device_->WriteFile("go", 2, nullptr, &second.ov));
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_EQ(mask, EV_TXEMPTY);
}

TEST_P(SerialEvents, NearlyFullQueueRaisesRx80Full) {
  ASSERT_TRUE(device_->SetupComm(10, 10));
  ASSERT_TRUE(device_->SetCommMask(EV_RX80FULL));
  uint32_t mask = 0;
  Overlapped op;
  StartWait(mask, op);
  far_->Send("1234567");
  EXPECT_FALSE(op.Signalled(150ms));
  far_->Send("8");
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_EQ(mask, EV_RX80FULL);
}

TEST_P(SerialEvents, SetCommMaskEndsAPendingWaitWithNoEvents) {
  ASSERT_TRUE(device_->SetCommMask(EV_RXCHAR));
  uint32_t mask = 0xDEAD, secondMask = 0;
  Overlapped op, second;
  StartWait(mask, op);
  EXPECT_FALSE(device_->WaitCommEvent(&secondMask, &second.ov));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "one wait at a time";
  // An event thread that waits on the record anyway must not spin on the failing call.
  EXPECT_FALSE(second.event.IsSet());
  ASSERT_TRUE(device_->SetCommMask(EV_RXCHAR | EV_ERR));
  ASSERT_TRUE(op.Signalled(0ms));
  EXPECT_EQ(mask, 0u);
}

TEST_P(SerialEvents, ClosingCompletesEveryPendingOperation) {
  auto device = std::move(device_);
  ASSERT_TRUE(device && device->SetCommMask(EV_RXCHAR));
  ASSERT_TRUE(device->SetCommTimeouts({0, 0, 0, 0, 0}));
  Overlapped wait, read, write;
  uint32_t mask = 0;
  char buffer[8];
  const std::string big(far_->Unreadable(), 'b');
  ASSERT_FALSE(device->WaitCommEvent(&mask, &wait.ov));
  ASSERT_FALSE(device->ReadFile(buffer, sizeof buffer, nullptr, &read.ov));
  ASSERT_FALSE(
      device->WriteFile(big.data(), static_cast<uint32_t>(big.size()), nullptr, &write.ov));
  device.reset();
  for (Overlapped* op : {&wait, &read, &write}) {
    EXPECT_TRUE(op->event.IsSet());
    EXPECT_EQ(op->ov.Internal, ERROR_OPERATION_ABORTED);
  }
}

TEST_P(SerialEvents, AHungUpLineKeepsWhatCameThenFailsAndStaysQuiet) {
  ASSERT_TRUE(device_->SetCommMask(EV_RXCHAR | EV_ERR));
  ASSERT_TRUE(device_->SetCommTimeouts({0, 0, 0, 0, 0}));
  far_->Send("lastbyte");
  ASSERT_TRUE(WaitFor([&] { return Queued(*device_) == 8; }, 2s));
  ASSERT_EQ(NextEvents(1s), EV_RXCHAR);
  char buffer[16] = {};
  uint32_t read = 0;
  Overlapped op;
  ASSERT_TRUE(device_->ReadFile(buffer, 4, &read, &op.ov));
  ASSERT_FALSE(device_->ReadFile(buffer, 16, nullptr, &op.ov)) << "waits for 16 bytes";

  EXPECT_FALSE(device_->LineGone());
  far_->Close();
  ASSERT_TRUE(op.Signalled(2s));
  EXPECT_TRUE(device_->GetOverlappedResult(&op.ov, &read, false)) << "it got the queued bytes";
  EXPECT_EQ(std::string(buffer, read), "byte");
  EXPECT_EQ(NextEvents(2s), EV_ERR);
  uint32_t errors = 0, modem = 1, mask = 0;
  ASSERT_TRUE(device_->ClearCommError(&errors, nullptr));
  EXPECT_EQ(errors, CE_IOE);
  EXPECT_TRUE(device_->LineGone());

  Overlapped wait;
  StartWait(mask, wait);
  const double cpuBefore = ProcessCpuSeconds();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.05) << "nothing may spin";
  EXPECT_FALSE(wait.event.IsSet()) << "no more events come";

  EXPECT_FALSE(device_->ReadFile(buffer, 8, nullptr, &op.ov));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_FALSE(device_->WriteFile("x", 1, nullptr, &op.ov));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_TRUE(device_->GetCommModemStatus(&modem));
  EXPECT_EQ(modem, 0u);
  EXPECT_TRUE(device_->PurgeComm(PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR));
  ASSERT_TRUE(device_->SetCommMask(0));
  EXPECT_TRUE(wait.event.IsSet());
  device_.reset();
}

// The port's way of working: an event thread waits and reads while another thread writes.
TEST_P(SerialEvents, EventThreadAndWriterShareTheDevice) {
  ASSERT_TRUE(device_->SetupComm(1 << 20, 1 << 20));
  ASSERT_TRUE(device_->SetCommMask(EV_RXCHAR | EV_TXEMPTY));
  std::string sent(100000, '\0'), received;
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7);
  std::atomic<bool> done{false};
  Event stop(true, false);
  std::thread events([&] {
    Overlapped op, read;
    char chunk[512];
    uint32_t mask = 0, n = 0;
    while (received.size() < sent.size()) {
      if (!device_->WaitCommEvent(&mask, &op.ov) &&
          WaitForMultipleObjects({&stop, &op.event}, INFINITE) != WAIT_OBJECT_0 + 1)
        break;
      while (device_->ReadFile(chunk, sizeof chunk, &n, &read.ov) && n > 0)
        received.append(chunk, n);
    }
    done = true;
  });
  std::thread writer([&] {
    Overlapped op;
    for (int i = 0; i < 200; ++i) device_->WriteFile("frame", 5, nullptr, &op.ov);
  });
  for (size_t at = 0; at < sent.size(); at += 1000) far_->Send(sent.substr(at, 1000));
  writer.join();
  EXPECT_EQ(far_->Receive(1000, 5s).size(), 1000u);
  EXPECT_TRUE(WaitFor([&] { return done.load(); }, 10s));
  stop.Set();
  ASSERT_TRUE(device_->SetCommMask(0));
  events.join();
  EXPECT_TRUE(received == sent);
}

INSTANTIATE_TEST_SUITE_P(Lines, SerialEvents,
                         ::testing::Values(FarEnd::Kind::Pty, FarEnd::Kind::Tcp),
                         [](const auto& line) { return KindName(line.param); });

}  // namespace
}  // namespace platform
