#include "skin/button.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include "skin_test_util.h"
#include "wait.h"

using namespace skin;
using skin_test::Form;
using skin_test::Grab;
using skin_test::Pixel;
using skin_test::PixelsOf;
using testing_support::ProcessFor;

namespace {

TsuiButton* MakeButton(QWidget* parent, TsuiUIStyle style, QRect geometry, const QString& caption) {
  auto* button = new TsuiButton(parent);
  button->SetUIStyle(style);
  button->setGeometry(geometry);
  button->SetCaption(caption);
  return button;
}

}  // namespace

TEST(ButtonRepeat, HeldButtonRepeatsEveryPeriodAndClicksOnceOnRelease) {
  Form form;
  TsuiButton* button = MakeButton(form.get(), BlueGlass, {24, 24, 97, 41}, "开始");
  ASSERT_TRUE(form.ShowActive());
  int repeats = 0, clicks = 0;
  button->OnMouseContinuouslyDown = [&](QObject*) { ++repeats; };
  button->OnClick = [&](QObject*) { ++clicks; };
  for (int interval : {100, 0, -5}) {
    repeats = clicks = 0;
    button->SetMouseContinuouslyDownInterval(interval);
    QElapsedTimer held;
    held.start();
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_TRUE(button->Pressed());
    EXPECT_TRUE(button->hasFocus());  // the press takes the focus
    ProcessFor(350);
    const qint64 heldFor = held.elapsed();
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 20));
    // A stalled machine may hold longer than asked; the count follows the time held.
    EXPECT_EQ(repeats, interval <= 0 ? 0 : heldFor < 400 ? 3 : int(heldFor / 100)) << interval;
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button->HasRepeatTimer());
  }
}

// Through the window, as the platform delivers it: Qt holds enter and leave back while a mouse
// button is down, yet the face, the repeat and OnMouseExit follow the pointer at once.
TEST(ButtonMouse, MovingOffAHeldButtonStopsItsRepeatAndReleasingThereDoesNotClick) {
  Form form;
  TsuiButton* button = MakeButton(form.get(), BlueGlass, {24, 24, 97, 41}, "停止");
  ASSERT_TRUE(form.ShowActive());
  int repeats = 0, clicks = 0, enters = 0, exits = 0;
  button->OnMouseContinuouslyDown = [&](QObject*) { ++repeats; };
  button->OnClick = [&](QObject*) { ++clicks; };
  button->OnMouseEnter = [&](QObject*) { ++enters; };
  button->OnMouseExit = [&](QObject*) { ++exits; };
  button->setFocus();  // as the press will
  const QImage normal = Grab(button);
  QWindow* window = form->windowHandle();
  const QPoint on(64, 44), off(300, 200);
  QTest::mouseMove(window, on);
  const QImage hot = Grab(button);
  QImage frame;  // the faces come from frames 2 (mouse over) and 3 (pressed) of the skin
  LoadStyleBitmapFrame(BlueGlass, 1, &frame, 2, 3);
  EXPECT_EQ(hot.pixel(20, 10), frame.pixel(20, 10));
  QTest::mousePress(window, Qt::LeftButton, {}, on);
  EXPECT_TRUE(button->HasRepeatTimer());
  LoadStyleBitmapFrame(BlueGlass, 1, &frame, 3, 3);
  EXPECT_EQ(Grab(button).pixel(20, 10), frame.pixel(20, 10));
  QTest::mouseMove(window, off);
  EXPECT_FALSE(button->HasRepeatTimer());
  EXPECT_FALSE(button->Pressed());
  EXPECT_FALSE(button->MouseInside());
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(Grab(button), normal);
  const int atLeave = repeats;
  ProcessFor(250);
  EXPECT_EQ(repeats, atLeave);
  QTest::mouseRelease(window, Qt::LeftButton, {}, off);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(exits, 1);  // Qt's late leave is the same one
  // Off and on again while held: back inside, a release clicks; the repeat stays stopped.
  QTest::mouseMove(window, on);
  QTest::mousePress(window, Qt::LeftButton, {}, on);
  QTest::mouseMove(window, off);
  QTest::mouseMove(window, on);
  EXPECT_TRUE(button->MouseInside());
  EXPECT_FALSE(button->HasRepeatTimer());
  QTest::mouseRelease(window, Qt::LeftButton, {}, on);
  EXPECT_EQ(clicks, 1);
  QTest::mouseMove(window, off);
  EXPECT_EQ(enters, 3);
  EXPECT_EQ(exits, 3);
}

