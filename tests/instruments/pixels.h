// Helpers of the instrument control tests: render a control and read regions back as text art,
// and collect what reaches the exception report.
#pragma once

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <ostream>

#include "framework/guard.h"

// Readable failure output for texts and text art.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << text.toStdString();
}

namespace pixels {

inline QImage Render(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QRgb Rgb(const QColor& color) {
  return color.rgb() | 0xFF000000u;
}

// One string per row of the rectangle: '#' where the pixel has the colour, '.' elsewhere.
inline QStringList Art(const QImage& image, const QRect& area, const QColor& color) {
  QStringList rows;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    QString row;
    for (int x = area.left(); x <= area.right(); ++x)
      row += (image.pixel(x, y) | 0xFF000000u) == Rgb(color) ? QLatin1Char('#') : QLatin1Char('.');
    rows << row;
  }
  return rows;
}

inline int Count(const QImage& image, const QRect& area, const QColor& color) {
  return int(Art(image, area, color).join(QString()).count(QLatin1Char('#')));
}

// Pixels whose three channels are all at least `level` (text drawn in white, smoothed).
inline int CountBright(const QImage& image, const QRect& area, int level = 128) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += qRed(p) >= level && qGreen(p) >= level && qBlue(p) >= level;
    }
  return n;
}

struct ReportSink {
  QStringList messages;
  framework::ExceptionReporter previous;
  ReportSink() {
    previous = framework::SetExceptionReporter([this](const QString& m) { messages << m; });
  }
  ~ReportSink() { framework::SetExceptionReporter(previous); }
};

}  // namespace pixels
