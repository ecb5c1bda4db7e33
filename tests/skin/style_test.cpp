#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPainter>
#include <map>

#include "skin/button.h"
#include "skin/skin_paint.h"
#include "skin/ui_style.h"
#include "skin_test_util.h"

using namespace skin;
using framework::RGBColor;

namespace skin {
// A stand-in for the skinned form decorator: DefaultStyleForOwner looks for this class name.
class TsuiForm : public QWidget {
  Q_OBJECT
  Q_PROPERTY(skin::TsuiUIStyle UIStyle READ UIStyle WRITE SetUIStyle)
 public:
  using QWidget::QWidget;
  TsuiUIStyle UIStyle() const { return style_; }
  void SetUIStyle(TsuiUIStyle value) { style_ = value; }

 private:
  TsuiUIStyle style_ = DeepBlue;
};
}  // namespace skin

// Every Bool, Int and Color entry: index, then MacOS, WinXP, DeepBlue, Protein and BlueGlass;
// colours as red,green,blue.
const char* const kTableValues[] = {
    "2 1 0 0 0 1",
    "6 0 0 0 1 1",
    "7 3 2 0 0 4",
    "8 -2 -2 0 0 -3",
    "9 4 5 2 2 6",
    "13 130 150 130 130 270",
    "14 0 13 0 0 11",
    "15 231,231,231 239,235,222 232,232,232 251,251,251 231,231,231",
    "16 127,127,127 0,44,200 0,0,0 0,0,0 0,0,0",
    "17 1 3 1 1 1",
    "18 57,115,196 49,105,198 68,74,160 45,48,196 94,94,236",
    "19 57,115,196 198,211,239 68,74,160 45,48,196 94,94,236",
    "20 255,255,255 0,0,0 255,255,255 255,255,255 255,255,255",
    "21 0,0,0 255,255,255 255,255,255 255,255,255 231,231,231",
    "22 0,0,0 0,0,0 0,0,0 0,0,0 0,0,0",
    "23 0,0,0 214,211,206 214,211,206 214,211,206 214,211,206",
    "25 127,127,127 104,104,104 0,0,0 0,0,0 0,0,0",
    "26 231,231,231 239,235,222 232,232,232 251,251,251 231,231,231",
    "27 0,0,0 2,70,207 0,0,0 0,0,0 0,0,0",
    "31 201,201,201 249,249,249 245,245,245 245,245,245 244,244,244",
    "35 71,71,71 49,105,198 71,71,71 71,71,71 71,71,71",
    "36 239,239,239 198,211,239 239,239,239 239,239,239 239,239,239",
    "37 216,216,216 147,172,225 216,216,216 216,216,216 216,216,216",
    "44 0,0,0 255,255,255 255,255,255 255,255,255 255,255,255",
    "47 0 0 0 0 0",
    "48 231,231,231 239,235,222 232,232,232 251,251,251 231,231,231",
};

// Each value read as its own kind; asked as another kind, the neutral answer (Int -1,
// Bool False, Color 0), as for the Image entries, for indexes outside 1..48 and for styles
// without a table (FromThemeFile and values outside the enumeration), which load no bitmap.
TEST(StyleTable, EveryValueOfTheBuiltInStyles) {
  std::map<int, QStringList> rows;
  for (const char* row : kTableValues) {
    QStringList fields = QString(row).split(' ');
    rows[fields.takeFirst().toInt()] = fields;
  }
  for (int i = 0; i <= SkinPropertyCount + 1; ++i) {
    const SkinProperty* entry = SkinPropertyAt(i);
    const auto kind = entry ? entry->Kind : SkinPropertyKind::Image;
    ASSERT_EQ(rows.count(i), size_t(kind != SkinPropertyKind::Image)) << i;
    for (int s : {0, 1, 2, 3, 4, 5, 6, 200}) {
      const auto style = TsuiUIStyle(s);
      const bool built = IsBuiltInStyle(style) && kind != SkinPropertyKind::Image;
      const QString value = built ? rows[i][s - MacOS] : QString();
      const QStringList rgb = value.split(',');
      const int color =
          rgb.size() == 3 ? RGBColor(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt()) : 0;
      EXPECT_EQ(StyleInt(style, i), kind == SkinPropertyKind::Int && built ? value.toInt() : -1)
          << i << " " << s;
      EXPECT_EQ(StyleBool(style, i), kind == SkinPropertyKind::Bool && value == "1") << i << s;
      EXPECT_EQ(StyleColor(style, i), color) << i << " " << s;
    }
  }
  for (TsuiUIStyle style : {FromThemeFile, TsuiUIStyle(6), TsuiUIStyle(200)}) {
    QImage untouched(3, 3, QImage::Format_RGB32);
    LoadStyleBitmap(style, 1, &untouched);
    LoadStyleBitmapFrame(style, 1, &untouched, 1, 3);
    EXPECT_EQ(untouched.size(), QSize(3, 3));
  }
}

