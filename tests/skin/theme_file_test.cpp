#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "child_process.h"
#include "skin/button.h"
#include "skin/file_theme.h"
#include "skin/group_box.h"
#include "skin/theme_file_writer.h"
#include "skin_test_util.h"

using namespace skin;

namespace {

void Put32(QByteArray& bytes, int at, quint32 value) {
  qToLittleEndian(value, reinterpret_cast<uchar*>(bytes.data()) + at);
}

// A file image with the header and room up to size bytes; entries are placed by offset.
QByteArray Header(int size, quint32 first, quint32 headerLength = 24) {
  QByteArray bytes(size, '\0');
  bytes.replace(0, 10, "Quenlat_TB");
  Put32(bytes, 12, headerLength);
  Put32(bytes, 20, first);
  return bytes;
}

void PlaceEntry(QByteArray& bytes, int at, const QByteArray& name, int kind, quint32 data,
                quint32 size, quint32 next) {
  bytes.replace(at, name.size(), name);
  bytes[at + 64] = char(kind);
  Put32(bytes, at + 65, data);
  Put32(bytes, at + 69, size);
  Put32(bytes, at + 73, next);
}

QByteArray BmpBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "BMP");
  return bytes;
}

class ThemeFiles : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  // The message of the error that loading raised, or empty.
  QString LoadError(TsuiFileTheme& theme, const QString& path) {
    try {
      theme.SetThemeFile(path);
    } catch (const framework::Exception& e) {
      return e.Message();
    }
    return QString();
  }
  QTemporaryDir dir_;
};

}  // namespace

// Every key through the writing tool and back; each value is found only as its own kind.
TEST_F(ThemeFiles, AFileWrittenByTheToolRoundTripsAllKeys) {
  QDir bitmaps(dir_.filePath("bitmaps"));
  ASSERT_TRUE(QDir().mkpath(bitmaps.path()));
  QByteArray values = "# every value of the table\n\n";
  for (int i = 1; i <= SkinPropertyCount; ++i) {
    const SkinProperty& entry = *SkinPropertyAt(i);
    const QByteArray key(entry.Key);
    QImage image(6 + i, 3, QImage::Format_RGB32);
    image.fill(qRgb(i, 255 - i, 9));
    if (entry.Kind == SkinPropertyKind::Image)
      ASSERT_TRUE(image.save(bitmaps.filePath(key + ".bmp"), "BMP"));
    else if (entry.Kind == SkinPropertyKind::Bool)
      values += key + (i % 2 ? " = True\n" : " = false\n");
    else if (entry.Kind == SkinPropertyKind::Int)
      values += key + " = " + QByteArray::number(-i * 7) + "\n";
    else
      values += key + " = " + QByteArray::number(i) + ", 2, " + QByteArray::number(200 + i) + "\n";
  }
  const QString output = dir_.filePath("all.skn");
  const auto tool = testing_support::RunProgram(
      ZT_THEME_WRITER, {bitmaps.path(), Write("values.txt", values), output});
  ASSERT_TRUE(tool.finished);
  ASSERT_EQ(tool.exitCode, 0) << tool.err.toStdString();
  TsuiFileTheme theme;
  theme.SetThemeFile(output);
  ASSERT_TRUE(theme.Loaded());
  for (int i = 1; i <= SkinPropertyCount; ++i) {
    const SkinPropertyKind kind = SkinPropertyAt(i)->Kind;
    QImage image;
    theme.Bitmap(i, &image);
    EXPECT_EQ(image.size(), kind == SkinPropertyKind::Image ? QSize(6 + i, 3) : QSize(0, 0)) << i;
    if (!image.isNull()) {
      EXPECT_EQ(QColor(image.pixel(1, 1)), QColor(i, 255 - i, 9)) << i;
    }
    EXPECT_EQ(theme.Bool(i), kind == SkinPropertyKind::Bool && i % 2 == 1) << i;
    // Integers and colours are one list of the file.
    const int number = kind == SkinPropertyKind::Int     ? -i * 7
                       : kind == SkinPropertyKind::Color ? framework::RGBColor(i, 2, 200 + i)
                                                         : -1;
    EXPECT_EQ(theme.Int(i), number) << i;
    EXPECT_EQ(theme.Color(i), number) << i;
  }
}

TEST_F(ThemeFiles, TheToolRefusesBadValuesClearly) {
  QDir().mkpath(dir_.filePath("bitmaps"));
  const QString values = Write("bad.txt", "FormMinWidthInt = wide\n");
  const auto tool = testing_support::RunProgram(
      ZT_THEME_WRITER, {dir_.filePath("bitmaps"), values, dir_.filePath("x.skn")});
  ASSERT_TRUE(tool.finished);
  EXPECT_EQ(tool.exitCode, 1);
  EXPECT_TRUE(tool.err.contains("bad.txt:1"));
  EXPECT_FALSE(QFile::exists(dir_.filePath("x.skn")));
}

