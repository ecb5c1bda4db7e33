#include "skin/theme_file_writer.h"

#include <QSaveFile>
#include <QtEndian>

namespace skin {

namespace {

void PutU32(QByteArray& bytes, quint32 value) {
  uchar raw[4];
  qToLittleEndian(value, raw);
  bytes.append(reinterpret_cast<const char*>(raw), 4);
}

void PutEntry(QByteArray& file, const QByteArray& name, uint8_t kind, quint32 dataOffset,
              quint32 dataSize, quint32 next) {
  QByteArray field = name;
  field.resize(ThemeNameSize, '\0');
  file.append(field);
  file.append(char(kind));
  PutU32(file, dataOffset);
  PutU32(file, dataSize);
  PutU32(file, next);
}

}  // namespace

ThemeFileEntry ThemeInteger(const QString& name, int32_t value) {
  QByteArray data;
  PutU32(data, quint32(value));
  return {name.toLatin1(), tekInteger, data};
}

ThemeFileEntry ThemeBoolean(const QString& name, bool value) {
  return {name.toLatin1(), tekBoolean, QByteArray(1, value ? '\1' : '\0')};
}

ThemeFileEntry ThemeImage(const QString& name, const QByteArray& bitmapFile) {
  return {name.toLatin1(), tekImage, bitmapFile};
}

ThemeFileEntry ThemeText(const QString& name, const QString& text) {
  return {name.toLatin1(), tekText, text.toLocal8Bit()};
}

QByteArray BuildThemeFile(const std::vector<ThemeFileEntry>& entries) {
  QByteArray file("Quenlat_TB\0\0", 12);
  PutU32(file, ThemeHeaderSize);
  PutU32(file, 0);
  PutU32(file, ThemeHeaderSize);
  for (const ThemeFileEntry& entry : entries) {
    if (entry.Name.size() >= ThemeNameSize || entry.Name.contains('\0'))
      throw EThemeFileError(
          QStringLiteral("The entry name \"%1\" does not fit a theme file (at most %2 bytes).")
              .arg(QString::fromLatin1(entry.Name))
              .arg(ThemeNameSize - 1));
    const quint32 dataOffset = quint32(file.size() + ThemeEntrySize);
    const quint32 next = dataOffset + quint32(entry.Data.size());
    PutEntry(file, entry.Name, entry.Kind, dataOffset, quint32(entry.Data.size()), next);
    file.append(entry.Data);
  }
  PutEntry(file, QByteArray(), 0, 0, 0, 0);
  return file;
}

void WriteThemeFile(const QString& path, const std::vector<ThemeFileEntry>& entries) {
  const QByteArray bytes = BuildThemeFile(entries);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw EThemeFileError(
        QStringLiteral("Cannot write the theme file \"%1\": %2.").arg(path, file.errorString()));
}

}  // namespace skin