TEST(StyleTable, ImageEntriesNameTheirResources) {
  EXPECT_EQ(StyleImageName(BlueGlass, 1), "BLUEGLASS_BUTTON");
  EXPECT_EQ(StyleImageName(MacOS, 38), "MACOS_SCROLLBUTTON");
  EXPECT_EQ(StyleImageName(Protein, 38), "MORE_SCROLLBUTTON");
  EXPECT_EQ(StyleImageName(DeepBlue, 41), "DEEPBLUE_SIDECHENNEL_HANDLE");
  QImage bitmap;
  EXPECT_THROW(LoadStyleBitmap(BlueGlass, 43, &bitmap), EResNotFound);  // an empty name
  EXPECT_THROW(LoadSkinResource("NO_SUCH_BITMAP"), EResNotFound);
  EXPECT_EQ(SkinPropertyIndex("buttontransparentbool"), 2);
  EXPECT_EQ(SkinPropertyIndex("MenuMenuBarColor"), 48);
}

TEST(BitmapFrames, FramesAreEqualWidthsFromTheLeftAndTheRestIsLeftOut) {
  QImage whole, frame;
  LoadStyleBitmap(BlueGlass, 1, &whole);
  LoadStyleBitmapFrame(BlueGlass, 1, &frame, 2, 3);
  EXPECT_EQ(frame, whole.copy(77, 0, 77, 27));
  LoadStyleBitmapFrame(BlueGlass, 1, &frame, 5, 0);  // count 0: the whole bitmap
  EXPECT_EQ(frame, whole);
  QImage source(10, 2, QImage::Format_RGB32);
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < 2; ++y) source.setPixel(x, y, qRgb(x, y, 0));
  CutBitmapFrame(source, &frame, 3, 3);  // columns 6..8; column 9 is never used
  EXPECT_EQ(frame, source.copy(6, 0, 3, 2));
  CutBitmapFrame(source, &frame, 3, 1);
  EXPECT_EQ(frame, source.copy(0, 0, 3, 2));
  CutBitmapFrame(source, &frame, 0, 1);  // no frames: nothing is cut, nothing divides by 0
  EXPECT_EQ(frame, source);
}

TEST(Styles, DefaultStyleComesFromTheFormsFirstSkinnedForm) {
  QWidget plainForm;
  TsuiButton onPlain(&plainForm);
  EXPECT_EQ(onPlain.UIStyle(), DeepBlue);
  QWidget form;
  QWidget other(&form);
  TsuiForm decorator(&form);
  decorator.SetUIStyle(Protein);
  EXPECT_EQ(DefaultStyleForOwner(&form), Protein);
  TsuiButton button(&form);
  EXPECT_EQ(button.UIStyle(), Protein);
  EXPECT_FALSE(button.Transparent());
  EXPECT_EQ(DefaultStyleForOwner(&other), DeepBlue);  // not a form
  EXPECT_EQ(DefaultStyleForOwner(nullptr), DeepBlue);
}

TEST(Styles, ThemeFileStyleWithoutAThemeResolvesToDeepBlue) {
  const StyleSource none = ResolveStyleSource(nullptr, FromThemeFile);
  EXPECT_FALSE(none.UseThemeFile);
  EXPECT_EQ(none.Style, DeepBlue);
  TsuiFileTheme unloaded;
  EXPECT_EQ(ResolveStyleSource(&unloaded, FromThemeFile).Style, DeepBlue);
  EXPECT_EQ(ResolveStyleSource(&unloaded, MacOS).Style, MacOS);
}

TEST(ParentBackground, TheParentsPixelBehindTheControlLandsAtTheOrigin) {
  // A parent that paints something of its own at (24, 24).
  struct Marked : QWidget {
    using QWidget::QWidget;
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(24, 24, 1, 1, Qt::yellow); }
  } marked;
  marked.resize(100, 100);
  QWidget child(&marked);
  child.setGeometry(24, 24, 20, 20);
  for (QWidget* control : {&child, static_cast<QWidget*>(&marked)}) {
    QImage canvas(20, 20, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    PaintParentBackground(painter, control);
    painter.end();
    if (control == &marked) {  // no parent: nothing drawn
      EXPECT_EQ(QColor(canvas.pixel(0, 0)), QColor(Qt::black));
      continue;
    }
    EXPECT_EQ(QColor(canvas.pixel(0, 0)), QColor(Qt::yellow));
    EXPECT_EQ(QColor(canvas.pixel(1, 1)), marked.palette().color(QPalette::Window));
  }
}

TEST(ParentBackground, TilingStartsAtTheCanvasOriginAndAnEmptyPictureDrawsNothing) {
  QImage tile(4, 3, QImage::Format_RGB32);
  tile.fill(Qt::white);
  tile.setPixel(0, 0, qRgb(255, 0, 0));
  QImage canvas(10, 10, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  QPainter painter(&canvas);
  TilePicture(painter, tile, QRect(2, 2, 6, 6));
  QElapsedTimer clock;
  clock.start();
  TilePicture(painter, QImage(), QRect(0, 0, 10, 10));
  EXPECT_LT(clock.elapsed(), 1000);
  painter.end();
  // Columns 0, 4, 8 while x < 4 + 6; rows 0, 3, 6 while y < 3 + 6.
  EXPECT_EQ(QColor(canvas.pixel(0, 0)), QColor(Qt::red));
  EXPECT_EQ(QColor(canvas.pixel(8, 6)), QColor(Qt::red));
  EXPECT_EQ(QColor(canvas.pixel(9, 8)), QColor(Qt::white));
  EXPECT_EQ(QColor(canvas.pixel(8, 9)), QColor(Qt::black));
}

#include "style_test.moc"
