// Draws the skin bitmaps and writes them as BMP files into the given folder (the repository's
// skin/bitmaps). Every name the skinned controls look up is drawn; the run fails otherwise.
#include <QDir>
#include <QSet>
#include <cstdio>
#include <exception>

#include "artwork.h"
#include "bmp_writer.h"
#include "skin/ui_style.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skin_artwork <output folder>\n");
    return 2;
  }
  try {
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) throw std::runtime_error("no output folder");
    std::vector<artwork::Bitmap> all = artwork::ButtonSkins();
    for (auto* more : {artwork::StyleElements, artwork::SharedElements})
      for (artwork::Bitmap& b : more()) all.push_back(std::move(b));
    QSet<QString> drawn;
    for (const artwork::Bitmap& b : all) {
      const int bits = b.Bits ? b.Bits : artwork::SmallestDepth(b.Image);
      artwork::WriteFile(out.filePath(b.Name + QStringLiteral(".bmp")),
                         artwork::EncodeBmp(b.Image, bits));
      drawn.insert(b.Name);
    }
    for (const QString& name : skin::SkinResourceNames())
      if (!drawn.contains(name)) throw std::runtime_error(("not drawn: " + name).toStdString());
    std::printf("%d bitmaps written to %s\n", int(all.size()), argv[1]);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skin_artwork: %s\n", e.what());
    return 1;
  }
}
