#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "child_process.h"
#include "skin/ui_style.h"

using namespace skin;

namespace {

QByteArray ResourceBytes(const QString& name) {
  QFile file(SkinResourcePath(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int BitsPerPixel(const QByteArray& bmp) {
  return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(bmp.constData()) + 28);
}

bool HasMagenta(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF00FF) return true;
  return false;
}

}  // namespace

TEST(Artwork, EveryNamedResourceIsEmbeddedAndEveryImageEntryFindsOne) {
  for (const QString& name : SkinResourceNames())
    EXPECT_FALSE(LoadSkinResource(name).isNull()) << name.toStdString();
  for (int style = MacOS; style <= BlueGlass; ++style)
    for (int i = 1; i <= SkinPropertyCount; ++i) {
      const QString name = StyleImageName(TsuiUIStyle(style), i);
      if (!name.isEmpty()) {
        EXPECT_TRUE(QFile::exists(SkinResourcePath(name))) << name.toStdString();
      }
    }
}

TEST(Artwork, ButtonSkinsHaveTheirSizeDepthAndTransparency) {
  struct Expected {
    const char* name;
    QSize size;
    int bits;
    bool magenta;
  };
  const Expected skins[] = {{"BLUEGLASS_BUTTON", {231, 27}, 8, true},
                            {"DEEPBLUE_BUTTON", {222, 21}, 4, false},
                            {"MACOS_BUTTON", {252, 23}, 8, true},
                            {"PROTEIN_BUTTON", {222, 21}, 8, false},
                            {"WINXP_BUTTON", {54, 21}, 8, false}};
  for (const Expected& e : skins) {
    const QImage image = LoadSkinResource(e.name);
    EXPECT_EQ(image.size(), e.size) << e.name;
    EXPECT_EQ(BitsPerPixel(ResourceBytes(e.name)), e.bits) << e.name;
    const int w = image.width() / 3;
    for (int frame = 0; frame < 3; ++frame) {
      const QRect cell(frame * w, 0, w, image.height());
      EXPECT_EQ(HasMagenta(image, cell), e.magenta) << e.name << " frame " << frame;
      // Frames differ: normal, mouse over and pressed are told apart.
      if (frame) {
        EXPECT_NE(image.copy(cell), image.copy(cell.translated(-w, 0))) << e.name;
      }
    }
  }
}

TEST(Artwork, BlueGlassHasAMagentaMarginAndRoundedCornersAndPressesDown) {
  const QImage skin = LoadSkinResource("BLUEGLASS_BUTTON");
  auto magentaRow = [&](int frame, int y) {
    for (int x = 0; x < 77; ++x)
      if ((skin.pixel(frame * 77 + x, y) & 0xFFFFFF) != 0xFF00FF) return false;
    return true;
  };
  auto magenta = [&](int frame, int x, int y) {
    return (skin.pixel(frame * 77 + x, y) & 0xFFFFFF) == 0xFF00FF;
  };
  for (int frame = 0; frame < 3; ++frame) {
    EXPECT_TRUE(magentaRow(frame, 0));
    EXPECT_TRUE(magentaRow(frame, 26));
    EXPECT_TRUE(magenta(frame, 0, 13) && magenta(frame, 76, 13));  // side margins
    EXPECT_TRUE(magenta(frame, 1, 3) && magenta(frame, 75, 24));   // rounded corners
    EXPECT_FALSE(magenta(frame, 38, 13));
  }
  EXPECT_FALSE(magentaRow(0, 1));
  EXPECT_FALSE(magentaRow(1, 1));
  EXPECT_TRUE(magentaRow(2, 1));  // the pressed frame's wider top margin
}

TEST(Artwork, TheGeneratorReproducesTheCommittedBitmaps) {
  QTemporaryDir out;
  const auto generator = testing_support::RunProgram(ZT_SKIN_ARTWORK, {out.path()});
  ASSERT_TRUE(generator.finished);
  ASSERT_EQ(generator.exitCode, 0) << generator.err.toStdString();
  const QStringList written = QDir(out.path()).entryList({"*.bmp"}, QDir::Files);
  EXPECT_EQ(written.size(), SkinResourceNames().size());
  for (const QString& file : written) {
    QFile generated(QDir(out.path()).filePath(file));
    ASSERT_TRUE(generated.open(QIODevice::ReadOnly));
    EXPECT_EQ(generated.readAll(), ResourceBytes(file.chopped(4))) << file.toStdString();
  }
}