// Enter goes to the focused skinned button, else to the default one; Esc to the cancel button;
// neither with Shift, Ctrl or Alt held.
TEST(ButtonKeys, EnterAndEscGoToTheFocusedDefaultOrCancelButtonWithoutModifiers) {
  Form form;
  TsuiButton* start = MakeButton(form.get(), BlueGlass, {140, 24, 97, 41}, "开始");
  TsuiButton* settings = MakeButton(form.get(), BlueGlass, {24, 24, 97, 41}, "串口设置");
  TsuiButton* cancel = MakeButton(form.get(), DeepBlue, {260, 24, 80, 27}, "取消");
  auto* edit = new QLineEdit(form.get());
  edit->setGeometry(10, 100, 100, 24);
  start->SetDefault(true);
  cancel->SetCancel(true);
  ASSERT_TRUE(form.ShowActive());
  int startClicks = 0, settingsClicks = 0, cancelClicks = 0;
  start->OnClick = [&](QObject*) { ++startClicks; };
  settings->OnClick = [&](QObject*) { ++settingsClicks; };
  cancel->OnClick = [&](QObject*) { ++cancelClicks; };

  settings->setFocus();
  EXPECT_TRUE(settings->IsDefaultNow());
  EXPECT_FALSE(start->IsDefaultNow());
  QTest::keyClick(settings, Qt::Key_Return);
  EXPECT_EQ(settingsClicks, 1);
  EXPECT_EQ(startClicks, 0);

  edit->setFocus();
  EXPECT_TRUE(start->IsDefaultNow());
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(startClicks, 2);
  for (Qt::KeyboardModifier held : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
    QTest::keyClick(edit, Qt::Key_Return, held);
    QTest::keyClick(edit, Qt::Key_Escape, held);
  }
  EXPECT_EQ(startClicks, 2);
  EXPECT_EQ(cancelClicks, 0);
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(cancelClicks, 1);
  cancel->setFocus();
  QTest::keyClick(cancel, Qt::Key_Escape);
  EXPECT_EQ(cancelClicks, 2);
  EXPECT_EQ(settingsClicks, 1);
}

TEST(ButtonKeys, SpaceClicksOnReleaseAndAcceleratorsClick) {
  Form form;
  TsuiButton* ok = MakeButton(form.get(), WinXP, {24, 24, 80, 27}, "&Send");
  TsuiButton* other = MakeButton(form.get(), WinXP, {24, 60, 80, 27}, "Other");
  ASSERT_TRUE(form.ShowActive());
  int clicks = 0;
  ok->OnClick = [&](QObject*) { ++clicks; };
  ok->setFocus();
  QTest::keyPress(ok, Qt::Key_Space);
  EXPECT_TRUE(ok->Pressed());
  EXPECT_EQ(clicks, 0);
  QTest::keyRelease(ok, Qt::Key_Space);
  EXPECT_EQ(clicks, 1);
  other->setFocus();
  QTest::keyClick(other, Qt::Key_S, Qt::NoModifier);
  EXPECT_EQ(clicks, 2);
  ok->SetEnabled(false);
  QTest::keyClick(other, Qt::Key_S, Qt::NoModifier);
  EXPECT_EQ(clicks, 2);
  // Keys no button takes reach the focused button's own handlers.
  QString keys;
  other->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
    keys += QString::number(key);
  };
  other->OnKeyPress = [&](QObject*, QChar& key) { keys += key; };
  QTest::keyClick(other, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(other, Qt::Key_X, Qt::NoModifier);
  EXPECT_EQ(keys, QString::number(Qt::Key_Control) + QString::number(Qt::Key_Return) +
                      QString::number(Qt::Key_X) + "x");
  EXPECT_EQ(clicks, 2);
}

