#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPainter>
#include <QMetaProperty>
#include <QTest>
#include <memory>
#include <stdexcept>

#include "framework/exception.h"
#include "instruments/integer_output.h"
#include "instruments/label.h"
#include "instruments/seven_segment_display.h"
#include "instruments/update_object.h"
#include "pixels.h"
#include "wait.h"

using namespace instruments;
using testing_support::ProcessFor;
using testing_support::ProcessUntil;

namespace {

// A control that paints its background, or whatever the test asks, and records its input.
class Probe : public TiCustomComponent {
 public:
  explicit Probe(QWidget* parent = nullptr) : TiCustomComponent(parent) { resize(40, 30); }
  std::function<void(QPainter&)> draw;
  std::function<void()> onKey;
  QList<bool> userActionSeen;

 protected:
  void DrawContents(QPainter& canvas) override {
    if (draw)
      draw(canvas);
    else
      DrawBackGround(canvas, BackGroundColor());
  }
  void HandleKeyPress(char16_t&) override {
    userActionSeen << UserAction();
    if (onKey) onKey();
  }
  void HandleMouseDown(TMouseButton, TShiftState, int, int) override {
    userActionSeen << UserAction();
    throw std::runtime_error("mouse");
  }
};

// Counts paints of a shown control and what each one showed.
struct PaintLog {
  QList<int> values;
  explicit PaintLog(TiSevenSegmentInteger& d) {
    d.OnAfterPaint = [this, &d](QObject*, QPainter&) { values << d.Value(); };
  }
};

}  // namespace

TEST(ControlPaint, AFailingDrawingShowsItsMessageInWhiteOnBlack) {
  pixels::ReportSink sink;
  Probe probe;
  probe.resize(120, 40);
  probe.SetBackGroundColor(framework::clYellow);
  probe.draw = [&](QPainter& canvas) {
    probe.DrawBackGround(canvas, framework::clYellow);
    throw framework::Exception("Drawing failed");
  };
  QImage image = pixels::Render(probe);
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(255, 255, 0)), 0);
  EXPECT_EQ(image.pixel(119, 39) | 0xFF000000u, 0xFF000000u);
  EXPECT_GT(pixels::CountBright(image, QRect(0, 0, 120, 20)), 20);
  EXPECT_EQ(pixels::CountBright(image, QRect(0, 20, 120, 20)), 0);
  EXPECT_TRUE(sink.messages.isEmpty());
  // The program goes on: the next drawing that works is shown.
  probe.draw = nullptr;
  image = pixels::Render(probe);
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(255, 255, 0)), 120 * 40);
  QImage picture(1, 1, QImage::Format_RGB32);  // a background picture is stretched over it all
  picture.fill(Qt::red);
  probe.SetBackGroundPicture(picture);
  image = pixels::Render(probe);
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(255, 0, 0)), 120 * 40);
}

TEST(ControlRepaint, ABurstWithinOneFrameGivesOnePaintNowAndOneFromTheSweeper) {
  TiSevenSegmentInteger display;
  display.SetAutoFrameRate(true);
  ASSERT_EQ(display.UpdateFrameRate(), 60);
  display.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&display));
  ProcessFor(60);
  PaintLog log(display);
  QElapsedTimer clock;
  clock.start();
  for (int value = 1; value <= 1000; ++value) display.SetValue(value);
  ProcessFor(100);
  EXPECT_EQ(log.values.size(), 1);
  EXPECT_TRUE(display.RepaintPending());
  ASSERT_TRUE(ProcessUntil([&] { return log.values.size() >= 2; }, 1500));
  EXPECT_GT(clock.elapsed(), 100);  // not a frame later: at the sweeper's tick
  ProcessFor(50);
  EXPECT_EQ(log.values, QList<int>({1000, 1000}));
  EXPECT_FALSE(display.RepaintPending());
}

TEST(ControlRepaint, NoLimitRepaintsEveryChangeAndABatchWaitsForItsEnd) {
  TiSevenSegmentInteger display;
  display.SetAutoFrameRate(true);
  display.SetUpdateFrameRate(0);
  display.SetValue(1);
  display.SetValue(2);
  EXPECT_FALSE(display.RepaintPending());
  display.SetAutoFrameRate(false);
  display.BeginUpdate();
  display.BeginUpdate();  // not counted: one end ends both
  display.SetValue(3);
  EXPECT_TRUE(display.RepaintPending());
  display.EndUpdate();
  EXPECT_FALSE(display.Updating());
  EXPECT_FALSE(display.RepaintPending());
  display.BeginUpdate();
  display.RefreshAll();
  EXPECT_TRUE(display.RepaintPending());
}

