#pragma once
// The « Gc(T) » view of the free-setting lesson: the loop of these settings
// in the plane of the sampling period and the gain.

#include "numberformat.h"
#include "raster/canvas.h"
#include "viewbox.h"

#include "model/sampledloop.h"

namespace lodrix {

// Draws the view of loop's settings inside box, its frame and title
// included. Leaves the pen black and solid, the brush white and solid.
void DrawPeriodGainView(Canvas &canvas, const SampledLoop &loop, const NumberFormat &f, ViewBox box);

} // namespace lodrix
