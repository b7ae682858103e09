#pragma once
// The frequency views of the free-setting lesson, each inside a box of the
// window canvas with its title, axes and the loop's stability margins drawn
// and written: Bode (gain in dB and phase in degrees over log w up to the
// Nyquist frequency pi/T), Nyquist (L in the complex plane about -1) and
// Black-Nichols (dB over phase, about the critical point -180 deg, 0 dB).
// Their texts are 8 points, as the plots' labels.

#include "numberformat.h"
#include "raster/canvas.h"
#include "viewbox.h"

#include "model/frequency.h"

namespace lodrix {

// Each leaves the pen black and solid, the brush white and solid.
void DrawBodeView(Canvas &canvas, const FrequencyResponse &response, const NumberFormat &f, ViewBox box);
void DrawNyquistView(Canvas &canvas, const FrequencyResponse &response, const NumberFormat &f, ViewBox box);
void DrawBlackView(Canvas &canvas, const FrequencyResponse &response, const NumberFormat &f, ViewBox box);

} // namespace lodrix
