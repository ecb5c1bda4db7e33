// Lamp shapes, lamp and caption placement, and what a flash-state change repaints.
#include "framework/tcolor.h"
#include "instruments/led/ab_led.h"
#include "instruments/led/flash_timer.h"
#include "led_test_util.h"
#include "wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <gtest/gtest.h>

using framework::ColorToQColor;
using instruments::TAbLED;
using instruments::TFlashStateEvent;
using instruments::TLampRect;
using instruments::TLED;
using namespace led_test;

namespace {

// As an image holds them: eight bits a channel.
QColor Rgb(framework::TColor color) { return QColor(ColorToQColor(color).rgb()); }
QColor Shadow() { return Rgb(framework::clBtnShadow); }
QColor Face() { return Rgb(framework::clBtnFace); }
const QColor Green(0, 255, 0);

QFont CaptionFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  return font;
}

// An LED drawing only its lamp (no caption) at the given shape.
struct LampOnly {
  TAbLED led;
  explicit LampOnly(TLED::TLEDShape shape) {
    led.SetCaption(QString());
    led.LED()->SetShape(shape);
  }
};

}  // namespace

TEST(LedLamp, SizesOutsideFourToFortyAreIgnoredAndARoundLampIsSquare) {
  LampOnly lamp(TLED::sRound);
  TLED& led = *lamp.led.LED();
  led.SetWidth(41);
  led.SetWidth(3);
  led.SetHeight(41);
  led.SetHeight(3);
  EXPECT_EQ(led.Width(), 13);
  EXPECT_EQ(led.Height(), 13);

  led.SetHeight(18);  // round: both sides become 18
  EXPECT_EQ(lamp.led.LampRect(), (TLampRect{0, 7, 18, 25}));
  const QImage image = Render(lamp.led);
  EXPECT_EQ(InkBounds(image, image.rect()), QRect(0, 7, 18, 18));
  EXPECT_EQ(Pixel(image, 9, 16), Face());

  led.SetShape(TLED::sRectangle);  // other shapes keep width and height apart
  EXPECT_EQ(InkBounds(Render(lamp.led), QRect(0, 0, 73, 33)), QRect(0, 7, 13, 18));
}

