// The two-state logic: status word and bit, Checked, modes, groups and the mouse.
#include "framework/guard.h"
#include "framework/tcolor.h"
#include "instruments/led/ab_led.h"
#include "led_test_util.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <stdexcept>

using instruments::TAbBinGControl;
using instruments::TAbLED;
using namespace led_test;

namespace {

struct EventCounts {
  int status = 0;
  int statusInt = 0;
  void Watch(TAbLED& led) {
    led.OnStatusChanged = [this](QObject*) { ++status; };
    led.OnStatusIntChanged = [this](QObject*) { ++statusInt; };
  }
};

QColor LampCentre(TAbLED& led) {
  const QImage image = Render(led);
  const QRect lamp = PixelsOf(led.LampRect());
  return Pixel(image, lamp.center().x(), lamp.center().y());
}

void SendMouse(QWidget& target, QEvent::Type type, Qt::MouseButton button, QPoint at = {3, 16}) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent event(type, QPointF(at), target.mapToGlobal(QPointF(at)), button, held,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &event);
}

}  // namespace

TEST(LedStatus, IndicatorShowsBitZeroOfTheStatusWord) {
  TAbLED led(nullptr, "abld1");
  led.LED()->SetColorOff(framework::clRed);
  ASSERT_EQ(led.Mode(), TAbBinGControl::mIndicator);
  led.SetStatusInt(1);
  EXPECT_TRUE(led.Checked());
  EXPECT_EQ(LampCentre(led), QColor(0, 255, 0));
  led.SetStatusInt(0);
  EXPECT_FALSE(led.Checked());
  EXPECT_EQ(LampCentre(led), QColor(255, 0, 0));
  led.SetStatusInt(2);
  EXPECT_FALSE(led.Checked());
  EXPECT_EQ(LampCentre(led), QColor(255, 0, 0));
}

TEST(LedStatus, UnchangedValuesFireNothing) {
  TAbLED led;
  EventCounts counts;
  counts.Watch(led);
  led.SetStatusInt(1);
  EXPECT_EQ(counts.statusInt, 1);
  EXPECT_EQ(counts.status, 1);
  led.SetStatusInt(1);
  led.SetChecked(true);
  led.SetStatusBit(0);
  EXPECT_EQ(counts.statusInt, 1);
  EXPECT_EQ(counts.status, 1);
  led.SetChecked(false);
  EXPECT_EQ(led.StatusInt(), 0);
  EXPECT_EQ(counts.statusInt, 2);
  EXPECT_EQ(counts.status, 2);
}

TEST(LedStatus, CheckedSetsAndClearsItsOwnBitOnly) {
  TAbLED led;
  led.SetStatusBit(3);
  led.SetChecked(true);
  EXPECT_EQ(led.StatusInt(), 8);
  led.SetStatusInt(9);
  EXPECT_TRUE(led.Checked());
  led.SetChecked(false);
  EXPECT_EQ(led.StatusInt(), 1);

  // Moving to another bit reads that bit; bits outside 0..31 are ignored.
  led.SetStatusBit(0);
  EXPECT_TRUE(led.Checked());
  led.SetStatusBit(32);
  led.SetStatusBit(-1);
  EXPECT_EQ(led.StatusBit(), 0);
  led.SetStatusBit(31);
  led.SetChecked(true);
  EXPECT_EQ(uint32_t(led.StatusInt()), 0x80000001u);
  led.SetStatusInt(int(0x80000000u));
  EXPECT_TRUE(led.Checked());
}

TEST(LedStatus, RadioModeOwnsTheWholeWord) {
  TAbLED led;
  led.SetStatusBit(2);
  led.SetStatusInt(7);
  led.SetMode(TAbBinGControl::mRadioButton);
  EXPECT_EQ(led.StatusInt(), 1);  // entering the mode resets the word to 1
  EXPECT_FALSE(led.Checked());
  led.SetChecked(true);
  EXPECT_EQ(led.StatusInt(), 4);
  led.SetChecked(false);
  EXPECT_EQ(led.StatusInt(), 4);

  // Setting a mode resets the word even when the mode does not change.
  led.SetStatusInt(5);
  led.SetMode(TAbBinGControl::mRadioButton);
  EXPECT_EQ(led.StatusInt(), 1);
  led.SetMode(TAbBinGControl::mButton);
  led.SetStatusInt(3);
  led.SetMode(TAbBinGControl::mButton);
  EXPECT_EQ(led.StatusInt(), 0);
}

