// Flashing: the client list and the flash tick, the flash timer's thread and its end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <stdexcept>
#include <thread>

#include "framework/guard.h"
#include "framework/synchronize.h"
#include "instruments/led/flash_timer.h"
#include "led_test_util.h"
#include "wait.h"

using namespace instruments;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;
using Freq = TAbBinGControl::TFlashFreq;

namespace {

// Records each flash state it is sent, with the flash counter and the time.
class RecordingLED : public TAbLED {
 public:
  using TAbLED::TAbLED;
  struct Entry {
    uint32_t counter;
    bool state;
    qint64 ms;
  };
  QList<Entry> states;
  std::function<void()> onState;

 protected:
  void DrawFlashState(bool state) override {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    states << Entry{FlashCounter(), state, clock.elapsed()};
    TAbLED::DrawFlashState(state);
    if (onState) onState();
  }
};

class ThrowingLED : public TAbLED {
 protected:
  void DrawFlashState(bool) override { throw std::runtime_error("cannot draw"); }
};

void StartFlashing(TAbLED& led, Freq frequency = TAbBinGControl::ff1Hz) {
  led.SetFrequency(frequency);
  led.SetFlashing(true);
  led.SetChecked(true);
}

bool FlashThreadRunning() {
  return FlashTimer() && FlashTimer()->Thread()->Running();
}

}  // namespace

TEST(FlashClients, AnLedFlashesOnlyWhileCheckedAndFlashing) {
  QWidget window;
  RecordingLED led(&window);
  led.LED()->SetColorOff(framework::clRed);
  led.SetFlashing(true);
  EXPECT_EQ(FlashClientCode(&led), 0);
  led.SetChecked(true);
  EXPECT_EQ(FlashClientCode(&led), 5);
  led.SetFrequency(TAbBinGControl::ff8Hz);
  EXPECT_EQ(FlashClientCode(&led), 2);
  ASSERT_TRUE(ProcessUntil([&] { return !led.states.isEmpty(); }));  // the timer really ticks
  led.SetChecked(false);
  EXPECT_EQ(FlashClientCode(&led), 0);
  EXPECT_EQ(led_test::Render(led).pixelColor(7, 17), QColor(255, 0, 0));
}

TEST(FlashTick, EachRateChangesEveryTwoToTheCodeTicks) {
  std::vector<std::unique_ptr<RecordingLED>> leds;
  for (int f = TAbBinGControl::ff8Hz; f <= TAbBinGControl::ff05Hz; ++f) {
    leds.push_back(std::make_unique<RecordingLED>());
    StartFlashing(*leds.back(), Freq(f));
  }
  FlashTimer()->SetEnabled(false);  // only the ticks below
  const uint32_t start = FlashCounter();
  for (int i = 0; i < 260; ++i) FlashTick(nullptr);
  for (size_t i = 0; i < leds.size(); ++i) {
    const int code = int(i) + 2;
    SCOPED_TRACE(code);
    const auto& states = leds[i]->states;
    ASSERT_GE(states.size(), 3);
    EXPECT_EQ(states[0].counter, start + 1);  // the first tick draws at once
    for (int k = 0; k < states.size(); ++k) {
      EXPECT_EQ(states[k].state, bool((states[k].counter >> code) & 1));
      if (k > 1) {
        EXPECT_EQ(states[k].counter - states[k - 1].counter, 1u << code);
      }
    }
  }
  EXPECT_EQ(leds[3]->states[2].counter - leds[3]->states[1].counter, 32u);  // ff1Hz
}

TEST(FlashTick, AFailingOrVanishingClientDoesNotStopTheOthers) {
  QStringList reports;
  const auto previous = framework::SetExceptionReporter([&](const QString& m) { reports << m; });
  ThrowingLED bad;
  RecordingLED remover, removed, last;
  for (TAbLED* led : std::initializer_list<TAbLED*>{&bad, &remover, &removed, &last})
    StartFlashing(*led, TAbBinGControl::ff8Hz);
  FlashTimer()->SetEnabled(false);
  remover.onState = [&] {  // takes itself and the next client off the list
    removed.SetChecked(false);
    remover.SetChecked(false);
  };
  FlashTick(nullptr);
  FlashTick(nullptr);
  framework::SetExceptionReporter(previous);
  EXPECT_TRUE(reports.isEmpty());
  EXPECT_EQ(remover.states.size(), 1);
  EXPECT_TRUE(removed.states.isEmpty());
  EXPECT_EQ(last.states.size(), 1);  // on the next tick at the latest
}

