#include "skin/group_box.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "skin/button.h"
#include "skin_test_util.h"
#include "wait.h"

using namespace skin;
using skin_test::Form;
using skin_test::Grab;
using skin_test::Pixel;

namespace {

TsuiGroupBox* MakeBox(QWidget* parent, QRect geometry, const QString& caption, int fontPx = 16) {
  auto* box = new TsuiGroupBox(parent);
  QFont font(QStringLiteral("微软雅黑"));
  font.setPixelSize(fontPx);
  font.setBold(true);
  box->setFont(font);
  box->setGeometry(geometry);
  box->SetCaption(caption);
  return box;
}

}  // namespace

// With font height -16 the top line is at y = 9; it leaves a gap for a caption, none without.
TEST(GroupBoxFrame, TopLineSitsBelowHalfTheFontAndLeavesAGapForTheCaption) {
  Form form;
  for (const QString& caption : {QStringLiteral("从机地址1"), QString()}) {
    TsuiGroupBox* box = MakeBox(form.get(), {16, 96, 345, 161}, caption);
    box->SetBorderColor(framework::clRed);
    const int tw = QFontMetrics(box->font()).horizontalAdvance(caption);
    QSet<QPoint> frame;
    for (int x = 0; x < 345; ++x) {
      if (x < 3 || x > tw + 6 || caption.isEmpty()) frame << QPoint(x, 9);
      frame << QPoint(x, 160);
    }
    for (int y = 9; y < 161; ++y) frame << QPoint(0, y) << QPoint(344, y);
    EXPECT_EQ(skin_test::PixelsOf(Grab(box), QColor(255, 0, 0)), frame) << caption.size();
    delete box;
  }
}

TEST(GroupBoxFrame, DisabledBoxGreysOnlyItsCaptionAndItsChildrenKeepTheirLook) {
  Form form;
  TsuiGroupBox* box = MakeBox(form.get(), {16, 96, 345, 161}, "从机地址2未启用");
  TsuiButton* send = new TsuiButton(box);
  send->SetUIStyle(BlueGlass);
  send->setGeometry(280, 16, 57, 41);
  send->SetCaption("发送");
  const QImage enabledButton = Grab(send);
  box->SetEnabled(false);
  const QImage image = Grab(box);
  EXPECT_TRUE(send->isEnabled());
  EXPECT_EQ(Grab(send), enabledButton);
  EXPECT_EQ(Pixel(image, 0, 9), QColor(0, 0, 0));  // frame still in BorderColor
  bool grey = false, black = false;
  for (int y = 0; y < 20; ++y)
    for (int x = 5; x < 60; ++x) {
      grey |= Pixel(image, x, y) == QColor(128, 128, 128);
      black |= Pixel(image, x, y) == QColor(0, 0, 0) && y != 9;
    }
  EXPECT_TRUE(grey);
  EXPECT_FALSE(black);
}

TEST(GroupBoxInput, ADisabledBoxWithholdsMouseAndKeysFromItsChildren) {
  Form form;
  TsuiGroupBox* box = MakeBox(form.get(), {16, 16, 345, 161}, "从机地址1");
  TsuiButton* send = new TsuiButton(box);
  send->setGeometry(280, 16, 57, 41);
  auto* edit = new QLineEdit(box);
  edit->setGeometry(10, 40, 100, 24);
  auto* outside = new QLineEdit(form.get());
  outside->setGeometry(10, 200, 100, 24);
  ASSERT_TRUE(form.ShowActive());
  int clicks = 0;
  send->OnClick = [&](QObject*) { ++clicks; };
  box->SetEnabled(false);
  QWidget* inner = new QWidget(box);  // added later, nested: withheld too
  auto* deep = new TsuiButton(inner);
  deep->OnClick = send->OnClick;
  inner->show();
  for (QWidget* target : {static_cast<QWidget*>(send), static_cast<QWidget*>(deep)})
    QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(send->hasFocus());
  EXPECT_FALSE(deep->CanFocus());
  edit->setFocus();  // only programmatically; typing still reaches nothing
  QTest::keyClicks(edit, "123");
  EXPECT_EQ(edit->text(), QString());
  send->setFocus();
  QTest::keyClick(send, Qt::Key_Space);
  EXPECT_EQ(clicks, 0);
  // Tab passes over the withheld children.
  outside->setFocus();
  QTest::keyClick(outside, Qt::Key_Tab);
  testing_support::ProcessFor(30);
  EXPECT_FALSE(edit->hasFocus());
  EXPECT_FALSE(send->hasFocus());
  inner->setParent(form.get());  // taken out of the box: its input flows again
  inner->show();
  QTest::mouseClick(deep, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks, 1);
  box->SetEnabled(true);
  QTest::mouseClick(send, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks, 2);
  edit->setFocus();
  QTest::keyClicks(edit, "42");
  EXPECT_EQ(edit->text(), "42");
}