TEST(LedGroup, ControlsOfOneOwnerShareTheStatusWordOnce) {
  QWidget owner;
  QWidget otherOwner;
  TAbLED a(&owner), b(&owner), loner(&owner), elsewhere(&otherOwner);
  a.SetGroupIndex(4);
  b.SetGroupIndex(4);
  elsewhere.SetGroupIndex(4);
  EventCounts countA, countB;
  countA.Watch(a);
  countB.Watch(b);

  a.SetStatusInt(6);
  EXPECT_EQ(b.StatusInt(), 6);
  EXPECT_EQ(countA.statusInt, 1);
  EXPECT_EQ(countB.statusInt, 1);
  EXPECT_EQ(loner.StatusInt(), 0);
  EXPECT_EQ(elsewhere.StatusInt(), 0);

  // Joining a group takes over the word of its first member; negative groups are ignored.
  TAbLED late(&owner);
  late.SetGroupIndex(-2);
  EXPECT_EQ(late.GroupIndex(), 0);
  late.SetGroupIndex(4);
  EXPECT_EQ(late.StatusInt(), 6);
  late.SetStatusInt(1);
  EXPECT_EQ(a.StatusInt(), 1);
  EXPECT_TRUE(b.Checked());
}

TEST(LedGroup, AFailingHandlerDoesNotFreezeTheGroup) {
  QWidget owner;
  TAbLED a(&owner), b(&owner);
  a.SetGroupIndex(1);
  b.SetGroupIndex(1);
  b.OnStatusIntChanged = [](QObject*) { throw std::runtime_error("handler failed"); };
  EXPECT_THROW(a.SetStatusInt(2), std::runtime_error);
  b.OnStatusIntChanged = nullptr;
  a.SetStatusInt(3);
  EXPECT_EQ(b.StatusInt(), 3);
}

TEST(LedMouse, EachModeActsOnTheLeftButton) {
  TAbLED led;
  QStringList trace;
  led.OnMouseDown = [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    trace << QStringLiteral("down %1").arg(led.Checked());
  };
  led.OnClick = [&](QObject*) { trace << QStringLiteral("click %1").arg(led.Checked()); };
  led.OnMouseUp = [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    trace << QStringLiteral("up %1").arg(led.Checked());
  };

  led.SetMode(TAbBinGControl::mButton);
  SendMouse(led, QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_TRUE(led.Checked());
  SendMouse(led, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_FALSE(led.Checked());
  EXPECT_EQ(trace, QStringList({"down 1", "click 1", "up 1"}));

  led.SetMode(TAbBinGControl::mSwitch);
  for (bool expected : {true, false, true}) {
    SendMouse(led, QEvent::MouseButtonPress, Qt::LeftButton);
    SendMouse(led, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_EQ(led.Checked(), expected);
  }
  SendMouse(led, QEvent::MouseButtonPress, Qt::RightButton);
  SendMouse(led, QEvent::MouseButtonRelease, Qt::RightButton);
  EXPECT_TRUE(led.Checked());

  led.SetMode(TAbBinGControl::mIndicator);
  led.SetStatusInt(0);
  SendMouse(led, QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(led, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_FALSE(led.Checked());

  led.SetStatusBit(3);
  led.SetMode(TAbBinGControl::mRadioButton);
  SendMouse(led, QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(led, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_EQ(led.StatusInt(), 8);
  EXPECT_TRUE(led.Checked());
}

TEST(LedMouse, ReleaseOutsideIsNoClickAndHandlerErrorsAreReported) {
  TAbLED led;
  int clicks = 0;
  led.OnClick = [&](QObject*) { ++clicks; };
  SendMouse(led, QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(led, QEvent::MouseButtonRelease, Qt::LeftButton, {200, 16});
  EXPECT_EQ(clicks, 0);

  QStringList reports;
  const auto previous =
      framework::SetExceptionReporter([&](const QString& message) { reports << message; });
  led.OnMouseDown = [](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    throw std::runtime_error("press failed");
  };
  SendMouse(led, QEvent::MouseButtonPress, Qt::LeftButton);
  framework::SetExceptionReporter(previous);
  EXPECT_EQ(reports, QStringList("press failed"));
}
