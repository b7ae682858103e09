#pragma once
// The two faces of the lessons, embedded: the bitmap "MS Sans Serif" replica
// (regular and bold, one file per strike) and the "Symbol" replica whose "W"
// is Ω and "q" is θ. The layout of the French texts leaves blanks for the
// Greek letters that only these metrics fill.

#include "raster/canvas.h"

#include <QFont>

namespace lodrix {

// Adds the embedded faces to the application's fonts; needs the application
// object. Later calls do nothing.
void registerLodrixFonts();

// Point sizes are at 96 dpi; "MS Sans Serif" takes the strike whose
// character height fits the size (8 pt -> 13 px cells, 10 pt -> 16, 12 pt -> 20).
QFont canvasFont(const Font &font);

// "MS Sans Serif" for the controls, by character height (11 px = 8 pt).
// On a form zoomed or on a scaled screen (zoom x devicePixelRatio not 1) no
// strike fits: the outline "Tahoma" at the zoomed height instead.
QFont uiFont(int characterHeightPx, bool bold = false, double zoom = 1.0, double devicePixelRatio = 1.0);

} // namespace lodrix
