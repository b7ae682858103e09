#pragma once
// The pixels of a one-pixel line, the classic canvas's rule, shared by every
// canvas that paints: a Bresenham walk from the start point that never plots
// the end point, and the dotted pen's 3-on-3-off pattern along it.

#include "raster/canvas.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace lodrix {

// Octants numbered clockwise from +x, y pointing down.
constexpr int octant(std::int64_t dx, std::int64_t dy)
{
    if (dy > 0)
        return dx > 0 ? (dx > dy ? 1 : 2) : (-dx > dy ? 4 : 3);
    return dx < 0 ? (-dx > -dy ? 5 : 6) : (dx > -dy ? 8 : 7);
}

// Where the walk is exactly between two pixels, half of the octants take the
// minor step early. Opposite octants disagree, so a line and its reverse
// cover the same pixels between their ends.
constexpr int tieBias(std::int64_t dx, std::int64_t dy)
{
    const int o = octant(dx, dy);
    return o == 3 || o == 5 || o == 6 || o == 8 ? 1 : 0;
}

static_assert(tieBias(4, 2) + tieBias(-4, -2) == 1);
static_assert(tieBias(2, 4) + tieBias(-2, -4) == 1);
static_assert(tieBias(-2, 4) + tieBias(2, -4) == 1);
static_assert(tieBias(-4, 2) + tieBias(4, -2) == 1);

// The Bresenham walk from `from` towards `to`, calling plot(step, x, y) for
// every pixel but the end point, over only the steps whose pixel lies in a
// buffer of width x height pixels, with the step numbers and pixels of the
// whole walk: a line may reach far beyond the buffer. Step i has taken ceil((2 minor i - major +
// bias) / (2 major)) minor steps, so the walk starts at its first visible
// step at once. Coordinates beyond 2^29 pixels are clamped first.
template<class Plot> void walkLineWithin(Point from, Point to, int width, int height, Plot plot)
{
    using Int = std::int64_t;
    const auto clamp = [](int v) {
        constexpr Int limit = Int(1) << 29; // 2 minor first stays within 64 bits
        return std::clamp<Int>(v, -limit, limit);
    };
    const Int dx = clamp(to.x) - clamp(from.x);
    const Int dy = clamp(to.y) - clamp(from.y);
    const Int major = std::max(std::abs(dx), std::abs(dy));
    const Int minor = std::min(std::abs(dx), std::abs(dy));
    if (major == 0 || width <= 0 || height <= 0)
        return;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const Int bias = tieBias(dx, dy);
    const Int alongStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const Int acrossStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const Int alongStart = xMajor ? clamp(from.x) : clamp(from.y);
    const Int acrossStart = xMajor ? clamp(from.y) : clamp(from.x);
    const Int alongSize = xMajor ? width : height;
    // Steps whose major coordinate lies inside the buffer.
    Int first = alongStep > 0 ? -alongStart : alongStart - (alongSize - 1);
    Int last = alongStep > 0 ? alongSize - 1 - alongStart : alongStart;
    first = std::max<Int>(first, 0);
    last = std::min(last, major - 1);
    if (first > last)
        return;
    const Int numerator = 2 * minor * first - major + bias;
    const Int taken = numerator > 0 ? (numerator + 2 * major - 1) / (2 * major) : 0;
    Int err = 2 * minor - major + 2 * minor * first - 2 * major * taken;
    Int along = alongStart + first * alongStep;
    Int across = acrossStart + taken * acrossStep;
    for (Int i = first; i <= last; ++i) {
        plot(int(i), int(xMajor ? along : across), int(xMajor ? across : along));
        if (err + bias > 0) {
            across += acrossStep;
            err += 2 * minor - 2 * major;
        } else {
            err += 2 * minor;
        }
        along += alongStep;
    }
}

constexpr int dotRunPx = 3; // a dotted pen: 3 pixels on, 3 off, from each line's start

constexpr bool dotIsOn(int step)
{
    return (step / dotRunPx) % 2 == 0;
}

} // namespace lodrix
