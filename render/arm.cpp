#include "arm.h"

#include <array>
#include <cmath>

namespace lodrix {

namespace {

constexpr Point hub{110, 40};
constexpr int tipRadiusXPx = 100;
constexpr int tipRadiusYPx = 30;
// The arm is drawn as a wide stroke along the hub and the tip, 10 pixels deep.
constexpr int armDepthPx = 10;
constexpr int armPenWidthPx = 20;
constexpr int erasePenWidthPx = 2; // wide enough to leave no outline on the scene

constexpr int animWidthPx = 360;
constexpr int animHeightPx = 140;
constexpr Point shaftTopLeft{102, 50};
constexpr Point shaftBottomRight{118, 140};

constexpr int dialPenWidthPx = 4;
constexpr Point dialCentre{225, 75};
constexpr int wiperLengthPx = 21;

void drawDialTrack(Canvas &anim)
{
    // Counter-clockwise from the right terminal round to the left one: open at the bottom.
    anim.arc(200, 50, 250, 100, 240, 95, 210, 95);
    anim.line(190, 95, 210, 95);
    anim.line(240, 95, 260, 95);
}

} // namespace

ArmTip armTip(double alpha)
{
    const double dy = tipRadiusYPx * std::sin(alpha);
    return {static_cast<int>(hub.x - tipRadiusXPx * std::cos(alpha)), static_cast<int>(hub.y + dy),
            static_cast<int>(hub.y + armDepthPx + dy)};
}

void DrawArm(Canvas &anim, Canvas &scene, double alpha, const std::function<void(Canvas &anim)> &overlay)
{
    anim.pen.width = erasePenWidthPx;
    anim.pen.color = clFace;
    anim.brush.color = clFace;
    anim.rectangle(0, 0, animWidthPx, animHeightPx);

    anim.pen.color = clBlue;
    anim.brush.color = clBlue;
    anim.rectangle(shaftTopLeft.x, shaftTopLeft.y, shaftBottomRight.x, shaftBottomRight.y);

    if (overlay)
        overlay(anim);

    anim.brush.style = BrushStyle::Solid;
    anim.pen.width = armPenWidthPx;
    anim.pen.color = clRed;
    anim.brush.color = clRed;
    const ArmTip tip = armTip(alpha);
    // Closed explicitly: the last point repeats the first.
    const std::array<Point, 5> arm{{
        {hub.x, hub.y + armDepthPx},
        hub,
        {tip.x, tip.yTop},
        {tip.x, tip.yBottom},
        {hub.x, hub.y + armDepthPx},
    }};
    anim.polygon(arm);

    scene.draw(animLeftOnScene, 0, anim);
}

void DrawSensorDial(Canvas &anim, double beta)
{
    anim.pen.color = clBlue;
    anim.pen.width = dialPenWidthPx;
    drawDialTrack(anim);

    anim.pen.color = clRed;
    anim.pen.width = dialPenWidthPx;
    anim.line(static_cast<int>(dialCentre.x - wiperLengthPx * std::cos(beta)),
              static_cast<int>(dialCentre.y + wiperLengthPx * std::sin(beta)), dialCentre.x, dialCentre.y);

    anim.pen.color = clYellow;
    anim.brush.color = clYellow;
    anim.ellipse(220, 70, 230, 80);
}

} // namespace lodrix