TEST_F(ThemeFiles, MagicWithoutItsZeroByteOrATinyFileIsNoThemeFile) {
  QByteArray bytes = BuildThemeFile({ThemeInteger("FormMinWidthInt", 5)});
  bytes[10] = 'X';
  TsuiFileTheme theme;
  EXPECT_EQ(LoadError(theme, Write("byte10.skn", bytes)), "Invalid skin file for Quenlat!");
  EXPECT_EQ(LoadError(theme, Write("one.skn", "Q")), "Invalid skin file for Quenlat!");
  EXPECT_EQ(LoadError(theme, Write("empty.skn", "")), "Invalid skin file for Quenlat!");
  EXPECT_EQ(theme.ThemeFile(), QString());
  EXPECT_FALSE(theme.Loaded());
  bytes[10] = '\0';
  bytes[11] = 'Z';  // byte 11 is not examined
  EXPECT_TRUE(IsValidThemeFile(Write("byte11.skn", bytes)));
}

TEST_F(ThemeFiles, TheEntryThatEndsTheChainIsNotLoaded) {
  QByteArray bytes = Header(400, 24);
  PlaceEntry(bytes, 24, "FormMinWidthInt", tekInteger, 300, 4, 101);
  PlaceEntry(bytes, 101, "FormRoundCornerInt", tekInteger, 304, 4, 178);
  PlaceEntry(bytes, 178, "FormBorderWidthInt", tekInteger, 308, 4, 0);
  Put32(bytes, 300, 1);
  Put32(bytes, 304, 2);
  Put32(bytes, 308, 3);
  TsuiThemeFileReader reader(Write("chain.skn", bytes));
  EXPECT_EQ(reader.Integer("FormMinWidthInt"), 1);
  EXPECT_EQ(reader.Integer("formroundcornerint"), 2);  // letter case ignored
  EXPECT_EQ(reader.Integer("FormBorderWidthInt"), -1);
  EXPECT_EQ(reader.IntegerCount(), 2);
}

TEST_F(ThemeFiles, DamagedDirectoriesGiveAClearErrorAndChangeNothing) {
  const QString good = Write("good.skn", BuildThemeFile({ThemeInteger("FormMinWidthInt", 77)}));
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  std::vector<Case> cases;
  QByteArray loop = Header(200, 24);
  PlaceEntry(loop, 24, "A", tekBoolean, 190, 1, 101);
  PlaceEntry(loop, 101, "B", tekBoolean, 190, 1, 24);
  cases.push_back({"loop", loop});
  QByteArray self = Header(120, 24);
  PlaceEntry(self, 24, "A", tekText, 0, 0, 24);
  cases.push_back({"self", self});
  cases.push_back({"first past end", Header(60, 5000)});
  QByteArray next = Header(120, 24);
  PlaceEntry(next, 24, "A", tekBoolean, 110, 1, 0xFFFFFFF0u);
  cases.push_back({"next past end", next});
  QByteArray data = Header(120, 24);
  PlaceEntry(data, 24, "ButtonImage", tekImage, 0xFFFFFFFFu, 10, 101);
  cases.push_back({"data past end", data});
  QByteArray size = Header(200, 24);
  PlaceEntry(size, 24, "ButtonImage", tekImage, 150, 0x7FFFFFFFu, 101);
  PlaceEntry(size, 101, "", 0, 0, 0, 0);
  cases.push_back({"size past end", size});
  QByteArray name = Header(200, 24);
  PlaceEntry(name, 24, QByteArray(64, 'N'), tekBoolean, 190, 1, 101);
  PlaceEntry(name, 101, "", 0, 0, 0, 0);
  cases.push_back({"name without zero", name});
  QByteArray shortHeader = Header(200, 24, 20);
  cases.push_back({"short header", shortHeader});
  cases.push_back({"huge header", Header(200, 24, 0xFFFFFFFFu)});
  QByteArray tinyInt = Header(200, 24);
  PlaceEntry(tinyInt, 24, "FormMinWidthInt", tekInteger, 190, 2, 101);
  PlaceEntry(tinyInt, 101, "", 0, 0, 0, 0);
  cases.push_back({"two-byte integer", tinyInt});
  QByteArray copies = Header(24 + 77 * 9, 24);  // eight images, each the whole file
  for (int at = 24; at < copies.size() - 77; at += 77)
    PlaceEntry(copies, at, "ButtonImage", tekImage, 0, quint32(copies.size()), at + 77);
  cases.push_back({"every entry the whole file", copies});

  for (const Case& c : cases) {
    TsuiFileTheme theme;
    theme.SetThemeFile(good);
    const QString error = LoadError(theme, Write(QString(c.name) + ".skn", c.bytes));
    EXPECT_TRUE(error.startsWith("Damaged skin file")) << c.name << ": " << error.toStdString();
    EXPECT_EQ(theme.ThemeFile(), good) << c.name;
    EXPECT_EQ(theme.Int(13), 77) << c.name;
  }
}

