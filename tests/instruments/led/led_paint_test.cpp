// Lamp shapes, lamp and caption placement, and what a flash-state change repaints.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPaintEvent>

#include "framework/tcolor.h"
#include "instruments/led/ab_led.h"
#include "instruments/led/flash_timer.h"
#include "led_test_util.h"
#include "wait.h"

using instruments::TAbLED;
using instruments::TLampRect;
using instruments::TLED;
using namespace led_test;

namespace {

const QColor Green(0, 255, 0);

QFont CaptionFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  return font;
}

}  // namespace

TEST(LedLamp, SizesOutsideFourToFortyAreIgnoredAndARoundLampIsSquare) {
  TAbLED led;
  led.SetCaption(QString());
  TLED& lamp = *led.LED();
  for (int size : {41, 3}) {
    lamp.SetWidth(size);
    lamp.SetHeight(size);
  }
  EXPECT_EQ(lamp.Width(), 13);
  EXPECT_EQ(lamp.Height(), 13);
  lamp.SetHeight(18);
  EXPECT_EQ(led.LampRect(), (TLampRect{0, 7, 18, 25}));
  EXPECT_EQ(InkBounds(Render(led)), QRect(0, 7, 18, 18));
  lamp.SetShape(TLED::sRectangle);  // other shapes keep their own width
  EXPECT_EQ(InkBounds(Render(led)), QRect(0, 7, 13, 18));
}

TEST(LedLamp, EveryShapeFillsItsRectangleWithTheDescribedOutline) {
  // A 13 x 13 lamp on the left of a 73 x 33 control: (0, 10, 13, 23), half sizes 6.
  const int L = 0, T = 10, R = 13, B = 23, hw = 6, hh = 6;
  struct Case {
    TLED::TLEDShape shape;
    QList<QPoint> outline, outside;
    QPoint inside;
  };
  const QList<Case> cases = {
      {TLED::sArrowLeft, {{L, T + hh}, {R - 1, T}, {R - 1, B - 1}}, {{L, T}, {L, B - 1}}, {7, 17}},
      {TLED::sArrowRight,
       {{L, T}, {R - 1, T + hh}, {L, B - 1}},
       {{R - 1, T}, {R - 1, B - 1}},
       {5, 17}},
      {TLED::sArrowUp, {{L + hw, T}, {R - 1, B - 1}, {L, B - 1}}, {{L, T}, {R - 1, T}}, {6, 20}},
      {TLED::sArrowDown,
       {{L, T}, {R - 1, T}, {L + hw, B - 1}},
       {{L, B - 1}, {R - 1, B - 1}},
       {6, 12}},
      {TLED::sRectangle, {{L, T}, {R - 1, T}, {L, B - 1}, {R - 1, B - 1}}, {}, {7, 17}},
      {TLED::sRound,
       {{L + hw, T}, {L, T + hh}, {R - 1, T + hh}, {L + hw, B - 1}},
       {{L, T}, {R - 1, B - 1}},
       {7, 17}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.shape));
    TAbLED led;
    led.SetCaption(QString());
    led.LED()->SetShape(c.shape);
    led.SetStatusInt(1);
    const QImage image = Render(led);
    EXPECT_EQ(InkBounds(image), QRect(L, T, R - L, B - T));
    for (QPoint p : c.outline) EXPECT_EQ(image.pixelColor(p), Rgb(framework::clBtnShadow));
    for (QPoint p : c.outside) EXPECT_EQ(image.pixelColor(p), Background);
    EXPECT_EQ(image.pixelColor(c.inside), Green);
  }

  // The round lamp's highlight lies in its upper left quarter only.
  TAbLED led;
  led.LED()->SetHeight(24);
  const QImage image = Render(led);
  const QColor light = Rgb(framework::clBtnHighlight);
  EXPECT_GT(CountColor(image, QRect(0, 4, 12, 12), light), 10);
  EXPECT_EQ(CountColor(image, QRect(13, 4, 11, 24), light) +
                CountColor(image, QRect(0, 17, 24, 11), light),
            0);
}

