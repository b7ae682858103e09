// The browser edition's core side: the controller and its three software
// canvases, behind the few functions the page's script calls (web/lodrix.js).
// The page turns a click, a key or a timer tick into one of these calls, then
// asks what the controller reported and which pixels changed.
//
// Everything the page reads back lives in memory owned here: a text
// (NUL-terminated UTF-8, as is what the page hands in) until the next function
// that returns one, a picture (five int32: x, y, width, height, address of
// width * height RGBA pixels) until the next picture.

#include "engine/controller.h"
#include "engine/link.h"
#include "engine/runcsv.h"
#include "engine/statejson.h"
#include "pages/freesetting.h"
#include "raster/formfit.h"
#include "raster/rastercanvas.h"
#include "raster/upscale.h"
#include "render/loopdiagram.h"
#include "rtf/reader.h"
#include "rtf/writers.h"
#include "settings/settings.h"

#include <emscripten/emscripten.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lodrix {

namespace {

constexpr int windowWidth = 800; // the form's client area, every control inside it
constexpr int windowHeight = 560;
constexpr int sceneWidth = 785; // FOND
constexpr int sceneHeight = 225;
constexpr int animWidth = 360; // bmpAnim, never shown by itself
constexpr int animHeight = 140;
constexpr int sceneLeft = 8; // FOND's place on the window
constexpr int sceneTop = 16;

// Keeps what the controller asks of the controls, one request a line, in
// order: "on NAME", "off NAME", "hide NAME", "create B1", "show FILE". The
// script applies them to the page after each call.
class WebShell final : public ControllerShell {
public:
    std::string requests;

private:
    void add(const char *verb, const char *what)
    {
        requests += verb;
        requests += ' ';
        requests += what;
        requests += '\n';
    }
    void switchControl(Control control, bool on) override { add(on ? "on" : "off", controlName(control)); }
    void hideControl(Control control) override { add("hide", controlName(control)); }
    void createCommentaryButton() override { add("create", "B1"); }
    void showCommentary(const char *name) override { add("show", name); }
};

struct Core {
    explicit Core(Language language)
        : controller(shell, {window, scene, anim}, NumberFormat(std::string(language.decimalSeparator())),
                     language)
    {}
    WebShell shell;
    RasterCanvas window{Surface::Window, windowWidth, windowHeight};
    RasterCanvas scene{Surface::Scene, sceneWidth, sceneHeight};
    RasterCanvas anim{Surface::Anim, animWidth, animHeight};
    Controller controller;
};

std::unique_ptr<Core> core;
std::string taken; // the text last handed out
std::vector<std::uint32_t> rgba;
std::int32_t picture[7]; // a box; a part's picture adds the part's size

const char *hand(std::string text)
{
    taken = std::move(text);
    return taken.c_str();
}

RasterCanvas *surface(int which)
{
    switch (which) {
    case 0:
        return &core->window;
    case 1:
        return &core->scene;
    default:
        return nullptr;
    }
}

// The canvas keeps 0xFFRRGGBB words, whose bytes in little-endian memory are
// B, G, R, A; a browser's ImageData wants R, G, B, A. `box` of the buffer
// `pixels`, rows of `width`.
const std::int32_t *exportBox(const std::uint32_t *pixels, int width, PixelRect box)
{
    rgba.resize(std::size_t(std::max(box.width, 0)) * std::size_t(std::max(box.height, 0)));
    std::uint32_t *out = rgba.data();
    for (int y = box.y; y < box.y + box.height; ++y) {
        const std::uint32_t *row = pixels + std::size_t(y) * std::size_t(width);
        for (int x = box.x; x < box.x + box.width; ++x) {
            const std::uint32_t p = row[x];
            *out++ = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        }
    }
    picture[0] = box.x;
    picture[1] = box.y;
    picture[2] = box.width;
    picture[3] = box.height;
    picture[4] = std::int32_t(reinterpret_cast<std::uintptr_t>(rgba.data()));
    return picture;
}

const std::int32_t *exportBox(const RasterCanvas &canvas, PixelRect box)
{
    return exportBox(canvas.pixels(), canvas.width(), box);
}

// ---- The picture in parts, for the page's layout in the hand ----------------------
//
// On a small touch screen the page shows the window with the scene over it
// in parts, each at a scale of its own: the loop diagram with the arm (the
// scene), the plots, the z-plane box of the free-setting entry and the texts
// under the plots. Each part is a rectangle of the window, in form pixels,
// from the lesson's own geometry; the page asks for it whenever it lays the
// parts out, so that a part follows what the lessons draw.

enum Part { ScenePart, PlotsPart, LocusPart, TextsPart, partCount };

constexpr int textsBottom = 488;        // the lists and buttons start below
constexpr int closedLoopTextsTop = 383; // the lessons' first text row, 385
constexpr int lowTextsTop = 412;        // the open loop, two-step and free setting: 415

PixelRect partRect(int part)
{
    const int rubrique = core->controller.animation().rubrique;
    const bool free = rubrique == freeSettingEntry;
    const int textsTop = rubrique == 1 || rubrique >= 4 ? lowTextsTop : closedLoopTextsTop;
    const int plotsTop = sceneTop + sceneHeight;
    const ViewBox small = freeViewBox(false);
    const ViewBox views = freeViewBox(core->controller.freeViews().large);
    switch (part) {
    case ScenePart:
        return {sceneLeft, sceneTop, sceneWidth, sceneHeight};
    case PlotsPart:
        return {0, plotsTop, free ? small.left : windowWidth, textsTop - plotsTop};
    case LocusPart:
        return free ? PixelRect{views.left, views.top, views.width, views.height} : PixelRect{};
    case TextsPart:
        return {0, textsTop, windowWidth, textsBottom - textsTop};
    default:
        return {};
    }
}

PixelRect unite(PixelRect a, PixelRect b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    return {left, top, std::max(a.x + a.width, b.x + b.width) - left,
            std::max(a.y + a.height, b.y + b.height) - top};
}

PixelRect intersect(PixelRect a, PixelRect b)
{
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    return right > left && bottom > top ? PixelRect{left, top, right - left, bottom - top} : PixelRect{};
}

// A part as last drawn at its scale, and what of it was painted since, in
// window pixels.
struct PartView {
    PixelRect rect;
    double scale = 0;
    std::vector<std::uint32_t> device;
    PixelRect pending;
};

std::array<PartView, partCount> partViews;
std::vector<std::uint32_t> partPixels; // the part's window pixels, the scene over them
Upscaler upscaler;

void painted(PixelRect box)
{
    for (PartView &view : partViews)
        view.pending = unite(view.pending, box);
}

} // namespace

} // namespace lodrix

