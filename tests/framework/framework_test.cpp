#include "framework/canvas.h"
#include "framework/exception.h"
#include "framework/fonts.h"
#include "framework/guard.h"
#include "framework/synchronize.h"
#include "framework/tcolor.h"
#include "framework/timer.h"
#include "wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <vector>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace framework;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

struct ReportSink {
  QStringList messages;
  ExceptionReporter previous;
  ReportSink() {
    previous = SetExceptionReporter([this](const QString& m) { messages << m; });
  }
  ~ReportSink() { SetExceptionReporter(previous); }
};

}  // namespace

TEST(Colors, SystemAndPlainValuesResolve) {
  EXPECT_EQ(ColorToQColor(clRed), QColor(255, 0, 0));
  EXPECT_EQ(ColorToQColor(RGBColor(1, 2, 3)), QColor(1, 2, 3));
  EXPECT_EQ(ColorToQColor(TColor(0x02102030)), QColor(0x30, 0x20, 0x10));
  const QPalette palette = QApplication::palette();
  EXPECT_EQ(ColorToQColor(clBtnFace), palette.color(QPalette::Button));
  EXPECT_EQ(ColorToQColor(clWindow), palette.color(QPalette::Base));
  EXPECT_EQ(ColorToQColor(clHighlight), palette.color(QPalette::Highlight));
  EXPECT_EQ(uint32_t(clBtnShadow), 0xFF000010u);
}

TEST(Timer, UnchangedIntervalKeepsTheCountdownAndAChangedOneRestartsIt) {
  TTimer timer;
  timer.SetEnabled(false);
  int ticks = 0;
  QElapsedTimer clock;
  qint64 tickedAt = -1;
  timer.OnTimer = [&](QObject*) {
    ++ticks;
    tickedAt = clock.elapsed();
  };
  timer.SetInterval(150);
  clock.start();
  timer.SetEnabled(true);
  ProcessFor(100);
  timer.SetInterval(150);  // same value: the countdown goes on
  timer.SetEnabled(true);
  ASSERT_TRUE(ProcessUntil([&] { return ticks > 0; }, 1000));
  EXPECT_LT(tickedAt, 240);

  ticks = 0;
  timer.SetInterval(1000);
  ProcessFor(50);
  clock.restart();
  timer.SetInterval(120);  // changed: counts from now
  ASSERT_TRUE(ProcessUntil([&] { return ticks > 0; }, 1000));
  EXPECT_GE(tickedAt, 110);

  timer.SetEnabled(false);
  ticks = 0;
  ProcessFor(200);
  EXPECT_EQ(ticks, 0);
}

TEST(Timer, AShortPauseSetInTheMiddleOfWorkFiresOnTime) {
  // The poll cycle sets a 2 ms pause and then goes on drawing; the tick must not wait for the
  // next whole millisecond of the event loop's own timers.
  TTimer timer;
  timer.SetEnabled(false);
  QElapsedTimer clock;
  std::vector<qint64> lateUs;
  timer.OnTimer = [&](QObject*) {
    lateUs.push_back(clock.nsecsElapsed() / 1000 - 2000);
    timer.SetInterval(1000);
    timer.SetInterval(2);
    clock.start();
    QElapsedTimer busy;
    busy.start();
    while (busy.nsecsElapsed() < 600'000) {
    }
  };
  // A real event loop: the test helpers' polling loop sleeps between rounds.
  QEventLoop loop;
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  timer.OnTimer = [&, work = timer.OnTimer](QObject* sender) {
    work(sender);
    if (lateUs.size() >= 41) loop.quit();
  };
  timer.SetInterval(2);
  clock.start();
  timer.SetEnabled(true);
  loop.exec();
  timer.SetEnabled(false);
  ASSERT_GE(lateUs.size(), 41u);
  lateUs.erase(lateUs.begin());
  std::sort(lateUs.begin(), lateUs.end());
  EXPECT_GE(lateUs.front(), 0);
  EXPECT_LT(lateUs[lateUs.size() / 2], 300);  // a millisecond's rounding would show as 400+
}

TEST(Guard, AnEscapingExceptionIsReportedAndEndsOnlyTheHandler) {
  ReportSink sink;
  EXPECT_FALSE(Guard([] { throw Exception(QStringLiteral("端口错误")); }));
  EXPECT_FALSE(Guard([] { throw std::runtime_error("plain"); }));
  EXPECT_FALSE(Guard([] { throw 42; }));
  EXPECT_TRUE(Guard([] {}));
  ASSERT_EQ(sink.messages.size(), 3);
  EXPECT_EQ(sink.messages[0], QStringLiteral("端口错误"));
  EXPECT_EQ(sink.messages[1], QStringLiteral("plain"));

  TTimer timer;
  int ticks = 0;
  timer.OnTimer = [&](QObject*) {
    ++ticks;
    throw Exception(QStringLiteral("tick failed"));
  };
  timer.SetInterval(10);
  ASSERT_TRUE(ProcessUntil([&] { return ticks >= 2; }));
  timer.SetEnabled(false);
  EXPECT_TRUE(sink.messages.contains(QStringLiteral("tick failed")));
}

TEST(Synchronize, RunsOnTheGuiThreadAndCarriesTheExceptionBack) {
  std::atomic<bool> ranOnGui{false};
  std::atomic<bool> caught{false};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    Synchronize([&] { ranOnGui = IsGuiThread(); });
    try {
      Synchronize([] { throw Exception(QStringLiteral("from the GUI thread")); });
    } catch (const Exception& e) {
      caught = e.Message() == QStringLiteral("from the GUI thread");
    }
    finished = true;
  });
  EXPECT_TRUE(ProcessUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_TRUE(ranOnGui);
  EXPECT_TRUE(caught);
}

TEST(Synchronize, AWaitingGuiThreadServesTheWorkerItWaitsFor) {
  // The worker needs the GUI thread to finish; the GUI thread waits for the worker without
  // returning to its event loop.
  std::atomic<bool> done{false};
  int served = 0;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) Synchronize([&] { ++served; });
    done = true;
    WakeSynchronizeWaiters();
  });
  WaitServingSynchronize([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(served, 5);
}

TEST(Fonts, TheProgramsFamilyNamesFindGlyphs) {
  for (const QString& family : ProgramFontFamilies()) {
    QFont font(family);
    font.setPixelSize(16);
    QFontInfo info(font);
    EXPECT_FALSE(info.family().isEmpty()) << family.toStdString();
  }
  QFont song(QStringLiteral("宋体"));
  EXPECT_TRUE(QFontDatabase::families(QFontDatabase::SimplifiedChinese)
                  .contains(QFontInfo(song).family()))
      << QFontInfo(song).family().toStdString();
  QFont courier(QStringLiteral("Courier New"));
  EXPECT_TRUE(QFontInfo(courier).fixedPitch());
}

TEST(Canvas, LinesLeaveOutTheirEndPoint) {
  QImage image(8, 8, QImage::Format_RGB32);
  auto pixels = [&](QPoint from, QPoint to) {
    image.fill(Qt::white);
    QPainter painter(&image);
    GdiLine(painter, from, to, Qt::black);
    painter.end();
    QList<QPoint> out;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        if (image.pixelColor(x, y) == Qt::black) out << QPoint(x, y);
    return out;
  };
  EXPECT_EQ(pixels({0, 0}, {5, 0}), (QList<QPoint>{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
  EXPECT_EQ(pixels({3, 3}, {0, 0}), (QList<QPoint>{{1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(pixels({0, 0}, {4, 2}).size(), 4);
  EXPECT_TRUE(pixels({2, 2}, {2, 2}).isEmpty());
}
