// Where the window opens on a screen that may be smaller than the window's designed client area.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace app {

// The client geometry (screen coordinates) for a window whose designed client is `designed`:
// centred on the available area with its frame, never beyond its left or top edge. Where the
// area cannot hold the client, the window takes what there is and adds room for the scroll bar
// (`scrollBar` pixels) that the cut direction brings.
QRect FitWindow(QSize designed, const QRect& available, const QMargins& frame, int scrollBar);

// Qt draws widgets wrongly under a global scale factor below 1 (unpainted black blocks, text
// at full size): such a QT_SCALE_FACTOR is dropped with a warning before the application
// object exists, and the window scrolls on a screen that cannot hold it instead.
void DropShrinkingScaleFactor();

}  // namespace app