// Every stored property of every control: writing the value it has changes nothing, a new
// value is kept and asks for a repaint, except for the properties that are only stored.
TEST(ControlRepaint, EverySetterRepaintsOnChangeOnly) {
  const QSet<QString> storeOnly = {"Tag", "Hint", "ShowHint", "AutoSelect", "AcceptOnLostFocus",
                                   "TabOrder", "TabStop", "ValueMax", "UndoOnError",
                                   "BeepOnError", "OptionSaveAllProperties"};
  const QSet<QString> skipped = {"Left", "Top", "Width", "Height", "Visible"};
  const std::function<TiComponent*()> makers[] = {
      [] { return new TiSevenSegmentCharacter; }, [] { return new TiSevenSegmentInteger; },
      [] { return new TiIntegerOutput; }, [] { return new TiLabel; }};
  for (const auto& make : makers) {
    const std::unique_ptr<TiComponent> probe(make());
    const QMetaObject* meta = probe->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
      const QMetaProperty p = meta->property(i);
      const QString name = QLatin1String(p.name());
      if (i < QWidget::staticMetaObject.propertyCount() || skipped.contains(name) ||
          (p.metaType().flags() & QMetaType::PointerToQObject))
        continue;
      SCOPED_TRACE(QStringLiteral("%1.%2").arg(meta->className(), name).toStdString());
      const std::unique_ptr<TiComponent> c(make());
      c->BeginUpdate();
      const QVariant old = p.read(c.get());
      ASSERT_TRUE(p.write(c.get(), old));
      EXPECT_FALSE(c->RepaintPending());
      const bool text = old.typeId() == QMetaType::QString;
      const int next = p.isEnumType() ? (old.toInt() + 1) % p.enumerator().keyCount()
                                      : old.typeId() == QMetaType::Bool ? !old.toBool()
                                                                        : old.toInt() + 1;
      QVariant other = text ? QVariant(old.toString() + QLatin1Char('x')) : QVariant(next);
      if (old.typeId() == QMetaType::Char) other = QVariant::fromValue(char(next));
      ASSERT_TRUE(p.write(c.get(), other));
      const QVariant now = p.read(c.get());
      EXPECT_EQ(text ? now.toString() : QString::number(now.toInt()),
                text ? other.toString() : QString::number(next));
      EXPECT_EQ(c->RepaintPending(), !storeOnly.contains(name));
    }
  }
}

TEST(ControlRepaint, TheSweeperRunsWhileControlsExist) {
  TiUpdateObject& sweeper = TiUpdateObject::Instance();
  const int before = sweeper.Count();
  {
    Probe probe;
    EXPECT_EQ(sweeper.Count(), before + 1);
    EXPECT_TRUE(sweeper.TimerEnabled());
  }
  EXPECT_EQ(sweeper.Count(), before);
  EXPECT_EQ(sweeper.TimerEnabled(), before > 0);
}

TEST(ControlBorder, BevelsFollowThePlatformsEdgeRules) {
  using framework::ColorToQColor;
  const QRgb white = ColorToQColor(framework::clBtnHighlight).rgb();
  const QRgb dark = ColorToQColor(framework::cl3DDkShadow).rgb();
  const QRgb light = ColorToQColor(framework::cl3DLight).rgb();
  const QRgb shadow = ColorToQColor(framework::clBtnShadow).rgb();
  const QRgb black = 0xFF000000u;
  // Outer and inner ring, top-left and bottom-right colours; bottom and right own the far
  // corners of each ring.
  struct Case {
    TiBevelStyle style;
    QRgb outerTopLeft, innerTopLeft, innerBottomRight, outerBottomRight;
  };
  for (const Case& c : {Case{ibsRaised, light, white, shadow, dark},
                        Case{ibsLowered, shadow, dark, light, white},
                        Case{ibsNone, black, black, black, black}}) {
    SCOPED_TRACE(int(c.style));
    TiSevenSegmentInteger display;
    display.SetBorderStyle(c.style);
    const QImage image = pixels::Render(display);
    const int r = display.width() - 1, b = display.height() - 1;
    EXPECT_EQ(QList<QRgb>({image.pixel(0, 0), image.pixel(r - 1, 0), image.pixel(0, b - 1)}),
              QList<QRgb>(3, c.outerTopLeft));
    EXPECT_EQ(QList<QRgb>({image.pixel(1, 1), image.pixel(r - 2, 1), image.pixel(1, b - 2)}),
              QList<QRgb>(3, c.innerTopLeft));
    EXPECT_EQ(QList<QRgb>({image.pixel(r - 1, b - 1), image.pixel(r - 1, 1), image.pixel(1, b - 1)}),
              QList<QRgb>(3, c.innerBottomRight));
    EXPECT_EQ(QList<QRgb>({image.pixel(r, b), image.pixel(r, 0), image.pixel(0, b)}),
              QList<QRgb>(3, c.outerBottomRight));
    EXPECT_EQ(image.pixel(2, 2), black);
  }
}

