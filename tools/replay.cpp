// lodrix-replay: plays user actions and timer ticks on the real Lodrix window,
// on the offscreen platform, and dumps what it shows.
//
//   lodrix-replay [--lang fr|en] [--locale NAME] [--scale F] [--zoom PERCENT] [--page-url URL]
//                 COMMAND... | ... -
//   lodrix-replay --help
//
// --lang plays the window in that language (French by default, whatever the
// machine's locale, so that runs compare across machines), its numbers with
// the language's decimal separator unless --locale names a locale for them;
// --scale renders as under Qt's scale factor F (shots in device pixels),
// --zoom as the form zoomed by Ctrl++; --page-url (else LODRIX_PAGE_URL) names
// the page links open, as lodrix's does.
//
// Commands: menu I, mode I, start, next, comment, scroll P, tick [N], wait MS
// (real time, for a short message to go away), pick X Y (a click at form
// pixel X, Y on the shown view),
// set NAME VALUE (a setting of the free-setting entry, named and written as a
// link gives it: set corrector PC, set gain 6.8, set period 0.05; the rows
// of settings/settings.h), keep,
// clear (the kept runs of the free-setting entry, as K and Shift+K), redraw
// (the frame on screen drawn again, as an expose or a zoom asks), key SEQ,
// shot FILE, scene FILE, canvas FILE, save FILE, csv FILE, state, ops FILE,
// open QUERY (a link applied as the page applies its address at load; its
// language is the window's when --lang does not say), link (prints the
// link of what is shown, as the desktop copies it), commentary FILE (the plain text of
// the commentary shown), view NAME [large] (the views area of the
// free-setting entry: locus, bode, nyquist, black or period, in its place or
// enlarged, as its chooser sets it).
// A setting is shown in the strip as a person's is; the state line gives
// each control's rectangle on the form, in form pixels.
// With "-" the commands are read one per line from standard input. Every
// command is checked before any runs.

#include "opjson.h"

#include "app/canvas/colors.h"
#include "app/canvas/fonts.h"
#include "app/canvas/rasterimage.h"
#include "app/tvitesse.h"
#include "engine/link.h"
#include "engine/statejson.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using lodrix::Tvitesse;

struct Command {
    std::string name;
    int number = 0;          // menu's and mode's row, scroll's interval, tick's count
    std::string file;        // what shot, scene, canvas, save, csv, ops and commentary write
    std::string key;         // key's sequence
    std::string setting;     // set's setting, by its name
    std::string value;       // set's value, as written
    lodrix::Link link = {};  // open's
    lodrix::FreeViews views; // view's
    int x = 0;               // pick's form pixel
    int y = 0;
};

struct Usage {
    std::string message;
};

std::optional<int> toInt(const std::string &s)
{
    try {
        std::size_t used = 0;
        const int v = std::stoi(s, &used);
        if (used == s.size())
            return v;
    } catch (const std::exception &) {
    }
    return std::nullopt;
}

// What a command takes after its name.
enum class Takes { Nothing, Number, Count, Setting, Link, Key, File, Pixel, View };

struct Grammar {
    std::string_view name;
    Takes takes;
    int low = 0; // a Number's range
    int high = 0;
};

constexpr Grammar grammar[] = {
    {"menu", Takes::Number, 0, 5},
    {"mode", Takes::Number, 0, 1},
    {"scroll", Takes::Number, 10, 100},
    {"wait", Takes::Number, 0, 10000},
    {"tick", Takes::Count},
    {"set", Takes::Setting},
    {"open", Takes::Link},
    {"key", Takes::Key},
    {"start", Takes::Nothing},
    {"next", Takes::Nothing},
    {"comment", Takes::Nothing},
    {"state", Takes::Nothing},
    {"link", Takes::Nothing},
    {"keep", Takes::Nothing},
    {"clear", Takes::Nothing},
    {"redraw", Takes::Nothing},
    {"shot", Takes::File},
    {"scene", Takes::File},
    {"canvas", Takes::File},
    {"ops", Takes::File},
    {"csv", Takes::File},
    {"save", Takes::File},
    {"commentary", Takes::File},
    {"pick", Takes::Pixel},
    {"view", Takes::View},
};