TEST_F(ThemeFiles, ABareNameIsFoundBesideTheExecutable) {
  const QString bare = QStringLiteral("skin-test-%1.skn").arg(QCoreApplication::applicationPid());
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(bare);
  auto write = [&](int value) {
    QFile file(beside);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(BuildThemeFile({ThemeInteger("FormMinWidthInt", value)}));
  };
  write(1);
  TsuiFileTheme theme;
  theme.SetThemeFile(bare);
  EXPECT_EQ(theme.ThemeFile(), beside);
  EXPECT_EQ(theme.Int(13), 1);
  write(2);
  theme.SetThemeFile(beside);  // the path it holds: nothing happens
  EXPECT_EQ(theme.Int(13), 1);
  theme.SetThemeFile(bare);  // differs from the stored path: loaded again
  EXPECT_EQ(theme.Int(13), 2);
  QFile::remove(beside);
  theme.SetThemeFile("no-such-theme-anywhere.skn");  // ignored, the theme stays
  EXPECT_EQ(theme.ThemeFile(), beside);
  EXPECT_TRUE(theme.Loaded());
}

TEST_F(ThemeFiles, FirstNamesWinAndAMissingFileKeepsTheLoadedOne) {
  const QString path =
      Write("partial.skn",
            BuildThemeFile({ThemeBoolean("buttontransparentbool", true),
                            ThemeBoolean("ButtonTransparentBool", false),
                            ThemeText("Author", "宋体"), ThemeInteger("MenuFontColor", 255)}));
  TsuiFileThemeMgr manager;
  EXPECT_EQ(manager.Int(7), 0);  // no file yet
  EXPECT_TRUE(manager.Load(path));
  EXPECT_FALSE(manager.Load(dir_.filePath("missing.skn")));
  EXPECT_TRUE(manager.Bool(2));
  EXPECT_EQ(manager.Color(22), 255);
  EXPECT_EQ(manager.Int(7), -1);
  QImage untouched;
  manager.Bitmap(1, &untouched);
  EXPECT_TRUE(untouched.isNull());
  EXPECT_EQ(TsuiThemeFileReader(path).Text("author"), "宋体");
}

TEST_F(ThemeFiles, ControlsOnTheFormTakeTheLoadedTheme) {
  skin_test::Form form;
  auto* theme = new TsuiFileTheme(form.get());
  auto* button = new TsuiButton(form.get());
  button->setGeometry(10, 10, 97, 41);
  button->SetFileTheme(theme);
  button->SetUIStyle(FromThemeFile);
  auto* box = new TsuiGroupBox(form.get());
  box->SetFileTheme(theme);
  box->SetUIStyle(FromThemeFile);
  EXPECT_FALSE(button->Transparent());  // nothing loaded yet: DeepBlue
  QImage face(6, 5, QImage::Format_RGB32);
  face.fill(qRgb(10, 200, 30));
  const QString green =
      Write("green.skn", BuildThemeFile({ThemeBoolean("ButtonTransparentBool", true),
                                         ThemeInteger("ControlBorderColor", 0x123456),
                                         ThemeImage("ButtonImage", BmpBytes(face))}));
  theme->SetThemeFile(green);
  EXPECT_TRUE(button->Transparent());
  EXPECT_EQ(box->BorderColor(), 0x123456);
  EXPECT_EQ(skin_test::Pixel(skin_test::Grab(button), 48, 20), QColor(10, 200, 30));
  theme->SetThemeFile(Write("bare.skn", BuildThemeFile({})));
  EXPECT_FALSE(button->Transparent());
  EXPECT_EQ(box->BorderColor(), -1);
  // No button image in the theme: the blank face.
  EXPECT_EQ(skin_test::Pixel(skin_test::Grab(button), 48, 20), QColor(Qt::white));
  // A theme no form owns reaches its controls when they set their style again.
  TsuiFileTheme loose;
  auto* other = new TsuiButton(form.get());
  other->SetFileTheme(&loose);
  other->SetUIStyle(FromThemeFile);
  loose.SetThemeFile(green);
  EXPECT_FALSE(other->Transparent());
  other->SetUIStyle(FromThemeFile);
  EXPECT_TRUE(other->Transparent());
  delete theme;
  EXPECT_EQ(button->UIStyle(), DeepBlue);
  EXPECT_EQ(button->FileTheme(), nullptr);
}