TEST(ControlTransparency, ShowsTheParentAndRetriesWhenCovered) {
  QWidget window;
  window.resize(200, 100);
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(200, 30, 40));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  Probe probe(&window);
  probe.setGeometry(10, 10, 60, 40);
  probe.SetBackGroundColor(framework::clBlue);
  probe.SetTransparent(true);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QImage image = probe.RenderContents();
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(200, 30, 40)), 60 * 40);
  EXPECT_FALSE(probe.RecapturePending());

  // A sibling over one corner: the capture fails, shows the colour and is tried again.
  Probe cover(&window);
  cover.setGeometry(50, 30, 40, 40);
  cover.show();
  probe.RefreshAll();
  ASSERT_TRUE(probe.RecapturePending());
  image = probe.RenderContents();
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(0, 0, 255)), 60 * 40);
  EXPECT_TRUE(probe.RecapturePending());
  cover.hide();
  image = probe.RenderContents();
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(200, 30, 40)), 60 * 40);
  EXPECT_FALSE(probe.RecapturePending());

  probe.SetTransparent(false);
  image = probe.RenderContents();
  EXPECT_EQ(pixels::Count(image, image.rect(), QColor(0, 0, 255)), 60 * 40);
}

TEST(ControlInput, HandlersRunAsUserActionAndTheirErrorsAreDiscarded) {
  pixels::ReportSink sink;
  Probe probe;
  QList<char16_t> pressed;
  probe.OnKeyPress = [&](QObject*, char16_t& key) { pressed << key; };
  probe.onKey = [] { throw std::runtime_error("key"); };
  QTest::keyClick(&probe, Qt::Key_5);
  QTest::keyClick(&probe, Qt::Key_Return);
  QTest::mouseClick(&probe, Qt::LeftButton);
  EXPECT_EQ(pressed, QList<char16_t>({u'5', 13}));
  EXPECT_EQ(probe.userActionSeen, QList<bool>({true, true, true}));
  EXPECT_FALSE(probe.UserAction());
  EXPECT_TRUE(sink.messages.isEmpty());
}

TEST(ControlTimer, StartsWithADelayThenRepeats) {
  Probe probe;
  int ticks = 0;
  probe.OnInternalTimer = [&](QObject*) { ++ticks; };
  probe.TimerStart(0, 0);
  EXPECT_FALSE(probe.TimerIsRunning());
  probe.TimerStart(60, 10);
  EXPECT_TRUE(probe.TimerIsRunning());
  ProcessFor(40);
  EXPECT_EQ(ticks, 0);
  ASSERT_TRUE(ProcessUntil([&] { return ticks >= 3; }, 1000));
  probe.TimerStop();
  EXPECT_FALSE(probe.TimerIsRunning());
  const int stopped = ticks;
  ProcessFor(40);
  EXPECT_EQ(ticks, stopped);
}

TEST(ControlDataLink, InertWithoutItemsAndBoundByNameWithThem) {
  TiSevenSegmentInteger display;
  EXPECT_FALSE(display.OutputToLink("Value", 5));
  QVariant written;
  display.OPCItems().Add({"value", [&](const QVariant& v) {
                            written = v;
                            return true;
                          }});
  EXPECT_TRUE(display.OutputToLink("Value", 5));
  EXPECT_EQ(written.toInt(), 5);
  int arrived = -1;
  display.OnNewOPCData = [&](QObject*, int index) { arrived = index; };
  display.NewLinkData(0, 77);
  EXPECT_EQ(display.Value(), 77);
  EXPECT_EQ(arrived, 0);
  display.NewLinkData(3, 1);  // no such item
  EXPECT_EQ(display.Value(), 77);
}