// The words of a command line, taken one after the other.
class Words {
public:
    explicit Words(const std::vector<std::string> &words) : words_(words) {}
    bool done() const { return next_ >= words_.size(); }
    const std::string &take() { return words_[next_++]; }
    const std::string *peek() const { return done() ? nullptr : &words_[next_]; }
    // The argument of the command named; throws when there is none.
    const std::string &argument(const std::string &command)
    {
        if (done())
            throw Usage{"command '" + command + "' needs an argument"};
        return take();
    }

private:
    const std::vector<std::string> &words_;
    std::size_t next_ = 0;
};

// "tick [N]": a count when the next word is a number.
int tickCount(Words &words)
{
    const std::string *next = words.peek();
    const auto v = next ? toInt(*next) : std::nullopt;
    if (!v)
        return 1;
    if (*v < 0)
        throw Usage{"bad argument '" + *next + "' for 'tick'"};
    words.take();
    return *v;
}

// "set NAME VALUE": the value alone checked as the controller checks it, so
// that a bad one stops the replay before anything runs.
void readSetting(Command &c, Words &words, const lodrix::Language &language)
{
    c.setting = words.argument(c.name);
    c.value = words.argument(c.name);
    lodrix::FreeSettings s;
    if (const auto error = lodrix::setCommandError(c.setting, c.value, s, language))
        throw Usage{*error};
}

Command command(const Grammar &g, Words &words, const lodrix::Language &language)
{
    Command c;
    c.name = g.name;
    switch (g.takes) {
    case Takes::Nothing:
        break;
    case Takes::Number: {
        const std::string &a = words.argument(c.name);
        const auto v = toInt(a);
        if (!v || *v < g.low || *v > g.high)
            throw Usage{"bad argument '" + a + "' for '" + c.name + "' (expected " + std::to_string(g.low) +
                        " to " + std::to_string(g.high) + ")"};
        c.number = *v;
        break;
    }
    case Takes::Count:
        c.number = tickCount(words);
        break;
    case Takes::Setting:
        readSetting(c, words, language);
        break;
    case Takes::Link: {
        const std::string &a = words.argument(c.name);
        lodrix::LinkReading reading = lodrix::readLink(a, language);
        if (reading.error)
            throw Usage{"bad link '" + a + "' for 'open': " + *reading.error};
        c.link = reading.link;
        break;
    }
    case Takes::Key: {
        c.key = words.argument(c.name);
        const QKeySequence key(QString::fromStdString(c.key));
        if (key.isEmpty() || key[0].key() == Qt::Key_unknown)
            throw Usage{"bad key sequence '" + c.key + "' for 'key'"};
        break;
    }
    case Takes::File:
        c.file = words.argument(c.name);
        break;
    case Takes::Pixel: {
        for (int *v : {&c.x, &c.y}) {
            const std::string &a = words.argument(c.name);
            const auto n = toInt(a);
            if (!n || *n < 0 || *n >= (v == &c.x ? 800 : 560))
                throw Usage{"bad argument '" + a + "' for 'pick' (a form pixel: X 0 to 799, Y 0 to 559)"};
            *v = *n;
        }
        break;
    }
    case Takes::View: {
        const std::string &a = words.argument(c.name);
        const auto view = lodrix::freeViewNamed(a);
        if (!view)
            throw Usage{"bad view '" + a + "' for 'view' (expected locus, bode, nyquist, black or period)"};
        c.views.shown = *view;
        if (const std::string *next = words.peek(); next && (*next == "large" || *next == "small")) {
            c.views.large = *next == "large";
            words.take();
        }
        break;
    }
    }
    return c;
}

