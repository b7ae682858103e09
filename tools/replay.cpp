// lodrix-replay: plays user actions and timer ticks on the real Lodrix window,
// on the offscreen platform, and dumps what it shows.
//
//   lodrix-replay [--lang fr|en] [--locale NAME] [--scale F] [--zoom PERCENT] [--page-url URL]
//                 COMMAND... | ... -
//
// --lang plays the window in that language (French by default, whatever the
// machine's locale, so that runs compare across machines), its numbers with
// the language's decimal separator unless --locale names a locale for them;
// --scale renders as under Qt's scale factor F (shots in device pixels),
// --zoom as the form zoomed by Ctrl++; --page-url (else LODRIX_PAGE_URL) names
// the page links open, as lodrix's does.
//
// Commands: menu I, mode I, start, next, comment, scroll P, tick [N],
// set corrector P|PC|DB, set gain G, set period T (s), set step E, set load D
// (codes), set loadfrom K (period), set input step|ramp, keep,
// clear (the kept runs of the free-setting entry, as K and Shift+K), key SEQ,
// shot FILE, scene FILE, canvas FILE, save FILE, csv FILE, state, ops FILE,
// open QUERY (a link applied as the page applies its address at load; its
// language is the window's when --lang does not say), link (prints the
// link of what is shown, as the desktop copies it), commentary FILE (the plain text of
// the commentary shown).
// With "-" the commands are read one per line from standard input. Every
// command is checked before any runs.

#include "opjson.h"

#include "app/tvitesse.h"
#include "engine/link.h"
#include "engine/statejson.h"
#include "render/qt/colors.h"
#include "render/qt/fonts.h"
#include "render/qt/rasterimage.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
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
    int number = 0;
    std::string file;       // or the setting's name for "set"
    double value = 0.0;     // the setting's value; a corrector by its index
    lodrix::Link link = {}; // open's
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

constexpr lodrix::Corrector correctors[] = {lodrix::Corrector::Proportional,
                                            lodrix::Corrector::PoleCompensation, lodrix::Corrector::TwoStep};
constexpr const char *correctorWords[] = {"P", "PC", "DB"};
constexpr lodrix::Input inputs[] = {lodrix::Input::Step, lodrix::Input::Ramp};
constexpr const char *inputWords[] = {"step", "ramp"};

void applySetting(lodrix::FreeSettings &s, const std::string &name, double value)
{
    if (name == "corrector")
        s.corrector = correctors[static_cast<std::size_t>(value)];
    else if (name == "gain")
        s.gain = value;
    else if (name == "period")
        s.period = value;
    else if (name == "load")
        s.load = static_cast<std::int32_t>(value);
    else if (name == "loadfrom")
        s.loadFrom = static_cast<int>(value);
    else if (name == "input")
        s.input = inputs[static_cast<std::size_t>(value)];
    else
        s.step = static_cast<std::int32_t>(value);
}

// "set NAME VALUE": the value alone checked as the controller checks it, so
// that a bad one stops the replay before anything runs.
double settingValue(const std::string &name, const std::string &text, const lodrix::Language &language)
{
    double value = 0.0;
    if (name == "corrector") {
        const auto *found = std::find(std::begin(correctorWords), std::end(correctorWords), text);
        if (found == std::end(correctorWords))
            throw Usage{"bad corrector '" + text + "' for 'set corrector' (expected P, PC or DB)"};
        value = double(found - std::begin(correctorWords));
    } else if (name == "gain" || name == "period") {
        try {
            std::size_t used = 0;
            value = std::stod(text, &used);
            if (used != text.size())
                throw std::invalid_argument(text);
        } catch (const std::exception &) {
            throw Usage{"bad number '" + text + "' for 'set " + name + "'"};
        }
    } else if (name == "step" || name == "load" || name == "loadfrom") {
        const auto v = toInt(text);
        if (!v)
            throw Usage{"bad number '" + text + "' for 'set " + name + "'"};
        value = *v;
    } else if (name == "input") {
        const auto *found = std::find(std::begin(inputWords), std::end(inputWords), text);
        if (found == std::end(inputWords))
            throw Usage{"bad set-point '" + text + "' for 'set input' (expected step or ramp)"};
        value = double(found - std::begin(inputWords));
    } else {
        throw Usage{"unknown setting '" + name +
                    "' for 'set' (expected corrector, gain, period, step, load, loadfrom or input)"};
    }
    lodrix::FreeSettings s;
    applySetting(s, name, value);
    if (const auto error = lodrix::settingsError(s, language))
        throw Usage{"bad value '" + text + "' for 'set " + name + "': " + *error};
    return value;
}

