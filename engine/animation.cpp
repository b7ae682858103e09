#include "animation.h"

#include <array>

namespace lodrix {

namespace {

constexpr std::array<int, periodCount + 1> lessonTicks = [] {
    std::array<int, periodCount + 1> ticks{};
    for (int k = 0; k <= periodCount; ++k)
        ticks[std::size_t(k)] = ticksPerPeriod * k;
    return ticks;
}();

} // namespace

const SampleTicks lessonSampleTicks = lessonTicks;

bool releaseCondition(int c, int b, int p, SampleTicks ticks)
{
    // Period p runs up to the tick before its end's sample; the last one to
    // the end tick. Each starts where the press put compteur.
    const int count = int(ticks.size()) - 1;
    const auto at = [&](int k) { return ticks[std::size_t(k)]; };
    if (p == 0)
        return b < c && c < b + endTick;
    if (p == 1 && count > 1)
        return b < c && c < b + at(1) - 1;
    if (p >= 2 && p <= count - 1)
        return b + at(p - 1) - 1 < c && c < b + at(p) - 1;
    if (p == count)
        return b + at(p - 1) - 1 < c && c < b + endTick;
    return false;
}

Frame dispatchTick(AnimationState &s, SampleTicks freeTicks)
{
    if (s.compteur == 0)
        return {Page::Idle, 0};
    if (s.compteur > presentationEnd && s.compteur <= -1) {
        --s.compteur;
        return {Page::Presentation, s.compteur};
    }
    if (s.compteur > 0 && s.compteur < openLoopEnd) {
        ++s.compteur;
        return {Page::OpenLoop, s.compteur};
    }
    struct ClosedLoop {
        int rubrique;
        std::int32_t AnimationState::*pageTick;
        Page page;
    };
    static constexpr std::array closedLoopPages{
        ClosedLoop{2, &AnimationState::compteur2, Page::Proportional},
        ClosedLoop{3, &AnimationState::compteur3, Page::PoleCompensation},
        ClosedLoop{4, &AnimationState::compteur4, Page::TwoStep},
        ClosedLoop{freeSettingEntry, &AnimationState::compteur5, Page::FreeSetting},
    };
    for (const ClosedLoop &p : closedLoopPages) {
        const int base = pageBase(p.rubrique);
        const SampleTicks ticks = p.page == Page::FreeSetting ? freeTicks : lessonSampleTicks;
        if (s.compteur > base && releaseCondition(s.compteur, base, s.periode, ticks)) {
            ++s.compteur;
            s.*p.pageTick = s.compteur - base;
            return {p.page, s.*p.pageTick};
        }
    }
    return {};
}

bool startPage(AnimationState &s)
{
    switch (s.rubrique) {
    case 0:
        s.compteur = -1;
        return true;
    case 1:
        s.compteur = 1;
        return true;
    case 2:
    case 3:
    case 4:
    case freeSettingEntry:
        s.compteur = pageBase(s.rubrique) + 1;
        s.periode = 0;
        return true;
    default:
        return false;
    }
}

double stepTableAngle(int rubrique, int period)
{
    // Stored start angles (rad) of periods 1 to 8: not what a continuous run
    // reaches at the same tick, but the lesson's rounded worked values.
    static constexpr double angles[3][periodCount] = {
        {0.0, 0.027, 0.081, 0.138, 0.188, 0.226, 0.253, 0.271}, // entry 2
        {0.0, 0.073, 0.181, 0.249, 0.28, 0.29, 0.293, 0.293},   // entry 3
        {0.0, 0.102, 0.205, 0.208, 0.205, 0.205, 0.205, 0.205}, // entry 4
    };
    if (rubrique < 2 || rubrique > 4 || period < 1 || period > periodCount)
        return 0.0;
    return angles[rubrique - 2][period - 1];
}

PeriodAdvance advancePeriod(AnimationState &s, SampleTicks freeTicks)
{
    PeriodAdvance r;
    const int b = pageBase(s.rubrique);
    if (s.modeAnimation != 1 || b == 0)
        return r;
    const SampleTicks ticks = s.rubrique == freeSettingEntry ? freeTicks : lessonSampleTicks;
    const int count = int(ticks.size()) - 1;
    r.applied = true;
    if (s.periode == count) {
        r.clearTextArea = true;
        s.periode = 0; // the sequence starts over
    }
    if (s.periode == 0) {
        s.periode = 1;
        s.compteur = b + 1;
        r.thetaPrec = 0.0;
    } else if (s.periode >= 1 && s.periode <= count - 1) {
        const int k = s.periode;
        s.periode = k + 1;
        s.compteur = b + ticks[std::size_t(k)];
        r.thetaPrec = stepTableAngle(s.rubrique, k + 1);
    } else {
        r.applied = false; // a periode no handler writes: leave it alone
    }
    return r;
}

} // namespace lodrix
