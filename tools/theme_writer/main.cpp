// Writes a theme file from a folder of bitmaps and a values file:
//   theme_writer <bitmap folder> <values file> <theme file>
#include <cstdio>

#include "theme_sources.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: theme_writer <bitmap folder> <values file> <theme file>\n");
    return 2;
  }
  try {
    std::vector<skin::ThemeFileEntry> entries =
        theme_writer::ReadBitmaps(QString::fromLocal8Bit(argv[1]));
    for (skin::ThemeFileEntry& entry : theme_writer::ReadValues(QString::fromLocal8Bit(argv[2])))
      entries.push_back(std::move(entry));
    skin::WriteThemeFile(QString::fromLocal8Bit(argv[3]), entries);
    std::printf("%d entries written to %s\n", int(entries.size()), argv[3]);
    return 0;
  } catch (const framework::Exception& e) {
    std::fprintf(stderr, "theme_writer: %s\n", qPrintable(e.Message()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "theme_writer: %s\n", e.what());
  }
  return 1;
}
