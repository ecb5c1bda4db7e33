#include "instruments/label.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>
#include <memory>

#include "pixels.h"
#include "wait.h"

using namespace instruments;

namespace {

void UseCaptionFont(TiLabel& label, const QString& family = QStringLiteral("宋体")) {
  label.Font()->SetName(family);
  label.Font()->SetHeight(-16);
  label.Font()->SetStyle({TFontStyle::fsBold});
}

// The bounding box of the pixels of one colour.
QRect BoxOf(const QImage& image, const QColor& color) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) | 0xFF000000u) == pixels::Rgb(color)) box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace

// Auto-size: the caption's text extent plus the shadow's offsets, twice the border width and
// the margins (left, top, right, bottom).
TEST(LabelAutoSize, TakesExactlyTheCaptionsExtent) {
  struct Row {
    bool shadow;
    int dx, dy;
    TiLabelBorderStyle border;
    int margins[4];
    QSize extra;
  };
  const Row rows[] = {{false, 2, 2, ilbsNone, {0, 0, 0, 0}, {0, 0}},
                      {true, 2, 2, ilbsNone, {0, 0, 0, 0}, {2, 2}},
                      {true, -2, 3, ilbsNone, {0, 0, 0, 0}, {2, 3}},
                      {true, 1, -4, ilbsSingle, {0, 0, 0, 0}, {3, 6}},
                      {false, 0, 0, ilbsLowered, {3, 0, 0, 1}, {7, 5}},
                      {false, 0, 0, ilbsRaised, {0, 5, 2, 0}, {6, 9}}};
  for (const Row& row : rows) {
    TiLabel label;
    EXPECT_EQ(label.size(), QSize(28, 13));
    EXPECT_EQ(label.focusPolicy(), Qt::NoFocus);
    label.SetShadowXOffset(row.dx);
    label.SetShadowYOffset(row.dy);
    label.SetShadowShow(row.shadow);
    label.SetBorderStyle(row.border);
    label.SetOuterMarginLeft(row.margins[0]);
    label.SetOuterMarginTop(row.margins[1]);
    label.SetOuterMarginRight(row.margins[2]);
    label.SetOuterMarginBottom(row.margins[3]);
    label.SetCaption(QStringLiteral("地址"));
    UseCaptionFont(label);  // a font change sizes it again
    const QFontMetrics metrics(label.Font()->ToQFont());
    const QSize text(metrics.horizontalAdvance(QStringLiteral("地址")), metrics.height());
    EXPECT_EQ(label.size(), text + row.extra) << row.extra.width() << "x" << row.extra.height();
    label.SetAutoSize(false);
    label.SetCaption(QStringLiteral("串口数据监视"));
    EXPECT_EQ(label.size(), text + row.extra);
  }
}

// With word wrap the width stays and the height takes the wrapped lines.
TEST(LabelAutoSize, WordWrapKeepsTheWidthAndGrowsInLines) {
  TiLabel label;
  UseCaptionFont(label, QStringLiteral("MS Sans Serif"));
  const int line = label.height();
  label.SetAutoSize(false);
  label.SetWidth(40);
  label.SetWordWrap(true);
  label.SetCaption(QStringLiteral("one two three four"));
  label.SetAutoSize(true);
  const QFontMetrics metrics(label.Font()->ToQFont());
  const int lines = metrics.boundingRect(QRect(0, 0, 40, 1000), Qt::TextWordWrap, label.Caption())
                        .height() / metrics.height();
  EXPECT_GE(lines, 3);
  EXPECT_EQ(label.size(), QSize(40, lines * line));
}

