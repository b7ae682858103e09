#pragma once
// The only way into a lesson: a shell (the Qt window, the web page) turns a
// click, a key or a timer tick into one call here, and applies what the
// controller reports back through ControllerShell: which controls to switch
// on or off, when the "Commentaires" button must exist, which commentary to
// load. The controller owns the counters and the model values; it draws on
// the three surfaces the shell gives it and decides everything a lesson
// depends on. No shell decides anything of its own.

#include "engine/animation.h"
#include "model/modelstate.h"
#include "model/sampledloop.h"
#include "pages/freesetting.h"
#include "pages/pages.h"
#include "raster/canvas.h"
#include "render/numberformat.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lodrix {

// The controls the handlers switch, by the names the form gives them.
// FreeSettings is the group of settings of the free-setting entry (corrector,
// gain, period, step), shown only for that entry.
enum class Control { ListBox2, Label6, Button1, Button2, RichEdit1, RichEdit2, B1, FreeSettings };
constexpr int controlCount = 8;

// What a shell has been told of a control: it shows the same.
struct ControlState {
    bool enabled = true;
    bool visible = true;
    bool operator==(const ControlState &) const = default;
};

class ControllerShell {
public:
    virtual ~ControllerShell() = default;
    // On: enabled, then visible. Off: disabled, then hidden.
    virtual void switchControl(Control control, bool on) = 0;
    // Hidden, and nothing else: the rich-text boxes.
    virtual void hideControl(Control control) = 0;
    // "Commentaires" is needed for the first time: the shell makes it (left
    // 680, top 40, 100 x 30, the window's font at 10 pt); the controller
    // switches it on right after.
    virtual void createCommentaryButton() = 0;
    // Shows RichEdit2 and loads the commentary file `name` into it
    // ("lodrix1.rtf", "lodrix1.en.rtf" in English); a file that cannot be
    // read is reported by the shell and leaves the box as it was.
    virtual void showCommentary(const char *name) = 0;
};

// One drawn frame of a run, with the model values after it: what an export
// writes, a row a frame.
struct RunRow {
    int tick = 0; // the page tick the frame drew
    int periode = 0;
    ModelState values;
};

// The menu entries by a short name, for file names: "proportionnel".
const char *lessonSlug(int rubrique);

constexpr int defaultIntervalMs = 50;
constexpr int minIntervalMs = 10;  // the scroll bar's left end, "+"
constexpr int maxIntervalMs = 100; // its right end, "-"

class Controller {
public:
    // Numbers are written as `numbers` says whatever the language: a shell
    // may follow a locale of its own for them.
    Controller(ControllerShell &shell, Surfaces surfaces, NumberFormat numbers, Language language = {});

    // The language of every text drawn from now on and of the commentaries,
    // with its decimal separator. A change starts the chosen entry afresh, as
    // choosing it again in the menu does: what was drawn is in the other
    // language.
    void setLanguage(Language language);
    const Language &language() const { return language_; }

    // "MENU :" and "Sélectionner :": a person selected row `row` of the list
    // (or clicked the row already selected). A row outside the list does nothing.
    void choix(int row);
    void choixbis(int row);
    void Button1Click();
    void Button2Click();
    // "Commentaires": shows the commentary of the entry, or closes it when
    // it is shown. Esc and the box's close control close it.
    void B1Click();
    void closeCommentary();

    // The scroll bar moved; the next tick takes its position as the interval.
    void setScrollPosition(int ms);
    // The scroll bar's position the controller was last given, in ms.
    int scrollPosition() const { return scrollPosition_; }
    // One timer tick: the interval re-read, the counters stepped, the frame
    // drawn, the "Commentaires" button switched on at a closed-loop end tick.
    Frame Timer1Timer();
    // The timer interval in force since the last tick, in milliseconds.
    int interval() const { return interval_; }

    // P: holds whatever page runs, or lets it go on. While held, a tick
    // draws and changes nothing; a start, a period press or a choice in a
    // list lets the page go again.
    void togglePause();
    bool paused() const { return paused_; }
    // N: exactly one more frame, as one tick would draw it; the page is held
    // after it.
    Frame stepFrame();

    // Menu entry 5: the corrector, gain, period and step the student chose.
    // A bad value is refused with a message that names it, in the
    // controller's language, and nothing changes. A change stops a run of
    // entry 5 and draws its idle picture at once, with the whole predicted
    // response, the poles and the verdict of the new settings; on another
    // entry it waits for entry 5.
    std::optional<std::string> setFreeSettings(const FreeSettings &settings);
    const FreeSettings &freeSettings() const { return freeLoop_.settings(); }
    // Their simulated run, its poles, locus and verdict.
    const SampledLoop &freeLoop() const { return freeLoop_; }

