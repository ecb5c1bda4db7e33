// Writes Windows bitmap files of a chosen colour depth. Palettes list the image's colours in
// the order they first appear, so the same image always gives the same bytes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace artwork {

// The file bytes of the image at 4, 8 or 24 bits per pixel. Throws std::runtime_error when the
// image has more colours than the depth holds.
QByteArray EncodeBmp(const QImage& image, int bits);

// 8 bits when the colours fit, else 24.
int SmallestDepth(const QImage& image);

void WriteFile(const QString& path, const QByteArray& bytes);

}  // namespace artwork
