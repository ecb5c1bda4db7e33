#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <tuple>

#include "framework/exception.h"
#include "instruments/integer_output.h"
#include "instruments/label.h"
#include "instruments/seven_segment_display.h"

using namespace instruments;

namespace {

struct Files {
  QTemporaryDir dir;
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  QStringList Lines(const QString& path) const {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  void Write(const QString& path, const QByteArray& content) const {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
};

QString LoadError(TiComponent& control, const QString& path) {
  try {
    control.LoadPropertiesFromFile(path);
  } catch (const framework::Exception& e) {
    return e.Message();
  }
  return QString();
}

}  // namespace

TEST(PropertyFile, SavesStoredPropertiesWithNestedFontPaths) {
  Files files;
  TiIntegerOutput field;
  field.SetValue(42);
  field.SetFormatStyle(iifsHex);
  field.SetErrorText("bad\r\nvalue");
  field.ErrorFont()->SetColor(framework::clBlue);
  field.Font()->SetName(QStringLiteral("宋体"));
  const QString path = files.Path("field.txt");
  field.SavePropertiesToFile(path);
  const QStringList lines = files.Lines(path);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], "File Type = TiIntegerOutput");
  EXPECT_TRUE(lines.contains("Value = 42"));
  EXPECT_TRUE(lines.contains("FormatStyle = 1"));
  EXPECT_TRUE(lines.contains("ErrorText = bad#13#10value"));
  EXPECT_TRUE(lines.contains("ErrorFont.Color = 16711680"));
  EXPECT_TRUE(lines.contains("ErrorFont.Style = 1"));
  EXPECT_TRUE(lines.contains(QStringLiteral("Font.Name = 宋体")));
  EXPECT_TRUE(lines.contains("AutoFrameRate = 0"));
  for (const char* layout : {"Left", "Width", "Tag", "Visible", "Enabled", "Name"})
    EXPECT_FALSE(lines.filter(QRegularExpression(QStringLiteral("^%1 = ").arg(layout))).size())
        << layout;
  // Stored order: the base's properties first, then the class's own in their order.
  EXPECT_LT(lines.indexOf("AutoFrameRate = 0"), lines.indexOf("Value = 42"));
  EXPECT_LT(lines.indexOf("Value = 42"), lines.indexOf("FormatStyle = 1"));

  field.SetOptionSaveAllProperties(true);
  field.SavePropertiesToFile(path);
  EXPECT_TRUE(files.Lines(path).contains(QStringLiteral("Width = %1").arg(field.width())));
}

TEST(PropertyFile, LoadingRestoresWhatWasSaved) {
  Files files;
  TiSevenSegmentInteger source;
  source.SetDigitCount(6);
  source.SetLeadingStyle(ilsZeros);
  source.SetValue(-123);
  source.SetSegmentColor(framework::clYellow);
  source.SetBorderStyle(ibsRaised);
  const QString path = files.Path("display.txt");
  source.SavePropertiesToFile(path);
  TiSevenSegmentInteger copy;
  copy.LoadPropertiesFromFile(path);
  EXPECT_EQ(copy.DigitCount(), 6);
  EXPECT_EQ(copy.LeadingStyle(), ilsZeros);
  EXPECT_EQ(copy.Value(), -123);
  EXPECT_EQ(copy.SegmentColor(), framework::clYellow);
  EXPECT_EQ(copy.BorderStyle(), ibsRaised);
  EXPECT_EQ(copy.size(), source.size());
  EXPECT_FALSE(copy.Updating());

  TiLabel label;
  label.SetCaption(QStringLiteral("串口\n数据"));
  label.SavePropertiesToFile(path);
  TiLabel labelCopy;
  labelCopy.LoadPropertiesFromFile(path);
  EXPECT_EQ(labelCopy.Caption(), QStringLiteral("串口\n数据"));
}

TEST(PropertyFile, ToleratesGarbageLinesAndUnknownPaths) {
  Files files;
  const QString path = files.Path("garbage.txt");
  files.Write(path,
              "File Type = TiIntegerOutput\r\n"
              "no equals sign here\n"
              "\n"
              "= 5\n"
              "Nonsense.Path = 3\n"
              "Font.Nothing = 1\n"
              "Value.Color = 3\n"
              "ErrorFont = 7\n"
              "  ValueMax =   50  \r\n"
              "Value = 70\n"
              "BeepOnError = true\n"
              "UndoOnError = FALSE\n"
              "ErrorFont.Color = 255\n"
              "\x01\x02\xff garbage = \n");
  TiIntegerOutput field;
  field.LoadPropertiesFromFile(path);
  EXPECT_EQ(field.ValueMax(), 50);
  EXPECT_EQ(field.Value(), 50);
  EXPECT_TRUE(field.BeepOnError());
  EXPECT_FALSE(field.UndoOnError());
  EXPECT_EQ(field.ErrorFont()->Color(), framework::clRed);
}

TEST(PropertyFile, BadValuesAndMissingFilesGiveClearErrors) {
  Files files;
  TiIntegerOutput field;
  const QString path = files.Path("bad.txt");
  files.Write(path, "Value = 12\nValueMax = abc\nValueMin = 3\n");
  EXPECT_EQ(LoadError(field, path),
            "Error Loading Properties - 'abc' is not a valid integer value");
  EXPECT_EQ(field.Value(), 12);  // lines before the bad one stay applied
  EXPECT_EQ(field.ValueMin(), 0);
  EXPECT_FALSE(field.Updating());

  TiSevenSegmentCharacter character;
  const std::tuple<TiComponent*, const char*, const char*> rows[] = {
      {&field, "Value = 99999999999", "'99999999999' is not a valid integer value"},
      {&field, "FormatStyle = 9", "9 is not a valid value of FormatStyle"},
      {&character, "Character = 300", "300 is out of range for Character"},
  };
  for (const auto& [control, line, message] : rows) {
    files.Write(path, QByteArray(line) + "\n");
    EXPECT_EQ(LoadError(*control, path), QStringLiteral("Error Loading Properties - ") + message);
  }
  EXPECT_EQ(field.FormatStyle(), iifsInteger);
  files.Write(path, "Character = 65\n");
  character.LoadPropertiesFromFile(path);
  EXPECT_EQ(character.Value(), sscA);

  const QString missing = LoadError(field, files.Path("missing.txt"));
  EXPECT_TRUE(missing.startsWith("Error Loading Properties - ")) << missing.toStdString();
  EXPECT_TRUE(missing.contains("missing.txt"));
  try {
    field.SavePropertiesToFile(files.Path("no/such/folder/x.txt"));
    ADD_FAILURE() << "saving into a missing folder succeeded";
  } catch (const framework::Exception& e) {
    EXPECT_TRUE(e.Message().startsWith("Error Saving Properties - ")) << e.what();
  }
}
