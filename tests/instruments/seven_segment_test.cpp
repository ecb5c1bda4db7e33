#include <gtest/gtest.h>

#include <QPainter>
#include <set>
#include <utility>

#include "instruments/seven_segment_display.h"
#include "pixels.h"

using namespace instruments;
using pixels::Art;
using pixels::Count;
using pixels::Render;

namespace {

using Pixel = std::pair<int, int>;  // x, y inside a cell

// The pixels of segments A .. G in a 10 x 18 cell with margin 0, size 1, separation 1,
// worked out by hand from the segment polygons.
std::set<Pixel> SegmentPixels(int segment) {
  std::set<Pixel> p;
  auto row = [&](int y, int x1, int x2) {
    for (int x = x1; x <= x2; ++x) p.insert({x, y});
  };
  auto column = [&](int x, int y1, int y2) {
    for (int y = y1; y <= y2; ++y) p.insert({x, y});
  };
  switch (segment) {
    case 0:
      row(0, 1, 8), row(1, 2, 7), row(2, 3, 6);
      break;
    case 1:
      column(9, 1, 7), column(8, 2, 6), column(7, 3, 5);
      break;
    case 2:
      column(9, 9, 16), column(8, 10, 15), column(7, 11, 14);
      break;
    case 3:
      row(17, 1, 8), row(16, 2, 7), row(15, 3, 6);
      break;
    case 4:
      column(0, 9, 16), column(1, 10, 15), column(2, 11, 14);
      break;
    case 5:
      column(0, 1, 7), column(1, 2, 6), column(2, 3, 5);
      break;
    case 6:
      row(7, 2, 7), row(8, 1, 8), row(9, 2, 7);
      break;
  }
  return p;
}

QStringList CellArt(const std::set<Pixel>& lit, int w = 10, int h = 18) {
  QStringList rows;
  for (int y = 0; y < h; ++y) {
    QString r;
    for (int x = 0; x < w; ++x) r += lit.count({x, y}) ? QLatin1Char('#') : QLatin1Char('.');
    rows << r;
  }
  return rows;
}

QStringList SegmentsArt(int bits) {
  std::set<Pixel> lit;
  for (int s = 0; s < 7; ++s)
    if (bits & (1 << s)) lit.merge(SegmentPixels(s));
  return CellArt(lit);
}

const QColor kWhite(255, 255, 255);
const QColor kOff(85, 85, 85);  // white with every channel divided by 3
const QColor kBlack(0, 0, 0);
const int kCellX[5] = {5, 21, 37, 53, 69};

// The main window's register display.
struct RegisterDisplay {
  TiSevenSegmentInteger display;
  RegisterDisplay() {
    display.SetShowSign(false);
    display.SetDigitCount(5);
  }
  QStringList Cell(const QImage& image, int index, const QColor& color) const {
    return Art(image, QRect(kCellX[index], 5, 10, 18), color);
  }
};

}  // namespace

TEST(SevenSegmentGeometry, MainWindowDisplayHasFiveCellsAtTheDescribedPlaces) {
  RegisterDisplay r;
  EXPECT_EQ(r.display.size(), QSize(84, 28));
  r.display.SetShowOffSegments(false);
  r.display.SetValue(88888);
  const QImage image = Render(r.display);
  pixels::Keep(image, "seven_segment_88888");
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(r.Cell(image, i, kWhite), SegmentsArt(0x7F)) << "cell " << i;
  // Nothing outside the cells.
  EXPECT_EQ(Count(image, image.rect(), kWhite), 5 * Count(image, QRect(5, 5, 10, 18), kWhite));
  EXPECT_EQ(Count(image, QRect(0, 0, 84, 5), kBlack), 84 * 5);
  EXPECT_EQ(Count(image, QRect(15, 5, 6, 18), kBlack), 6 * 18);
}

TEST(SevenSegmentGeometry, SegmentsAAndGAreTheListedPolygons) {
  RegisterDisplay r;
  r.display.SetValue(7);  // A B C lit, G dark
  const QImage image = Render(r.display);
  const QStringList lit = r.Cell(image, 4, kWhite);
  const QStringList dark = r.Cell(image, 4, kOff);
  // A: (1,0) (8,0) (6,2) (3,2); G: (1,8) (2,7) (7,7) (8,8) (7,9) (2,9).
  EXPECT_EQ(lit[0], ".########.");
  EXPECT_EQ(lit[1].mid(2, 6), "######");
  EXPECT_EQ(lit[2].mid(3, 4), "####");
  EXPECT_EQ(dark[7].mid(1, 8), ".######.");
  EXPECT_EQ(dark[8].mid(1, 8), "########");
  EXPECT_EQ(dark[9].mid(1, 8), ".######.");
  EXPECT_EQ(lit, SegmentsArt(0x07));
  EXPECT_EQ(dark, SegmentsArt(0x7F & ~0x07));
}

