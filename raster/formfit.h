#pragma once
// How large the form is drawn when it is to fill a room: the desktop's full
// screen and the browser's window. Both editions ask this one rule.
//  - The largest scale at which the whole form fits, in device pixels per
//    form pixel.
//  - Rounded down to a whole number when that costs a tenth of the room or
//    less: every form pixel is then an F x F block of device pixels.
//  - Otherwise the fitted scale as it is; the picture is then grown
//    area-weighted (raster/upscale.h). Below 1 it is the fitted scale too.

namespace lodrix {

// Device pixels per form pixel for a form of formWidth x formHeight in a
// room of roomWidth x roomHeight device pixels; 0 for an empty room or form.
double fillingScale(double roomWidth, double roomHeight, double formWidth, double formHeight);

} // namespace lodrix
