#pragma once
// The two signal plots under the scene, on the window canvas: frames with
// their graduations and labels, and one-pixel trace segments.

#include "canvas.h"

namespace lodrix {

// Where a closed-loop page writes the "T" and "2T" of its first two graduations.
struct PeriodMarks {
    Point leftT, left2T, rightT, right2T;
};

enum class PlotFrameKind { OpenLoop, ClosedLoop };

// Both axis pairs with their heads, the graduations (closed loop) and, in
// blue at 8 pt, the "t" labels then, on the closed-loop frame, the "T" and
// "2T" labels at marks (left "T", left "2T", right "T", right "2T"). Lines
// only, never a fill: the traces of earlier ticks survive. Leaves a blue pen
// of width 1 and the font blue at 8 pt; the face is left as it was.
void DrawPlotAxes(Canvas &window, PlotFrameKind frame, const PeriodMarks *marks = nullptr);

// Pen width 1 in colour, a line from (x, y0) to (x + 1, y1).
void PlotSegment(Canvas &window, Color color, int x, int y0, int y1);

} // namespace lodrix
