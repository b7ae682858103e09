#include "plots.h"

#include "loopdiagram.h"

#include <array>

namespace lodrix {

namespace {

constexpr int labelSizePt = 8;

// Each axis followed by the two strokes of its head, which end in the tip.
using AxisStrokes = std::array<PlacedLine, 12>;

struct FrameGeometry {
    AxisStrokes axes;
    Point leftTimeLabel;
    Point rightTimeLabel;
};

constexpr FrameGeometry openLoopFrame{
    {{
        {{50, 410}, {50, 260}},   // left vertical axis
        {{43, 267}, {50, 260}},   // its head
        {{57, 267}, {50, 260}},   // its head
        {{40, 400}, {360, 400}},  // left time axis
        {{353, 393}, {360, 400}}, // its head
        {{353, 407}, {360, 400}}, // its head
        {{400, 410}, {400, 260}}, // right vertical axis
        {{393, 267}, {400, 260}}, // its head
        {{407, 267}, {400, 260}}, // its head
        {{390, 400}, {700, 400}}, // right time axis
        {{693, 393}, {700, 400}}, // its head
        {{693, 407}, {700, 400}}, // its head
    }},
    {340, 380},
    {680, 380},
};

constexpr FrameGeometry closedLoopFrame{
    {{
        {{50, 380}, {50, 250}},   // left vertical axis
        {{43, 257}, {50, 250}},   // its head
        {{57, 257}, {50, 250}},   // its head
        {{40, 370}, {390, 370}},  // left time axis
        {{383, 363}, {390, 370}}, // its head
        {{383, 377}, {390, 370}}, // its head
        {{400, 380}, {400, 260}}, // right vertical axis
        {{393, 267}, {400, 260}}, // its head
        {{407, 267}, {400, 260}}, // its head
        {{395, 370}, {740, 370}}, // right time axis
        {{733, 363}, {740, 370}}, // its head
        {{733, 377}, {740, 370}}, // its head
    }},
    {375, 350},
    {725, 350},
};

constexpr FrameGeometry laboratoryFrame{
    {{
        closedLoopFrame.axes[0],
        closedLoopFrame.axes[1],
        closedLoopFrame.axes[2],
        closedLoopFrame.axes[3],
        closedLoopFrame.axes[4],
        closedLoopFrame.axes[5],
        closedLoopFrame.axes[6],
        closedLoopFrame.axes[7],
        closedLoopFrame.axes[8],
        {{395, 370}, {645, 370}}, // right time axis
        {{638, 363}, {645, 370}}, // its head
        {{638, 377}, {645, 370}}, // its head
    }},
    {375, 350},
    {630, 350},
};

// One graduation per sampling period of 40 ticks, one pixel per tick, on both
// closed-loop time axes; 30 pixels a period on the laboratory's right axis.
constexpr int periodWidthPx = 40;
constexpr int laboratoryPeriodWidthPx = 30;
static_assert(laboratoryTraceX(40) - laboratoryTraceX(0) == laboratoryPeriodWidthPx);
constexpr int graduationCount = 8;
constexpr int leftTimeOriginX = 50;
constexpr int rightTimeOriginX = 400;
constexpr int graduationTopY = 365;
constexpr int graduationBottomY = 375;

void drawGraduations(Canvas &window, int timeOriginX, int widthPx = periodWidthPx)
{
    for (int k = 1; k <= graduationCount; ++k) {
        const int x = timeOriginX + k * widthPx;
        window.line(x, graduationTopY, x, graduationBottomY);
    }
}

void label(Canvas &window, Point at, std::string_view text)
{
    window.textOut(at.x, at.y, text);
}

} // namespace

void DrawPlotAxes(Canvas &window, PlotFrameKind frame, const PeriodMarks *marks)
{
    const bool closedLoop = frame != PlotFrameKind::OpenLoop;
    const FrameGeometry &g = frame == PlotFrameKind::OpenLoop     ? openLoopFrame
                             : frame == PlotFrameKind::ClosedLoop ? closedLoopFrame
                                                                  : laboratoryFrame;

    window.pen.width = 1;
    window.pen.color = clBlue;
    DrawLines(window, g.axes);
    if (closedLoop) {
        drawGraduations(window, leftTimeOriginX);
        drawGraduations(window, rightTimeOriginX,
                        frame == PlotFrameKind::Laboratory ? laboratoryPeriodWidthPx : periodWidthPx);
    }

    window.font.color = clBlue;
    window.font.size = labelSizePt;
    label(window, g.leftTimeLabel, "t");
    label(window, g.rightTimeLabel, "t");
    if (closedLoop && marks) {
        label(window, marks->leftT, "T");
        label(window, marks->left2T, "2T");
        label(window, marks->rightT, "T");
        label(window, marks->right2T, "2T");
    }
}

void PlotSegment(Canvas &window, Color color, int x, int y0, int y1)
{
    window.pen.width = 1;
    window.pen.color = color;
    window.line(x, y0, x + 1, y1);
}

} // namespace lodrix
