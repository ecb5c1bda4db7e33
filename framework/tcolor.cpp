#include "framework/tcolor.h"

#include <QGuiApplication>
#include <QPalette>

namespace framework {

namespace {

QPalette CurrentPalette() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::palette()
                                                                     : QPalette();
}

// The Win32 system colour indices in terms of the palette's roles.
QColor SystemColorValue(int index) {
  const QPalette p = CurrentPalette();
  switch (index) {
    case 1:  // desktop
    case 12:
      return p.color(QPalette::Dark);
    case 2:
    case 13:
    case 27:
    case 29:
      return p.color(QPalette::Highlight);
    case 3:
    case 28:
      return p.color(QPalette::Inactive, QPalette::Highlight);
    case 5:
      return p.color(QPalette::Base);
    case 6:
    case 21:
      return p.color(QPalette::Shadow);
    case 7:
    case 8:
      return p.color(QPalette::WindowText);
    case 9:
    case 14:
      return p.color(QPalette::HighlightedText);
    case 16:
      return p.color(QPalette::Dark);
    case 17:
      return p.color(QPalette::Disabled, QPalette::Text);
    case 18:
      return p.color(QPalette::ButtonText);
    case 19:
      return p.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20:
      return p.color(QPalette::Light);
    case 22:
      return p.color(QPalette::Midlight);
    case 23:
      return p.color(QPalette::ToolTipText);
    case 24:
      return p.color(QPalette::ToolTipBase);
    case 26:
      return p.color(QPalette::Link);
    case 0:
    case 4:
    case 10:
    case 11:
    case 15:
    case 30:
    default:
      return p.color(QPalette::Button);
  }
}

}  // namespace

QColor ColorToQColor(TColor color) {
  const uint32_t value = uint32_t(color);
  if ((value >> 24) == 0xFF) return SystemColorValue(int(value & 0xFF));
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

TColor ColorToRGB(TColor color) { return QColorToColor(ColorToQColor(color)); }

TColor QColorToColor(const QColor& color) {
  return RGBColor(color.red(), color.green(), color.blue());
}

}  // namespace framework
