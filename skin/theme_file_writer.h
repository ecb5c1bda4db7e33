// Writing theme files: the header, then each entry with its data after it, then the
// terminating entry that the reader stops at.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "skin/theme_file.h"

namespace skin {

struct ThemeFileEntry {
  QByteArray Name;  // at most 63 bytes
  ThemeEntryKind Kind = tekInteger;
  QByteArray Data;
};

ThemeFileEntry ThemeInteger(const QString& name, int32_t value);
ThemeFileEntry ThemeBoolean(const QString& name, bool value);
ThemeFileEntry ThemeImage(const QString& name, const QByteArray& bitmapFile);
ThemeFileEntry ThemeText(const QString& name, const QString& text);

// The bytes of a theme file holding the entries in order. Throws EThemeFileError for a name
// that does not fit the 64-byte name field with its zero byte.
QByteArray BuildThemeFile(const std::vector<ThemeFileEntry>& entries);

// BuildThemeFile written to path; throws EThemeFileError when the file cannot be written.
void WriteThemeFile(const QString& path, const std::vector<ThemeFileEntry>& entries);

}  // namespace skin