// Turns words into commands; throws Usage naming the first bad one.
std::vector<Command> parse(const std::vector<std::string> &list, const lodrix::Language &language)
{
    std::vector<Command> commands;
    Words words(list);
    while (!words.done()) {
        const std::string &w = words.take();
        const auto *g = std::find_if(std::begin(grammar), std::end(grammar),
                                     [&w](const Grammar &entry) { return entry.name == w; });
        if (g == std::end(grammar))
            throw Usage{"unknown command '" + w + "'"};
        commands.push_back(command(*g, words, language));
    }
    return commands;
}

// The state line with each control's accessible name, as a screen reader
// announces it, and its rectangle on the form, in form pixels.
std::string stateWithNames(const Tvitesse &w)
{
    auto state = nlohmann::ordered_json::parse(lodrix::stateJson(w.controller));
    for (auto &[name, control] : state["controls"].items()) {
        if (const auto *widget = w.findChild<const QWidget *>(QString::fromStdString(name)))
            control["accessibleName"] = widget->accessibleName().toStdString();
        if (const QRect r = w.formRect(QString::fromStdString(name)); !r.isEmpty())
            control["rect"] = {r.x(), r.y(), r.width(), r.height()};
    }
    return state.dump();
}

constexpr char usage[] =
    "Usage: lodrix-replay [--lang fr|en] [--locale NAME] [--scale F] [--zoom PERCENT] [--page-url URL]\n"
    "                     COMMAND... | -\n"
    "Plays user actions and timer ticks on the real Lodrix window, offscreen, and dumps what it shows.\n"
    "\n"
    "Commands:\n"
    "  menu I, mode I, start, next, comment   a click on a list row or a button\n"
    "  scroll P                               the speed bar at P ms (10 to 100)\n"
    "  tick [N]                               N timer ticks (1 by default)\n"
    "  wait MS                                MS milliseconds of real time (a message goes away)\n"
    "  set NAME VALUE                         a setting of the free-setting lesson, as a link writes it\n"
    "                                         (set corrector PC, set gain 6.8), shown in its strip\n"
    "  keep, clear                            K and Shift+K\n"
    "  pick X Y                               a click at form pixel X, Y on the shown view (the locus:\n"
    "                                         G of the nearest branch point; Gc(T): T and G)\n"
    "  redraw                                 the frame on screen drawn again, as an expose asks\n"
    "  key SEQ                                a key pressed on the window (P, N, Shift+K, Ctrl+E...)\n"
    "  open QUERY                             a link applied as the page applies its address\n"
    "  link                                   prints the link of what is shown\n"
    "  state                                  prints the state as one line of JSON\n"
    "  shot FILE, scene FILE, canvas FILE, save FILE   PNG pictures\n"
    "  csv FILE, ops FILE, commentary FILE    the run, the canvas calls, the commentary's text\n"
    "  view NAME [large]                      the free-setting lesson's view, as its chooser sets it:\n"
    "                                         locus, bode, nyquist, black or period (« Gc(T) »), in its\n"
    "                                         place or, with large, enlarged over the right-hand plot\n"
    "With - the commands are read one per line from standard input; all are checked before any runs.\n";

// A key pressed on the window: the window's action on that key if it has
// one, as its shortcut would run it, else the key to the focused control.
void pressKey(Tvitesse &w, const QKeySequence &key)
{
    for (QAction *action : w.actions()) {
        if (action->shortcuts().contains(key)) {
            action->trigger();
            return;
        }
    }
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
    const QKeyCombination combination = key[0];
    const int code = combination.key();
    const QString text =
        code >= Qt::Key_Space && code <= Qt::Key_AsciiTilde ? QString(QChar(code)).toLower() : QString();
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, code, combination.keyboardModifiers(), text);
        QApplication::sendEvent(target, &event);
    }
}