TEST(LedLamp, EveryShapeFillsItsRectangleWithTheDescribedOutline) {
  // 13 x 13 lamp on the left of a 73 x 33 control: (0, 10, 13, 23); half sizes 6.
  const int L = 0, T = 10, R = 13, B = 23, hw = 6, hh = 6;
  struct Case {
    TLED::TLEDShape shape;
    QList<QPoint> outline;
    QList<QPoint> outside;
  };
  const QList<Case> cases = {
      {TLED::sArrowLeft, {{L, T + hh}, {R - 1, T}, {R - 1, B - 1}}, {{L, T}, {L, B - 1}}},
      {TLED::sArrowRight, {{L, T}, {R - 1, T + hh}, {L, B - 1}}, {{R - 1, T}, {R - 1, B - 1}}},
      {TLED::sArrowUp, {{L + hw, T}, {R - 1, B - 1}, {L, B - 1}}, {{L, T}, {R - 1, T}}},
      {TLED::sArrowDown, {{L, T}, {R - 1, T}, {L + hw, B - 1}}, {{L, B - 1}, {R - 1, B - 1}}},
      {TLED::sRectangle, {{L, T}, {R - 1, T}, {L, B - 1}, {R - 1, B - 1}}, {}},
      {TLED::sRound, {{L + hw, T}, {L, T + hh}, {R - 1, T + hh}, {L + hw, B - 1}},
       {{L, T}, {R - 1, B - 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.shape));
    LampOnly lamp(c.shape);
    lamp.led.SetStatusInt(1);
    const QImage image = Render(lamp.led);
    EXPECT_EQ(InkBounds(image, image.rect()), QRect(L, T, R - L, B - T));
    for (QPoint p : c.outline) EXPECT_EQ(Pixel(image, p.x(), p.y()), Shadow()) << p.x() << "," << p.y();
    for (QPoint p : c.outside) EXPECT_EQ(Pixel(image, p.x(), p.y()), Background);
    // The centroid of every figure is lamp colour.
    const QPoint inside = c.shape == TLED::sArrowUp ? QPoint(L + hw, B - 3)
                          : c.shape == TLED::sArrowDown ? QPoint(L + hw, T + 2)
                                                        : QPoint(L + hw + 1, T + hh + 1);
    EXPECT_EQ(Pixel(image, inside.x(), inside.y()), Green);
  }
}

TEST(LedLamp, RoundLampHasItsHighlightInTheUpperLeftOnly) {
  LampOnly lamp(TLED::sRound);
  lamp.led.LED()->SetHeight(24);  // 24 x 24: inset 4, pen 3
  const TLampRect r = lamp.led.LampRect();
  const QImage image = Render(lamp.led);
  const QColor light = Rgb(framework::clBtnHighlight);
  const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
  EXPECT_GT(CountColor(image, QRect(QPoint(r.Left, r.Top), QPoint(cx - 1, cy - 1)), light), 10);
  EXPECT_EQ(CountColor(image, QRect(QPoint(cx + 1, r.Top), QPoint(r.Right - 1, r.Bottom - 1)), light), 0);
  EXPECT_EQ(CountColor(image, QRect(QPoint(r.Left, cy + 1), QPoint(r.Right - 1, r.Bottom - 1)), light), 0);
}

TEST(LedLayout, LampAndCaptionAtEachPosition) {
  TAbLED led(nullptr, "abld1");
  led.SetFont(CaptionFont());
  led.resize(90, 50);
  const int s = QFontMetrics(led.font()).height();
  const int w = QFontMetrics(led.font()).horizontalAdvance("abld1");
  ASSERT_EQ(led.Caption(), "abld1");

  led.SetLED_Position(TAbLED::lpLeft);
  EXPECT_EQ(led.LampRect(), (TLampRect{0, 19, 13, 32}));
  EXPECT_EQ(led.CaptionLayout().value(0).TopLeft, QPoint(13 + 5, 25 - s / 2));
  led.SetLED_Position(TAbLED::lpRight);
  EXPECT_EQ(led.LampRect(), (TLampRect{77, 19, 90, 32}));
  EXPECT_EQ(led.CaptionLayout().value(0).TopLeft, QPoint(77 - 5 - w, 25 - s / 2));
  led.SetLED_Position(TAbLED::lpTop);
  EXPECT_EQ(led.LampRect(), (TLampRect{39, 0, 52, 13}));
  EXPECT_EQ(led.CaptionLayout().value(0).TopLeft, QPoint(45 - w / 2, 13 + 5));
  led.SetSpacing(2);
  led.SetLED_Position(TAbLED::lpBottom);
  EXPECT_EQ(led.LampRect(), (TLampRect{39, 37, 52, 50}));
  EXPECT_EQ(led.CaptionLayout().value(0).TopLeft, QPoint(45 - w / 2, 37 - 2 - s));

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

  const auto lines = led.CaptionLayout();  // lpLeft, anchor (18, 16)
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0].Text, "Line one");
  EXPECT_EQ(lines[1].Text, "two");
  EXPECT_EQ(lines[0].TopLeft.x(), 18);
  EXPECT_EQ(lines[1].TopLeft.x(), 18);
  EXPECT_EQ(lines[1].TopLeft.y() - lines[0].TopLeft.y(), s);
  const int blockMiddle2 = lines[0].TopLeft.y() + lines[1].TopLeft.y() + s;  // twice the middle
  EXPECT_LE(std::abs(blockMiddle2 - 2 * 16), 2);  // within the halvings' rounding
  const QImage image = Render(led);
  const QRect ink = InkBounds(image, QRect(14, 0, 59, 33));
  EXPECT_GE(ink.top(), lines[0].TopLeft.y());
  EXPECT_LE(ink.bottom(), lines[1].TopLeft.y() + s - 1);
  EXPECT_GT(ink.bottom(), lines[0].TopLeft.y() + s);  // the second line is really drawn

  // Right-aligned lines end at the anchor; bottom-aligned blocks end there.
  led.SetLED_Position(TAbLED::lpRight);
  for (const auto& line : led.CaptionLayout())
    EXPECT_EQ(line.TopLeft.x() + metrics.horizontalAdvance(line.Text), 73 - 13 - 5);
  led.resize(73, 60);
  led.SetLED_Position(TAbLED::lpBottom);
  EXPECT_EQ(led.CaptionLayout().value(1).TopLeft.y() + s, 60 - 13 - 5);
}

