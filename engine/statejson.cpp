#include "statejson.h"

#include "model/frequency.h"
#include "model/locusdesign.h"
#include "settings/settings.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>

namespace lodrix {

namespace {

// The controls in the order of the form; those no handler touches are always
// on. B1 is listed once it exists.
struct Listed {
    const char *name;
    bool switched;
    Control control;
};
constexpr Listed listedControls[] = {
    {"FOND", false, {}},
    {"Label1", false, {}},
    {"Label2", false, {}},
    {"Label3", false, {}},
    {"Label4", false, {}},
    {"ListBox1", false, {}},
    {"Label5", false, {}},
    {"Button1", true, Control::Button1},
    {"ScrollBar1", false, {}},
    {"ListBox2", true, Control::ListBox2},
    {"Label6", true, Control::Label6},
    {"Button2", true, Control::Button2},
    {"RichEdit1", true, Control::RichEdit1},
    {"RichEdit2", true, Control::RichEdit2},
    {"B1", true, Control::B1},
    {"FreeSettings", true, Control::FreeSettings},
};

} // namespace

const char *controlName(Control c)
{
    for (const Listed &l : listedControls) {
        if (l.switched && l.control == c)
            return l.name;
    }
    return "";
}

namespace {

// The settings of menu entry 5 and what they give, whichever entry is chosen:
// a tool may set them before choosing the entry, and the line keeps one shape.
// A choice by its word, a number as a number.
nlohmann::ordered_json settingsJson(const FreeSettings &s)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const Setting &row : settingRows()) {
        const std::string key(row.stateKey);
        const double v = row.get(s);
        if (row.kind == SettingKind::Choice)
            json[key] = settingText(row, v);
        else if (row.kind == SettingKind::Whole)
            json[key] = static_cast<std::int64_t>(v);
        else
            json[key] = v;
    }
    return json;
}

// The stability margins of the open loop, each null where the curve has no
// such crossing: the gain margin as a ratio and in dB, the phase margin in
// degrees, and the frequencies (rad/s) where |L| = 1 and arg L = -180°.
nlohmann::ordered_json marginsJson(const StabilityMargins &m)
{
    // To ten significant digits: the browser's mathematical functions may
    // differ from the desktop's in the last bits, and the crossings are
    // found to no better.
    const auto value = [](const std::optional<double> &v) {
        if (!v)
            return nlohmann::ordered_json(nullptr);
        if (*v == 0.0)
            return nlohmann::ordered_json(0.0);
        const double scale = std::pow(10.0, 9 - std::floor(std::log10(std::abs(*v))));
        return nlohmann::ordered_json(std::round(*v * scale) / scale);
    };
    return {{"gain", value(m.gain)},
            {"gainDb", value(m.gainDb)},
            {"phase", value(m.phase)},
            {"wGain", value(m.wGain)},
            {"wPhase", value(m.wPhase)}};
}

nlohmann::ordered_json explore(const SampledLoop &loop, const std::vector<KeptRun> &kept)
{
    nlohmann::ordered_json e = settingsJson(loop.settings());
    nlohmann::ordered_json poles = nlohmann::ordered_json::array();
    for (const Complex &z : loop.poles())
        poles.push_back({z.real(), z.imag()});
    const std::optional<double> gc = loop.criticalGain();
    e["poles"] = poles;
    e["stable"] = loop.stable();
    e["criticalGain"] = gc ? nlohmann::ordered_json(*gc) : nlohmann::ordered_json(nullptr);
    // The error the loop settles to, in codes; null where it grows without bound.
    const std::optional<double> error = loop.staticError();
    e["staticError"] = error ? nlohmann::ordered_json(*error) : nlohmann::ordered_json(nullptr);
    // The predicted run: X acquired and Epu sent at each sample kT within
    // the horizon, k = 0 to H/T - 1, and the set-point then.
    nlohmann::ordered_json x = nlohmann::ordered_json::array();
    nlohmann::ordered_json epu = nlohmann::ordered_json::array();
    nlohmann::ordered_json setPoint = nlohmann::ordered_json::array();
    for (const SamplePeriod &p : loop.periods()) {
        x.push_back(p.X);
        epu.push_back(p.Epu);
        setPoint.push_back(p.E);
    }
    e["preview"] = {{"X", x}, {"Epu", epu}, {"E", setPoint}};
    // The corrector's equation, G included, and what it computed at each kT
    // before rounding and limiting; the gains at which the loop is stable.
    nlohmann::ordered_json wanted = nlohmann::ordered_json::array();
    for (const SamplePeriod &p : loop.periods())
        wanted.push_back(p.wanted);
    e["preview"]["wanted"] = wanted;
    const DifferenceEquation c = correctorEquation(loop.settings());
    e["coefficients"] = {{"b", c.b}, {"a", c.a}};
    nlohmann::ordered_json intervals = nlohmann::ordered_json::array();
    for (const GainInterval &g : loop.stableGains())
        intervals.push_back({g.low, g.high});
    e["stableGains"] = intervals;
    nlohmann::ordered_json crossings = nlohmann::ordered_json::array();
    for (const LocusCrossing &c : loop.locus().crossings)
        crossings.push_back(c.gain);
    e["locus"] = {{"crossings", crossings}};
    nlohmann::ordered_json keptRuns = nlohmann::ordered_json::array();
    for (const KeptRun &k : kept)
        keptRuns.push_back(settingsJson(k.loop.settings()));
    e["kept"] = keptRuns;
    e["margins"] = marginsJson(frequencyResponse(loop.settings()).margins);
    // [T, Gc] at each offered period, the other settings as they are; Gc
    // null where no gain puts a pole on the circle.
    nlohmann::ordered_json byPeriod = nlohmann::ordered_json::array();
    for (const auto &[period, gain] : criticalGainByPeriod(loop.settings()))
        byPeriod.push_back({period, gain ? nlohmann::ordered_json(*gain) : nlohmann::ordered_json(nullptr)});
    e["criticalGainByPeriod"] = byPeriod;
    return e;
}

} // namespace

std::string stateJson(const Controller &controller)
{
    const AnimationState &a = controller.animation();
    const ModelState &m = controller.model();
    nlohmann::ordered_json controls = nlohmann::ordered_json::object();
    for (const Listed &l : listedControls) {
        if (l.switched && l.control == Control::B1 && a.B1existe == 0)
            continue;
        const ControlState s = l.switched ? controller.control(l.control) : ControlState{};
        controls[l.name] = {{"visible", s.visible}, {"enabled", s.enabled}};
    }
    const nlohmann::ordered_json state = {
        {"compteur", a.compteur},
        {"periode", a.periode},
        {"rubrique", a.rubrique},
        {"modeAnimation", a.modeAnimation},
        {"B1existe", a.B1existe},
        {"theta", m.theta},
        {"thetaPrec", m.thetaPrec},
        {"compteur2", a.compteur2},
        {"compteur3", a.compteur3},
        {"compteur4", a.compteur4},
        {"compteur5", a.compteur5},
        {"E", m.E},
        {"Ep", m.Ep},
        {"Epu", m.Epu},
        {"U1", m.U1},
        {"U", m.U},
        {"Omega1", m.Omega1},
        {"thetaAff", m.thetaAff},
        {"V", m.V},
        {"X", m.X},
        {"interval", controller.interval()},
        {"controls", controls},
        {"explore", explore(controller.freeLoop(), controller.kept())},
        {"view",
         {{"name", freeViewName(controller.freeViews().shown)}, {"large", controller.freeViews().large}}},
    };
    return state.dump();
}

} // namespace lodrix
