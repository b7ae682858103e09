#pragma once
// The per-period values of a closed-loop page: the set-point and eight rows,
// one per sampling period, replayed on every tick of the period's window.

#include "model/periods.h"
#include "plant.h"

#include <array>
#include <cstdint>

namespace lodrix {

struct SampleRow {
    std::int32_t X = 0; // acquired code X(kT) at the start of the period (= E - Ep)
    Segment segment;
};

struct SampleTable {
    std::int32_t E = 0;
    std::array<SampleRow, periodCount> rows;
};

extern const SampleTable proportionalTable;     // menu entry 2
extern const SampleTable poleCompensationTable; // menu entry 3
extern const SampleTable twoStepTable;          // menu entry 4

// The row whose window holds page tick n; none at the end tick.
const SampleRow *rowAt(const SampleTable &table, int n);

// One tick of a closed-loop page at page tick n: E first, then the row of
// n's window (none at the end tick), then thetaPrec := theta.
void replayTick(ModelState &s, const SampleTable &table, int n);

} // namespace lodrix
