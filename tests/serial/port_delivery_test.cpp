// Line events from the event thread to the handlers, by each sync method, on the recording
// device: which thread runs them, in which order, and what a failing handler does.
#include "framework/exception.h"
#include "framework/guard.h"
#include "framework/synchronize.h"
#include "platform/recording_serial_device.h"
#include "serial/com_port.h"
#include "qt_printers.h"
#include "wait.h"

#include <QThread>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace serial;
using platform::RecordingLine;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

class Delivery : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetDeviceOpener(line.Opener());
    previousReporter = framework::SetExceptionReporter([this](const QString& m) {
      std::lock_guard<std::mutex> g(lock);
      reports << m;
    });
  }
  void TearDown() override { framework::SetExceptionReporter(previousReporter); }

  void Log(const QString& entry) {
    std::lock_guard<std::mutex> g(lock);
    log << entry;
  }
  QStringList Logged() {
    std::lock_guard<std::mutex> g(lock);
    return log;
  }

  RecordingLine line;
  TComPort port;
  std::mutex lock;
  QStringList log;
  QStringList reports;
  framework::ExceptionReporter previousReporter;
};

}  // namespace

TEST_F(Delivery, RxCharArrivesOnTheGuiThreadWithTheCountWaitingAtDispatch) {
  std::atomic<int> calls{0};
  std::atomic<int> lastCount{0};
  std::atomic<bool> onGui{false};
  port.OnRxChar = [&](QObject* sender, int count) {
    EXPECT_EQ(sender, &port);
    onGui = framework::IsGuiThread();
    lastCount = count;
    ++calls;
  };
  port.OpenPort();
  // Two bytes raise the event; the third arrives before the GUI thread gets to it.
  line.Inject({1, 2});
  line.Inject({3});
  ASSERT_TRUE(ProcessUntil([&] { return calls > 0; }));
  EXPECT_TRUE(onGui);
  EXPECT_EQ(lastCount, 3);

  // A handler that reads everything leaves nothing for the next dispatch.
  uint8_t buffer[16];
  port.OnRxChar = [&](QObject*, int count) {
    EXPECT_EQ(port.ReceiveBytes(buffer, count), count);
    Log(QStringLiteral("rx %1").arg(count));
  };
  line.Inject({4, 5});
  ASSERT_TRUE(ProcessUntil([&] { return !Logged().isEmpty(); }));
  EXPECT_EQ(Logged(), QStringList{QStringLiteral("rx 5")});
  port.ClosePort();
}

TEST_F(Delivery, ABatchIsHandledInTheFixedOrder) {
  port.OnRxChar = [&](QObject*, int) { Log("rxchar"); };
  port.OnTxEmpty = [&](QObject*) { Log("txempty"); };
  port.OnBreak = [&](QObject*) { Log("break"); };
  port.OnRing = [&](QObject*) { Log("ring"); };
  port.OnCTSChange = [&](QObject*, bool on) { Log(on ? "cts on" : "cts off"); };
  port.OnDSRChange = [&](QObject*, bool on) { Log(on ? "dsr on" : "dsr off"); };
  port.OnRxFlag = [&](QObject*) { Log("rxflag"); };
  port.OnRLSDChange = [&](QObject*, bool on) { Log(on ? "rlsd on" : "rlsd off"); };
  port.OnRx80Full = [&](QObject*) { Log("rx80full"); };
  port.OnError = [&](QObject*, TComErrors e) { Log(QStringLiteral("error %1").arg(e.Bits())); };
  port.OnAfterOpen = [&](QObject*) { Log("afteropen"); };
  port.OnBeforeClose = [&](QObject*) { Log("beforeclose"); };
  port.OnAfterClose = [&](QObject*) { Log("afterclose"); };
  line.SetModemStatus(platform::MS_CTS_ON | platform::MS_RLSD_ON);
  port.OpenPort();
  EXPECT_EQ(Logged(), (QStringList{"afteropen", "cts on", "dsr off", "rlsd on"}));
  log.clear();

  // Everything lands in one batch.
  line.HoldEvents(true);
  line.Inject({7});
  line.SetErrors(platform::CE_FRAME);
  line.RaiseEvents(0x07FF);
  line.HoldEvents(false);
  ASSERT_TRUE(ProcessUntil([&] { return Logged().contains("rx80full"); }));
  const QStringList expected{"error 1",  "rxchar", "txempty", "break",   "ring",
                             "cts on",   "dsr off", "rxflag", "rlsd on", "rx80full"};
  EXPECT_EQ(Logged().mid(0, expected.size()), expected);

  log.clear();
  port.ClosePort();
  EXPECT_EQ(Logged(), (QStringList{"cts off", "dsr off", "rlsd off", "beforeclose", "afterclose"}));
}

