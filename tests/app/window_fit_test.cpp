// The window's frame around the designed client: its place on a screen and its status bar.
#include "app/status_bar.h"
#include "app/window_fit.h"
#include "framework/tcolor.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace app;

namespace {

// One character per pixel of row y: '.' button face, 's' shadow, 'l' light, '?' anything else.
QString Row(const QImage& image, int y, int width) {
  const QRgb face = framework::ColorToQColor(framework::clBtnFace).rgb();
  const QRgb shadow = framework::ColorToQColor(framework::clBtnShadow).rgb();
  const QRgb light = framework::ColorToQColor(framework::clBtnHighlight).rgb();
  QString row;
  for (int x = 0; x < width; ++x) {
    const QRgb c = image.pixel(x, y);
    row += c == face ? u'.' : c == shadow ? u's' : c == light ? u'l' : u'?';
  }
  return row;
}

}  // namespace

TEST(StatusBar, EveryPanelIsSunkenAndTheLastTakesTheRest) {
  TStatusBar bar;
  bar.AddPanel(25, QString());
  bar.AddPanel(50, QString());
  bar.resize(100, 19);
  const QImage image = bar.grab().toImage();
  // Panels 0..24 and 25..74 (the first 30 columns), then the last one's right end.
  EXPECT_EQ(Row(image, 1, 30), QString(30, u'.'));
  EXPECT_EQ(Row(image, 2, 30), QStringLiteral("ssssssssssssssssssssssl..sssss"));
  EXPECT_EQ(Row(image, 3, 30), QStringLiteral("s.....................l..s...."));
  EXPECT_EQ(Row(image, 18, 30), QStringLiteral("lllllllllllllllllllllll..lllll"));
  EXPECT_EQ(Row(image, 18, 100).right(5), QStringLiteral("lll.."));
  EXPECT_EQ(bar.PanelText(2), QString());  // no such panel
}

// Where the window goes on screens the suite does not run on.
TEST(Placement, CentresWhatFitsAndCutsWhatDoesNot) {
  const QSize designed(1782, 788);
  // A screen that holds the window: centred, unchanged.
  EXPECT_EQ(FitWindow(designed, {0, 0, 1920, 1080}, {}, 16), QRect(69, 146, 1782, 788));
  // Too narrow: the full width, room for the horizontal bar below.
  EXPECT_EQ(FitWindow(designed, {0, 0, 1600, 1200}, {}, 16), QRect(0, 198, 1600, 804));
  // Too low: the full height, room for the vertical bar beside.
  EXPECT_EQ(FitWindow(designed, {0, 0, 2000, 700}, {}, 16), QRect(101, 0, 1798, 700));
  // Too narrow, and then too low for the bar as well: both bars, the whole area.
  EXPECT_EQ(FitWindow(designed, {0, 0, 1366, 800}, {}, 16), QRect(0, 0, 1366, 800));
  // A panel on top and a frame around: the frame starts at the area's corner.
  EXPECT_EQ(FitWindow(designed, {0, 27, 1366, 741}, {4, 30, 4, 4}, 16), QRect(4, 57, 1358, 707));
  // A second screen to the left of the first.
  EXPECT_EQ(FitWindow(designed, {-1280, 0, 1280, 720}, {}, 16).topLeft(), QPoint(-1280, 0));
  // Smaller than any frame: still inside, never an empty size.
  EXPECT_EQ(FitWindow(designed, {0, 0, 6, 4}, {4, 30, 4, 4}, 16), QRect(4, 30, 1, 1));
}

TEST(Placement, ScaleFactorsBelowOneAreDropped) {
  const QByteArray before = qgetenv("QT_SCALE_FACTOR");
  const std::pair<const char*, bool> factors[] = {{"0.75", false}, {"0", false}, {"-2", false},
                                                   {"1", true}, {"1.25", true}, {"2", true}, {"big", true}};
  for (const auto& [factor, kept] : factors) {
    qputenv("QT_SCALE_FACTOR", factor);
    DropShrinkingScaleFactor();
    EXPECT_EQ(qEnvironmentVariableIsSet("QT_SCALE_FACTOR"), kept) << factor;
    EXPECT_EQ(qgetenv("QT_SCALE_FACTOR"), kept ? QByteArray(factor) : QByteArray()) << factor;
  }
  if (before.isNull()) qunsetenv("QT_SCALE_FACTOR");
  else qputenv("QT_SCALE_FACTOR", before);
}
