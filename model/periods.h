#pragma once
// The time base of a closed-loop run: eight sampling periods of 40 page
// ticks, and the end tick that draws the conclusions after them.

namespace lodrix {

constexpr int ticksPerPeriod = 40;
constexpr int periodCount = 8;
constexpr int endTick = 320; // last page tick of a closed-loop page

// Sampling period 1..8 of page tick n (n <= 39 is period 1). The end tick
// belongs to no period except for the arm, which the caller handles.
constexpr int periodOf(int n)
{
    if (n < ticksPerPeriod)
        return 1;
    if (n >= endTick)
        return 0;
    return n / ticksPerPeriod + 1;
}

// Period whose arm angle law draws tick n: period 8 also draws the end tick.
constexpr int armPeriodOf(int n)
{
    return n >= endTick ? periodCount : periodOf(n);
}

} // namespace lodrix
