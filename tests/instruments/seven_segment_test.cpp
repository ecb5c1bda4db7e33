#include <gtest/gtest.h>

#include <QPainter>

#include "instruments/seven_segment_display.h"
#include "pixels.h"

using namespace instruments;
using pixels::Art;
using pixels::Count;
using pixels::Render;

namespace {

// The pixels of segments A .. G in a 10 x 18 cell with margin 0, size 1, separation 1, worked
// out by hand from the segment polygons: each letter marks a pixel of its segment.
const char* const kCell[18] = {
    ".AAAAAAAA.", "F.AAAAAA.B", "FF.AAAA.BB", "FFF....BBB", "FFF....BBB", "FFF....BBB",
    "FF......BB", "F.GGGGGG.B", ".GGGGGGGG.", "E.GGGGGG.C", "EE......CC", "EEE....CCC",
    "EEE....CCC", "EEE....CCC", "EEE....CCC", "EE.DDDD.CC", "E.DDDDDD.C", ".DDDDDDDD."};

// The cell's art with the segments of `bits` (A = 1 ... G = 64) marked.
QStringList SegmentsArt(int bits) {
  QStringList rows;
  for (const char* line : kCell) {
    QString row;
    for (const char* c = line; *c; ++c)
      row += *c != '.' && (bits >> (*c - 'A')) & 1 ? QLatin1Char('#') : QLatin1Char('.');
    rows << row;
  }
  return rows;
}

const QColor kWhite(255, 255, 255);
const QColor kOff(85, 85, 85);  // white with every channel divided by 3
const QColor kBlack(0, 0, 0);
const int kCellX[5] = {5, 21, 37, 53, 69};
const int kDigits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x67};

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

// The main window's display: 84 x 28, five 10 x 18 cells at x = 5, 21, 37, 53, 69 and y = 5,
// each digit lighting its table's segments, unlit ones in the off colour, nothing elsewhere.
TEST(SevenSegmentGeometry, EveryDigitAndLeadingStyleInTheMainWindowsCells) {
  // Per cell: a digit, ' ' for a blank cell (every segment off), '_' for an empty one.
  struct Row {
    int value;
    TiLeadingStyle leading;
    const char* cells;
  };
  for (const Row& row : {Row{1234, ilsZeros, "01234"}, Row{56789, ilsSpaces, "56789"},
                         Row{42, ilsSpaces, "   42"}, Row{0, ilsSpaces, "    0"},
                         Row{0, ilsZeros, "00000"}, Row{0, ilsNone, "0____"},
                         Row{-42, ilsNone, "42___"}}) {
    SCOPED_TRACE(row.cells);
    RegisterDisplay r;
    EXPECT_EQ(r.display.size(), QSize(84, 28));
    r.display.SetLeadingStyle(row.leading);
    r.display.SetValue(row.value);
    const QImage image = Render(r.display);
    int lit = 0;
    for (int i = 0; i < 5; ++i) {
      const char c = row.cells[i];
      if (c == '_') {
        EXPECT_EQ(Count(image, QRect(kCellX[i], 5, 10, 18), kBlack), 180) << i;
        continue;
      }
      const int bits = c == ' ' ? 0 : kDigits[c - '0'];
      EXPECT_EQ(r.Cell(image, i, kWhite), SegmentsArt(bits)) << i;
      EXPECT_EQ(r.Cell(image, i, kOff), SegmentsArt(0x7F & ~bits)) << i;
      lit += int(SegmentsArt(bits).join(QString()).count(QLatin1Char('#')));
    }
    EXPECT_EQ(Count(image, image.rect(), kWhite), lit);
    EXPECT_EQ(Count(image, QRect(0, 0, 84, 5), kBlack), 84 * 5);
  }
}

TEST(SevenSegmentOverflow, TooManyDigitsShowArrows) {
  RegisterDisplay r;
  r.display.SetValue(100000);
  QImage image = Render(r.display);
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

// The special shapes of a character sized by itself (margin 2, size 1, 23 high, 7 wide for the
// narrow ones, else 15): lit pixels, their bounds and the unlit shape's pixels, worked out from
// the shapes' rectangles and triangles with r(k) = round(k·23/18).
TEST(SevenSegmentCharacter, SizesItselfAndDrawsEachSpecialShape) {
  struct Row {
    TSevenSegmentCharacter value;
    int width, lit;
    QRect bounds;
    int off;
  };
  const Row rows[] = {{sscPeriod, 7, 6, {2, 21, 3, 2}, 0},
                      {sscColon, 7, 24, {2, 6, 3, 12}, 0},
                      {sscSemiColon, 7, 30, {2, 6, 3, 15}, 0},
                      {sscComma, 7, 18, {2, 14, 3, 7}, 0},
                      {sscPlus, 15, 26, {4, 3, 8, 7}, 16},
                      {sscMinus, 15, 16, {4, 17, 8, 2}, 26},
                      {sscLine, 15, 11, {2, 11, 11, 1}, 0},
                      {sscUpArrow, 15, 36, {2, 6, 11, 6}, 0},
                      {sscDownArrow, 15, 36, {2, 11, 11, 6}, 0},
                      {sscBlank, 15, 0, {}, 0}};
  const QColor lime(0, 255, 0), dim(0, 85, 0);
  for (const Row& row : rows) {
    SCOPED_TRACE(int(row.value));
    TiSevenSegmentCharacter c;
    c.SetValue(row.value);
    EXPECT_EQ(c.size(), QSize(row.width, 23));
    const QImage image = Render(c);
    EXPECT_EQ(Count(image, image.rect(), lime), row.lit);
    EXPECT_EQ(Count(image, row.bounds, lime), row.lit);
    if (row.value != sscBlank) {
      EXPECT_EQ(Count(image, image.rect(), dim), row.off);
    }
  }
}

TEST(SevenSegmentCharacter, CharactersMapThroughTheTable) {
  TiSevenSegmentCharacter c;
  const QByteArray reads = "0123456789abcdef.:+- _<>;,";  // in the order of the values
  for (int i = 0; i < reads.size(); ++i) {
    c.SetCharacter(i >= 10 && i <= 15 ? char(reads[i] - 32) : reads[i]);  // 'A' reads as 'a'
    EXPECT_EQ(c.Value(), TSevenSegmentCharacter(i)) << reads[i];
    EXPECT_EQ(c.Character(), reads[i]);
  }
  c.SetCharacter('x');
  EXPECT_EQ(c.Value(), sscBlank);
  c.SetSegmentBits(0xFF);
  EXPECT_EQ(c.SegmentBits(), 0x7F);
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
