#pragma once
// The two signal plots under the scene, on the window canvas: frames with
// their graduations and labels, and one-pixel trace segments.

#include "canvas.h"

namespace lodrix {

struct PeriodMarks {
    Point leftT, left2T, rightT, right2T; // "T" and "2T" labels
};

enum class PlotFrameKind { OpenLoop, ClosedLoop };

// Both axis pairs with their heads, the graduations (closed loop), the "t"
// labels and, on the closed-loop frame, the "T" and "2T" labels at marks.
void DrawPlotAxes(Canvas &window, PlotFrameKind frame, const PeriodMarks *marks = nullptr);

// Pen width 1 in colour, a line from (x, y0) to (x + 1, y1).
void PlotSegment(Canvas &window, Color color, int x, int y0, int y1);

} // namespace lodrix
