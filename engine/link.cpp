#include "link.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>

namespace lodrix {

namespace {

constexpr std::size_t longestLink = 2000; // far more than every field at once
constexpr std::size_t longestShown = 40;  // of a bad value or name in a message
constexpr std::size_t longestNumber = 24;

constexpr Corrector correctors[] = {Corrector::Proportional, Corrector::PoleCompensation, Corrector::TwoStep};
constexpr std::string_view correctorWords[] = {"P", "PC", "DB"};

using Refusal = std::optional<std::string>;

// What a message shows of a text from the link: printable ASCII, cut short.
std::string shown(std::string_view text)
{
    std::string out;
    for (const char c : text.substr(0, longestShown))
        out += c >= 0x20 && c < 0x7F ? c : '?';
    if (text.size() > longestShown)
        out += "…";
    return out;
}

// Digits, with a '-' first only where the range goes below zero.
std::optional<int> wholeNumber(std::string_view text, int low, int high)
{
    int v = 0;
    if (text.empty() || text.size() > longestNumber || text.front() == '+' ||
        (text.front() == '-' && low >= 0))
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        return std::nullopt;
    return v;
}

// Digits with at most one point: no sign, no exponent, nothing that is not a
// finite number. Read by the JSON reader, whatever the program's locale.
std::optional<double> decimalNumber(std::string_view text, double low, double high)
{
    if (text.empty() || text.size() > longestNumber)
        return std::nullopt;
    int points = 0;
    int digits = 0;
    for (const char c : text) {
        if (c == '.')
            ++points;
        else if (c >= '0' && c <= '9')
            ++digits;
        else
            return std::nullopt;
    }
    if (points > 1 || digits == 0)
        return std::nullopt;
    std::string json(text);
    if (json.front() == '.')
        json.insert(0, "0");
    if (json.back() == '.')
        json += '0';
    const auto parsed = nlohmann::json::parse(json, nullptr, false);
    if (!parsed.is_number())
        return std::nullopt;
    const double v = parsed.get<double>();
    if (!std::isfinite(v) || v < low || v > high)
        return std::nullopt;
    return v;
}

// A number as a link writes it: the shortest text that reads back the same.
std::string written(double v)
{
    std::string text = nlohmann::json(v).dump();
    if (text.size() > 2 && text.ends_with(".0"))
        text.resize(text.size() - 2);
    return text;
}

// ---- The fields -----------------------------------------------------------------
// Each reads its value into the link, or says what it must be; each writes
// what the controller shows, or nothing when the link need not say it; a
// setting of the free-setting lesson also puts what the link gives into the
// settings the controller is handed.

using Read = Refusal (*)(std::string_view value, Link &link, const Language &messages);
using Write = std::optional<std::string> (*)(const Controller &c);
using Apply = void (*)(const Link &link, FreeSettings &settings);

// What a value must be, in French, %1 and %2 its bounds.
constexpr char lessonRule[] = "la leçon est un numéro de %1 à %2.";
constexpr char modeRule[] = "le mode est 0 (en continu) ou 1 (pas à pas).";
constexpr char gainRule[] = "le gain est un nombre de %1 à %2.";
constexpr char stepRule[] = "l'échelon est un nombre entier de %1 à %2 codes.";
constexpr char speedRule[] = "la vitesse est un nombre entier de %1 à %2 (ms entre deux images).";
constexpr char loadRule[] = "la charge est un nombre entier de %1 à %2 codes.";
constexpr char loadFromRule[] = "la période de la charge est un entier de %1 à %2.";

// A whole number from low to high.
template<auto member, int low, int high, const char *rule>
Refusal readWhole(std::string_view value, Link &link, const Language &messages)
{
    const auto v = wholeNumber(value, low, high);
    if (!v)
        return messages.format(rule, {std::to_string(low), std::to_string(high)});
    link.*member = *v;
    return std::nullopt;
}

// A decimal number from *low to *high.
template<auto member, const double *low, const double *high, const char *rule>
Refusal readDecimal(std::string_view value, Link &link, const Language &messages)
{
    const auto v = decimalNumber(value, *low, *high);
    if (!v)
        return messages.format(rule, {written(*low), written(*high)});
    link.*member = *v;
    return std::nullopt;
}

// A row of a list, none before a choice.
template<int (Controller::*row)() const> std::optional<std::string> writeRow(const Controller &c)
{
    return (c.*row)() >= 0 ? std::optional(std::to_string((c.*row)())) : std::nullopt;
}

// The free-setting lesson's settings are written when that lesson is chosen
// or when they are not the first ones, which it would show later.
bool settingsShown(const Controller &c)
{
    return c.menuRow() == freeSettingEntry || c.freeSettings() != FreeSettings{};
}

std::string written(std::int32_t v)
{
    return std::to_string(v);
}

template<auto member> std::optional<std::string> writeSetting(const Controller &c)
{
    return settingsShown(c) ? std::optional(written(c.freeSettings().*member)) : std::nullopt;
}

// The laboratory's further settings are written only when not the first
// ones: most links need neither a load nor a ramp.
template<auto member> std::optional<std::string> writeUnusual(const Controller &c)
{
    return c.freeSettings().*member != FreeSettings{}.*member ? writeSetting<member>(c) : std::nullopt;
}

template<auto linkMember, auto settingMember> void applySetting(const Link &link, FreeSettings &settings)
{
    if (link.*linkMember)
        settings.*settingMember = *(link.*linkMember);
}

Refusal readCorrector(std::string_view value, Link &link, const Language &messages)
{
    const auto *found = std::find(std::begin(correctorWords), std::end(correctorWords), value);
    if (found == std::end(correctorWords))
        return std::string(messages.tr("le correcteur est P, PC ou DB."));
    link.corrector = correctors[found - std::begin(correctorWords)];
    return std::nullopt;
}

std::optional<std::string> writeCorrector(const Controller &c)
{
    if (!settingsShown(c))
        return std::nullopt;
    const auto *found = std::find(std::begin(correctors), std::end(correctors), c.freeSettings().corrector);
    return std::string(correctorWords[found - std::begin(correctors)]);
}

constexpr std::string_view inputWords[] = {"step", "ramp"};
constexpr Input inputs[] = {Input::Step, Input::Ramp};

Refusal readInput(std::string_view value, Link &link, const Language &messages)
{
    const auto *found = std::find(std::begin(inputWords), std::end(inputWords), value);
    if (found == std::end(inputWords))
        return std::string(messages.tr("la consigne est step (échelon) ou ramp (rampe)."));
    link.input = inputs[found - std::begin(inputWords)];
    return std::nullopt;
}

std::optional<std::string> writeInput(const Controller &c)
{
    if (c.freeSettings().input == FreeSettings{}.input)
        return std::nullopt;
    return std::string(inputWords[c.freeSettings().input == Input::Ramp ? 1 : 0]);
}

// One of the periods offered, taken exactly.
Refusal readPeriod(std::string_view value, Link &link, const Language &messages)
{
    if (const auto v = decimalNumber(value, periodChoices.front(), periodChoices.back())) {
        for (const double choice : periodChoices) {
            if (periodName(choice) == periodName(*v)) {
                link.period = choice;
                return std::nullopt;
            }
        }
    }
    return messages.format("la période est en secondes, %1, %2, %3 ou %4.",
                           {written(periodChoices[0]), written(periodChoices[1]), written(periodChoices[2]),
                            written(periodChoices[3])});
}

std::optional<std::string> writeSpeed(const Controller &c)
{
    return c.scrollPosition() != defaultIntervalMs ? std::optional(std::to_string(c.scrollPosition()))
                                                   : std::nullopt;
}

Refusal readLanguage(std::string_view value, Link &link, const Language &messages)
{
    link.language = Language::named(value);
    if (link.language)
        return std::nullopt;
    std::string codes;
    for (const std::string_view code : Language::codes())
        codes += (codes.empty() ? "" : ", ") + std::string(code);
    return messages.format("la langue est %1.", {codes});
}

std::optional<std::string> writeLanguage(const Controller &c)
{
    return std::string(c.language().code());
}

Refusal readStart(std::string_view value, Link &link, const Language &messages)
{
    const auto v = wholeNumber(value, 0, 1);
    if (!v)
        return std::string(messages.tr("start vaut 0 ou 1."));
    link.start = *v == 1;
    return std::nullopt;
}

// A link of what is on screen opens it still: where a run stood cannot be
// written, so a written link never starts one.
std::optional<std::string> writeNothing(const Controller &)
{
    return std::nullopt;
}

struct Field {
    std::string_view name;
    Read read;
    Write write;
    Apply apply = nullptr; // a setting of the free-setting lesson
};

// A setting of the free-setting lesson: its value in the link, in the settings.
template<auto linkMember, auto settingMember>
constexpr Field setting(std::string_view name, Read read, Write write = writeSetting<settingMember>)
{
    return {name, read, write, applySetting<linkMember, settingMember>};
}

// In the order a written link gives them. Another field is its member in
// Link and its row here, with the rule its value keeps; readWhole,
// readDecimal, writeRow and setting() serve most.
constexpr Field fields[] = {
    {"lesson", readWhole<&Link::lesson, 0, freeSettingEntry, lessonRule>, writeRow<&Controller::menuRow>},
    {"mode", readWhole<&Link::mode, 0, 1, modeRule>, writeRow<&Controller::modeRow>},
    setting<&Link::corrector, &FreeSettings::corrector>("corrector", readCorrector, writeCorrector),
    setting<&Link::gain, &FreeSettings::gain>("gain", readDecimal<&Link::gain, &minGain, &maxGain, gainRule>),
    setting<&Link::period, &FreeSettings::period>("period", readPeriod),
    setting<&Link::step, &FreeSettings::step>("step", readWhole<&Link::step, minStep, maxStep, stepRule>),
    setting<&Link::input, &FreeSettings::input>("input", readInput, writeInput),
    setting<&Link::load, &FreeSettings::load>("load", readWhole<&Link::load, -maxLoad, maxLoad, loadRule>,
                                              writeUnusual<&FreeSettings::load>),
    setting<&Link::loadFrom, &FreeSettings::loadFrom>(
        "loadfrom", readWhole<&Link::loadFrom, 0, lastLoadPeriod, loadFromRule>,
        writeUnusual<&FreeSettings::loadFrom>),
    {"speed", readWhole<&Link::speed, minIntervalMs, maxIntervalMs, speedRule>, writeSpeed},
    {"lang", readLanguage, writeLanguage},
    {"start", readStart, writeNothing},
};
constexpr std::size_t fieldCount = std::size(fields);

// %XX as its byte and '+' as a blank; nothing for a '%' not followed by two
// hexadecimal digits.
std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            // Two digits exactly: from_chars alone would take one, or a sign.
            unsigned byte = 0;
            const char *digits = text.data() + i + 1;
            if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(digits[0])) ||
                std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
                return std::nullopt;
            out += char(byte);
            i += 2;
        }
    }
    return out;
}