TEST(FlashTimerRule, ASecondFlashTimerShowsTheMessageAndStaysInert) {
  TAbLED led;
  StartFlashing(led);
  const int timers = FlashTimerCount();
  {
    TAbFlashTimer second;
    EXPECT_EQ(FlashTimerCount(), timers + 1);
    EXPECT_FALSE(second.OnTick());
    EXPECT_FALSE(second.Thread()->Running());
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Error Message");
    EXPECT_EQ(box->text(), "Only one TAbFlashTimer per Application!\nRemove it...");
    box->close();
  }
  EXPECT_EQ(FlashTimerCount(), timers);
  EXPECT_TRUE(FlashTimer()->OnTick());
}

TEST(FlashThread, ThereIsNoFlashThreadWhileNothingFlashes) {
  QWidget window;
  std::vector<std::unique_ptr<TAbLED>> leds;
  for (int i = 0; i < 10; ++i) {
    leds.push_back(std::make_unique<TAbLED>(&window));
    leds.back()->SetStatusInt(i % 2);
  }
  // A thread left by an earlier flashing LED ends once its last tick has been served.
  EXPECT_TRUE(ProcessUntil([] { return !FlashThreadRunning(); }, 1000));
  StartFlashing(*leds[0]);
  EXPECT_TRUE(FlashThreadRunning());
  leds[0]->SetChecked(false);
  EXPECT_TRUE(ProcessUntil([] { return !FlashThreadRunning(); }, 1000));
  StartFlashing(*leds[1]);
  EXPECT_TRUE(FlashThreadRunning());
  leds.clear();
  EXPECT_TRUE(ProcessUntil([] { return !FlashThreadRunning(); }, 1000));
}

TEST(FlashThread, TicksOnTheGuiThreadWhileEnabled) {
  TAbFlash flash;
  EXPECT_FALSE(flash.Thread()->Running());  // no event, no thread
  EXPECT_EQ(flash.TickInterval(), 16);
  QElapsedTimer clock;
  clock.start();
  int ticks = 0;
  bool allOnGui = true;
  flash.SetOnTick([&](QObject* sender) {
    ++ticks;
    allOnGui = allOnGui && framework::IsGuiThread() && sender == &flash;
  });
  ASSERT_TRUE(ProcessUntil([&] { return ticks >= 5; }, 2000));
  EXPECT_GE(clock.elapsed(), 5 * 16);
  EXPECT_TRUE(allOnGui);
  flash.SetEnabled(false);
  ASSERT_TRUE(ProcessUntil([&] { return !flash.Thread()->Running(); }, 1000));
  const int stopped = ticks;
  ProcessFor(60);
  EXPECT_EQ(ticks, stopped);
  flash.SetTickInterval(0);
  flash.SetEnabled(true);
  EXPECT_TRUE(flash.Thread()->Suspended());
}

TEST(FlashThread, DestroyingNeitherBlocksNorLeavesTheThreadCalling) {
  // Destroyed while its thread waits for the GUI thread to run a tick.
  auto waiting = std::make_unique<TAbFlash>();
  int ticks = 0;
  waiting->SetOnTick([&](QObject*) { ++ticks; });
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  QElapsedTimer timer;
  timer.start();
  waiting.reset();
  EXPECT_LT(timer.elapsed(), 500);
  ProcessFor(50);
  EXPECT_EQ(ticks, 0);

  // Destroyed by its own tick.
  QPointer<TAbFlash> selfDeleting = new TAbFlash;
  selfDeleting->SetOnTick([&](QObject* sender) {
    ++ticks;
    delete sender;
  });
  ASSERT_TRUE(ProcessUntil([&] { return selfDeleting.isNull(); }, 1000));
  ProcessFor(80);
  EXPECT_EQ(ticks, 1);
}

TEST(FlashThread, ProgramEndFreesTheTimerWhileItsThreadWaits) {
  QWidget window;
  TAbLED led(&window);
  StartFlashing(led);
  ASSERT_TRUE(FlashThreadRunning());
  std::this_thread::sleep_for(std::chrono::milliseconds(80));  // a tick is waiting
  FinalizeFlash();
  EXPECT_EQ(FlashTimer(), nullptr);
  EXPECT_EQ(FlashTimerCount(), 0);
  EXPECT_EQ(FlashClientCount(), 0);
  ProcessFor(50);
  led.SetChecked(false);  // flashing again starts a new timer
  led.SetChecked(true);
  const uint32_t counter = FlashCounter();
  EXPECT_TRUE(ProcessUntil([&] { return FlashCounter() >= counter + 3; }, 1000));
}
