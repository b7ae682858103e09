#pragma once
// The two signal plots under the scene, on the window canvas: frames with
// their graduations and labels, and one-pixel trace segments.

#include "raster/canvas.h"

namespace lodrix {

// Where a closed-loop page writes the "T" and "2T" of its first two graduations.
struct PeriodMarks {
    Point leftT, left2T, rightT, right2T;
};

// The laboratory frame is the closed-loop one with the right-hand time axis
// shortened to three quarters of a pixel a tick, to leave room for the
// z-plane beside it.
enum class PlotFrameKind { OpenLoop, ClosedLoop, Laboratory };

// Right-hand plot of the laboratory frame: x of page tick n (0 to 320).
constexpr int laboratoryTraceX(int n)
{
    return 400 + 3 * n / 4;
}

// Both axis pairs with their heads, the graduations (closed loop) and, in
// blue at 8 pt, the "t" labels then, on the closed-loop frame, the "T" and
// "2T" labels at marks (left "T", left "2T", right "T", right "2T"). Lines
// only, never a fill: the traces of earlier ticks survive. Leaves a blue pen
// of width 1 and the font blue at 8 pt; the face is left as it was.
void DrawPlotAxes(Canvas &window, PlotFrameKind frame, const PeriodMarks *marks = nullptr);

// Pen width 1 in colour, a line from (x, y0) to (x + 1, y1).
void PlotSegment(Canvas &window, Color color, int x, int y0, int y1);

} // namespace lodrix
