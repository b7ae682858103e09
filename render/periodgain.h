#pragma once
// The « Gc(T) » view: where the loop of the chosen corrector is stable in
// the plane of the sampling period (T1/4 to 2 T1, log scale) and the gain
// (log scale, minGain to maxGain), with the offered periods and the current
// setting marked. For the proportional corrector its edge is the critical
// gain, which grows as the period shrinks. It draws into any rectangle: the
// small box beside the plots or a view shown large.

#include "numberformat.h"
#include "raster/canvas.h"

#include "model/sampledloop.h"

#include <optional>

namespace lodrix {

// Where the view stands on its canvas, in pixels.
struct ViewRect {
    Point topLeft;
    int width = 0;
    int height = 0;
};

// Draws the view for these settings (their gain and period marked), its
// numbers written with f. The stable region is found once for the settings
// other than gain and period and the rectangle's size: a frame that draws it
// again, or a change of gain or period, finds nothing anew. Leaves the pen
// black and solid, the brush white and solid.
void DrawPeriodGainView(Canvas &canvas, const FreeSettings &settings, const NumberFormat &f, ViewRect box);

// What a click at pixel p of the view sets: the offered period nearest the
// period under it and the gain under it, rounded and held in range as the
// slider does (the gain unchanged for a corrector without one). None
// outside the plot's frame.
struct PeriodGainPick {
    double period = 0.0;
    double gain = 0.0;
};
std::optional<PeriodGainPick> PickPeriodGain(const FreeSettings &settings, ViewRect box, Point p);

} // namespace lodrix
