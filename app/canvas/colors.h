#pragma once
// The lessons' colours on Qt, and the fixed light desktop scheme that gives
// clFace and clHighlight their values everywhere: canvas, window and controls.

#include "raster/canvas.h"

#include <QColor>
#include <QPalette>

namespace lodrix {

// 0xBBGGRR, or a desktop colour of the fixed scheme.
QColor toQColor(Color c);

// Window and button faces, and the selection, of the fixed scheme. A dark
// desktop theme must not put black lesson texts on a dark face.
QPalette lodrixPalette();

} // namespace lodrix
