#pragma once
// The counters that say which page runs and how far it has got, and the tick
// dispatcher that steps them. Handlers write absolute values; the tick moves
// compteur by one step per frame.

#include "model/periods.h"

#include <cstdint>
#include <span>

namespace lodrix {

struct AnimationState {
    std::int32_t compteur = 0;       // 0 idle, -1..-100 presentation, 1..300 open loop, b+n closed loop
    std::int32_t periode = 0;        // 0: a closed-loop page runs through; k: only period k runs
    std::int32_t rubrique = -1;      // menu entry last chosen
    std::int32_t modeAnimation = -1; // 0 continuous, 1 step by step
    std::int32_t B1existe = 0;       // 1 once a "Commentaires" button exists
    std::int32_t compteur2 = 0;      // page tick of menu entries 2, 3, 4 and 5
    std::int32_t compteur3 = 0;
    std::int32_t compteur4 = 0;
    std::int32_t compteur5 = 0;
};

enum class Page { None, Idle, Presentation, OpenLoop, Proportional, PoleCompensation, TwoStep, FreeSetting };

// What one tick draws: the page and its tick (the new compteur on the
// presentation and open-loop pages, the page tick n on the closed-loop ones).
struct Frame {
    Page page = Page::None;
    int tick = 0;
    bool operator==(const Frame &) const = default;
};

constexpr int presentationEnd = -100;
constexpr int openLoopEnd = 300;

constexpr bool isClosedLoop(Page p)
{
    return p == Page::Proportional || p == Page::PoleCompensation || p == Page::TwoStep ||
           p == Page::FreeSetting;
}

// Menu entry 5 plays the loop with the student's own settings.
constexpr int freeSettingEntry = 5;

// 1000, 2000, 3000 or 4000 for menu entries 2 to 5; 0 otherwise.
constexpr int pageBase(int rubrique)
{
    return rubrique >= 2 && rubrique <= freeSettingEntry ? 1000 * (rubrique - 1) : 0;
}

// Where the samples of a closed-loop page fall: the first page tick at or
// after sample k, k = 0 to the page's period count, the last the end tick.
// The lessons' eight periods of 40 ticks; the free-setting entry's run has
// as many as its horizon holds (SampledLoop::sampleTicks).
using SampleTicks = std::span<const int>;
extern const SampleTicks lessonSampleTicks;

// Whether a closed-loop page of base b may step from c while periode is p,
// its periods where `ticks` puts them.
bool releaseCondition(int c, int b, int p, SampleTicks ticks = lessonSampleTicks);

// The tests of one tick in their order: steps compteur (and the page tick of
// a closed-loop page) and says which frame to draw. The free-setting page
// steps its periods where freeTicks puts them.
Frame dispatchTick(AnimationState &s, SampleTicks freeTicks = lessonSampleTicks);

// "Démarrer Animation": the start value of the page of rubrique; false when
// nothing is chosen yet.
bool startPage(AnimationState &s);

// "Incrémenter la période" in step mode on entries 2 to 5: moves to the next
// period and gives the stored start angle of that period in thetaPrec (0 on
// entry 5, whose angle comes from its simulation). Returns whether the text
// area must be cleared first (the press after the last period). Does nothing
// and returns false outside step mode or a closed-loop entry. The
// free-setting entry's periods are where freeTicks puts them.
struct PeriodAdvance {
    bool applied = false;
    bool clearTextArea = false;
    double thetaPrec = 0.0;
};
PeriodAdvance advancePeriod(AnimationState &s, SampleTicks freeTicks = lessonSampleTicks);

// The stored arm angle at the start of period k (1..8) of menu entry 2, 3 or
// 4; 0 for any other entry.
double stepTableAngle(int rubrique, int period);

} // namespace lodrix