TEST(LedLayout, LampAndCaptionAtEachPosition) {
  TAbLED led(nullptr, "abld1");
  led.SetFont(CaptionFont());
  led.resize(90, 50);
  const int s = QFontMetrics(led.font()).height();
  const int w = QFontMetrics(led.font()).horizontalAdvance("abld1");
  struct Case {
    TAbLED::TLEDPos position;
    TLampRect lamp;
    QPoint caption;
  };
  for (const Case& c : {Case{TAbLED::lpLeft, {0, 19, 13, 32}, {13 + 5, 25 - s / 2}},
                        Case{TAbLED::lpRight, {77, 19, 90, 32}, {77 - 5 - w, 25 - s / 2}},
                        Case{TAbLED::lpTop, {39, 0, 52, 13}, {45 - w / 2, 13 + 5}},
                        Case{TAbLED::lpBottom, {39, 37, 52, 50}, {45 - w / 2, 37 - 5 - s}}}) {
    SCOPED_TRACE(int(c.position));
    led.SetLED_Position(c.position);
    EXPECT_EQ(led.LampRect(), c.lamp);
    EXPECT_EQ(led.CaptionLayout().value(0).TopLeft, c.caption);
  }
  // The caption's ink stays in its text cell, the lamp's in the lamp.
  const QImage image = Render(led);
  const QRect cell(led.CaptionLayout().value(0).TopLeft, QSize(w, s));
  EXPECT_TRUE(cell.adjusted(-1, -1, 1, 1).contains(InkBounds(image, QRect(0, 0, 90, 36))));
  EXPECT_EQ(InkBounds(image, QRect(0, 36, 90, 14)), QRect(39, 37, 13, 13));
}

TEST(LedLayout, CaptionLinesSplitAtBarsAroundTheAnchor) {
  TAbLED led;
  led.SetFont(CaptionFont());
  led.SetCaption("Line one|two");
  const QFontMetrics metrics(led.font());
  const int s = metrics.height();
  const auto lines = led.CaptionLayout();  // lpLeft: anchor (18, 16)
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[1].Text, "two");
  EXPECT_EQ(lines[1].TopLeft - lines[0].TopLeft, QPoint(0, s));
  EXPECT_EQ(lines[0].TopLeft.x(), 18);
  // The block's middle is the anchor, give or take the halvings' rounding.
  EXPECT_LE(std::abs(lines[0].TopLeft.y() + lines[1].TopLeft.y() + s - 2 * 16), 2);
  const QRect ink = InkBounds(Render(led), QRect(14, 0, 59, 33));
  EXPECT_GE(ink.top(), lines[0].TopLeft.y());
  EXPECT_GT(ink.bottom(), lines[0].TopLeft.y() + s);  // the second line is drawn too
  EXPECT_LT(ink.bottom(), lines[1].TopLeft.y() + s);

  led.SetLED_Position(TAbLED::lpRight);  // right-aligned lines end at the anchor
  for (const auto& line : led.CaptionLayout())
    EXPECT_EQ(line.TopLeft.x() + metrics.horizontalAdvance(line.Text), 73 - 13 - 5);
  led.resize(73, 60);
  led.SetLED_Position(TAbLED::lpBottom);  // a bottom-aligned block ends at the anchor
  EXPECT_EQ(led.CaptionLayout().value(1).TopLeft.y() + s, 60 - 13 - 5);
}

namespace {
class PaintWatchLED : public TAbLED {
 public:
  using TAbLED::TAbLED;
  QList<QRect> painted;

 protected:
  void paintEvent(QPaintEvent* event) override {
    painted << event->rect();
    TAbLED::paintEvent(event);
  }
};
}  // namespace

TEST(LedLamp, AFlashStateRepaintsOnlyTheLampAndLeavesCheckedAlone) {
  QWidget window;
  PaintWatchLED led(&window, "abld1");
  led.SetStatusInt(1);
  led.SetFlashing(true);
  instruments::FlashTimer()->SetEnabled(false);  // only this test's flash states
  window.show();
  ASSERT_TRUE(testing_support::ProcessUntil([&] { return !led.painted.isEmpty(); }));
  led.painted.clear();

  instruments::TFlashStateEvent off(1, 0);
  QCoreApplication::sendEvent(&led, &off);
  ASSERT_TRUE(testing_support::ProcessUntil([&] { return !led.painted.isEmpty(); }));
  EXPECT_EQ(led.painted, QList<QRect>{PixelsOf(led.LampRect())});
  EXPECT_TRUE(led.Checked());
  EXPECT_EQ(Render(led).pixelColor(7, 17), Rgb(framework::clBtnFace));
  led.SetFlashing(false);  // no longer flashing: the lamp shows Checked again
  EXPECT_TRUE(led.LampOn());
}