TEST(SevenSegmentGeometry, EveryDigitLightsItsTableSegments) {
  RegisterDisplay r;
  const int segments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x67};
  r.display.SetLeadingStyle(ilsZeros);
  for (int first = 0; first < 10; first += 5) {
    r.display.SetValue(first * 10000 + (first + 1) * 1000 + (first + 2) * 100 + (first + 3) * 10 +
                       first + 4);
    const QImage image = Render(r.display);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(r.Cell(image, i, kWhite), SegmentsArt(segments[first + i])) << first + i;
      EXPECT_EQ(r.Cell(image, i, kOff), SegmentsArt(0x7F & ~segments[first + i])) << first + i;
    }
  }
}

TEST(SevenSegmentLeading, FortyTwoWithSpacesShowsThreeBlankCells) {
  RegisterDisplay r;
  r.display.SetValue(42);
  const QImage image = Render(r.display);
  pixels::Keep(image, "seven_segment_42_spaces");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(r.Cell(image, i, kOff), SegmentsArt(0x7F)) << i;
    EXPECT_EQ(Count(image, QRect(kCellX[i], 5, 10, 18), kWhite), 0);
  }
  EXPECT_EQ(r.Cell(image, 3, kWhite), SegmentsArt(0x66));
  EXPECT_EQ(r.Cell(image, 4, kWhite), SegmentsArt(0x5B));
}

TEST(SevenSegmentLeading, ZeroInEachLeadingStyle) {
  RegisterDisplay r;
  r.display.SetValue(0);
  QImage image = Render(r.display);  // ilsSpaces by default
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.Cell(image, i, kOff), SegmentsArt(0x7F));
  EXPECT_EQ(r.Cell(image, 4, kWhite), SegmentsArt(0x3F));

  r.display.SetLeadingStyle(ilsZeros);
  image = Render(r.display);
  pixels::Keep(image, "seven_segment_0_zeros");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(r.Cell(image, i, kWhite), SegmentsArt(0x3F));

  r.display.SetLeadingStyle(ilsNone);
  image = Render(r.display);
  pixels::Keep(image, "seven_segment_0_none");
  EXPECT_EQ(r.Cell(image, 0, kWhite), SegmentsArt(0x3F));
  for (int i = 1; i < 5; ++i)
    EXPECT_EQ(Count(image, QRect(kCellX[i], 5, 10, 18), kBlack), 180) << "cell " << i;
}

TEST(SevenSegmentOverflow, TooManyDigitsShowArrows) {
  RegisterDisplay r;
  r.display.SetValue(100000);
  QImage image = Render(r.display);
  pixels::Keep(image, "seven_segment_up_arrows");
  // Up arrow in a 10 x 18 cell: base (0..8, 9), apex (4, 5).
  const QStringList up = {"....#.....", "...###....", "..#####...", ".#######..", "#########."};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(r.Cell(image, i, kWhite).mid(5, 5), up) << i;
    EXPECT_EQ(Count(image, QRect(kCellX[i], 5, 10, 18), kWhite), 25);
  }

  r.display.SetShowSign(true);
  r.display.SetValue(-100000);
  EXPECT_EQ(r.display.size(), QSize(100, 28));
  image = Render(r.display);
  pixels::Keep(image, "seven_segment_down_arrows");
  // Sign cell at x 5: the lit minus (2..8, 13..14), the plus in the off colour.
  const QStringList sign = Art(image, QRect(5, 5, 10, 18), kWhite);
  EXPECT_EQ(sign[13], "..#######.");
  EXPECT_EQ(sign[14], "..#######.");
  EXPECT_EQ(Count(image, QRect(5, 5, 10, 18), kWhite), 14);
  EXPECT_GT(Count(image, QRect(5, 5, 10, 9), kOff), 10);
  const QStringList down = {"#########.", ".#######..", "..#####...", "...###....", "....#....."};
  for (int i = 1; i <= 5; ++i) {
    const QStringList cell = Art(image, QRect(5 + 16 * i, 5, 10, 18), kWhite);
    EXPECT_EQ(cell.mid(9, 5), down) << i;
  }
}

TEST(SevenSegmentColours, PowerOffDrawsEverythingInTheOffColour) {
  RegisterDisplay r;
  r.display.SetValue(18);
  r.display.SetPowerOff(true);
  QImage image = Render(r.display);
  pixels::Keep(image, "seven_segment_power_off");
  EXPECT_EQ(Count(image, image.rect(), kWhite), 0);
  EXPECT_EQ(r.Cell(image, 4, kOff), SegmentsArt(0x7F));

  r.display.SetShowOffSegments(false);
  image = Render(r.display);
  EXPECT_EQ(r.Cell(image, 3, kOff), SegmentsArt(0x06));
  EXPECT_EQ(r.Cell(image, 4, kOff), SegmentsArt(0x7F));
  EXPECT_EQ(Count(image, QRect(5, 5, 42, 18), kOff), 0);
}