// Turns words into commands; throws Usage naming the first bad one.
std::vector<Command> parse(const std::vector<std::string> &words, const lodrix::Language &language)
{
    std::vector<Command> commands;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string &w = words[i];
        auto argument = [&]() -> const std::string & {
            if (i + 1 >= words.size())
                throw Usage{"command '" + w + "' needs an argument"};
            return words[++i];
        };
        auto number = [&](int low, int high) {
            const std::string &a = argument();
            const auto v = toInt(a);
            if (!v || *v < low || *v > high)
                throw Usage{"bad argument '" + a + "' for '" + w + "' (expected " + std::to_string(low) +
                            " to " + std::to_string(high) + ")"};
            return *v;
        };
        if (w == "menu")
            commands.push_back({w, number(0, 5), {}});
        else if (w == "mode")
            commands.push_back({w, number(0, 1), {}});
        else if (w == "set") {
            const std::string name = argument();
            const std::string text = argument();
            commands.push_back({w, 0, name, settingValue(name, text, language)});
        } else if (w == "scroll")
            commands.push_back({w, number(10, 100), {}});
        else if (w == "open") {
            const std::string &a = argument();
            lodrix::LinkReading reading = lodrix::readLink(a, language);
            if (reading.error)
                throw Usage{"bad link '" + a + "' for 'open': " + *reading.error};
            Command c{w, 0, {}};
            c.link = reading.link;
            commands.push_back(c);
        } else if (w == "start" || w == "next" || w == "comment" || w == "state" || w == "link" ||
                   w == "keep" || w == "clear")
            commands.push_back({w, 0, {}});
        else if (w == "tick") {
            int n = 1;
            if (i + 1 < words.size()) {
                if (const auto v = toInt(words[i + 1])) {
                    if (*v < 0)
                        throw Usage{"bad argument '" + words[i + 1] + "' for 'tick'"};
                    n = *v;
                    ++i;
                }
            }
            commands.push_back({w, n, {}});
        } else if (w == "key") {
            const std::string &a = argument();
            const QKeySequence key(QString::fromStdString(a));
            if (key.isEmpty() || key[0].key() == Qt::Key_unknown)
                throw Usage{"bad key sequence '" + a + "' for 'key'"};
            commands.push_back({w, 0, a});
        } else if (w == "shot" || w == "scene" || w == "canvas" || w == "ops" || w == "csv" || w == "save" ||
                   w == "commentary")
            commands.push_back({w, 0, argument()});
        else
            throw Usage{"unknown command '" + w + "'"};
    }
    return commands;
}

// The state line with each control's accessible name, as a screen reader
// announces it.
std::string stateWithNames(const Tvitesse &w)
{
    auto state = nlohmann::ordered_json::parse(lodrix::stateJson(w.controller));
    for (auto &[name, control] : state["controls"].items()) {
        if (const auto *widget = w.findChild<const QWidget *>(QString::fromStdString(name)))
            control["accessibleName"] = widget->accessibleName().toStdString();
    }
    return state.dump();
}

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
    int zoom = 100;
    std::optional<QString> page; // --page-url
};

