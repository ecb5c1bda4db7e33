// The bevels of the original platform's edge drawing, with its pixel rules: a raised or sunken
// two-pixel edge around a rectangle, or a flat one-pixel outline.
#pragma once

#include <QPainter>

namespace instruments {

enum class BevelKind { Raised, Sunken, Flat };

// Draws the bevel on the outermost pixels of (left, top, right, bottom), right and bottom
// excluded: the outer ring and, for the raised and sunken kinds, an inner ring inside it.
void DrawBevel(QPainter& canvas, int left, int top, int right, int bottom, BevelKind kind);

}  // namespace instruments
