#pragma once
// Plays lessons on the real window as a person does, with the ticks called
// directly instead of waiting for the timer: the benchmarks, the soak and the
// memory run share it.

#include "app/tvitesse.h"
#include "engine/animation.h"

#include <string>
#include <string_view>

namespace lodrix::bench {

enum class Mode { Continuous = 0, StepByStep = 1 }; // rows of "Sélectionner :"

// A page of the menu and the ticks the benchmark times, numbered as the
// page's renderer numbers them.
struct PageTicks {
    std::string_view name; // key of the JSON report
    int menuEntry;         // -1: the idle picture, drawn while nothing runs
    Page page;
    int first;
    int middle;
    int end;
};

inline constexpr PageTicks pageTicks[] = {
    {"idle", -1, Page::Idle, 0, 0, 0},
    {"presentation", 0, Page::Presentation, -2, -51, presentationEnd},
    {"open_loop", 1, Page::OpenLoop, 2, 151, openLoopEnd},
    {"proportional", 2, Page::Proportional, 2, 161, endTick},
    {"pole_compensation", 3, Page::PoleCompensation, 2, 161, endTick},
    {"two_step", 4, Page::TwoStep, 2, 161, endTick},
    {"free_setting", 5, Page::FreeSetting, 2, 161, endTick},
};

class Driver {
public:
    explicit Driver(Tvitesse &w) : w_(w) {}

    // Each action clicks its control the way a person can: a hidden or
    // disabled control throws std::logic_error rather than do nothing.
    void choose(int menuEntry);
    void chooseMode(Mode mode);
    void start();
    void nextPeriod();
    // Presses "Commentaires" when it is on; whether it was. An error box
    // that comes up is closed and counted.
    bool openCommentary();
    int commentaryErrors() const { return commentaryErrors_; }
    const std::string &firstCommentaryError() const { return firstCommentaryError_; }

    // What the next tick will draw, without drawing it.
    Frame nextFrame() const;
    // One tick, then the repaint it asks for.
    void tick();
    // Ticks until the next one would draw nothing; returns how many drew.
    int playUntilHalt();
    // Runs page p (closed-loop pages straight through) until the next tick
    // is `tick`, so that the state and the accumulated pixels are those of
    // an uninterrupted run.
    void prepare(const PageTicks &p, int tick);

    // Every page in menu order; each closed-loop page straight through, then
    // step by step with its eight presses, its commentary opened after each.
    void playLesson();

private:
    void requireCommentary();

    Tvitesse &w_;
    int commentaryErrors_ = 0;
    std::string firstCommentaryError_;
};

} // namespace lodrix::bench
