#include "formfit.h"

#include <algorithm>
#include <cmath>

namespace lodrix {

namespace {

// Whole-pixel blocks win while they keep this share of the fitted size.
constexpr double wholeBlocksKeep = 0.9;

} // namespace

double fillingScale(double roomWidth, double roomHeight, double formWidth, double formHeight)
{
    if (!(roomWidth > 0 && roomHeight > 0 && formWidth > 0 && formHeight > 0))
        return 0;
    const double fitted = std::min(roomWidth / formWidth, roomHeight / formHeight);
    const double whole = std::floor(fitted);
    return whole >= 1 && whole >= wholeBlocksKeep * fitted ? whole : fitted;
}

} // namespace lodrix
