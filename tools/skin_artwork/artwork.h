// The skin artwork: every bitmap resource the skinned controls name, drawn here.
#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace artwork {

struct Bitmap {
  QString Name;
  QImage Image;
  int Bits = 0;  // colour depth of the file; 0: 8 bits when the colours fit, else 24
};

// The five three-frame button skins.
std::vector<Bitmap> ButtonSkins();
// The other elements of every style, and the style-independent resources.
std::vector<Bitmap> StyleElements();
std::vector<Bitmap> SharedElements();

}  // namespace artwork
