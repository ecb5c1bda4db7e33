// A line that goes away while polling, tick by tick on the recording device: told once, the
// last request counted once, nothing sent while gone, and polling back by itself once the
// port opens again, unless the operator stopped it.
#include "app/line_watch.h"
#include "form_test.h"

#include <algorithm>

using namespace app;

namespace {

class LostLine : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    OpenOnRecordingLine();  // the ticks find the lost line themselves
  }
  int Opens() const {
    const auto names = line.CallNames();
    return int(std::count(names.begin(), names.end(), "CreateFile"));
  }
};

}  // namespace

TEST_F(LostLine, IsToldOnceCountsTheLastRequestOnceAndWaitsWithoutSending) {
  Start();
  ASSERT_EQ(Tick().size(), 8u);
  line.Unplug();

  // The tick after the loss counts the unanswered request and closes the port.
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(Count(1), 1);
  EXPECT_EQ(Count(3), 1);
  EXPECT_FALSE(form->ComPort->Connected());
  EXPECT_EQ(form->stat1->PanelText(4), QStringLiteral("COM1 | 串口已断开，等待重新连接"));
  EXPECT_EQ(form->tmr1->Interval(), TLineWatch::RetryInterval);

  // Each later tick tries the name once and neither sends nor counts.
  line.ClearCalls();
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(line.CallNames(), std::vector<std::string>(10, "CreateFile"));
  EXPECT_EQ(Count(1), 1);
  EXPECT_EQ(Count(3), 1);
  EXPECT_EQ(Lines(kGone), 1);
  EXPECT_EQ(Lines(QStringLiteral("Tx-")), 1);

  line.PlugIn();
  EXPECT_EQ(Tick(), (std::vector<uint8_t>{1, 3, 0, 0, 0, 3, 0x05, 0xCB}));
  EXPECT_TRUE(form->ComPort->Connected());
  EXPECT_EQ(form->stat1->PanelText(4), QStringLiteral("COM1 | "));
  EXPECT_EQ(Lines(kBack), 1);
  EXPECT_EQ(form->mm1->Text().split(u'\n').last().left(3), QStringLiteral("Tx-"));
  EXPECT_EQ(Count(1), 2);
  EXPECT_EQ(Count(3), 1);
  EXPECT_EQ(form->tmr1->Interval(), 500);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LostLine, ALineThatComesBackAtOnceIsOpenedAgainOnlyAtTheNextTick) {
  Start();
  Tick();
  line.HangUp();  // the name stays openable
  EXPECT_TRUE(Tick().empty());
  EXPECT_FALSE(form->ComPort->Connected());
  EXPECT_EQ(Tick().size(), 8u);
  EXPECT_EQ(Lines(kGone), 1);
  EXPECT_EQ(Lines(kBack), 1);
  EXPECT_EQ(Count(3), 1);

  // Lost again: told again.
  line.HangUp();
  Tick();
  Tick();
  EXPECT_EQ(Lines(kGone), 2);
  EXPECT_EQ(Lines(kBack), 2);
}

TEST_F(LostLine, AnAnsweredRequestCountsNothingAndAStopEndsTheWait) {
  Start();
  Tick();
  line.Inject({1, 3, 6, 0, 1, 0, 2, 0, 3, 0xFD, 0x74});
  form->ComPortRxChar(form->ComPort, 11);
  line.Unplug();
  Tick();
  EXPECT_EQ(Count(3), 0);

  form->suiButton3Click(form->suiButton3);
  line.PlugIn();
  line.ClearCalls();
  EXPECT_TRUE(Tick().empty());
  EXPECT_FALSE(form->tmr1->Enabled());
  EXPECT_FALSE(form->ComPort->Connected());
  EXPECT_EQ(Opens(), 0);
  EXPECT_EQ(Lines(kBack), 0);
  EXPECT_EQ(Count(3), 0);
}

TEST_F(LostLine, StartingAgainWhileGoneBeginsAfresh) {
  Start();
  Tick();
  line.Unplug();
  Tick();
  // Start while the port is closed: a missing port is the usual message, and the wait goes on.
  Start();
  EXPECT_EQ(messages.size(), 1);
  EXPECT_TRUE(Polling);
  EXPECT_TRUE(Tick().empty());

  line.PlugIn();
  messages.clear();
  Start();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(Tick().size(), 8u);
  EXPECT_EQ(Lines(kBack), 0);  // a new start, not a resumed one
  EXPECT_EQ(Lines(kGone), 0);
  EXPECT_EQ(form->stat1->PanelText(4), QStringLiteral("COM1 | "));
  EXPECT_EQ(Count(1), 1);
}

TEST_F(LostLine, ThePortNameChosenWhileGoneIsTheOneWaitedFor) {
  Start();
  Tick();
  line.Unplug();
  Tick();
  form->ComPort->SetPort(QStringLiteral("COM7"));
  line.PlugIn();
  line.ClearCalls();
  EXPECT_EQ(Tick().size(), 8u);
  ASSERT_FALSE(line.Calls().empty());
  EXPECT_EQ(line.Calls().front().args, "COM7");
  EXPECT_TRUE(form->mm1->Text().contains(QStringLiteral("串口已恢复：COM7")));
}