using lodrix::core;

extern "C" {

// Makes the controller, speaking `language` ("fr", "en"; French for any
// other) with its decimal separator.
EMSCRIPTEN_KEEPALIVE void lodrix_init(const char *language)
{
    core = std::make_unique<lodrix::Core>(lodrix::Language::named(language).value_or(lodrix::Language()));
}

// Changes the language, which starts the chosen entry afresh; false for a
// language Lodrix does not speak.
EMSCRIPTEN_KEEPALIVE int lodrix_set_language(const char *language)
{
    const auto named = lodrix::Language::named(language);
    if (named)
        core->controller.setLanguage(*named);
    return named.has_value();
}

EMSCRIPTEN_KEEPALIVE const char *lodrix_language()
{
    return lodrix::hand(std::string(core->controller.language().code()));
}

// The page's own texts, French in the page, in the controller's language.
EMSCRIPTEN_KEEPALIVE const char *lodrix_translate(const char *french)
{
    return lodrix::hand(std::string(core->controller.language().tr(french)));
}

// The form's scale, in screen pixels per form pixel, in a room of width x
// height screen pixels: the desktop's full-screen rule (raster/formfit.h).
EMSCRIPTEN_KEEPALIVE double lodrix_filling_scale(double width, double height)
{
    return lodrix::fillingScale(width, height, lodrix::windowWidth, lodrix::windowHeight);
}

EMSCRIPTEN_KEEPALIVE void lodrix_choix(int row)
{
    core->controller.choix(row);
}

EMSCRIPTEN_KEEPALIVE void lodrix_choixbis(int row)
{
    core->controller.choixbis(row);
}

EMSCRIPTEN_KEEPALIVE void lodrix_button1_click()
{
    core->controller.Button1Click();
}

EMSCRIPTEN_KEEPALIVE void lodrix_button2_click()
{
    core->controller.Button2Click();
}

EMSCRIPTEN_KEEPALIVE void lodrix_b1_click()
{
    core->controller.B1Click();
}

// Esc, or the commentary box's close control.
EMSCRIPTEN_KEEPALIVE void lodrix_close_commentary()
{
    core->controller.closeCommentary();
}

EMSCRIPTEN_KEEPALIVE void lodrix_set_scroll_position(int ms)
{
    core->controller.setScrollPosition(ms);
}

// One timer tick; returns the interval for the next one, in milliseconds.
EMSCRIPTEN_KEEPALIVE int lodrix_timer1_timer()
{
    core->controller.Timer1Timer();
    return core->controller.interval();
}

// What the controller asked of the controls since the last call.
EMSCRIPTEN_KEEPALIVE const char *lodrix_requests()
{
    lodrix::taken.swap(core->shell.requests);
    core->shell.requests.clear();
    return lodrix::taken.c_str();
}

// One line of JSON, as lodrix-replay's "state" prints it: the core's state,
// each control with the accessible name the page gives it (a JSON object of
// names by control), as a screen reader announces it, and its rectangle on
// the form in form pixels (an object of [x, y, w, h] by control).
EMSCRIPTEN_KEEPALIVE const char *lodrix_state(const char *accessibleNames, const char *rects)
{
    auto state = nlohmann::ordered_json::parse(lodrix::stateJson(core->controller));
    const auto names = nlohmann::json::parse(accessibleNames, nullptr, false);
    const auto boxes = nlohmann::json::parse(rects, nullptr, false);
    for (auto &[name, control] : state["controls"].items()) {
        if (names.is_object() && names.contains(name) && names[name].is_string())
            control["accessibleName"] = names[name];
        if (boxes.is_object() && boxes.contains(name) && boxes[name].is_array())
            control["rect"] = boxes[name];
    }
    lodrix::taken = state.dump();
    return lodrix::taken.c_str();
}

// Surface 0 is the window, 1 the scene. The box painted since the last call,
// empty when nothing was; the animation's own surface reaches the page only
// through the scene, so its box is dropped here too.
EMSCRIPTEN_KEEPALIVE const std::int32_t *lodrix_take_painted(int which)
{
    lodrix::RasterCanvas *canvas = lodrix::surface(which);
    if (!canvas)
        return nullptr;
    if (which == 1)
        core->anim.takeDirtyRect();
    lodrix::PixelRect box = canvas->takeDirtyRect();
    lodrix::painted(which == 1 ? lodrix::PixelRect{box.x + lodrix::sceneLeft, box.y + lodrix::sceneTop,
                                                   box.width, box.height}
                               : box);
    return lodrix::exportBox(*canvas, box);
}

// The whole surface, whatever was painted.
EMSCRIPTEN_KEEPALIVE const std::int32_t *lodrix_whole(int which)
{
    lodrix::RasterCanvas *canvas = lodrix::surface(which);
    if (!canvas)
        return nullptr;
    lodrix::painted({0, 0, lodrix::windowWidth, lodrix::windowHeight});
    return lodrix::exportBox(*canvas, {0, 0, canvas->width(), canvas->height()});
}

// ---- The picture in parts ------------------------------------------------------

EMSCRIPTEN_KEEPALIVE int lodrix_part_count()
{
    return lodrix::partCount;
}

// Part i's rectangle on the window, in form pixels (four int32: x, y, width,
// height); empty when the chosen entry draws no such part.
EMSCRIPTEN_KEEPALIVE const std::int32_t *lodrix_part_rect(int i)
{
    static std::int32_t rect[4];
    const lodrix::PixelRect r = lodrix::partRect(i);
    rect[0] = r.x;
    rect[1] = r.y;
    rect[2] = r.width;
    rect[3] = r.height;
    return rect;
}

// The scale, in screen pixels per form pixel, at which part i fills a room
// of width x height screen pixels: the full-screen rule, whole blocks when
// they cost a tenth of the room or less.
EMSCRIPTEN_KEEPALIVE double lodrix_part_scale(int i, double width, double height)
{
    const lodrix::PixelRect r = lodrix::partRect(i);
    return r.empty() ? 0 : lodrix::fillingScale(width, height, r.width, r.height);
}

// Part i at `scale` screen pixels per form pixel (1 or more): seven int32,
// the box of screen pixels painted since its last picture at that scale (x,
// y, width, height, address of its RGBA pixels, as the other pictures) and
// the whole part's width and height at that scale. A new scale or a moved
// part paints it whole; nothing painted gives an empty box.
EMSCRIPTEN_KEEPALIVE const std::int32_t *lodrix_part_picture(int i, double scale)
{
    using lodrix::PixelRect;
    if (i < 0 || i >= lodrix::partCount || scale < 1)
        return nullptr;
    lodrix::PartView &view = lodrix::partViews[std::size_t(i)];
    const PixelRect rect = lodrix::partRect(i);
    const PixelRect whole = lodrix::scaledArea({0, 0, rect.width, rect.height}, scale);
    if (rect != view.rect || scale != view.scale) {
        view.rect = rect;
        view.scale = scale;
        view.device.assign(std::size_t(std::max(whole.width, 0)) * std::size_t(std::max(whole.height, 0)), 0);
        view.pending = rect;
    }
    const PixelRect area = lodrix::intersect(view.pending, rect);
    view.pending = {};
    PixelRect box;
    if (!area.empty()) {
        // The part's window pixels with the scene over them, in the part's own coordinates.
        lodrix::partPixels.resize(std::size_t(rect.width) * std::size_t(rect.height));
        const PixelRect scene{lodrix::sceneLeft, lodrix::sceneTop, lodrix::sceneWidth, lodrix::sceneHeight};
        for (int y = rect.y; y < rect.y + rect.height; ++y) {
            for (int x = rect.x; x < rect.x + rect.width; ++x) {
                const bool inScene =
                    x >= scene.x && x < scene.x + scene.width && y >= scene.y && y < scene.y + scene.height;
                const std::uint32_t p =
                    inScene
                        ? core->scene.pixels()[std::size_t(y - scene.y) * std::size_t(scene.width) +
                                               std::size_t(x - scene.x)]
                        : core->window
                              .pixels()[std::size_t(y) * std::size_t(lodrix::windowWidth) + std::size_t(x)];
                lodrix::partPixels[std::size_t(y - rect.y) * std::size_t(rect.width) +
                                   std::size_t(x - rect.x)] = p;
            }
        }
        const PixelRect local{area.x - rect.x, area.y - rect.y, area.width, area.height};
        lodrix::upscaler.scale({lodrix::partPixels.data(), rect.width, rect.height}, local, scale,
                               {view.device.data(), whole.width, whole.height});
        box = lodrix::intersect(lodrix::scaledArea(local, scale), whole);
    }
    lodrix::exportBox(view.device.data(), whole.width, box);
    lodrix::picture[5] = whole.width;
    lodrix::picture[6] = whole.height;
    return lodrix::picture;
}

// ---- The classroom actions -----------------------------------------------------

// P: holds the page, or lets it go on.
EMSCRIPTEN_KEEPALIVE void lodrix_toggle_pause()
{
    core->controller.togglePause();
}

// N: one more frame, then held.
EMSCRIPTEN_KEEPALIVE void lodrix_step_frame()
{
    core->controller.stepFrame();
}

// K and Shift+K: keeps the free-setting run as a ghost, clears the ghosts.
// K returns what it did, or why it kept nothing.
EMSCRIPTEN_KEEPALIVE const char *lodrix_keep_run()
{
    return lodrix::hand(core->controller.keepRun());
}

EMSCRIPTEN_KEEPALIVE void lodrix_clear_kept()
{
    core->controller.clearKept();
}

// The frame on screen drawn again, as the page's test hook asks: nothing changes.
EMSCRIPTEN_KEEPALIVE void lodrix_redraw()
{
    core->controller.redraw();
}

// The views area of the free-setting entry: view 0 to 4 (locus, Bode,
// Nyquist, Black, Gc(T)), enlarged or not, as its chooser sets it; the frame
// on screen is drawn again with it.
EMSCRIPTEN_KEEPALIVE void lodrix_set_views(int view, int large)
{
    if (view < 0 || view >= lodrix::freeViewCount)
        return;
    core->controller.setFreeViews({lodrix::FreeView(view), large != 0});
}

// The view shown, 0 to 4, plus 8 when enlarged.
EMSCRIPTEN_KEEPALIVE int lodrix_views()
{
    const lodrix::FreeViews &v = core->controller.freeViews();
    return static_cast<int>(v.shown) + (v.large ? 8 : 0);
}

// The view's number by its name for scripts ("bode"), -1 for none.
EMSCRIPTEN_KEEPALIVE int lodrix_view_named(const char *name)
{
    const auto view = lodrix::freeViewNamed(name);
    return view ? static_cast<int>(*view) : -1;
}

// The gain slider's scale, the desktop's.
EMSCRIPTEN_KEEPALIVE double lodrix_gain_at_slider(int position)
{
    return lodrix::gainAtSliderPosition(position);
}

EMSCRIPTEN_KEEPALIVE int lodrix_slider_of_gain(double gain)
{
    return lodrix::sliderPositionOfGain(gain);
}

// Its last position, and how far its handle travels, in form pixels.
EMSCRIPTEN_KEEPALIVE int lodrix_gain_slider_positions()
{
    return lodrix::gainSliderPositions;
}

EMSCRIPTEN_KEEPALIVE int lodrix_gain_slider_travel()
{
    return lodrix::gainSliderTravel;
}

EMSCRIPTEN_KEEPALIVE int lodrix_gain_slider_page()
{
    return lodrix::gainSliderPage;
}

// The slider's position of the free loop's critical gain, marked on its
// track; -1 when the loop has none within the slider's range.
EMSCRIPTEN_KEEPALIVE int lodrix_critical_gain_position()
{
    const std::optional<double> critical = core->controller.freeLoop().criticalGain();
    if (!critical || *critical < lodrix::minGain || *critical > lodrix::maxGain)
        return -1;
    return lodrix::sliderPositionOfGain(*critical);
}

// A field's number as the lessons write it (« 2,5 » in French), and what a
// person typed read with either separator: NaN when it is no number.
EMSCRIPTEN_KEEPALIVE const char *lodrix_field_text(double value)
{
    return lodrix::hand(core->controller.numbers().general(value));
}

EMSCRIPTEN_KEEPALIVE double lodrix_read_field(const char *text)
{
    return lodrix::NumberFormat::read(text).value_or(std::numeric_limits<double>::quiet_NaN());
}

EMSCRIPTEN_KEEPALIVE int lodrix_paused()
{
    return core->controller.paused() ? 1 : 0;
}

// The run so far as CSV, as the desktop's export writes it.
EMSCRIPTEN_KEEPALIVE const char *lodrix_csv()
{
    return lodrix::hand(lodrix::runCsv(core->controller.run()));
}

// The chosen entry's short name, for file names.
EMSCRIPTEN_KEEPALIVE const char *lodrix_lesson_slug()
{
    return lodrix::lessonSlug(core->controller.animation().rubrique);
}

// The page tick of the run's last frame, 0 before any: a picture's name.
EMSCRIPTEN_KEEPALIVE int lodrix_last_tick()
{
    const auto &run = core->controller.run();
    return run.empty() ? 0 : run.back().tick;
}

EMSCRIPTEN_KEEPALIVE int lodrix_rubrique()
{
    return core->controller.animation().rubrique;
}

// What a screen reader reads of the scene and the window; `lesson` is the
// chosen entry's title as the menu shows it, empty when none is chosen.
EMSCRIPTEN_KEEPALIVE const char *lodrix_describe(const char *lesson)
{
    const lodrix::Controller &c = core->controller;
    return lodrix::hand(
        lodrix::surfaceDescription(lesson, c.animation().compteur > 0, c.model(), c.numbers(), c.language()));
}

EMSCRIPTEN_KEEPALIVE const char *lodrix_version()
{
    return LODRIX_VERSION;
}

// ---- The free-setting entry's settings ------------------------------------------

// {"corrector": "PC", "gain": "6.8", ...}: each setting by its name, as the
// controller holds it, written as links write it (settings/settings.h).
EMSCRIPTEN_KEEPALIVE const char *lodrix_free_settings()
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const lodrix::Setting &row : lodrix::settingRows())
        json[std::string(row.name)] = lodrix::settingText(row, core->controller.freeSettings());
    return lodrix::hand(json.dump());
}