TEST(GroupBoxStyle, StyleGoesToDirectSkinnedChildrenOnly) {
  Form form;
  TsuiGroupBox* box = MakeBox(form.get(), {0, 0, 345, 161}, "从机地址1");
  box->SetUIStyle(BlueGlass);
  auto* child = new TsuiButton(box);
  child->SetUIStyle(BlueGlass);
  auto* nested = new TsuiGroupBox(box);
  nested->SetUIStyle(MacOS);
  auto* grandchild = new TsuiButton(nested);
  grandchild->SetUIStyle(BlueGlass);
  auto* plain = new QLineEdit(box);
  box->SetUIStyle(DeepBlue);
  EXPECT_EQ(child->UIStyle(), DeepBlue);
  EXPECT_FALSE(child->Transparent());
  EXPECT_EQ(nested->UIStyle(), DeepBlue);
  // The nested box handed DeepBlue on as well, through its own propagation.
  EXPECT_EQ(grandchild->UIStyle(), DeepBlue);
  EXPECT_EQ(plain->property("UIStyle"), QVariant());
  child->SetTransparent(true);
  box->SetUIStyle(DeepBlue);  // unchanged, still handed on
  EXPECT_FALSE(child->Transparent());
  nested->SetUIStyle(WinXP);
  EXPECT_EQ(grandchild->UIStyle(), WinXP);
  EXPECT_EQ(child->UIStyle(), DeepBlue);
  EXPECT_EQ(nested->BorderColor(), framework::RGBColor(104, 104, 104));
  EXPECT_EQ(nested->palette().color(QPalette::WindowText), QColor(2, 70, 207));
  box->SetUIStyle(MacOS);
  EXPECT_EQ(box->BorderColor(), framework::RGBColor(127, 127, 127));
}

TEST(GroupBoxStyle, DeletingTheThemeSwitchesTheBoxAndItsSkinnedChildrenToDeepBlue) {
  Form form;
  auto* theme = new TsuiFileTheme(form.get());
  TsuiGroupBox* box = MakeBox(form.get(), {0, 0, 345, 161}, "x");
  auto* child = new TsuiButton(box);
  box->SetFileTheme(theme);
  box->SetUIStyle(FromThemeFile);
  EXPECT_EQ(child->FileTheme(), theme);
  EXPECT_EQ(child->UIStyle(), FromThemeFile);
  box->SetUIStyle(BlueGlass);
  box->SetUIStyle(FromThemeFile);
  delete theme;
  EXPECT_EQ(box->FileTheme(), nullptr);
  EXPECT_EQ(box->UIStyle(), DeepBlue);
  EXPECT_EQ(child->FileTheme(), nullptr);
  EXPECT_EQ(child->UIStyle(), DeepBlue);
}

