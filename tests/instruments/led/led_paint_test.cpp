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

// Two caption lines, one font height apart: centred vertically on the anchor beside the lamp,
// below the anchor under a top lamp, above it over a bottom lamp.
TEST(LedLayout, LampAndCaptionLinesAtEachPosition) {
  TAbLED led;
  led.SetFont(CaptionFont());
  led.SetCaption("abld1|two");
  led.resize(90, 50);
  const QFontMetrics metrics(led.font());
  const int s = metrics.height(), w0 = metrics.horizontalAdvance("abld1"),
            w1 = metrics.horizontalAdvance("two");
  struct Case {
    TAbLED::TLEDPos position;
    TLampRect lamp;
    QPoint line0, line1;
  };
  const int mid = 25 - s / 2 - s / 2;
  for (const Case& c :
       {Case{TAbLED::lpLeft, {0, 19, 13, 32}, {18, mid}, {18, mid + s}},
        Case{TAbLED::lpRight, {77, 19, 90, 32}, {72 - w0, mid}, {72 - w1, mid + s}},
        Case{TAbLED::lpTop, {39, 0, 52, 13}, {45 - w0 / 2, 18}, {45 - w1 / 2, 18 + s}},
        Case{TAbLED::lpBottom, {39, 37, 52, 50}, {45 - w0 / 2, 32 - 2 * s}, {45 - w1 / 2, 32 - s}}}) {
    SCOPED_TRACE(int(c.position));
    led.SetLED_Position(c.position);
    EXPECT_EQ(led.LampRect(), c.lamp);
    const auto lines = led.CaptionLayout();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].TopLeft, c.line0);
    EXPECT_EQ(lines[1].TopLeft, c.line1);
    EXPECT_EQ(lines[1].Text, "two");
  }
  // Both lines' ink stays in their text cells, the lamp's in the lamp.
  const QImage image = Render(led);
  const QRect cells = QRect(45 - w0 / 2, 32 - 2 * s, w0, 2 * s).adjusted(-1, -1, 1, 1);
  const QRect ink = InkBounds(image, QRect(0, 0, 90, 36));
  EXPECT_TRUE(cells.contains(ink));
  EXPECT_GT(ink.bottom(), 32 - s);  // the second line is drawn too
  EXPECT_EQ(InkBounds(image, QRect(0, 36, 90, 14)), QRect(39, 37, 13, 13));
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
