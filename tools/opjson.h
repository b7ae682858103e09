#pragma once
// Canvas calls as JSON lines, one object per call with the state in force.

#include "raster/canvas.h"

#include <string>

namespace lodrix {

std::string opToJson(const Op &op);

} // namespace lodrix