TEST(GroupBoxLayout, AlignedChildrenShareTheAreaBelowTheCaption) {
  Form form;
  TsuiGroupBox* box = MakeBox(form.get(), {0, 0, 345, 161}, "从机地址1");
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* filler = new QWidget(box);
  layout->addWidget(filler);
  box->show();
  layout->activate();
  EXPECT_EQ(filler->geometry(), QRect(QPoint(3, 21), QPoint(345 - 3 - 1, 161 - 3 - 1)));
  QFont bigger = box->font();
  bigger.setPixelSize(20);
  box->setFont(bigger);
  layout->activate();
  EXPECT_EQ(filler->geometry().top(), 25);
}

TEST(GroupBoxCaption, SettingTheCaptionLeavesTheWindowTextAlone) {
  TsuiGroupBox box;
  QSignalSpy titleChanges(&box, &QWidget::windowTitleChanged);
  box.SetCaption("从机地址3");
  EXPECT_EQ(box.Caption(), "从机地址3");
  EXPECT_EQ(box.WindowText(), " ");
  EXPECT_EQ(titleChanges.count(), 0);
  EXPECT_EQ(box.size(), QSize(185, 105));
  EXPECT_TRUE(box.ParentColor());
  EXPECT_FALSE(box.Transparent());
}

namespace {

// Applies stored values the way a form description is read: in property declaration order.
void ApplyStored(QObject* object, const QVariantMap& values) {
  const QMetaObject* meta = object->metaObject();
  for (int i = 0; i < meta->propertyCount(); ++i) {
    const char* name = meta->property(i).name();
    if (values.contains(name)) object->setProperty(name, values[name]);
  }
}

}  // namespace

TEST(StoredValues, ValuesStoredAfterTheStyleWinOverIt) {
  TsuiGroupBox box;
  ApplyStored(&box, {{"BorderColor", int(framework::clRed)},
                     {"UIStyle", QVariant::fromValue(WinXP)},
                     {"Caption", "从机数量："}});
  EXPECT_EQ(box.UIStyle(), WinXP);
  EXPECT_EQ(box.BorderColor(), framework::clRed);
  TsuiButton button;
  ApplyStored(&button, {{"Transparent", false}, {"UIStyle", QVariant::fromValue(BlueGlass)}});
  EXPECT_EQ(button.UIStyle(), BlueGlass);
  EXPECT_FALSE(button.Transparent());
}

TEST(Panel, PictureAsItIsTiledOrStretchedAndKeyedByItsBottomLeftPixel) {
  TsuiCustomPanel panel;
  panel.resize(10, 8);
  panel.SetColor(framework::RGBColor(0, 0, 255));
  QImage picture(4, 3, QImage::Format_RGB32);
  picture.fill(Qt::white);
  picture.setPixel(0, 0, qRgb(255, 0, 0));
  picture.setPixel(0, 2, qRgb(0, 255, 0));
  panel.SetPicture(picture);
  const QColor red(255, 0, 0), blue(0, 0, 255), white(255, 255, 255);
  auto at = [&](int x, int y) { return Pixel(Grab(&panel), x, y); };
  EXPECT_EQ(at(0, 0), red);
  EXPECT_EQ(at(4, 0), blue);  // drawn once, the colour beside it
  panel.SetPictureDrawMode(TsuiCustomPanel::dmTile);
  EXPECT_EQ(at(4, 3), red);
  EXPECT_EQ(at(8, 6), red);
  panel.SetPictureDrawMode(TsuiCustomPanel::dmStretch);
  EXPECT_EQ(at(2, 1), red);  // 4 x 3 over 10 x 8: a source pixel is 2.5 x 2.7
  EXPECT_EQ(at(3, 1), white);
  EXPECT_EQ(at(9, 7), white);
  panel.SetTransparent(true);  // no parent behind it: the panel's colour shows
  EXPECT_EQ(at(0, 7), blue);
  EXPECT_EQ(at(0, 0), red);
  panel.SetAutoSizeToPicture(true);
  EXPECT_EQ(panel.size(), QSize(4, 3));
  panel.SetTransparent(false);
  panel.SetPicture(QImage());
  EXPECT_EQ(at(0, 2), blue);
}
