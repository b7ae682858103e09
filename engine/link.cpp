#include "link.h"

#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <set>

namespace lodrix {

namespace {

constexpr std::size_t longestLink = 2000; // far more than every field at once
constexpr std::size_t longestShown = 40;  // of a bad value or name in a message
constexpr std::size_t longestNumber = 24;

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

// ---- The fields -----------------------------------------------------------------
// Each reads its value into the link, or says what it must be; each writes
// what the controller shows, or nothing when the link need not say it. The
// free-setting lesson's settings are fields too, between the mode and the
// speed, each as its row in settings/settings.h reads and writes it.

using Read = Refusal (*)(std::string_view value, Link &link, const Language &messages);
using Write = std::optional<std::string> (*)(const Controller &c);

// What a value must be, in French, %1 and %2 its bounds.
constexpr char lessonRule[] = "la leçon est un numéro de %1 à %2.";
constexpr char modeRule[] = "le mode est 0 (en continu) ou 1 (pas à pas).";
constexpr char speedRule[] = "la vitesse est un nombre entier de %1 à %2 (ms entre deux images).";

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

// A row of a list, none before a choice.
template<int (Controller::*row)() const> std::optional<std::string> writeRow(const Controller &c)
{
    return (c.*row)() >= 0 ? std::optional(std::to_string((c.*row)())) : std::nullopt;
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

// In the order a written link gives them, the settings after the first ones.
constexpr Field leadingFields[] = {
    {"lesson", readWhole<&Link::lesson, 0, freeSettingEntry, lessonRule>, writeRow<&Controller::menuRow>},
    {"mode", readWhole<&Link::mode, 0, 1, modeRule>, writeRow<&Controller::modeRow>},
};
constexpr Field trailingFields[] = {
    {"speed", readWhole<&Link::speed, minIntervalMs, maxIntervalMs, speedRule>, writeSpeed},
    {"lang", readLanguage, writeLanguage},
    {"start", readStart, writeNothing},
};

const Field *findField(std::string_view name)
{
    for (const auto &fields :
         {std::span<const Field>(leadingFields), std::span<const Field>(trailingFields)}) {
        for (const Field &f : fields) {
            if (f.name == name)
                return &f;
        }
    }
    return nullptr;
}

// The free-setting lesson's settings are written when that lesson is chosen
// or when they are not the first ones, which it would show later; beyond the
// first ones, a setting only when it is not its first value.
std::optional<std::string> writeSetting(const Setting &row, const Controller &c)
{
    const bool shown = c.menuRow() == freeSettingEntry || c.freeSettings() != FreeSettings{};
    const double value = row.get(c.freeSettings());
    // A corrector's own coefficients are written whenever it is chosen.
    const bool linked = row.alwaysLinked || (row.usedBy && row.usedBy(c.freeSettings().corrector));
    if (!shown || (!linked && value == row.get(FreeSettings{})))
        return std::nullopt;
    return settingText(row, value);
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
    if (const Field *field = findField(name))
        return field->read(value, link, messages);
    const Setting *row = findSetting(name);
    if (!row)
        return messages.format("le champ « %1 » est inconnu.", {shown(name)});
    const auto v = readSettingValue(*row, value);
    if (!v)
        return settingRule(*row, messages);
    link.settings[std::string(row->name)] = settingText(*row, *v);
    return std::nullopt;
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
    std::set<std::string, std::less<>> given;
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
        if (!findField(*name) && !findSetting(*name))
            return refuse(messages.format("le champ « %1 » est inconnu.", {shown(*name)}));
        if (!given.insert(*name).second)
            return refuse(messages.format("le champ « %1 » est donné deux fois.", {shown(*name)}));
        if (const Refusal why = readLinkField(*name, *value, link, messages))
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
    for (const auto &[name, text] : link.settings)
        readSetting(name, text, settings, controller.language());
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
    auto add = [&query](std::string_view name, const std::optional<std::string> &value) {
        if (!value)
            return;
        query += query.empty() ? "" : "&";
        query += std::string(name) + "=" + percentEncoded(*value);
    };
    for (const Field &field : leadingFields)
        add(field.name, field.write(controller));
    for (const Setting &row : settingRows())
        add(row.name, writeSetting(row, controller));
    for (const Field &field : trailingFields)
        add(field.name, field.write(controller));
    return query;
}

} // namespace lodrix
