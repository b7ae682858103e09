#include "link.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace lodrix {

namespace {

constexpr std::size_t longestLink = 2000; // far more than every field at once
constexpr std::size_t longestShown = 40;  // of a bad value or name in a message
constexpr std::size_t longestNumber = 24;
constexpr int lessonCount = freeSettingEntry + 1;

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

std::optional<int> wholeNumber(std::string_view text, int low, int high)
{
    int v = 0;
    if (text.empty() || text.size() > longestNumber || text.front() == '-' || text.front() == '+')
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
// what the controller shows, or nothing when the link need not say it.

using Read = Refusal (*)(std::string_view value, Link &link, const Language &messages);
using Write = std::optional<std::string> (*)(const Controller &c);

Refusal readLesson(std::string_view value, Link &link, const Language &messages)
{
    link.lesson = wholeNumber(value, 0, lessonCount - 1);
    if (!link.lesson)
        return messages.format("la leçon est un numéro de 0 à %1.", {std::to_string(lessonCount - 1)});
    return std::nullopt;
}

std::optional<std::string> writeLesson(const Controller &c)
{
    return c.menuRow() >= 0 ? std::optional(std::to_string(c.menuRow())) : std::nullopt;
}

Refusal readMode(std::string_view value, Link &link, const Language &messages)
{
    link.mode = wholeNumber(value, 0, 1);
    if (!link.mode)
        return std::string(messages.tr("le mode est 0 (en continu) ou 1 (pas à pas)."));
    return std::nullopt;
}

std::optional<std::string> writeMode(const Controller &c)
{
    return c.modeRow() >= 0 ? std::optional(std::to_string(c.modeRow())) : std::nullopt;
}

// The free-setting entry's settings are written when that entry is chosen or
// when they are not the first ones, which it would show later.
bool settingsShown(const Controller &c)
{
    return c.menuRow() == freeSettingEntry || c.freeSettings() != FreeSettings{};
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

Refusal readGain(std::string_view value, Link &link, const Language &messages)
{
    link.gain = decimalNumber(value, minGain, maxGain);
    if (!link.gain)
        return messages.format("le gain est un nombre de %1 à %2.", {written(minGain), written(maxGain)});
    return std::nullopt;
}

std::optional<std::string> writeGain(const Controller &c)
{
    return settingsShown(c) ? std::optional(written(c.freeSettings().gain)) : std::nullopt;
}

Refusal readPeriod(std::string_view value, Link &link, const Language &messages)
{
    link.period.reset();
    if (const auto v = decimalNumber(value, periodChoices.front(), periodChoices.back())) {
        for (const double choice : periodChoices) {
            if (periodName(choice) == periodName(*v))
                link.period = choice;
        }
    }
    if (!link.period)
        return messages.format("la période est en secondes, %1, %2, %3 ou %4.",
                               {written(periodChoices[0]), written(periodChoices[1]),
                                written(periodChoices[2]), written(periodChoices[3])});
    return std::nullopt;
}

std::optional<std::string> writePeriod(const Controller &c)
{
    return settingsShown(c) ? std::optional(written(c.freeSettings().period)) : std::nullopt;
}

Refusal readStep(std::string_view value, Link &link, const Language &messages)
{
    link.step = wholeNumber(value, minStep, maxStep);
    if (!link.step)
        return messages.format("l'échelon est un nombre entier de %1 à %2 codes.",
                               {std::to_string(minStep), std::to_string(maxStep)});
    return std::nullopt;
}

std::optional<std::string> writeStep(const Controller &c)
{
    return settingsShown(c) ? std::optional(std::to_string(c.freeSettings().step)) : std::nullopt;
}

Refusal readSpeed(std::string_view value, Link &link, const Language &messages)
{
    link.speed = wholeNumber(value, minIntervalMs, maxIntervalMs);
    if (!link.speed)
        return messages.format("la vitesse est un nombre entier de %1 à %2 (ms entre deux images).",
                               {std::to_string(minIntervalMs), std::to_string(maxIntervalMs)});
    return std::nullopt;
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
};

// In the order a written link gives them. Another field is its member in
// Link, a read and a write function above (wholeNumber and decimalNumber
// check a number; settingsShown says when a free setting is written), its
// row here, and its line in applyLink.
constexpr Field fields[] = {
    {"lesson", readLesson, writeLesson},
    {"mode", readMode, writeMode},
    {"corrector", readCorrector, writeCorrector},
    {"gain", readGain, writeGain},
    {"period", readPeriod, writePeriod},
    {"step", readStep, writeStep},
    {"speed", readSpeed, writeSpeed},
    {"lang", readLanguage, writeLanguage},
    {"start", readStart, writeNothing},
};
constexpr std::size_t fieldCount = std::size(fields);

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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
            const int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return std::nullopt;
            out += char(high * 16 + low);
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

LinkReading readLink(std::string_view address, const Language &messages)
{
    auto refuse = [&messages](std::string why) {
        return LinkReading{{}, messages.format("Lien refusé : %1", {why})};
    };
    if (const auto hash = address.find('#'); hash != std::string_view::npos)
        address = address.substr(0, hash);
    if (const auto question = address.find('?'); question != std::string_view::npos)
        address = address.substr(question + 1);
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
    if (link.corrector)
        settings.corrector = *link.corrector;
    if (link.gain)
        settings.gain = *link.gain;
    if (link.period)
        settings.period = *link.period;
    if (link.step)
        settings.step = *link.step;
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
