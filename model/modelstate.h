#pragma once
// The live values of the servo loop that the pages compute and the value row
// shows. Codes are 12-bit bipolar integers; voltages in volts, speeds in
// rad/s, angles in radians.

#include <cstdint>

namespace lodrix {

struct ModelState {
    std::int32_t E = 0;     // numeric set-point
    std::int32_t Ep = 0;    // error at the corrector's input
    std::int32_t Epu = 0;   // corrector output
    std::int32_t X = 0;     // converter code fed back to the computer
    double U1 = 0.0;        // converter output voltage
    double U = 0.0;         // amplifier output voltage
    double Omega1 = 0.0;    // motor speed
    double theta = 0.0;     // arm angle at the current tick
    double thetaPrec = 0.0; // arm angle at the end of the previous tick
    double thetaAff = 0.0;  // displayed angle, rounded up to 0.01 rad
    double V = 0.0;         // displayed sensor voltage
    std::int32_t D = 0;     // load on the arm, as the command that holds it (free setting)
};

} // namespace lodrix