// The characters a written value keeps as they are; the others are escaped.
bool keptInLink(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == '~';
}

std::string percentEncoded(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        if (keptInLink(c)) {
            out += c;
        } else {
            out += '%';
            out += hex[static_cast<unsigned char>(c) >> 4];
            out += hex[static_cast<unsigned char>(c) & 0xF];
        }
    }
    return out;
}

} // namespace

std::optional<std::string> readLinkField(std::string_view name, std::string_view value, Link &link,
                                         const Language &messages)
{
    const auto *field =
        std::find_if(std::begin(fields), std::end(fields), [name](const Field &f) { return f.name == name; });
    if (field == std::end(fields))
        return messages.format("le champ « %1 » est inconnu.", {shown(name)});
    return field->read(value, link, messages);
}

namespace {

// The language a link names (its first "lang" field that Lodrix speaks),
// which its refusal speaks: a teacher who wrote lang=fr reads French.
std::optional<Language> namedLanguage(std::string_view query)
{
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || percentDecoded(pair.substr(0, equals)) != "lang")
            continue;
        if (const auto value = percentDecoded(pair.substr(equals + 1)))
            if (const auto language = Language::named(*value))
                return language;
    }
    return std::nullopt;
}

} // namespace

LinkReading readLink(std::string_view address, const Language &fallback)
{
    if (const auto hash = address.find('#'); hash != std::string_view::npos)
        address = address.substr(0, hash);
    if (const auto question = address.find('?'); question != std::string_view::npos)
        address = address.substr(question + 1);
    const Language messages = namedLanguage(address.substr(0, longestLink)).value_or(fallback);
    auto refuse = [&messages](std::string why) {
        return LinkReading{{}, messages.format("Lien refusé : %1", {why})};
    };
    if (address.size() > longestLink)
        return refuse(
            messages.format("il est trop long (plus de %1 caractères).", {std::to_string(longestLink)}));

    Link link;
    bool given[fieldCount] = {};
    while (!address.empty()) {
        const std::size_t amp = address.find('&');
        const std::string_view pair = address.substr(0, amp);
        address = amp == std::string_view::npos ? std::string_view() : address.substr(amp + 1);
        if (pair.empty())
            continue; // "a=1&&b=2", or a '&' at the end: nothing between
        const std::size_t equals = pair.find('=');
        const std::string_view rawName = pair.substr(0, equals);
        const std::string_view rawValue =
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        const auto name = percentDecoded(rawName);
        const auto value = percentDecoded(rawValue);
        if (!name || !value)
            return refuse(messages.format(
                "« %1 » est mal écrit : un % doit être suivi de deux chiffres hexadécimaux.", {shown(pair)}));
        const auto *field = std::find_if(std::begin(fields), std::end(fields),
                                         [&name](const Field &f) { return f.name == *name; });
        if (field == std::end(fields))
            return refuse(messages.format("le champ « %1 » est inconnu.", {shown(*name)}));
        bool &seen = given[field - std::begin(fields)];
        if (seen)
            return refuse(messages.format("le champ « %1 » est donné deux fois.", {shown(*name)}));
        seen = true;
        if (const Refusal why = field->read(*value, link, messages))
            return refuse(messages.format("%1=%2 ne convient pas : %3", {shown(*name), shown(*value), *why}));
    }
    if (link.start && !link.lesson)
        return refuse(std::string(messages.tr("start=1 demande une leçon (lesson).")));
    return {link, std::nullopt};
}

