// The two-state logic: status word and bit, Checked, modes, groups and the mouse.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <stdexcept>

#include "framework/tcolor.h"
#include "instruments/led/ab_led.h"
#include "led_test_util.h"

using instruments::TAbBinGControl;
using instruments::TAbLED;
using namespace led_test;

namespace {

QColor LampCentre(TAbLED& led) {
  return Render(led).pixelColor(PixelsOf(led.LampRect()).center() + QPoint(1, 1));
}

void Click(QWidget& target, Qt::MouseButton button = Qt::LeftButton, QPoint releaseAt = {3, 16}) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 16), QPointF(3, 16), button, button,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(releaseAt), QPointF(releaseAt), button,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &press);
  QCoreApplication::sendEvent(&target, &release);
}

}  // namespace

TEST(LedStatus, IndicatorShowsBitZeroAndUnchangedValuesFireNothing) {
  TAbLED led(nullptr, "abld1");
  led.LED()->SetColorOff(framework::clRed);
  int statusEvents = 0, statusIntEvents = 0;
  led.OnStatusChanged = [&](QObject*) { ++statusEvents; };
  led.OnStatusIntChanged = [&](QObject*) { ++statusIntEvents; };
  led.SetStatusInt(1);
  EXPECT_TRUE(led.Checked());
  EXPECT_EQ(LampCentre(led), QColor(0, 255, 0));
  led.SetStatusInt(1);
  led.SetChecked(true);
  EXPECT_EQ(statusEvents, 1);
  EXPECT_EQ(statusIntEvents, 1);
  led.SetStatusInt(0);
  EXPECT_FALSE(led.Checked());
  EXPECT_EQ(LampCentre(led), QColor(255, 0, 0));
  led.SetStatusInt(2);
  EXPECT_FALSE(led.Checked());
  EXPECT_EQ(LampCentre(led), QColor(255, 0, 0));
  EXPECT_EQ(statusEvents, 2);
  EXPECT_EQ(statusIntEvents, 3);
}

TEST(LedStatus, CheckedSetsAndClearsItsOwnBit) {
  TAbLED led;
  led.SetStatusBit(3);
  led.SetChecked(true);
  EXPECT_EQ(led.StatusInt(), 8);
  led.SetStatusInt(9);
  led.SetChecked(false);
  EXPECT_EQ(led.StatusInt(), 1);
  led.SetStatusBit(0);  // another bit is read at once; bits outside 0..31 are ignored
  EXPECT_TRUE(led.Checked());
  led.SetStatusBit(32);
  led.SetStatusBit(-1);
  EXPECT_EQ(led.StatusBit(), 0);
  led.SetStatusBit(31);
  led.SetChecked(true);
  EXPECT_EQ(uint32_t(led.StatusInt()), 0x80000001u);
}

TEST(LedStatus, RadioModeOwnsTheWholeWordAndModesResetIt) {
  TAbLED led;
  led.SetStatusBit(2);
  led.SetStatusInt(7);
  led.SetMode(TAbBinGControl::mRadioButton);
  EXPECT_EQ(led.StatusInt(), 1);
  led.SetChecked(true);
  EXPECT_EQ(led.StatusInt(), 4);
  led.SetChecked(false);
  EXPECT_EQ(led.StatusInt(), 4);
  led.SetMode(TAbBinGControl::mRadioButton);  // the same mode again still resets
  EXPECT_EQ(led.StatusInt(), 1);
  led.SetMode(TAbBinGControl::mButton);
  EXPECT_EQ(led.StatusInt(), 0);
}

TEST(LedGroup, ControlsOfOneOwnerShareTheStatusWordOnce) {
  QWidget owner, otherOwner;
  TAbLED a(&owner), b(&owner), loner(&owner), elsewhere(&otherOwner);
  for (TAbLED* led : {&a, &b, &elsewhere}) led->SetGroupIndex(4);
  int eventsA = 0, eventsB = 0;
  a.OnStatusIntChanged = [&](QObject*) { ++eventsA; };
  b.OnStatusIntChanged = [&](QObject*) { ++eventsB; };
  a.SetStatusInt(6);
  EXPECT_EQ(b.StatusInt(), 6);
  EXPECT_EQ(eventsA, 1);
  EXPECT_EQ(eventsB, 1);
  EXPECT_EQ(loner.StatusInt(), 0);
  EXPECT_EQ(elsewhere.StatusInt(), 0);

  TAbLED late(&owner);  // joining takes over the first member's word; negative is ignored
  late.SetGroupIndex(-2);
  EXPECT_EQ(late.GroupIndex(), 0);
  late.SetGroupIndex(4);
  EXPECT_EQ(late.StatusInt(), 6);

  // A handler that throws does not leave the group frozen.
  b.OnStatusIntChanged = [](QObject*) { throw std::runtime_error("handler failed"); };
  EXPECT_THROW(a.SetStatusInt(2), std::runtime_error);
  b.OnStatusIntChanged = nullptr;
  late.SetStatusInt(1);
  EXPECT_EQ(a.StatusInt(), 1);
  EXPECT_TRUE(b.Checked());
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
  led.SetMode(TAbBinGControl::mButton);  // on while held
  Click(led);
  EXPECT_FALSE(led.Checked());
  EXPECT_EQ(trace, QStringList({"down 1", "click 1", "up 1"}));
  Click(led, Qt::LeftButton, {200, 16});  // released outside: no click
  EXPECT_EQ(trace.size(), 5);

  led.SetMode(TAbBinGControl::mSwitch);
  Click(led);
  EXPECT_TRUE(led.Checked());
  Click(led, Qt::RightButton);
  EXPECT_TRUE(led.Checked());
  Click(led);
  EXPECT_FALSE(led.Checked());

  led.SetMode(TAbBinGControl::mIndicator);
  Click(led);
  EXPECT_FALSE(led.Checked());

  led.SetStatusBit(3);
  led.SetMode(TAbBinGControl::mRadioButton);
  Click(led);
  EXPECT_EQ(led.StatusInt(), 8);
}