// A person can click only what is shown and enabled.
bool clickable(const QWidget *w, const char *name)
{
    if (!w) {
        std::fprintf(stderr, "lodrix-replay: %s does not exist yet\n", name);
        return false;
    }
    if (w->isHidden() || !w->isEnabled()) {
        std::fprintf(stderr, "lodrix-replay: %s is %s and cannot be clicked\n", name,
                     w->isHidden() ? "hidden" : "disabled");
        return false;
    }
    return true;
}

bool savePng(const QImage &image, const std::string &file)
{
    if (image.save(QString::fromStdString(file), "PNG"))
        return true;
    std::fprintf(stderr, "lodrix-replay: cannot write %s\n", file.c_str());
    return false;
}

struct Options {
    std::optional<lodrix::Language> language;
    std::optional<std::string> locale;
    std::optional<std::string> scale; // Qt's scale factor, as QT_SCALE_FACTOR takes it
    std::optional<QString> page;      // --page-url
    int zoom = 100;
};

// ---- What each command does ----------------------------------------------------
// Each returns the program's status: 0 to go on, else the status it stops with,
// having said why.

struct Replay {
    Tvitesse &w;
    lodrix::OpLog lastLog; // calls of the latest command that could draw
};

int click(QAbstractButton *button, const char *name)
{
    if (!clickable(button, name))
        return 1;
    button->click();
    return 0;
}

int chooseRow(Tvitesse &w, QListWidget *list, const char *name, int row)
{
    if (!clickable(list, name))
        return 1;
    w.clickListItem(list, row);
    return 0;
}

int menu(Replay &r, const Command &c)
{
    return chooseRow(r.w, r.w.ListBox1, "ListBox1", c.number);
}

int mode(Replay &r, const Command &c)
{
    return chooseRow(r.w, r.w.ListBox2, "ListBox2", c.number);
}

int start(Replay &r, const Command &)
{
    return click(r.w.Button1, "Button1");
}

int next(Replay &r, const Command &)
{
    return click(r.w.Button2, "Button2");
}

int comment(Replay &r, const Command &)
{
    return click(r.w.B1, "B1");
}

int scroll(Replay &r, const Command &c)
{
    if (!clickable(r.w.ScrollBar1, "ScrollBar1"))
        return 1;
    r.w.ScrollBar1->setValue(c.number);
    return 0;
}

int set(Replay &r, const Command &c)
{
    lodrix::FreeSettings s = r.w.controller.freeSettings();
    lodrix::readSetting(c.setting, c.value, s, r.w.controller.language());
    // As a person sets it: the strip shows the value.
    if (const auto error = r.w.setFreeSettings(s)) {
        std::fprintf(stderr, "lodrix-replay: %s\n", error->c_str());
        return 2;
    }
    return 0;
}

int keep(Replay &r, const Command &)
{
    r.w.keepAction->trigger();
    return 0;
}

int clear(Replay &r, const Command &)
{
    r.w.clearKeptAction->trigger();
    return 0;
}

int view(Replay &r, const Command &c)
{
    r.w.setFreeViews(c.views);
    return 0;
}

int redraw(Replay &r, const Command &)
{
    r.w.redraw();
    return 0;
}

int open(Replay &r, const Command &c)
{
    r.w.openLink(c.link);
    return 0;
}

int key(Replay &r, const Command &c)
{
    pressKey(r.w, QKeySequence(QString::fromStdString(c.key)));
    return 0;
}

