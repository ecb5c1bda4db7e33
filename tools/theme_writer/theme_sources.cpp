#include "theme_sources.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include "framework/tcolor.h"
#include "skin/ui_style.h"

namespace theme_writer {

namespace {

[[noreturn]] void Fail(const QString& message) {
  throw SourceError(message.toStdString());
}

int32_t ParseColor(const QString& text, const QString& where) {
  const QStringList parts = text.split(QLatin1Char(','));
  bool ok = true;
  if (parts.size() == 3) {
    int rgb[3];
    for (int i = 0; i < 3 && ok; ++i) {
      rgb[i] = parts[i].trimmed().toInt(&ok);
      ok = ok && rgb[i] >= 0 && rgb[i] <= 255;
    }
    if (ok) return framework::RGBColor(rgb[0], rgb[1], rgb[2]);
  } else {
    const qlonglong value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                ? text.mid(2).toLongLong(&ok, 16)
                                : text.toLongLong(&ok, 10);
    if (ok && value >= INT32_MIN && value <= UINT32_MAX) return int32_t(uint32_t(value));
  }
  Fail(QStringLiteral("%1: \"%2\" is not a colour (red,green,blue or a number)").arg(where, text));
}

skin::ThemeFileEntry ParseValue(const skin::SkinProperty& entry, const QString& text,
                                const QString& where) {
  const QString key = QLatin1String(entry.Key);
  switch (entry.Kind) {
    case skin::SkinPropertyKind::Bool:
      if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
          text == QLatin1String("1"))
        return skin::ThemeBoolean(key, true);
      if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 ||
          text == QLatin1String("0"))
        return skin::ThemeBoolean(key, false);
      Fail(QStringLiteral("%1: \"%2\" is not True or False").arg(where, text));
    case skin::SkinPropertyKind::Int: {
      bool ok = false;
      const int value = text.toInt(&ok);
      if (!ok) Fail(QStringLiteral("%1: \"%2\" is not a whole number").arg(where, text));
      return skin::ThemeInteger(key, value);
    }
    case skin::SkinPropertyKind::Color:
      return skin::ThemeInteger(key, ParseColor(text, where));
    case skin::SkinPropertyKind::Image:
      break;
  }
  Fail(QStringLiteral("%1: %2 is an image; put %2.bmp into the bitmap folder").arg(where, key));
}

}  // namespace

std::vector<skin::ThemeFileEntry> ReadValues(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    Fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
  std::vector<skin::ThemeFileEntry> entries;
  int number = 0;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    const QString where = QStringLiteral("%1:%2").arg(path).arg(++number);
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0) Fail(QStringLiteral("%1: expected \"Key = value\"").arg(where));
    const QString key = line.left(equals).trimmed();
    const int index = skin::SkinPropertyIndex(key);
    if (index == 0) Fail(QStringLiteral("%1: unknown key \"%2\"").arg(where, key));
    entries.push_back(
        ParseValue(*skin::SkinPropertyAt(index), line.mid(equals + 1).trimmed(), where));
  }
  return entries;
}

std::vector<skin::ThemeFileEntry> ReadBitmaps(const QString& folder) {
  const QDir dir(folder);
  if (!dir.exists()) Fail(QStringLiteral("no bitmap folder %1").arg(folder));
  std::vector<skin::ThemeFileEntry> entries;
  for (int index = 1; index <= skin::SkinPropertyCount; ++index) {
    const skin::SkinProperty& entry = *skin::SkinPropertyAt(index);
    if (entry.Kind != skin::SkinPropertyKind::Image) continue;
    const QStringList found =
        dir.entryList({QLatin1String(entry.Key) + QStringLiteral(".bmp")}, QDir::Files, QDir::Name);
    if (found.isEmpty()) continue;
    QFile file(dir.filePath(found.first()));
    if (!file.open(QIODevice::ReadOnly))
      Fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (QImage::fromData(bytes, "BMP").isNull())
      Fail(QStringLiteral("%1 is not a bitmap file").arg(file.fileName()));
    entries.push_back(skin::ThemeImage(QLatin1String(entry.Key), bytes));
  }
  return entries;
}

}  // namespace theme_writer