TEST(LedLayout, CaptionFollowsTheNameUntilSetAndParentFontComesBack) {
  QWidget owner;
  QFont ownerFont = CaptionFont();
  ownerFont.setPixelSize(15);
  owner.setFont(ownerFont);
  TAbLED led(&owner);
  led.setObjectName("abld2");
  EXPECT_EQ(led.Caption(), "abld2");
  led.SetCaption("通讯指示灯");
  led.setObjectName("abld3");
  EXPECT_EQ(led.Caption(), "通讯指示灯");

  EXPECT_TRUE(led.ParentFont());
  EXPECT_EQ(led.font().pixelSize(), 15);
  led.SetFont(CaptionFont());
  EXPECT_FALSE(led.ParentFont());
  EXPECT_EQ(led.font().pixelSize(), 11);
  led.SetParentFont(true);
  EXPECT_EQ(led.font().pixelSize(), 15);
}

namespace {
// Records the area of each paint.
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
  window.resize(100, 50);
  PaintWatchLED led(&window, "abld1");
  led.SetStatusInt(1);
  led.SetFlashing(true);
  instruments::FlashTimer()->SetEnabled(false);  // only this test's flash states
  window.show();
  ASSERT_TRUE(testing_support::ProcessUntil([&] { return !led.painted.isEmpty(); }));
  testing_support::ProcessFor(30);
  led.painted.clear();

  TFlashStateEvent off(1, 0);
  QCoreApplication::sendEvent(&led, &off);
  ASSERT_TRUE(testing_support::ProcessUntil([&] { return !led.painted.isEmpty(); }));
  EXPECT_EQ(led.painted.value(0), PixelsOf(led.LampRect()));
  EXPECT_TRUE(led.Checked());
  EXPECT_FALSE(led.LampOn());
  const QImage image = Render(led);
  EXPECT_EQ(Pixel(image, 7, 16), Face());

  led.SetFlashing(false);  // no longer flashing: the lamp shows Checked again
  EXPECT_TRUE(led.LampOn());
}

TEST(LedGallery, AllShapesOnAndOffAtAllFourPositions) {
  // One row per position (single-line captions, then two-line ones), one column per shape and
  // state; written out when ZT_PNG_DIR is set.
  const int cellW = 92, cellH = 56;
  QWidget sheet;
  sheet.setFont(CaptionFont());
  sheet.resize(12 * cellW, 8 * cellH);
  QList<TAbLED*> leds;
  for (int row = 0; row < 8; ++row) {
    for (int col = 0; col < 12; ++col) {
      auto* led = new TAbLED(&sheet);
      led->setGeometry(col * cellW, row * cellH, cellW - 4, cellH - 4);
      led->SetLED_Position(TAbLED::TLEDPos(row % 4));
      led->LED()->SetShape(TLED::TLEDShape(col / 2));
      led->LED()->SetHeight(15);
      led->LED()->SetColorOff(framework::clRed);
      led->SetCaption(QString(col % 2 ? "off" : "on") + (row >= 4 ? "|line 2" : ""));
      led->SetStatusInt(col % 2 ? 0 : 1);
      leds << led;
    }
  }
  QImage image(sheet.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  sheet.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  if (const QByteArray dir = qgetenv("ZT_PNG_DIR"); !dir.isEmpty()) {
    const QDir out(QString::fromLocal8Bit(dir));
    image.save(out.filePath("led_gallery.png"));
    const QImage corner = image.copy(0, 0, 6 * cellW, 2 * cellH);
    corner.scaled(corner.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        .save(out.filePath("led_gallery_zoomed.png"));
  }
  // Every cell has its lamp in the right colour at the lamp's centre.
  for (TAbLED* led : leds) {
    const QPoint centre = PixelsOf(led->LampRect()).center() + led->pos();
    const QPoint probe = led->LED()->Shape() == TLED::sArrowDown ? centre - QPoint(0, 3)
                         : led->LED()->Shape() == TLED::sArrowUp ? centre + QPoint(0, 3)
                                                                 : centre + QPoint(1, 1);
    EXPECT_EQ(image.pixelColor(probe), led->Checked() ? Green : QColor(255, 0, 0));
  }
}