// Hands the setting named, its value as typed or chosen, to the controller;
// empty when it took it, else why it refused it, and nothing changed.
EMSCRIPTEN_KEEPALIVE const char *lodrix_set_setting(const char *name, const char *text)
{
    lodrix::Controller &c = core->controller;
    lodrix::FreeSettings settings = c.freeSettings();
    auto error = lodrix::readSetting(name, text, settings, c.language());
    if (!error)
        error = c.setFreeSettings(settings);
    return lodrix::hand(error.value_or(std::string()));
}

// Why the hook's "set NAME VALUE" would be refused, without running it: the
// hook checks every command before running any. Worded as lodrix-replay words it.
EMSCRIPTEN_KEEPALIVE const char *lodrix_check_setting(const char *name, const char *text)
{
    lodrix::FreeSettings settings = core->controller.freeSettings();
    return lodrix::hand(
        lodrix::setCommandError(name, text, settings, core->controller.language()).value_or(std::string()));
}

// ---- The views box of the free-setting entry ------------------------------------

// Its place on the form as it stands, in its place or enlarged, in form
// pixels: 0 left, 1 top, 2 width, 3 height.
EMSCRIPTEN_KEEPALIVE int lodrix_view_box(int which)
{
    const lodrix::ViewBox box = lodrix::freeViewBox(core->controller.freeViews().large);
    return which == 0 ? box.left : which == 1 ? box.top : which == 2 ? box.width : box.height;
}