int run(const std::vector<Command> &commands, const Options &options, int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (options.scale)
        qputenv("QT_SCALE_FACTOR", options.scale->c_str());
    const std::optional<std::string> &locale = options.locale;
    QApplication app(argc, argv);
    QApplication::setPalette(lodrix::lodrixPalette());
    const lodrix::Language language = options.language.value_or(lodrix::Language());
    std::string separator = QLocale::system().decimalPoint().toStdString();
    if (locale)
        separator = QLocale(QString::fromStdString(*locale)).decimalPoint().toStdString();
    else if (options.language)
        separator = std::string(language.decimalSeparator());
    Tvitesse w(lodrix::NumberFormat(separator), language);
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
    lodrix::OpLog lastLog; // calls of the latest command that could draw
    w.setOpLog(&log);

    for (const Command &c : commands) {
        log.clear();
        bool drew = true;
        if (c.name == "menu") {
            if (!clickable(w.ListBox1, "ListBox1"))
                return 1;
            w.clickListItem(w.ListBox1, c.number);
        } else if (c.name == "mode") {
            if (!clickable(w.ListBox2, "ListBox2"))
                return 1;
            w.clickListItem(w.ListBox2, c.number);
        } else if (c.name == "start") {
            if (!clickable(w.Button1, "Button1"))
                return 1;
            w.Button1->click();
        } else if (c.name == "next") {
            if (!clickable(w.Button2, "Button2"))
                return 1;
            w.Button2->click();
        } else if (c.name == "comment") {
            if (!clickable(w.B1, "B1"))
                return 1;
            w.B1->click();
        } else if (c.name == "scroll") {
            if (!clickable(w.ScrollBar1, "ScrollBar1"))
                return 1;
            w.ScrollBar1->setValue(c.number);
        } else if (c.name == "set") {
            lodrix::FreeSettings s = w.controller.freeSettings();
            applySetting(s, c.file, c.value);
            if (const auto error = w.controller.setFreeSettings(s)) {
                std::fprintf(stderr, "lodrix-replay: %s\n", error->c_str());
                return 2;
            }
        } else if (c.name == "keep") {
            w.keepAction->trigger();
        } else if (c.name == "clear") {
            w.clearKeptAction->trigger();
        } else if (c.name == "open") {
            w.openLink(c.link);
        } else if (c.name == "key") {
            pressKey(w, QKeySequence(QString::fromStdString(c.file)));
        } else if (c.name == "tick") {
            for (int i = 0; i < c.number; ++i)
                w.Timer1Timer();
        } else {
            drew = false;
            QApplication::processEvents();
            if (c.name == "state") {
                std::cout << stateWithNames(w) << std::endl;
            } else if (c.name == "link") {
                std::cout << w.link().toStdString() << std::endl;
            } else if (c.name == "commentary") {
                // What the box shows, empty when it is hidden.
                std::ofstream out(c.file, std::ios::trunc);
                if (!w.RichEdit2->isHidden())
                    out << w.RichEdit2->toPlainText().toStdString() << '\n';
                if (!out) {
                    std::fprintf(stderr, "lodrix-replay: cannot write %s\n", c.file.c_str());
                    return 1;
                }
            } else if (c.name == "shot") {
                // The form, in the device's pixels.
                const QRect form(w.formOrigin(), QSize(800 * w.zoom() / 100, 560 * w.zoom() / 100));
                if (!QRect(QPoint(), w.size()).contains(form))
                    w.resize(w.size().expandedTo(QSize(form.right() + 1, form.bottom() + 1)));
                if (!savePng(w.grab(form).toImage(), c.file))
                    return 1;
            } else if (c.name == "scene") {
                if (!savePng(lodrix::imageOf(w.sceneCanvas), c.file))
                    return 1;
            } else if (c.name == "csv") {
                QString why;
                if (!w.saveRun(QString::fromStdString(c.file), &why)) {
                    std::fprintf(stderr, "lodrix-replay: cannot write %s: %s\n", c.file.c_str(),
                                 qPrintable(why));
                    return 1;
                }
            } else if (c.name == "save") {
                if (!savePng(w.picture(), c.file))
                    return 1;
            } else if (c.name == "canvas") {
                // The window's own drawing surface, without the controls over
                // it: what every edition draws the same.
                if (!savePng(lodrix::imageOf(w.windowCanvas), c.file))
                    return 1;
            } else if (c.name == "ops") {
                std::ofstream out(c.file, std::ios::app);
                for (const lodrix::Op &op : lastLog)
                    out << lodrix::opToJson(op) << '\n';
                if (!out) {
                    std::fprintf(stderr, "lodrix-replay: cannot write %s\n", c.file.c_str());
                    return 1;
                }
            }
        }
        if (drew)
            lastLog = log;
        // An error box would wait for a person: say what it says, and close it.
        for (QMessageBox *box : w.findChildren<QMessageBox *>()) {
            std::fprintf(stderr, "lodrix-replay: error box: %s %s\n", qPrintable(box->text()),
                         qPrintable(box->informativeText()));
            delete box;
        }
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
