#pragma once
// A run as CSV for a spreadsheet: a header line, then one row per drawn frame
// with the model values after it, comma-separated, '.' as the decimal point,
// every double in the shortest form that reads back exactly. E is the
// set-point of the row's period (a ramp's rises period by period) and D the
// load acting on the arm then (the free-setting entry's; 0 elsewhere).

#include "engine/controller.h"

#include <span>
#include <string>

namespace lodrix {

inline constexpr const char *runCsvHeader = "tick,periode,E,X,Ep,Epu,U1,U,Omega1,theta,thetaAff,V,D";

std::string runCsv(std::span<const RunRow> rows);

} // namespace lodrix
