#pragma once
// The robot arm turning above the reducer, painted on bmpAnim and copied onto
// the scene at (440, 0); and the potentiometer dial of the presentation.

#include "raster/canvas.h"

#include <functional>

namespace lodrix {

constexpr int animLeftOnScene = 440;

// The free end of the arm on bmpAnim for angle alpha (rad): (x, yTop) and
// (x, yBottom), on an ellipse of semi-axes 100 and 30 around the hub (110, 40).
// 0 points left, -pi/2 away from the viewer.
struct ArmTip {
    int x;
    int yTop;
    int yBottom;
    bool operator==(const ArmTip &) const = default;
};
ArmTip armTip(double alpha);

// Paints bmpAnim (erase, output shaft, overlay, arm) and copies it onto the
// scene. Leaves bmpAnim with a red pen of width 20 and a solid red brush.
void DrawArm(Canvas &anim, Canvas &scene, double alpha,
             const std::function<void(Canvas &anim)> &overlay = {});

// Potentiometer track, terminals, wiper at angle beta (rad) and hub. Leaves a
// yellow pen of width 4 and a yellow brush.
void DrawSensorDial(Canvas &anim, double beta);

} // namespace lodrix
