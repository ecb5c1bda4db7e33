#include "bmp_writer.h"

#include <QFile>
#include <QHash>
#include <QtEndian>
#include <stdexcept>
#include <vector>

namespace artwork {

namespace {

void Put16(QByteArray& out, quint16 v) {
  uchar raw[2];
  qToLittleEndian(v, raw);
  out.append(reinterpret_cast<const char*>(raw), 2);
}

void Put32(QByteArray& out, quint32 v) {
  uchar raw[4];
  qToLittleEndian(v, raw);
  out.append(reinterpret_cast<const char*>(raw), 4);
}

std::vector<QRgb> Palette(const QImage& image, QHash<QRgb, int>* index) {
  std::vector<QRgb> colors;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      if (index->contains(c)) continue;
      index->insert(c, int(colors.size()));
      colors.push_back(c);
    }
  return colors;
}

}  // namespace

int SmallestDepth(const QImage& image) {
  QHash<QRgb, int> index;
  return Palette(image, &index).size() <= 256 ? 8 : 24;
}

QByteArray EncodeBmp(const QImage& source, int bits) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  QHash<QRgb, int> index;
  std::vector<QRgb> colors;
  if (bits != 24) {
    colors = Palette(image, &index);
    if (colors.size() > (size_t(1) << bits))
      throw std::runtime_error("too many colours for the colour depth");
  }
  const int w = image.width(), h = image.height();
  const int stride = ((w * bits + 31) / 32) * 4;
  const quint32 offset = 14 + 40 + quint32(colors.size()) * 4;
  QByteArray out;
  out.append("BM", 2);
  Put32(out, offset + quint32(stride * h));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, quint32(w));
  Put32(out, quint32(h));
  Put16(out, 1);
  Put16(out, quint16(bits));
  Put32(out, 0);
  Put32(out, quint32(stride * h));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, quint32(colors.size()));
  Put32(out, 0);
  for (QRgb c : colors) {
    out.append(char(qBlue(c)));
    out.append(char(qGreen(c)));
    out.append(char(qRed(c)));
    out.append('\0');
  }
  // Rows bottom-up, each padded to four bytes.
  for (int y = h - 1; y >= 0; --y) {
    QByteArray row(stride, '\0');
    for (int x = 0; x < w; ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      if (bits == 24) {
        row[x * 3] = char(qBlue(c));
        row[x * 3 + 1] = char(qGreen(c));
        row[x * 3 + 2] = char(qRed(c));
      } else if (bits == 8) {
        row[x] = char(index.value(c));
      } else {
        const int i = index.value(c);
        row[x / 2] = char(uchar(row[x / 2]) | (x % 2 == 0 ? i << 4 : i));
      }
    }
    out.append(row);
  }
  return out;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    throw std::runtime_error(("cannot write " + path).toStdString());
}

}  // namespace artwork