// The pointer at form pixel (x, y): a press (1 when it was the box's), a
// move (pressed or not), the release; a move with x < 0: it left.
EMSCRIPTEN_KEEPALIVE int lodrix_view_press(int x, int y)
{
    return core->controller.viewPress({x, y}) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void lodrix_view_pointer(int x, int y)
{
    core->controller.viewPointer(x < 0 ? std::nullopt : std::optional<lodrix::Point>(lodrix::Point{x, y}));
}

EMSCRIPTEN_KEEPALIVE void lodrix_view_release()
{
    core->controller.viewRelease();
}

// The arrow keys on the focused box: slider steps of G.
EMSCRIPTEN_KEEPALIVE void lodrix_view_step(int steps)
{
    core->controller.viewStep(steps);
}

// The box's name, what it shows and what a hand does there, in the
// controller's language.
EMSCRIPTEN_KEEPALIVE const char *lodrix_view_name()
{
    const lodrix::Controller &c = core->controller;
    return lodrix::hand(std::string(c.language().tr(lodrix::freeViewAccessibleName(c.freeViews().shown))));
}

// ---- Links that open an experiment ---------------------------------------------

// Reads a link (the page's query) and applies it as the page does at load;
// empty when applied, else why it is refused, in the controller's language,
// and nothing of it changed.
EMSCRIPTEN_KEEPALIVE const char *lodrix_open_link(const char *query)
{
    const lodrix::LinkReading reading = lodrix::readLink(query, core->controller.language());
    if (!reading.error)
        lodrix::applyLink(core->controller, reading.link);
    return lodrix::hand(reading.error.value_or(std::string()));
}

// The query of the link of what is shown, without its '?'.
EMSCRIPTEN_KEEPALIVE const char *lodrix_link_query()
{
    return lodrix::hand(lodrix::linkQuery(core->controller));
}

// What the lists and the scroll bar show once a link chose it: the rows, -1
// for none, and the interval in ms.
EMSCRIPTEN_KEEPALIVE int lodrix_menu_row()
{
    return core->controller.menuRow();
}

EMSCRIPTEN_KEEPALIVE int lodrix_mode_row()
{
    return core->controller.modeRow();
}

EMSCRIPTEN_KEEPALIVE int lodrix_scroll_position()
{
    return core->controller.scrollPosition();
}

// ---- A teacher's own commentary ------------------------------------------------

namespace lodrix {
namespace {

constexpr std::size_t largestCommentaryBytes = 4 * 1024 * 1024;
std::vector<char> commentaryBytes;
std::string commentaryHtml;

} // namespace
} // namespace lodrix

// Room for the bytes of a file the page read (its script copies them in);
// null for more than 4 MB.
EMSCRIPTEN_KEEPALIVE char *lodrix_commentary_buffer(int size)
{
    if (size < 0 || std::size_t(size) > lodrix::largestCommentaryBytes)
        return nullptr;
    lodrix::commentaryBytes.assign(std::size_t(size), '\0');
    return lodrix::commentaryBytes.data();
}

// Reads those bytes with the core's RTF reader: empty when they are a
// commentary, whose HTML lodrix_commentary_html() then gives; else why not,
// in the controller's language.
EMSCRIPTEN_KEEPALIVE const char *lodrix_read_commentary()
{
    lodrix::rtf::Document doc;
    const lodrix::ReadProblem problem = lodrix::readRtf(
        std::string_view(lodrix::commentaryBytes.data(), lodrix::commentaryBytes.size()), doc);
    lodrix::commentaryBytes = {};
    if (problem != lodrix::ReadProblem::None)
        return lodrix::hand(std::string(core->controller.language().tr(lodrix::problemText(problem))));
    lodrix::commentaryHtml = lodrix::rtf::html(doc);
    return lodrix::hand(std::string());
}

EMSCRIPTEN_KEEPALIVE const char *lodrix_commentary_html()
{
    return lodrix::commentaryHtml.c_str();
}

} // extern "C"