// A click at a form pixel, pressed and released where a person's would
// land: only the shown views box takes it.
int pick(Replay &r, const Command &c)
{
    Tvitesse &w = r.w;
    const double z = w.zoomFactor();
    const QPointF at = QPointF(w.formOrigin()) + QPointF((c.x + 0.5) * z, (c.y + 0.5) * z);
    QWidget *target = w.childAt(at.toPoint());
    if (target != w.FreeViewArea) {
        std::fprintf(stderr, "lodrix-replay: pick %d %d is on no view shown\n", c.x, c.y);
        return 1;
    }
    const QPointF local = target->mapFrom(&w, at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, local, target->mapToGlobal(local), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    return 0;
}

int tick(Replay &r, const Command &c)
{
    for (int i = 0; i < c.number; ++i)
        r.w.Timer1Timer();
    return 0;
}

// Real time passes with the window's events (a short message goes away),
// the lesson's timer stopped as ever.
int wait(Replay &, const Command &c)
{
    QEventLoop loop;
    QTimer::singleShot(c.number, &loop, &QEventLoop::quit);
    loop.exec();
    return 0;
}

int state(Replay &r, const Command &)
{
    std::cout << stateWithNames(r.w) << std::endl;
    return 0;
}

int link(Replay &r, const Command &)
{
    std::cout << r.w.link().toStdString() << std::endl;
    return 0;
}

int written(const std::ofstream &out, const std::string &file)
{
    if (out)
        return 0;
    std::fprintf(stderr, "lodrix-replay: cannot write %s\n", file.c_str());
    return 1;
}

// What the commentary box shows, empty when it is hidden.
int commentary(Replay &r, const Command &c)
{
    std::ofstream out(c.file, std::ios::trunc);
    if (!r.w.RichEdit2->isHidden())
        out << r.w.RichEdit2->toPlainText().toStdString() << '\n';
    return written(out, c.file);
}

// The form, in the device's pixels.
int shot(Replay &r, const Command &c)
{
    Tvitesse &w = r.w;
    const QRect form(w.formOrigin(), QSize(800 * w.zoom() / 100, 560 * w.zoom() / 100));
    if (!QRect(QPoint(), w.size()).contains(form))
        w.resize(w.size().expandedTo(QSize(form.right() + 1, form.bottom() + 1)));
    return savePng(w.grab(form).toImage(), c.file) ? 0 : 1;
}

int scene(Replay &r, const Command &c)
{
    return savePng(lodrix::imageOf(r.w.sceneCanvas), c.file) ? 0 : 1;
}

int csv(Replay &r, const Command &c)
{
    QString why;
    if (r.w.saveRun(QString::fromStdString(c.file), &why))
        return 0;
    std::fprintf(stderr, "lodrix-replay: cannot write %s: %s\n", c.file.c_str(), qPrintable(why));
    return 1;
}

int save(Replay &r, const Command &c)
{
    return savePng(r.w.picture(), c.file) ? 0 : 1;
}

// The window's own drawing surface, without the controls over it: what
// every edition draws the same.
int canvas(Replay &r, const Command &c)
{
    return savePng(lodrix::imageOf(r.w.windowCanvas), c.file) ? 0 : 1;
}

int ops(Replay &r, const Command &c)
{
    std::ofstream out(c.file, std::ios::app);
    for (const lodrix::Op &op : r.lastLog)
        out << lodrix::opToJson(op) << '\n';
    return written(out, c.file);
}

struct Verb {
    std::string_view name;
    int (*act)(Replay &, const Command &);
    bool draws; // a person's action; the others write what is shown
};

constexpr Verb verbs[] = {
    {"menu", menu, true},     {"mode", mode, true},       {"start", start, true},
    {"next", next, true},     {"comment", comment, true}, {"scroll", scroll, true},
    {"set", set, true},       {"keep", keep, true},       {"clear", clear, true},
    {"redraw", redraw, true}, {"wait", wait, true},       {"open", open, true},
    {"key", key, true},       {"tick", tick, true},       {"pick", pick, true},
    {"state", state, false},  {"link", link, false},      {"commentary", commentary, false},
    {"shot", shot, false},    {"scene", scene, false},    {"csv", csv, false},
    {"save", save, false},    {"canvas", canvas, false},  {"ops", ops, false},
    {"view", view, true},
};

// An error box would wait for a person: say what it says, and close it.
void closeErrorBoxes(Tvitesse &w)
{
    for (QMessageBox *box : w.findChildren<QMessageBox *>()) {
        std::fprintf(stderr, "lodrix-replay: error box: %s %s\n", qPrintable(box->text()),
                     qPrintable(box->informativeText()));
        delete box;
    }
}

// The numbers' decimal separator: the locale's asked for, else the
// language's asked for, else the machine's.
std::string decimalSeparator(const Options &options, const lodrix::Language &language)
{
    if (options.locale)
        return QLocale(QString::fromStdString(*options.locale)).decimalPoint().toStdString();
    if (options.language)
        return std::string(language.decimalSeparator());
    return QLocale::system().decimalPoint().toStdString();
}

int run(const std::vector<Command> &commands, const Options &options, int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (options.scale)
        qputenv("QT_SCALE_FACTOR", options.scale->c_str());
    QApplication app(argc, argv);
    QApplication::setPalette(lodrix::lodrixPalette());
    const lodrix::Language language = options.language.value_or(lodrix::Language());
    Tvitesse w(lodrix::NumberFormat(decimalSeparator(options, language)), language);
    w.Timer1->stop(); // ticks come from the commands only
    QString why;
    const auto page = lodrix::choosePage(options.page, language, &why);
    if (!page) {
        std::fprintf(stderr, "lodrix-replay: %s\n", qPrintable(why));
        return 2;
    }
    w.setPage(*page);
    w.showMaximized();
    w.setZoom(options.zoom);
    QApplication::processEvents();

    lodrix::OpLog log;
    w.setOpLog(&log);
    Replay replay{w, {}};
    for (const Command &c : commands) {
        log.clear();
        const Verb &verb = *std::find_if(std::begin(verbs), std::end(verbs),
                                         [&c](const Verb &v) { return v.name == c.name; });
        if (!verb.draws)
            QApplication::processEvents();
        if (const int status = verb.act(replay, c))
            return status;
        if (verb.draws)
            replay.lastLog = log;
        closeErrorBoxes(w);
    }
    w.setOpLog(nullptr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> words;
    Options options;
    bool fromStdin = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lang" || a == "--locale" || a == "--scale" || a == "--zoom" || a == "--page-url") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lodrix-replay: '%s' needs a value\n", a.c_str());
                return 2;
            }
            const std::string value = argv[++i];
            if (a == "--lang") {
                options.language = lodrix::Language::named(value);
                if (!options.language) {
                    std::fprintf(stderr, "lodrix-replay: bad language '%s' (expected fr or en)\n",
                                 value.c_str());
                    return 2;
                }
            } else if (a == "--locale") {
                options.locale = value;
            } else if (a == "--page-url") {
                options.page = QString::fromStdString(value);
            } else if (a == "--scale") {
                char *end = nullptr;
                const double f = std::strtod(value.c_str(), &end);
                if (end == value.c_str() || *end || !(f >= 1.0 && f <= 4.0)) {
                    std::fprintf(stderr, "lodrix-replay: bad scale factor '%s' (expected 1 to 4)\n",
                                 value.c_str());
                    return 2;
                }
                options.scale = value;
            } else {
                const auto zoom = toInt(value);
                if (!zoom || *zoom < 100 || *zoom > 300) {
                    std::fprintf(stderr, "lodrix-replay: bad zoom '%s' (expected 100 to 300 percent)\n",
                                 value.c_str());
                    return 2;
                }
                options.zoom = *zoom;
            }
        } else if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (a == "-") {
            fromStdin = true;
        } else {
            words.push_back(a);
        }
    }
    if (fromStdin) {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::istringstream in(line);
            for (std::string w; in >> w;)
                words.push_back(w);
        }
    }
    std::vector<Command> commands;
    try {
        commands = parse(words, options.language.value_or(lodrix::Language()));
    } catch (const Usage &u) {
        std::fprintf(stderr, "lodrix-replay: %s\n", u.message.c_str());
        return 2;
    }
    // The window speaks the language of the first link opened, unless --lang says.
    for (const Command &c : commands) {
        if (!options.language && c.name == "open" && c.link.language)
            options.language = c.link.language;
    }
    return run(commands, options, argc, argv);
}