TEST_F(Delivery, ParityErrorsAloneRaiseNothingWhileUnchecked) {
  std::atomic<int> errors{0};
  std::atomic<int> rings{0};
  port.OnError = [&](QObject*, TComErrors) { ++errors; };
  port.OnRing = [&](QObject*) { ++rings; };
  port.OpenPort();
  line.SetErrors(platform::CE_RXPARITY);
  line.RaiseEvents(platform::EV_RING);
  ASSERT_TRUE(ProcessUntil([&] { return rings > 0; }));
  ProcessFor(30);
  EXPECT_EQ(errors, 0);
  port.Parity()->SetCheck(true);
  line.SetErrors(platform::CE_RXPARITY);
  ASSERT_TRUE(ProcessUntil([&] { return errors > 0; }));
}

// Handlers run on the event thread with smNone, so they see its nice value. Raising the
// priority takes root; lowering it does not.
TEST_F(Delivery, TheEventThreadRunsAtItsPriority) {
  const std::pair<QThread::Priority, int> nices[] = {
      {QThread::IdlePriority, 19},  {QThread::LowestPriority, 10},  {QThread::LowPriority, 5},
      {QThread::HighPriority, -5}, {QThread::HighestPriority, -10}, {QThread::TimeCriticalPriority, -15}};
  port.SetSyncMethod(smNone);
  for (const auto& [priority, nice] : nices) {
    if (nice < 0 && geteuid() != 0) continue;
    std::atomic<int> seen{99};
    port.OnRing = [&](QObject*) { seen = getpriority(PRIO_PROCESS, id_t(gettid())); };
    port.SetEventPriority(priority);
    port.OpenPort();
    line.RaiseEvents(platform::EV_RING);
    ASSERT_TRUE(ProcessUntil([&] { return seen != 99; }));
    EXPECT_EQ(seen, nice) << priority;
    port.ClosePort();
  }
}

TEST_F(Delivery, NoEventsMeansNoThread) {
  int signals_ = 0;
  port.SetEvents({});
  port.OnCTSChange = [&](QObject*, bool) { ++signals_; };
  port.OnRxChar = [&](QObject*, int) { ADD_FAILURE() << "no receive event expected"; };
  port.OpenPort();
  EXPECT_FALSE(port.ThreadRunning());
  EXPECT_EQ(signals_, 1);
  line.Inject({1, 2, 3});
  ProcessFor(50);
  port.ClosePort();
  EXPECT_EQ(signals_, 2);
  for (const auto& call : line.CallNames()) EXPECT_NE(call, "SetCommMask");
}

// A handler's exception ends delivery silently with thread sync and with none; with window
// sync it goes to the exception report and delivery goes on. Only the batch's events arrive.
TEST_F(Delivery, AHandlerExceptionEndsDeliveryExceptWithWindowSync) {
  for (TSyncMethod method : {smThreadSync, smNone, smWindowSync}) {
    port.SetSyncMethod(method);
    const bool goesOn = method == smWindowSync;
    std::atomic<int> calls{0}, rlsd{0};
    std::atomic<bool> onGui{true};
    port.OnRLSDChange = [&](QObject*, bool) { ++rlsd; };
    port.OnRing = [&](QObject*) {
      onGui = onGui && framework::IsGuiThread();
      ++calls;
      throw framework::Exception(QStringLiteral("ring failed"));
    };
    port.OpenPort();
    line.RaiseEvents(platform::EV_RING);
    ASSERT_TRUE(ProcessUntil([&] { return calls == 1; }));
    ProcessFor(30);
    line.RaiseEvents(platform::EV_RING);
    ProcessUntil([&] { return calls == 2; }, 100);
    EXPECT_EQ(calls, goesOn ? 2 : 1) << method;
    const QStringList reported = goesOn ? QStringList{"ring failed", "ring failed"} : QStringList();
    EXPECT_EQ(reports, reported) << method;
    EXPECT_EQ(onGui, method != smNone);
    EXPECT_EQ(rlsd, 1) << "only the report at opening";
    EXPECT_TRUE(port.Connected());
    port.ClosePort();
    port.OpenPort();  // a reopened port delivers again
    line.RaiseEvents(platform::EV_RING);
    ASSERT_TRUE(ProcessUntil([&] { return calls == (goesOn ? 3 : 2); })) << method;
    port.ClosePort();
  }
}

TEST_F(Delivery, ClosingFromInsideAHandlerNeitherHangsNorDeliversMore) {
  for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
    port.SetSyncMethod(method);
    std::atomic<int> calls{0};
    std::atomic<bool> closed{false};
    port.OnRxChar = [&](QObject*, int) {
      ++calls;
      if (framework::IsGuiThread()) {
        port.ClosePort();
        closed = true;
      }
    };
    // With smNone the close comes from another thread and may cross the batch.
    if (method != smNone)
      port.OnRx80Full = [&, method](QObject*) { ADD_FAILURE() << "delivered after close " << method; };
    port.OpenPort();
    line.Inject(std::vector<uint8_t>(4000, 0x55));  // rx char and 80 % full in one batch
    if (method == smNone) {
      ASSERT_TRUE(ProcessUntil([&] { return calls > 0; }));
      port.ClosePort();
    } else {
      ASSERT_TRUE(ProcessUntil([&] { return closed.load(); })) << method;
    }
    EXPECT_FALSE(port.Connected());
    ASSERT_TRUE(ProcessUntil([&] { return !line.DeviceOpen(); })) << method;
    port.OnRx80Full = nullptr;
  }
}