TEST(ButtonClick, ModalResultEndsTheDialogAfterTheClickHandler) {
  QDialog dialog;
  auto* ok = new TsuiButton(&dialog);
  ok->SetModalResult(QDialog::Accepted);
  bool handled = false;
  ok->OnClick = [&](QObject*) { handled = dialog.isVisible(); };
  dialog.show();
  ok->Click();
  EXPECT_TRUE(handled);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  TsuiButton loose;
  loose.SetModalResult(5);
  loose.Click();  // no form: nothing to hand the result to
}

TEST(ButtonStyle, DeepBlueAfterBlueGlassTurnsTransparentOffAndPaintsItsOwnCorners) {
  Form form(QColor(200, 100, 50));
  TsuiButton* button = MakeButton(form.get(), BlueGlass, {24, 24, 97, 41}, "开始");
  EXPECT_TRUE(button->Transparent());
  EXPECT_TRUE(button->SkinTransparent());
  EXPECT_EQ(Pixel(Grab(button), 0, 0), QColor(200, 100, 50));  // magenta shows the form
  button->SetUIStyle(DeepBlue);
  EXPECT_FALSE(button->Transparent());
  EXPECT_FALSE(button->SkinTransparent());
  const QImage face = Grab(button);
  EXPECT_EQ(Pixel(face, 0, 0), QColor(232, 232, 232));  // the opaque skin's corner
  button->SetUIStyle(MacOS);
  EXPECT_TRUE(button->Transparent());
  button->SetUIStyle(Protein);
  EXPECT_FALSE(button->Transparent());
  button->SetTransparent(true);
  button->SetUIStyle(Protein);  // the same style again is applied again
  EXPECT_FALSE(button->Transparent());
}

TEST(ButtonStyle, ThemeFileStyleWithoutAThemeDrawsExactlyLikeDeepBlue) {
  Form form;
  TsuiButton* deep = MakeButton(form.get(), DeepBlue, {10, 10, 97, 41}, "发送");
  TsuiButton* themed = MakeButton(form.get(), FromThemeFile, {10, 60, 97, 41}, "发送");
  EXPECT_FALSE(themed->Transparent());
  EXPECT_EQ(Grab(themed), Grab(deep));
}

TEST(ButtonStyle, AutoSizeTakesOneSkinFrame) {
  const std::pair<TsuiUIStyle, QSize> sizes[] = {{BlueGlass, {77, 27}}, {DeepBlue, {74, 21}},
                                                 {Protein, {74, 21}},   {MacOS, {84, 23}},
                                                 {WinXP, {18, 21}},     {FromThemeFile, {24, 21}}};
  for (const auto& [style, size] : sizes) {
    TsuiButton button;
    button.SetUIStyle(style);
    button.SetAutoSize(true);
    EXPECT_EQ(button.size(), size) << int(style);
  }
}

TEST(ButtonPaint, CaptionMovesWhenPressedAndIsShadowedGreyWhenDisabled) {
  for (bool glyph : {false, true}) {
    Form form;
    TsuiButton* button = MakeButton(form.get(), DeepBlue, {10, 10, 97, 41}, "");
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(21);
    font.setStyleStrategy(QFont::NoAntialias);  // whole pixels only: the sets below are exact
    button->setFont(font);
    QPalette red = button->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    button->setPalette(red);
    const QImage blank = Grab(button);
    button->SetCaption("开始");
    if (glyph) {
      QImage tiny(2, 2, QImage::Format_RGB32);
      tiny.fill(qRgb(0, 255, 0));  // all mask: the glyph only moves the caption
      button->SetGlyph(tiny);
    }
    const QSet<QPoint> text = PixelsOf(Grab(button), QColor(255, 0, 0));
    ASSERT_GT(text.size(), 20);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(2, 2));
    QSet<QPoint> shifted;
    for (const QPoint& p : text) shifted << p + QPoint(1, 1);
    EXPECT_EQ(PixelsOf(Grab(button), QColor(255, 0, 0)), shifted) << glyph;
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 2));
    button->SetEnabled(false);
    const QImage disabled = Grab(button);
    EXPECT_EQ(disabled.pixel(0, 0), blank.pixel(0, 0));
    // The skin has greys and whites of its own: only the caption's box counts.
    const QRect box = QPolygon(text.values()).boundingRect().adjusted(0, 0, 1, 1);
    EXPECT_EQ(PixelsOf(disabled, QColor(128, 128, 128), box), text) << glyph;
    EXPECT_EQ(PixelsOf(disabled, QColor(255, 255, 255), box), shifted - text) << glyph;
  }
}