void applyLink(Controller &controller, const Link &link)
{
    if (link.language)
        controller.setLanguage(*link.language);
    FreeSettings settings = controller.freeSettings();
    for (const Field &field : fields) {
        if (field.apply)
            field.apply(link, settings);
    }
    // Each value was checked as it was read; the whole is checked again here.
    if (!settingsError(settings))
        controller.setFreeSettings(settings);
    if (link.speed)
        controller.setScrollPosition(*link.speed);
    // The mode first: it holds on whichever lesson is chosen after it, as
    // when a person chooses it on one closed-loop lesson and then another.
    if (link.mode)
        controller.choixbis(*link.mode);
    if (link.lesson)
        controller.choix(*link.lesson);
    if (!link.start)
        return;
    // A person presses the button over the idle picture the timer drew (the
    // speed bar's marks with it): a start by link draws it first, so that it
    // shows the very frames a press shows.
    controller.drawFrame({Page::Idle, 0});
    // The button that starts the chosen lesson: « Démarrer Animation », or
    // in step-by-step mode « Incrémenter la période » for the first period.
    if (controller.control(Control::Button1).enabled)
        controller.Button1Click();
    else if (controller.control(Control::Button2).enabled)
        controller.Button2Click();
}

std::string linkQuery(const Controller &controller)
{
    std::string query;
    for (const Field &field : fields) {
        if (const auto value = field.write(controller)) {
            query += query.empty() ? "" : "&";
            query += std::string(field.name) + "=" + percentEncoded(*value);
        }
    }
    return query;
}

} // namespace lodrix
