#pragma once
// The robot arm turning above the reducer, painted on bmpAnim and copied onto
// the scene at (440, 0); and the potentiometer dial of the presentation.

#include "canvas.h"

#include <functional>

namespace lodrix {

constexpr int animLeftOnScene = 440;

// The free end of the arm on bmpAnim for angle alpha: (xt, yt) and (xt, yb).
struct ArmTip {
    int x;
    int yTop;
    int yBottom;
    bool operator==(const ArmTip &) const = default;
};
ArmTip armTip(double alpha);

// Paints bmpAnim (erase, output shaft, overlay, arm) and copies it onto the scene.
void DrawArm(Canvas &anim, Canvas &scene, double alpha,
             const std::function<void(Canvas &anim)> &overlay = {});

// Potentiometer track, terminals, wiper at angle beta and hub.
void DrawSensorDial(Canvas &anim, double beta);

} // namespace lodrix