TEST_F(Delivery, DestroyingAnOpenPortStopsEverything) {
  auto owned = std::make_unique<TComPort>();
  owned->SetDeviceOpener(line.Opener());
  std::atomic<int> calls{0};
  owned->OnRxChar = [&](QObject*, int) { ++calls; };
  owned->OpenPort();
  line.Inject({1});
  ASSERT_TRUE(ProcessUntil([&] { return calls > 0; }));
  // A batch on its way and the closing notifications reach nobody once destruction begins:
  // whoever handled them may be half gone.
  bool destroying = false;
  owned->OnRxChar = [&](QObject*, int) { EXPECT_FALSE(destroying); };
  owned->OnBeforeClose = [&](QObject*) { ADD_FAILURE() << "closing notice while destroyed"; };
  line.Inject({2});
  QThread::msleep(30);  // the event thread now waits for the GUI thread with that batch
  destroying = true;
  owned.reset();
  EXPECT_FALSE(line.DeviceOpen());
  ProcessFor(20);
}

TEST_F(Delivery, ALostLineIsToldOnceAfterTheEventsBeforeIt) {
  for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
    port.SetSyncMethod(method);
    std::atomic<bool> lostOnGui{false};
    port.OnRxChar = [&](QObject*, int) { Log("rxchar"); };
    port.OnError = [&](QObject*, TComErrors e) { Log(e.Contains(ceIO) ? "error io" : "error"); };
    port.OnLineLost = [&](QObject* sender) {
      EXPECT_EQ(sender, &port);
      lostOnGui = framework::IsGuiThread();
      Log("lost");
    };
    for (int opening = 0; opening < 2; ++opening) {
      log.clear();
      port.OpenPort();
      EXPECT_FALSE(port.LineLost());
      line.HoldEvents(true);
      line.Inject({1});
      line.HangUp();
      line.HoldEvents(false);
      ASSERT_TRUE(ProcessUntil([&] { return Logged().contains("lost"); })) << method;
      line.RaiseEvents(platform::EV_RING | platform::EV_ERR);
      ProcessFor(40);
      EXPECT_EQ(Logged(), (QStringList{"error io", "rxchar", "lost"})) << method;
      EXPECT_EQ(lostOnGui, method != smNone);
      EXPECT_TRUE(port.LineLost());
      port.ClosePort();  // once per opening: the next one is told again
      EXPECT_FALSE(port.LineLost());
    }
  }
  EXPECT_TRUE(reports.isEmpty());
}

TEST_F(Delivery, AHandlerOfTheLostLineMayCloseThePort) {
  for (TSyncMethod method : {smThreadSync, smWindowSync}) {
    port.SetSyncMethod(method);
    port.OnLineLost = [&](QObject*) { port.ClosePort(); };
    port.OpenPort();
    line.HangUp();
    ASSERT_TRUE(ProcessUntil([&] { return !port.Connected(); })) << method;
    ASSERT_TRUE(ProcessUntil([&] { return !line.DeviceOpen(); })) << method;
  }
  EXPECT_TRUE(reports.isEmpty());
}

// A write's transmit-empty reaches the GUI thread only when a handler is there to hear it: the
// device is told at each write, and leaves out what nobody hears.
TEST_F(Delivery, ATransmitEmptyNobodyHearsStaysOnTheEventThread) {
  std::atomic<int> heard{0};
  port.OnRxChar = [&](QObject*, int) { Log("rxchar"); };
  port.OpenPort();
  const uint8_t request[] = {1, 3, 0, 0, 0, 3, 5, 0xCB};
  for (const bool handler : {false, true, false}) {
    port.OnTxEmpty = handler ? framework::TNotifyEvent([&](QObject*) { ++heard; })
                             : framework::TNotifyEvent();
    ProcessFor(50);
    const int before = heard;
    ASSERT_EQ(port.SendBytes(request, 8), 8);
    // The event thread has had its time; only a batch for the GUI thread is waiting there.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(framework::CheckSynchronize(), handler) << handler;
    EXPECT_EQ(heard - before, handler ? 1 : 0);
  }
  // Other events still come: bytes after an unheard transmit-empty.
  line.Inject({9});
  ASSERT_TRUE(ProcessUntil([&] { return Logged().contains("rxchar"); }));
  port.ClosePort();
}
