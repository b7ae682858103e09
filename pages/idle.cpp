// The picture shown while no page runs: the closed loop at rest, the arm
// parked towards the front left, and the marks of the speed scroll bar.

#include "pages.h"

#include "render/arm.h"
#include "render/loopdiagram.h"

#include <cmath>
#include <string_view>

namespace lodrix {

namespace {

struct WindowMark {
    std::string_view text;
    int x;
    int y;
};

// Either end of the speed scroll bar: faster to the left, slower to the right.
constexpr WindowMark speedMarks[] = {
    {"+", 635, 510},
    {"-", 775, 510},
};

constexpr int markSizePt = 12;
// The presentation writes its explanation at the size the idle picture leaves.
constexpr int windowTextSizePt = 6;

constexpr DiagramVariant idleDiagram{
    .correctorLines = {}, .loopClosed = true, .eLabelColor = clGreen, .epuLabelX = 203};

// About 0.846 rad: between lessons the arm rests with its tip in front of and
// left of the hub.
double idleArmAngle()
{
    return 1.68 * (1.0 - std::exp(-42.0 / 60.01));
}

constexpr Point textAreaTopLeft{0, 250};
constexpr Point textAreaBottomRight{800, 490};

} // namespace

void ClearTextArea(Canvas &window)
{
    window.pen.width = 1;
    window.pen.color = clFace;
    window.brush.color = clFace;
    window.rectangle(textAreaTopLeft.x, textAreaTopLeft.y, textAreaBottomRight.x, textAreaBottomRight.y);
}

void DrawIdlePicture(FrameContext &ctx)
{
    Canvas &window = ctx.surfaces.window;
    // The whole font, not only colour and size: a page may have left the
    // window canvas in the Symbol face or bold.
    window.font = Font{.face = FontFace::SansSerif, .size = markSizePt, .color = clBlue, .bold = false};
    for (const WindowMark &m : speedMarks)
        window.textOut(m.x, m.y, m.text);
    window.font.size = windowTextSizePt;

    DrawLoopDiagram(ctx.surfaces.scene, idleDiagram);
    DrawArm(ctx.surfaces.anim, ctx.surfaces.scene, idleArmAngle());
}

} // namespace lodrix
