#pragma once
// The z-plane box of the free-setting lesson: the unit circle, the loci of
// the closed-loop poles as G runs over its range, the poles of the settings
// and the gains where a branch crosses the circle.

#include "numberformat.h"
#include "raster/canvas.h"

#include "model/sampledloop.h"

namespace lodrix {

// Where the box stands on its canvas: its top-left corner and its side, in
// pixels. The unit circle's radius is a third of the side. A box wider
// than high (the views area enlarged) gives the plane its width, the circle
// a third of its height.
struct ZPlaneBox {
    Point topLeft;
    int size = 0;  // its height, and its width when width is 0
    int width = 0; // 0: square
    int across() const { return width > 0 ? width : size; }
};

// Draws the box of loop's root locus and poles, its gains written with f:
// the title in a row of its own above the plane, each crossing's gain where
// it covers no branch, mark or other text, and a pole beyond the plane as an
// arrow on its edge pointing at it. Leaves the pen black and solid, the brush
// white and solid, the font at 6 points.
void DrawZPlane(Canvas &canvas, const SampledLoop &loop, const NumberFormat &f, ZPlaneBox box);

} // namespace lodrix