TEST(SevenSegmentColours, OffColourIsAThirdOfEachChannelUnlessGiven) {
  TiSevenSegmentCharacter c;
  c.SetSegmentColor(framework::RGBColor(0x31, 0xFF, 0x90));
  EXPECT_EQ(uint32_t(c.OffColor()), 0x02305510u);
  EXPECT_EQ(uint32_t(c.OnColor()), 0x0290FF31u);
  c.SetAutoSegmentOffColor(false);
  c.SetSegmentOffColor(framework::clMaroon);
  EXPECT_EQ(c.OffColor(), framework::clMaroon);
  c.SetPowerOff(true);
  EXPECT_EQ(c.OnColor(), framework::clMaroon);
  // A system colour is resolved before it is dimmed or marked.
  c.SetSegmentColor(framework::clBtnFace);
  c.SetPowerOff(false);
  EXPECT_EQ(framework::ColorToQColor(c.OnColor()), framework::ColorToQColor(framework::clBtnFace));
}

TEST(SevenSegmentLimits, SizesAndCountsAreKeptInRange) {
  TiSevenSegmentCharacter c;
  c.SetSegmentSize(0);
  EXPECT_EQ(c.SegmentSize(), 1);
  c.SetSegmentSize(-5);
  EXPECT_EQ(c.SegmentSize(), 1);
  c.SetSegmentMargin(-3);
  EXPECT_EQ(c.SegmentMargin(), 0);
  TiSevenSegmentInteger d;
  d.SetSegmentSize(101);
  EXPECT_EQ(d.SegmentSize(), 100);
  d.SetSegmentSize(1);
  d.SetDigitCount(0);
  EXPECT_EQ(d.DigitCount(), 1);
  d.SetDigitCount(40);
  EXPECT_EQ(d.DigitCount(), 32);
  d.SetValue(std::numeric_limits<int>::min());
  d.SetDigitCount(10);
  EXPECT_FALSE(Render(d).isNull());
}

TEST(SevenSegmentCharacter, SizesItselfAndDrawsTheColon) {
  TiSevenSegmentCharacter c;
  EXPECT_EQ(c.size(), QSize(15, 23));
  QImage image = Render(c);
  pixels::Keep(image, "seven_segment_character_0", 8);
  c.SetValue(sscColon);
  EXPECT_EQ(c.size(), QSize(7, 23));
  image = Render(c);
  pixels::Keep(image, "seven_segment_character_colon", 8);
  // Dots (2,6)-(4,9) and (2,14)-(4,17): rounding of 5·23/18 .. 13·23/18.
  const QColor lime(0, 255, 0);
  EXPECT_EQ(Count(image, QRect(2, 6, 3, 4), lime), 12);
  EXPECT_EQ(Count(image, QRect(2, 14, 3, 4), lime), 12);
  EXPECT_EQ(Count(image, image.rect(), lime), 24);
}

TEST(SevenSegmentCharacter, CharactersMapThroughTheTable) {
  TiSevenSegmentCharacter c;
  c.SetCharacter('x');
  EXPECT_EQ(c.Value(), sscBlank);
  c.SetCharacter('A');
  EXPECT_EQ(c.Character(), 'a');
  c.SetCharacter('>');
  EXPECT_EQ(c.Value(), sscDownArrow);
  c.SetCharacter(';');
  EXPECT_EQ(c.Character(), ';');
  c.SetSegmentBits(0xFF);
  EXPECT_EQ(c.SegmentBits(), 0x7F);
  EXPECT_TRUE(c.SegGOn());
  c.SetSegGOn(false);
  EXPECT_EQ(c.SegmentBits(), 0x3F);
}

TEST(SevenSegmentCharacter, SegmentBitsOverrideTheCharacter) {
  TiSevenSegmentCharacter c;
  c.SetSegmentMargin(0);
  c.SetAutoSize(false);
  c.SetBounds(0, 0, 10, 18);
  c.SetValue(sscColon);
  c.SetUseSegmentBits(true);
  c.SetSegmentBits(0x49);  // A D G
  const QImage image = Render(c);
  EXPECT_EQ(Art(image, image.rect(), QColor(0, 255, 0)), SegmentsArt(0x49));
}

TEST(SevenSegmentEvents, ValueChangesAreReportedAndCanBeRefused) {
  TiSevenSegmentInteger d;
  int changes = 0;
  QStringList after;
  d.OnValueChange = [&](QObject*) { ++changes; };
  d.OnAfterPropertyChange = [&](QObject*, const QString& name) { after << name; };
  d.SetValue(5);
  d.SetValue(5);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(after, QStringList({"Value"}));
  d.OnBeforePropertyChange = [](QObject*, const QString&, bool& allow) { allow = false; };
  d.SetValue(6);
  EXPECT_EQ(d.Value(), 5);
  EXPECT_EQ(changes, 1);
}