TEST(LabelDrawing, ShadowLiesAtItsOffsetFromTheCaption) {
  for (int dx : {2, -2}) {
    TiLabel label;
    UseCaptionFont(label, QStringLiteral("MS Sans Serif"));
    label.SetBackGroundColor(framework::clWhite);
    label.SetShadowColor(framework::clRed);
    label.SetShadowXOffset(dx);
    label.SetShadowYOffset(2);
    label.SetShadowShow(true);
    label.SetCaption(QStringLiteral("IL"));
    const QImage image = pixels::Render(label);
    const QRect text = BoxOf(image, Qt::black);
    const QRect shadow = BoxOf(image, Qt::red);
    ASSERT_FALSE(text.isEmpty());
    ASSERT_FALSE(shadow.isEmpty());
    EXPECT_EQ(shadow.bottom() - text.bottom(), 2);
    if (dx > 0) {
      EXPECT_EQ(shadow.right() - text.right(), 2);
    } else {
      EXPECT_EQ(shadow.left() - text.left(), -2);
    }
  }
}

TEST(LabelDrawing, BordersFrameTheWholeLabel) {
  TiLabel label;
  label.SetAutoSize(false);
  label.SetBounds(0, 0, 60, 20);
  label.SetBorderStyle(ilbsSingle);
  QImage image = pixels::Render(label);
  const QColor frame = framework::ColorToQColor(framework::clWindowFrame);
  EXPECT_EQ(pixels::Count(image, QRect(0, 0, 60, 1), frame), 60);
  EXPECT_EQ(pixels::Count(image, QRect(59, 0, 1, 20), frame), 20);
  EXPECT_EQ(pixels::Count(image, QRect(0, 19, 60, 1), frame), 60);
  label.SetBorderStyle(ilbsRaised);
  image = pixels::Render(label);
  EXPECT_EQ(image.pixel(0, 0), framework::ColorToQColor(framework::cl3DLight).rgb());
  EXPECT_EQ(image.pixel(1, 1), framework::ColorToQColor(framework::clBtnHighlight).rgb());
  EXPECT_EQ(image.pixel(59, 19), framework::ColorToQColor(framework::cl3DDkShadow).rgb());
}

TEST(LabelAccelerator, AmpersandIsTextUntilThereIsAFocusControl) {
  QWidget window;
  auto label = [&](const QString& caption, QWidget* focus) {
    auto l = std::make_unique<TiLabel>(&window);
    UseCaptionFont(*l, QStringLiteral("MS Sans Serif"));
    l->SetAutoSize(false);
    l->SetBounds(0, 0, 60, 20);
    l->SetCaption(caption);
    l->SetFocusControl(focus);
    return pixels::Render(*l);
  };
  QWidget target(&window);
  const QImage plainB = label(QStringLiteral("B"), nullptr);
  const QImage ampersand = label(QStringLiteral("&B"), nullptr);
  const QImage underlined = label(QStringLiteral("&B"), &target);
  EXPECT_NE(ampersand, plainB);
  // With a focus control only an underline is added to the plain "B": one or two rows.
  QSet<int> rows;
  for (int y = 0; y < 20; ++y)
    if (underlined.copy(0, y, 60, 1) != plainB.copy(0, y, 60, 1)) rows << y;
  EXPECT_GE(rows.size(), 1);
  EXPECT_LE(rows.size(), 2);
}

TEST(LabelAccelerator, FocusesTheFocusControlAndForgetsItWhenDestroyed) {
  QWidget window;
  TiLabel label(&window);
  label.SetCaption(QStringLiteral("&Address"));
  auto* target = new QWidget(&window);
  target->setFocusPolicy(Qt::StrongFocus);
  target->move(0, 30);
  QWidget other(&window);
  other.setFocusPolicy(Qt::StrongFocus);
  label.SetFocusControl(target);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  other.setFocus();
  QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
  EXPECT_TRUE(target->hasFocus());

  delete target;
  EXPECT_EQ(label.FocusControl(), nullptr);
  QTest::keyClick(&window, Qt::Key_A, Qt::AltModifier);
  label.SetCaption(QStringLiteral("&Other"));
  EXPECT_FALSE(pixels::Render(label).isNull());
}

TEST(LabelCaption, ChangesCanBeRefused) {
  TiLabel label;
  label.OnBeforePropertyChange = [](QObject*, const QString& name, bool& allow) {
    allow = name != QLatin1String("Caption");
  };
  label.SetCaption(QStringLiteral("new"));
  EXPECT_EQ(label.Caption(), QStringLiteral("iLabel"));
}
