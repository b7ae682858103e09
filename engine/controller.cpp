#include "controller.h"

#include "model/locusdesign.h"
#include "model/plant.h"
#include "model/sampletable.h"
#include "pages/freesetting.h"
#include "render/periodgain.h"
#include "settings/settings.h"

#include <algorithm>
#include <string>

namespace lodrix {

namespace {

constexpr int menuRows = 6;
constexpr int modeRows = 2;
constexpr int continuousRow = 0; // "En continu"; row 1 is "Pas à pas"

// The longest run is a closed-loop page: 319 frames.
constexpr std::size_t longestRunFrames = 320;

} // namespace

const char *lessonSlug(int rubrique)
{
    static constexpr const char *slugs[] = {"presentation", "boucle-ouverte", "proportionnel",
                                            "compensation", "deux-coups",     "reglage-libre"};
    return rubrique >= 0 && rubrique < int(std::size(slugs)) ? slugs[rubrique] : "lodrix";
}

Controller::Controller(ControllerShell &shell, Surfaces surfaces, NumberFormat numbers, Language language)
    : shell_(shell), surfaces_(surfaces), numbers_(std::move(numbers)), language_(language)
{
    run_.reserve(longestRunFrames);
    for (Canvas *c : {&surfaces_.window, &surfaces_.scene, &surfaces_.anim})
        c->setLanguage(language_);
}

void Controller::setLanguage(Language language)
{
    if (language == language_)
        return;
    language_ = language;
    numbers_ = NumberFormat(std::string(language.decimalSeparator()));
    for (Canvas *c : {&surfaces_.window, &surfaces_.scene, &surfaces_.anim})
        c->setLanguage(language_);
    if (menuRow_ >= 0)
        choix(menuRow_);
    else
        clearTextArea();
}

void Controller::newRun()
{
    paused_ = false;
    run_.clear();
    // Only the free-setting entry has a load: the rows of another run say none.
    model_.D = 0;
}

void Controller::switchControl(Control c, bool on)
{
    controls_[static_cast<int>(c)] = {on, on};
    shell_.switchControl(c, on);
}

void Controller::hideControl(Control c)
{
    controls_[static_cast<int>(c)].visible = false;
    shell_.hideControl(c);
}

void Controller::resetArm()
{
    model_.thetaPrec = 0.0;
    model_.theta = 0.0;
}

void Controller::hideCommentary()
{
    if (anim_.B1existe == 1)
        switchControl(Control::B1, false);
    hideControl(Control::RichEdit1);
    hideControl(Control::RichEdit2);
}

void Controller::clearTextArea()
{
    ClearTextArea(surfaces_.window);
    // What is left on screen is no whole frame: nothing to draw again.
    shown_ = {};
}

void Controller::choix(int row)
{
    if (row < 0 || row >= menuRows)
        return;
    if (row != menuRow_)
        kept_.clear();
    menuRow_ = row;
    newRun();
    if (row >= 2)
        anim_.periode = 0;
    resetArm();
    hideCommentary();
    clearTextArea();
    anim_.compteur = 0;
    anim_.rubrique = row;
    switchControl(Control::FreeSettings, row == freeSettingEntry);
    if (row <= 1) {
        switchControl(Control::ListBox2, false);
        switchControl(Control::Label6, false);
        switchControl(Control::Button1, true);
        switchControl(Control::Button2, false);
        return;
    }
    switchControl(Control::ListBox2, true);
    switchControl(Control::Label6, true);
    // A mode chosen on one closed-loop page holds on the others; with no
    // mode chosen yet both buttons stay as they are.
    if (modeRow_ < 0)
        return;
    const bool continuous = modeRow_ == continuousRow;
    switchControl(Control::Button1, continuous);
    switchControl(Control::Button2, !continuous);
}

void Controller::choixbis(int row)
{
    if (row < 0 || row >= modeRows)
        return;
    modeRow_ = row;
    newRun();
    resetArm();
    hideCommentary();
    clearTextArea();
    anim_.compteur = 0;
    const bool continuous = row == continuousRow;
    anim_.modeAnimation = continuous ? 0 : 1;
    switchControl(Control::Button1, continuous);
    switchControl(Control::Button2, !continuous);
    if (!continuous)
        anim_.periode = 0;
}

void Controller::Button1Click()
{
    resetArm();
    clearTextArea();
    hideCommentary();
    newRun();
    startPage(anim_);
}

void Controller::Button2Click()
{
    resetArm();
    hideCommentary();
    paused_ = false;
    const PeriodAdvance advance = advancePeriod(anim_, freeLoop_.sampleTicks());
    if (advance.clearTextArea)
        clearTextArea();
    if (advance.applied)
        model_.thetaPrec = advance.thetaPrec;
    // Entry 5 starts each period where its simulation has the arm.
    if (advance.applied && anim_.rubrique == freeSettingEntry)
        model_.thetaPrec = freeLoop_.atSample(anim_.periode - 1).position / codesPerRadian;
    // Period 1 starts the run afresh; a later period goes on with it.
    if (advance.applied && anim_.periode == 1)
        run_.clear();
}

void Controller::B1Click()
{
    // The commentary of the entry chosen in the menu: lodrix1.rtf for entry
    // 2, lodrix1.en.rtf in English.
    if (menuRow_ < 2 || menuRow_ > freeSettingEntry)
        return;
    if (control(Control::RichEdit2).visible) {
        closeCommentary();
        return;
    }
    std::string name = "lodrix" + std::to_string(menuRow_ - 1);
    if (!language_.isSource())
        name += "." + std::string(language_.code());
    name += ".rtf";
    controls_[static_cast<int>(Control::RichEdit2)].visible = true;
    shell_.showCommentary(name.c_str());
}

void Controller::closeCommentary()
{
    if (control(Control::RichEdit2).visible)
        hideControl(Control::RichEdit2);
}

std::optional<std::string> Controller::setFreeSettings(const FreeSettings &settings)
{
    if (auto error = settingsError(settings, language_))
        return error;
    if (settings == freeLoop_.settings())
        return std::nullopt;
    // What the hand pointed at holds only for the gain it read out.
    if (freeViews_.pointed && freeViews_.pointed->gain != settings.gain)
        freeViews_.pointed.reset();
    freeLoop_ = SampledLoop(settings);
    // The run on screen belongs to the old settings: stop it as a choice in
    // a list does, and let the idle picture show the new ones.
    if (anim_.rubrique == freeSettingEntry) {
        newRun();
        resetArm();
        hideCommentary();
        clearTextArea();
        anim_.compteur = 0;
        anim_.periode = 0;
        drawFrame({Page::Idle, 0});
    }
    return std::nullopt;
}

std::string Controller::keepRun()
{
    if (anim_.rubrique != freeSettingEntry)
        return std::string(
            language_.tr("Rien à garder : K garde les courbes de « Boucle fermée : réglage libre »."));
    const FreeSettings &s = freeLoop_.settings();
    if (std::any_of(kept_.begin(), kept_.end(), [&](const KeptRun &k) { return k.loop.settings() == s; }))
        return std::string(language_.tr("Rien à garder : cette courbe est déjà gardée."));
    const bool full = kept_.size() == keptLimit;
    if (full)
        kept_.erase(kept_.begin());
    // The others keep their colours: the new run takes the one left free.
    kept_.push_back({freeLoop_, FreeKeptColour(kept_)});
    redrawFreeSetting();
    if (full)
        return std::string(language_.tr("Courbe gardée ; la plus ancienne est effacée."));
    return language_.format("Courbe gardée (%1 sur %2).",
                            {std::to_string(kept_.size()), std::to_string(keptLimit)});
}

void Controller::clearKept()
{
    if (anim_.rubrique != freeSettingEntry || kept_.empty())
        return;
    kept_.clear();
    redrawFreeSetting();
}

void Controller::setFreeViews(FreeViews views)
{
    if (views == freeViews_)
        return;
    dragBranch_.reset();
    freeViews_ = {views.shown, views.large, std::nullopt};
    redrawFreeSetting();
}

void Controller::redrawFreeSetting()
{
    // The free page draws its whole picture on every frame: drawing the one
    // on screen again shows the change and changes nothing else.
    if (shown_.page == Page::Idle || shown_.page == Page::FreeSetting)
        drawFrame(shown_);
}

// ---- Designing on the views box.

namespace {

bool onBox(ViewBox box, Point p)
{
    return p.x >= box.left && p.x < box.right() && p.y >= box.top && p.y < box.bottom();
}

// The locus's plane in the views area as it stands.
ZPlaneBox locusBox(ViewBox box, bool large)
{
    return {{box.left, box.top}, box.height, large ? box.width : 0};
}

bool samePick(const std::optional<LocusPick> &a, const std::optional<LocusPick> &b)
{
    if (!a || !b)
        return a.has_value() == b.has_value();
    return a->gain == b->gain && a->pole == b->pole;
}

} // namespace

bool Controller::designFreeSettings(const FreeSettings &settings, std::optional<LocusPick> pointed)
{
    freeViews_.pointed = pointed;
    if (settings == freeLoop_.settings()) {
        redrawFreeSetting();
        return true;
    }
    return !setFreeSettings(settings);
}

bool Controller::viewPress(Point p)
{
    const ViewBox box = freeViewBox(freeViews_.large);
    if (anim_.rubrique != freeSettingEntry || !onBox(box, p))
        return false;
    FreeSettings s = freeLoop_.settings();
    if (freeViews_.shown == FreeView::PeriodGain) {
        if (const auto pick = PickPeriodGain(s, {{box.left, box.top}, box.width, box.height}, p)) {
            s.period = pick->period;
            s.gain = pick->gain;
            designFreeSettings(s, std::nullopt);
        }
        return true;
    }
    if (freeViews_.shown != FreeView::Locus)
        return true; // the frequency views only show
    if (const auto pick = PickOnLocus(freeLoop_, locusBox(box, freeViews_.large), p)) {
        dragBranch_ = pick->branch;
        s.gain = pick->gain;
        designFreeSettings(s, pick);
    }
    return true;
}

void Controller::viewPointer(std::optional<Point> p)
{
    if (anim_.rubrique != freeSettingEntry || freeViews_.shown != FreeView::Locus)
        return;
    const ViewBox area = freeViewBox(freeViews_.large);
    const ZPlaneBox box = locusBox(area, freeViews_.large);
    if (dragBranch_ && p) {
        if (const auto pick = PickOnLocus(freeLoop_, box, *p, dragBranch_)) {
            FreeSettings s = freeLoop_.settings();
            s.gain = pick->gain;
            if (s != freeLoop_.settings() || !samePick(freeViews_.pointed, pick))
                designFreeSettings(s, pick);
        }
        return;
    }
    std::optional<LocusPick> pointed;
    if (p && onBox(area, *p))
        pointed = PickOnLocus(freeLoop_, box, *p);
    if (samePick(pointed, freeViews_.pointed))
        return;
    freeViews_.pointed = pointed;
    redrawFreeSetting();
}

void Controller::viewRelease()
{
    dragBranch_.reset();
}

void Controller::viewStep(int steps)
{
    FreeSettings s = freeLoop_.settings();
    if (anim_.rubrique != freeSettingEntry || !hasGain(s.corrector))
        return;
    s.gain = gainAtSliderPosition(sliderPositionOfGain(s.gain) + steps);
    // The readout follows the pole it showed, else the first of the upper half-plane's.
    std::optional<LocusPick> pointed;
    if (freeViews_.shown == FreeView::Locus) {
        Complex from = freeViews_.pointed ? freeViews_.pointed->pole : Complex(1.0, 1.0);
        pointed =
            LocusPick{freeViews_.pointed ? freeViews_.pointed->branch : 0, s.gain, poleNearest(s, from), 0.0};
    }
    designFreeSettings(s, pointed);
}

void Controller::showCommentaryButton()
{
    // One button serves every end tick, switched on again each time: a
    // classroom that replays lessons all day must not pile them up.
    if (anim_.B1existe == 0)
        shell_.createCommentaryButton();
    anim_.B1existe = 1;
    switchControl(Control::B1, true);
}

void Controller::setScrollPosition(int ms)
{
    scrollPosition_ = ms < minIntervalMs ? minIntervalMs : ms > maxIntervalMs ? maxIntervalMs : ms;
}

Frame Controller::Timer1Timer()
{
    interval_ = scrollPosition_;
    if (paused_)
        return {};
    return tick();
}

void Controller::togglePause()
{
    paused_ = !paused_;
}

Frame Controller::stepFrame()
{
    paused_ = true;
    return tick();
}

Frame Controller::tick()
{
    const Frame frame = dispatchTick(anim_, freeLoop_.sampleTicks());
    stepModel(frame);
    drawFrame(frame);
    if (frame.page != Page::None && frame.page != Page::Idle)
        run_.push_back({frame.tick, anim_.periode, model_});
    if (isClosedLoop(frame.page) && frame.tick > endTick - 1)
        showCommentaryButton();
    return frame;
}

void Controller::stepModel(const Frame &frame)
{
    // The model values of the frame's tick; the pages only show them.
    switch (frame.page) {
    case Page::None:
    case Page::Idle:
    case Page::Presentation:
        return;
    case Page::OpenLoop:
        openLoopModelStep(model_, frame.tick);
        return;
    case Page::Proportional:
        replayTick(model_, proportionalTable, frame.tick);
        return;
    case Page::PoleCompensation:
        replayTick(model_, poleCompensationTable, frame.tick);
        return;
    case Page::TwoStep:
        replayTick(model_, twoStepTable, frame.tick);
        return;
    case Page::FreeSetting:
        freeRunTick(model_, freeLoop_, frame.tick);
        return;
    }
}

void Controller::redraw()
{
    drawFrame(shown_);
}

Controller::Mark Controller::mark() const
{
    Mark m;
    m.anim_ = anim_;
    m.model_ = model_;
    m.runFrames_ = run_.size();
    m.shown_ = shown_;
    return m;
}

void Controller::rewind(const Mark &mark)
{
    anim_ = mark.anim_;
    model_ = mark.model_;
    if (mark.runFrames_ < run_.size())
        run_.resize(mark.runFrames_);
    shown_ = mark.shown_;
}

void Controller::drawFrame(const Frame &frame)
{
    FrameContext ctx{surfaces_, model_, numbers_, language_};
    if (frame.page != Page::None)
        shown_ = frame;
    switch (frame.page) {
    case Page::None:
        return;
    case Page::Idle:
        if (anim_.rubrique == freeSettingEntry)
            DrawFreeSettingIdle(ctx, freeLoop_, kept_, freeViews_);
        else
            DrawIdlePicture(ctx);
        return;
    case Page::Presentation:
        DrawPresentationFrame(ctx, frame.tick);
        return;
    case Page::OpenLoop:
        DrawOpenLoopFrame(ctx, frame.tick);
        return;
    case Page::Proportional:
        DrawProportionalFrame(ctx, frame.tick);
        return;
    case Page::PoleCompensation:
        DrawPoleCompensationFrame(ctx, frame.tick);
        return;
    case Page::TwoStep:
        DrawTwoStepFrame(ctx, frame.tick);
        return;
    case Page::FreeSetting:
        DrawFreeSettingFrame(ctx, freeLoop_, kept_, frame.tick, freeViews_);
        return;
    }
}

} // namespace lodrix