TEST(ButtonPaint, FocusIsABoldCaptionForBlueGlassAndADottedRectangleForDeepBlue) {
  Form form;
  TsuiButton* glass = MakeButton(form.get(), BlueGlass, {10, 10, 97, 41}, "开始");
  TsuiButton* deep = MakeButton(form.get(), DeepBlue, {10, 60, 97, 41}, "");
  ASSERT_TRUE(form.ShowActive());
  deep->setFocus();
  const QImage glassIdle = Grab(glass);
  glass->setFocus();
  const QImage glassFocused = Grab(glass), deepIdle = Grab(deep);
  EXPECT_NE(glassFocused, glassIdle);  // the bold caption
  for (int x = 0; x < 97; ++x) EXPECT_EQ(glassFocused.pixel(x, 2), glassIdle.pixel(x, 2)) << x;
  deep->setFocus();
  const QImage deepFocused = Grab(deep);
  int changed = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 97; ++x) {
      if (deepFocused.pixel(x, y) == deepIdle.pixel(x, y)) continue;
      ++changed;
      const bool onRect =
          ((x == 2 || x == 94) && y >= 2 && y <= 38) || ((y == 2 || y == 38) && x >= 2 && x <= 94);
      EXPECT_TRUE(onRect) << x << "," << y;
    }
  EXPECT_GT(changed, 50);
}

TEST(ButtonPaint, GlyphFramesWhenEnabledDisabledAndPressed) {
  Form form;
  TsuiButton* button = MakeButton(form.get(), DeepBlue, {10, 10, 97, 41}, "");
  QImage glyph(32, 16, QImage::Format_RGB32);
  glyph.fill(qRgb(0, 255, 0));  // the mask colour (top-left pixel)
  for (int y = 4; y < 12; ++y)
    for (int x = 4; x < 12; ++x) {
      glyph.setPixel(x, y, qRgb(255, 0, 0));
      glyph.setPixel(16 + x, y, qRgb(0, 0, 255));
    }
  const QImage face = Grab(button);
  button->SetGlyph(glyph);
  // Glyph left of an empty caption: x = (97 - 16 - 0 - 4) / 2 = 38, y = (41 - 16) / 2 = 12.
  const QImage drawn = Grab(button);
  EXPECT_EQ(Pixel(drawn, 38 + 4, 12 + 4), QColor(255, 0, 0));
  EXPECT_EQ(Pixel(drawn, 38 + 11, 12 + 11), QColor(255, 0, 0));
  EXPECT_EQ(drawn.pixel(38, 12), face.pixel(38, 12));            // masked
  EXPECT_EQ(drawn.pixel(38 + 20, 16), face.pixel(38 + 20, 16));  // one 16 wide frame
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_EQ(Pixel(Grab(button), 38 + 12, 12 + 12), QColor(255, 0, 0));
  EXPECT_NE(Pixel(Grab(button), 38 + 4, 12 + 4), QColor(255, 0, 0));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 2));
  button->SetEnabled(false);
  EXPECT_EQ(Pixel(Grab(button), 38 + 4, 12 + 4), QColor(0, 0, 255));
  button->SetGlyph(glyph.copy(0, 0, 16, 16));  // one frame: greyed when disabled
  EXPECT_EQ(Pixel(Grab(button), 38 + 4, 12 + 4), QColor(171, 171, 171));
  button->SetEnabled(true);
  EXPECT_EQ(Pixel(Grab(button), 38 + 4, 12 + 4), QColor(255, 0, 0));
  EXPECT_EQ(Grab(button).pixel(38, 12), face.pixel(38, 12));
}

TEST(ButtonPaint, ASkinThatCannotBeLoadedGivesABlankFace) {
  Form form;
  TsuiButton* button = MakeButton(form.get(), TsuiUIStyle(9), {10, 10, 97, 41}, "");
  const QImage face = Grab(button);
  EXPECT_EQ(Pixel(face, 0, 0), QColor(Qt::white));
  EXPECT_EQ(Pixel(face, 50, 20), QColor(Qt::white));
}