    // ---- Designing on the views box of entry 5 (pages/freesetting.h). The
    // shells hand over the pointer in form pixels and the view's keys; the
    // controller decides, sets the settings as the strip does (both shells
    // then show them) and draws the frame on screen again.
    // A press: on a branch of the locus, G of its nearest point; on the « Gc(T) » view, the offered
    // period nearest and the gain under it. Returns whether p was on the box
    // of entry 5 (the press is then the box's, whatever it did).
    bool viewPress(Point p);
    // The pointer moved, pressed or not: a drag begun on a branch follows
    // it; else what it points at on the locus is read out. none: it left.
    void viewPointer(std::optional<Point> p);
    void viewRelease();
    // The arrow keys on the focused view: G a slider step up or down per
    // step, along the locus.
    void viewStep(int steps);

    // K: the current run of entry 5 is kept as a ghost in its plots, up to
    // keptLimit of them, the oldest dropped first; a run already kept is not
    // kept twice. Shift+K clears them, and so does choosing another entry.
    // Both redraw the frame on screen at once. Nothing happens elsewhere.
    // Before any run the prediction is kept: the run is the same simulation.
    // Returns what K did, or why it kept nothing, in the controller's
    // language, for the shell to say.
    static constexpr std::size_t keptLimit = keptRunLimit;
    std::string keepRun();
    void clearKept();
    const std::vector<KeptRun> &kept() const { return kept_; }

    // The views area of entry 5: which view it shows, in its place or
    // enlarged. A change draws the frame on screen again at once (on entry
    // 5) and changes nothing else; elsewhere it waits for entry 5.
    void setFreeViews(FreeViews views);
    const FreeViews &freeViews() const { return freeViews_; }

    // The frames drawn since the page last started from its first tick.
    const std::vector<RunRow> &run() const { return run_; }

    // What the shell has been told of a control; B1 exists once B1existe is 1.
    ControlState control(Control c) const { return controls_[static_cast<int>(c)]; }

    // The rows last selected in the two lists, -1 before any.
    int menuRow() const { return menuRow_; }
    int modeRow() const { return modeRow_; }

    const NumberFormat &numbers() const { return numbers_; }
    const AnimationState &animation() const { return anim_; }
    const ModelState &model() const { return model_; }

    // Draws one frame as a tick would, without stepping anything: the pages
    // only draw the counters and model values a tick has stepped.
    void drawFrame(const Frame &frame);
    // Draws the frame on screen again, as a language switch, a zoom or an
    // expose may ask: no state and no pixel changes. Nothing once a handler
    // has cleared the picture, until the next tick draws a frame.
    void redraw();

    // Where a lesson stands: its counters, model values, run and frame on
    // screen. A tool that times one tick takes a mark and rewinds to it to
    // play the same tick again; a mark is only ever one the controller gave.
    class Mark {
        friend class Controller;
        AnimationState anim_;
        ModelState model_;
        std::size_t runFrames_ = 0;
        Frame shown_;
    };
    Mark mark() const;
    void rewind(const Mark &mark);

private:
    void resetArm();
    void hideCommentary();
    void clearTextArea();
    void showCommentaryButton();
    void switchControl(Control c, bool on);
    void hideControl(Control c);
    Frame tick();
    void stepModel(const Frame &frame);
    void newRun();
    void redrawFreeSetting();

    ControllerShell &shell_;
    Surfaces surfaces_;
    NumberFormat numbers_;
    Language language_;
    AnimationState anim_;
    ModelState model_;
    // At start-up the mode list, its label and "Incrémenter la période" are
    // off, the rich-text boxes hidden; "Démarrer Animation" is on.
    ControlState controls_[controlCount] = {{false, false}, {false, false}, {true, true},   {false, false},
                                            {true, false},  {true, false},  {false, false}, {false, false}};
    int menuRow_ = -1;
    int modeRow_ = -1;
    int scrollPosition_ = defaultIntervalMs;
    int interval_ = defaultIntervalMs;
    bool paused_ = false;
    std::vector<RunRow> run_;
    SampledLoop freeLoop_{FreeSettings{}};
    std::vector<KeptRun> kept_;
    FreeViews freeViews_;
    std::optional<std::size_t> dragBranch_; // the branch a press took, while held
    bool designFreeSettings(const FreeSettings &settings, std::optional<LocusPick> pointed);
    Frame shown_; // the frame on screen; none once a handler cleared it
};

} // namespace lodrix
