// Reading what a theme file is made from: a folder of bitmaps named after the table's Image
// keys ("ButtonImage.bmp") and a values file of "Key = value" lines for the other keys.
#pragma once

#include <QString>
#include <stdexcept>
#include <vector>

#include "skin/theme_file_writer.h"

namespace theme_writer {

class SourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Values file: one "Key = value" per line; blank lines and lines starting with '#' are skipped.
// Bool values are True/False (or 1/0), Int values decimal, Color values "red,green,blue" or a
// colour number (decimal or 0x hexadecimal, blue in the high byte).
std::vector<skin::ThemeFileEntry> ReadValues(const QString& path);

// Every "<Key>.bmp" of the folder whose key is an Image entry of the table.
std::vector<skin::ThemeFileEntry> ReadBitmaps(const QString& folder);

}  // namespace theme_writer
