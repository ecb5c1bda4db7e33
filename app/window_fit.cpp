#include "app/window_fit.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdio>

namespace app {

QRect FitWindow(QSize designed, const QRect& available, const QMargins& frame, int scrollBar) {
  const int roomWidth = std::max(1, available.width() - frame.left() - frame.right());
  const int roomHeight = std::max(1, available.height() - frame.top() - frame.bottom());
  // A horizontal bar takes height, which may call for a vertical bar, which takes width.
  bool across = false, down = false;
  for (int pass = 0; pass < 2; ++pass) {
    across = designed.width() + (down ? scrollBar : 0) > roomWidth;
    down = designed.height() + (across ? scrollBar : 0) > roomHeight;
  }
  const int width = std::min(designed.width() + (down ? scrollBar : 0), roomWidth);
  const int height = std::min(designed.height() + (across ? scrollBar : 0), roomHeight);
  const int frameWidth = width + frame.left() + frame.right();
  const int frameHeight = height + frame.top() + frame.bottom();
  const int left = available.left() + std::max(0, (available.width() - frameWidth) / 2);
  const int top = available.top() + std::max(0, (available.height() - frameHeight) / 2);
  return {left + frame.left(), top + frame.top(), width, height};
}

void DropShrinkingScaleFactor() {
  bool number = false;
  const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&number);
  if (!number || factor >= 1) return;
  std::fprintf(stderr,
               "zt-modbus-k: QT_SCALE_FACTOR=%g is below 1, which Qt cannot draw; using 1 (the "
               "window scrolls where the screen is too small)\n",
               factor);
  qunsetenv("QT_SCALE_FACTOR");
}

}  // namespace app
