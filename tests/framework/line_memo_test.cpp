#include "framework/line_memo.h"
#include "wait.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <random>

using framework::LineStore;
using framework::TLineMemo;
using testing_support::ProcessUntil;

namespace {

QString Sample(std::mt19937& random, int serial) {
  switch (random() % 6) {
    case 0: return QString();
    case 1: return QStringLiteral("Rx-%1> 01 03 06  CRC错误").arg(serial);
    case 2: return QString(int(random() % 3000), QLatin1Char('A' + serial % 26));
    default: return QStringLiteral("Tx-%1> 01 03 00 00 00 03 05 CB").arg(serial);
  }
}

}  // namespace

TEST(LineStore, AgreesWithAPlainListThroughAppendsAndDropsAcrossChunks) {
  std::mt19937 random(7);
  LineStore store;
  std::deque<QString> model;
  std::deque<int64_t> stamps;
  int64_t clock = 1'765'000'000'000;
  // Times mostly a few milliseconds apart; now and then a clock set back, or a gap wider than
  // a chunk's four bytes of them hold.
  auto tick = [&] {
    const int kind = int(random() % 200);
    clock += kind == 0 ? -3'600'000 : kind == 1 ? int64_t(5'000'000'000) : int64_t(random() % 7);
    return clock;
  };
  for (int round = 0; round < 4000; ++round) {
    const int appends = random() % 40;
    for (int i = 0; i < appends; ++i) {
      model.push_back(Sample(random, round * 100 + i));
      stamps.push_back(tick());
      store.Append(model.back(), stamps.back());
    }
    const int drops = random() % 45;
    store.DropOldest(drops);
    model.erase(model.begin(), model.begin() + std::min<size_t>(drops, model.size()));
    stamps.erase(stamps.begin(), stamps.begin() + std::min<size_t>(drops, stamps.size()));
    ASSERT_EQ(store.Count(), int64_t(model.size()));
    if (model.empty()) continue;
    const size_t probe = random() % model.size();
    ASSERT_EQ(store.Line(probe), model[probe]) << "round " << round;
    ASSERT_EQ(store.Stamp(probe), stamps[probe]) << "round " << round;
  }
  std::vector<std::pair<QString, int64_t>> walked;
  store.ForEach(3, int64_t(model.size()) + 10,
                [&](const QString& l, int64_t t) { walked.emplace_back(l, t); });
  ASSERT_EQ(walked.size(), model.size() > 3 ? model.size() - 3 : 0);
  for (size_t i = 0; i < walked.size(); ++i)
    ASSERT_EQ(walked[i], std::pair(model[i + 3], stamps[i + 3]));
  EXPECT_EQ(store.Line(-1), QString());
  EXPECT_EQ(store.Line(store.Count()), QString());

  // A line longer than a chunk has one of its own.
  const QString huge(100'000, QLatin1Char('x'));
  store.Append(huge);
  store.Append(QStringLiteral("after"));
  EXPECT_EQ(store.Line(store.Count() - 2), huge);
  EXPECT_EQ(store.Line(store.Count() - 1), QStringLiteral("after"));
}

TEST(LineStore, AStoreKeptAtItsLimitHoldsNoMoreMemoryOverTime) {
  LineStore store;
  const QString line = QStringLiteral("Rx-07:081> 01 03 06 00 01 00 02 00 03 FD 74");
  auto fill = [&](int lines) {
    for (int i = 0; i < lines; ++i) {
      store.Append(line);
      if (store.Count() > 100'000) store.DropOldest(1);
    }
  };
  fill(100'000);
  const size_t atLimit = store.Capacity();
  EXPECT_LT(atLimit, size_t(100'000) * 36);  // 43 characters: 23 bytes, an offset, a time, some slack
  fill(300'000);
  EXPECT_LE(store.Capacity(), atLimit + 64 * 1024 + 8 * 1024);
}

TEST(LineStore, PacksHexadecimalRunsAndGivesEveryTextBackUnchanged) {
  const QString traffic = QStringLiteral("Rx-07:081> 01 03 06 00 01 00 02 00 03 FD 74");
  EXPECT_EQ(LineStore::Pack(traffic).size(), 10 + 2 + 11);
  // A run is 0xFF, its length and the bytes; only upper-case pairs after a blank make one.
  const std::pair<QString, QByteArray> packs[] = {
      {QStringLiteral(">  09 AF 90 FA x"), QByteArray("> \xff\x04\x09\xaf\x90\xfa x", 10)},
      {QStringLiteral(" 0f :0 /9 @A G0 A"), QByteArray(" 0f :0 /9 @A G0 A")},
      {QString(), QByteArray()},
  };
  for (const auto& [text, packed] : packs) EXPECT_EQ(LineStore::Pack(text), packed) << text.toStdString();
  QString pairs;
  for (int i = 0; i < 256; ++i) pairs += QStringLiteral(" %1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
  const QByteArray long_pack = LineStore::Pack(pairs);
  ASSERT_EQ(long_pack.size(), 2 + 255 + 2 + 1);  // at most 255 bytes to a run
  EXPECT_EQ(long_pack.left(3), QByteArray("\xff\xff\x00", 3));
  EXPECT_EQ(long_pack.right(3), QByteArray("\xff\x01\xff", 3));
  QString long_run = QStringLiteral("Rx-00:000>");
  for (int i = 0; i < 300; ++i) long_run += QStringLiteral(" %1").arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
  const QStringList texts = {
      traffic, long_run, QString(), QStringLiteral(" "), QStringLiteral(" A"), QStringLiteral(" AB"),
      QStringLiteral(" ab 0f"), QStringLiteral("x AB  CD CRC错误"), QStringLiteral(" ABC"),
      QStringLiteral("ÿ\u00ff 12"), QStringLiteral("\t 9Z 99"), QStringLiteral("Tx-12:500> 02 06 00 01 00 7B 98 1A  CRC错误")};
  for (const QString& text : texts) {
    const QByteArray packed = LineStore::Pack(text);
    EXPECT_EQ(LineStore::Unpack(packed.data(), size_t(packed.size())), text) << text.toStdString();
  }
  // Cut short (a damaged store never happens, but reading must stay inside the bytes).
  const QByteArray packed = LineStore::Pack(traffic);
  for (qsizetype n = 0; n < packed.size(); ++n) LineStore::Unpack(packed.data(), size_t(n));
  std::mt19937 random(3);
  for (int round = 0; round < 2000; ++round) {
    QString text;
    for (int n = int(random() % 40); n > 0; --n) text += QChar(u" 0A9FZa\u00ff\u9519"[random() % 10]);
    const QByteArray p = LineStore::Pack(text);
    ASSERT_EQ(LineStore::Unpack(p.data(), size_t(p.size())), text) << text.toStdString();
  }
}

class Memo : public ::testing::Test {
 protected:
  void SetUp() override {
    memo.resize(400, 10 * QFontMetrics(memo.font()).height() + 30);
    memo.show();
  }
  void AddLines(int first, int count) {
    for (int i = first; i < first + count; ++i) memo.Append(QStringLiteral("line %1").arg(i));
    memo.Refresh();
  }
  QScrollBar* V() { return memo.verticalScrollBar(); }
  TLineMemo memo;
};

TEST_F(Memo, KeepsTheNewestLinesAndSplitsAppendedBreaks) {
  memo.SetMaxLines(5);
  memo.Append(QStringLiteral("a\nb"));
  AddLines(0, 6);
  EXPECT_EQ(memo.LineCount(), 5);
  EXPECT_EQ(memo.Text(), QStringLiteral("line 1\nline 2\nline 3\nline 4\nline 5"));
  memo.Clear();
  EXPECT_EQ(memo.LineCount(), 0);
  EXPECT_EQ(memo.Text(), QString());
}

TEST_F(Memo, FollowsNewLinesAtTheBottomAndHoldsItsPlaceScrolledBack) {
  memo.SetMaxLines(100);
  AddLines(0, 100);
  EXPECT_EQ(V()->value(), V()->maximum());
  AddLines(100, 10);
  EXPECT_EQ(V()->value(), V()->maximum());

  V()->setValue(20);  // showing "line 30" at the top (ten older lines have left)
  const QString top = memo.Line(V()->value());
  AddLines(110, 7);  // seven more leave at the top
  EXPECT_EQ(memo.Line(V()->value()), top);
  V()->setValue(0);
  AddLines(117, 3);  // the top line itself leaves: the view stays at the top
  EXPECT_EQ(V()->value(), 0);

  testing_support::ProcessFor(3 * TLineMemo::RepaintMs);  // nothing left to paint
  memo.SetMaxLines(20);  // the view follows by itself
  ASSERT_TRUE(ProcessUntil([&] { return V()->maximum() == 20 - V()->pageStep(); }));
  memo.Clear();  // at once
  EXPECT_EQ(V()->maximum(), 0);
}

TEST_F(Memo, ScrollsSidewaysOverTheWidestLineInItsFont) {
  for (QScrollBar* bar : {V(), memo.horizontalScrollBar()})
    EXPECT_EQ(bar->style()->name(), QStringLiteral("windows"));  // flat: cheap to repaint
  memo.Append(QString(200, u'W'));
  memo.Refresh();
  const int wide = memo.horizontalScrollBar()->maximum();
  EXPECT_GT(wide, 0);
  QFont bigger = memo.font();
  bigger.setPixelSize(QFontInfo(bigger).pixelSize() * 2);
  memo.setFont(bigger);
  EXPECT_GT(memo.horizontalScrollBar()->maximum(), wide + 1000);
}

TEST_F(Memo, SelectionCopiesWholeLinesAndFollowsThemWhileOldLinesLeave) {
  memo.SetMaxLines(50);
  AddLines(0, 50);
  EXPECT_EQ(memo.SelectedText(), QString());
  memo.SelectAll();
  EXPECT_EQ(memo.SelectedText().count(u'\n'), 49);
  memo.Clear();

  AddLines(0, 1);  // a single line is selected by a click
  QTest::mouseClick(memo.viewport(), Qt::LeftButton, {}, QPoint(10, 4));
  EXPECT_EQ(memo.SelectedText(), QStringLiteral("line 0"));
  memo.Clear();

  AddLines(0, 10);
  V()->setValue(0);
  const int row = QFontMetrics(memo.font()).height();
  QTest::mouseClick(memo.viewport(), Qt::LeftButton, {}, QPoint(10, 2 + row * 3 + row / 2));
  QTest::mouseClick(memo.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 2 + row * 5 + 1));
  EXPECT_EQ(memo.SelectedText(), QStringLiteral("line 3\nline 4\nline 5"));
  memo.SetMaxLines(6);  // lines 0..3 leave: the selection keeps what is left of it
  EXPECT_EQ(memo.SelectedText(), QStringLiteral("line 4\nline 5"));
  memo.CopySelection();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("line 4\nline 5"));
}

TEST_F(Memo, ABurstOfLinesIsDrawnOnceAndShowsTheLastLines) {
  struct Counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      paints += e->type() == QEvent::Paint;
      return false;
    }
  } counter;
  ASSERT_TRUE(ProcessUntil([&] { return memo.isVisible(); }));
  ProcessUntil([] { return false; }, 50);
  memo.viewport()->installEventFilter(&counter);
  for (int i = 0; i < 1000; ++i) memo.Append(QStringLiteral("Tx-%1> 01 03 00 00 00 03 05 CB").arg(i));
  ProcessUntil([] { return false; }, 3 * TLineMemo::RepaintMs);
  EXPECT_GE(counter.paints, 1);
  EXPECT_LE(counter.paints, 2);

  // The last line is drawn at the bottom: ink in its row, in the text colour.
  const QImage shot = memo.viewport()->grab().toImage();
  const int row = QFontMetrics(memo.font()).height();
  const int lastRowTop = 2 + (V()->pageStep() - 1) * row;
  int ink = 0;
  for (int y = lastRowTop; y < lastRowTop + row; ++y)
    for (int x = 0; x < shot.width(); ++x)
      ink += shot.pixelColor(x, y) == memo.palette().color(QPalette::Text);
  EXPECT_GT(ink, 20);
  EXPECT_EQ(memo.Line(V()->value() + V()->pageStep() - 1), QStringLiteral("Tx-999> 01 03 00 00 00 03 05 CB"));
}
