#pragma once
// A run as CSV for a spreadsheet: a header line, then one row per drawn frame
// with the model values after it, comma-separated, '.' as the decimal point,
// every double in the shortest form that reads back exactly.

#include "engine/controller.h"

#include <span>
#include <string>

namespace lodrix {

inline constexpr const char *runCsvHeader = "tick,periode,E,X,Ep,Epu,U1,U,Omega1,theta,thetaAff,V";

std::string runCsv(std::span<const RunRow> rows);

} // namespace lodrix
