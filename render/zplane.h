#pragma once
// The z-plane box of the free-setting lesson: the unit circle, the loci of
// the closed-loop poles as G runs over its range, the poles of the settings
// and the gains where a branch crosses the circle.

#include "numberformat.h"
#include "raster/canvas.h"

#include "model/sampledloop.h"

#include <cstddef>
#include <optional>

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

// ---- Pointing at the locus: what a press, a drag or a hover at pixel p of
// the box means.

// The point of the plane under pixel p, and the pixel of z.
Complex ZPlanePoint(ZPlaneBox box, Point p);
Point ZPlanePixel(ZPlaneBox box, Complex z);

// The point of a drawn branch nearest p: its branch, the gain whose pole
// comes nearest p there (solved between the locus's gains, then rounded and
// held in range as the slider does), that gain's pole nearest p, and how far
// p is from the branch as drawn, in pixels. None off the plane, or beyond a
// few pixels of every branch; given a branch, the nearest point of that one
// wherever p is in the plane, as a drag follows it.
struct LocusPick {
    std::size_t branch = 0;
    double gain = 0.0;
    Complex pole;
    double distancePx = 0.0;
};
std::optional<LocusPick> PickOnLocus(const SampledLoop &loop, ZPlaneBox box, Point p,
                                     std::optional<std::size_t> onBranch = std::nullopt);

// What the hand points at, drawn in the box: a ring about the pole, its
// gain, damping ratio and natural frequency (z = e^(sT), T = period).
void DrawLocusReadout(Canvas &canvas, const LocusPick &pick, double period, const NumberFormat &f,
                      ZPlaneBox box);

} // namespace lodrix
