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

TEST(LabelAutoSize, TakesExactlyTheCaptionsExtent) {
  TiLabel label;
  EXPECT_EQ(label.size(), QSize(28, 13));
  EXPECT_EQ(label.focusPolicy(), Qt::NoFocus);
  UseCaptionFont(label);
  label.SetCaption(QStringLiteral("地址"));
  const QFontMetrics metrics(label.Font()->ToQFont());
  EXPECT_EQ(label.size(),
            QSize(metrics.horizontalAdvance(QStringLiteral("地址")), metrics.height()));

  label.SetShadowXOffset(2);
  label.SetShadowYOffset(2);
  const QSize plain = label.size();
  label.SetShadowShow(true);
  EXPECT_EQ(label.size(), plain + QSize(2, 2));
  label.SetShadowXOffset(-2);
  EXPECT_EQ(label.size(), plain + QSize(2, 2));

  label.SetShadowShow(false);
  label.SetBorderStyle(ilbsLowered);
  label.SetOuterMarginLeft(3);
  label.SetOuterMarginBottom(1);
  EXPECT_EQ(label.size(), plain + QSize(4 + 3, 4 + 1));
  label.SetAutoSize(false);
  label.SetCaption(QStringLiteral("串口数据监视"));
  EXPECT_EQ(label.size(), plain + QSize(7, 5));
}

TEST(LabelAutoSize, WordWrapKeepsTheWidthAndGrowsInLines) {
  TiLabel label;
  UseCaptionFont(label, QStringLiteral("MS Sans Serif"));
  label.SetCaption(QStringLiteral("one two"));
  const int lineHeight = label.height();
  label.SetAutoSize(false);
  label.SetWidth(40);
  label.SetWordWrap(true);
  label.SetCaption(QStringLiteral("one two three four"));
  label.SetAutoSize(true);
  EXPECT_EQ(label.width(), 40);
  EXPECT_GE(label.height(), 3 * lineHeight);
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
  // With a focus control only an underline is added to the plain "B".
  int differing = 0;
  QSet<int> rows;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x)
      if (underlined.pixel(x, y) != plainB.pixel(x, y)) {
        ++differing;
        rows << y;
      }
  EXPECT_GE(differing, 4);
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
