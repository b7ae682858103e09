#include "settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <iterator>
#include <limits>
#include <locale>
#include <sstream>
#include <type_traits>
#include <vector>

namespace lodrix {

namespace {

constexpr std::size_t longestNumber = 24; // of a number's text

// A member of FreeSettings as a row's double: an enum by its index.
template<auto member> double valueOf(const FreeSettings &s)
{
    const auto v = s.*member;
    if constexpr (std::is_enum_v<decltype(v)>)
        return double(static_cast<int>(v));
    else
        return double(v);
}

template<auto member> void put(FreeSettings &s, double value)
{
    using T = std::remove_reference_t<decltype(s.*member)>;
    if constexpr (std::is_enum_v<T>)
        s.*member = static_cast<T>(static_cast<int>(value));
    else
        s.*member = static_cast<T>(value);
}

constexpr SettingChoice correctors[] = {
    {"P", "Proportionnel", 0}, {"PC", "Compensation pôle", 1}, {"DB", "Deux coups", 2}, {"PI", "PI", 3},
    {"PID", "PID", 4},         {"LEAD", "Avance/retard", 5},   {"OWN", "Libre", 6},
};
constexpr SettingChoice periods[] = {
    {"0.025", "T1/4 = 25 ms", periodChoices[0]},
    {"0.05", "T1/2 = 50 ms", periodChoices[1]},
    {"0.1", "T1 = 100 ms", periodChoices[2]},
    {"0.2", "2 T1 = 200 ms", periodChoices[3]},
};
constexpr SettingChoice horizons[] = {
    {"0.4", "0,4 s", horizonChoices[0]},
    {"0.8", "0,8 s", horizonChoices[1]},
    {"1.6", "1,6 s", horizonChoices[2]},
    {"3.2", "3,2 s", horizonChoices[3]},
};
constexpr SettingChoice inputs[] = {
    {"step", "échelon", 0},
    {"ramp", "rampe", 1},
};

// The designed correctors' coefficients, each by the correctors that use it.
bool integralUsers(Corrector c)
{
    return c == Corrector::PI || c == Corrector::PID;
}
bool derivativeUsers(Corrector c)
{
    return c == Corrector::PID;
}
bool leadUsers(Corrector c)
{
    return c == Corrector::Lead;
}
bool ownUsers(Corrector c)
{
    return c == Corrector::Own;
}
// Anti-windup matters to every corrector that remembers its commands; the
// first three keep their links as they were, naming it only when it is off.
bool windupUsers(Corrector c)
{
    return c == Corrector::PI || c == Corrector::PID || c == Corrector::Lead || c == Corrector::Own;
}

template<std::size_t i> double ownB(const FreeSettings &s)
{
    return s.ownB[i];
}
template<std::size_t i> void putOwnB(FreeSettings &s, double v)
{
    s.ownB[i] = v;
}
template<std::size_t i> double ownA(const FreeSettings &s)
{
    return s.ownA[i];
}
template<std::size_t i> void putOwnA(FreeSettings &s, double v)
{
    s.ownA[i] = v;
}

// Another setting is its row here, with its member in FreeSettings.
constexpr Setting rows[] = {
    {.name = "corrector",
     .stateKey = "corrector",
     .kind = SettingKind::Choice,
     .choices = correctors,
     .refused = "Correcteur %1 inconnu",
     .rule = "le correcteur est P, PC, DB, PI, PID, LEAD ou OWN.",
     .help =
         "Le correcteur de la leçon 5 : P, PC, DB, PI, PID, LEAD (avance/retard de phase) ou OWN (libre).",
     .valueName = "C",
     .alwaysLinked = true,
     .get = valueOf<&FreeSettings::corrector>,
     .put = put<&FreeSettings::corrector>},
    {.name = "gain",
     .stateKey = "gain",
     .kind = SettingKind::Decimal,
     .low = minGain,
     .high = maxGain,
     .refused = "Gain G=%1 refusé",
     .rule = "le gain est un nombre de %1 à %2.",
     .help = "Le gain G de la leçon 5, de 0.1 à 1000.",
     .valueName = "G",
     .alwaysLinked = true,
     .get = valueOf<&FreeSettings::gain>,
     .put = put<&FreeSettings::gain>},
    {.name = "period",
     .stateKey = "period",
     .kind = SettingKind::DecimalChoice,
     .choices = periods,
     .refused = "Période T=%1 s refusée",
     .rule = "la période est en secondes, %1, %2, %3 ou %4.",
     .help = "La période T de la leçon 5, en secondes : 0.025, 0.05, 0.1 ou 0.2.",
     .valueName = "T",
     .alwaysLinked = true,
     .get = valueOf<&FreeSettings::period>,
     .put = put<&FreeSettings::period>},
    {.name = "step",
     .stateKey = "step",
     .kind = SettingKind::Whole,
     .low = minStep,
     .high = maxStep,
     .refused = "Échelon E=%1 refusé",
     .rule = "l'échelon est un nombre entier de %1 à %2 codes.",
     .help = "L'échelon E de la leçon 5, de 1 à 2047 codes.",
     .valueName = "E",
     .alwaysLinked = true,
     .get = valueOf<&FreeSettings::step>,
     .put = put<&FreeSettings::step>},
    {.name = "input",
     .stateKey = "input",
     .kind = SettingKind::Choice,
     .choices = inputs,
     .refused = "Consigne %1 inconnue",
     .rule = "la consigne est step (échelon) ou ramp (rampe).",
     .help = "La consigne de la leçon 5 : step (échelon) ou ramp (rampe).",
     .valueName = "SHAPE",
     .get = valueOf<&FreeSettings::input>,
     .put = put<&FreeSettings::input>},
    {.name = "load",
     .stateKey = "load",
     .kind = SettingKind::Whole,
     .low = -maxLoad,
     .high = maxLoad,
     .refused = "Charge D=%1 refusée",
     .rule = "la charge est un nombre entier de %1 à %2 codes.",
     .help = "La charge D de la leçon 5, de -2047 à 2047 codes.",
     .valueName = "D",
     .get = valueOf<&FreeSettings::load>,
     .put = put<&FreeSettings::load>},
    {.name = "loadfrom",
     .stateKey = "loadFrom",
     .kind = SettingKind::Whole,
     .low = 0,
     .high = lastLoadPeriod,
     .refused = "Période de la charge k=%1 refusée",
     .rule = "la période de la charge est un entier de %1 à %2.",
     .help = "La période k dès laquelle la charge de la leçon 5 agit, de 0 à 7.",
     .valueName = "K",
     .get = valueOf<&FreeSettings::loadFrom>,
     .put = put<&FreeSettings::loadFrom>},
    {.name = "horizon",
     .stateKey = "horizon",
     .kind = SettingKind::DecimalChoice,
     .choices = horizons,
     .refused = "Durée %1 s refusée",
     .rule = "la durée est en secondes, %1, %2, %3 ou %4.",
     .help = "La durée des courbes de la leçon 5, en secondes : 0.4, 0.8, 1.6 ou 3.2.",
     .valueName = "H",
     .get = valueOf<&FreeSettings::horizon>,
     .put = put<&FreeSettings::horizon>},
    // The designed correctors' coefficients and anti-windup.
    {.name = "ti",
     .stateKey = "ti",
     .kind = SettingKind::Decimal,
     .low = minIntegralTime,
     .high = maxIntegralTime,
     .refused = "Temps d'intégration Ti=%1 s refusé",
     .rule = "le temps d'intégration est un nombre de %1 à %2 secondes.",
     .help = "Le temps d'intégration Ti du PI et du PID de la leçon 5, de 0.01 à 10 s.",
     .valueName = "TI",
     .get = valueOf<&FreeSettings::integralTime>,
     .put = put<&FreeSettings::integralTime>,
     .usedBy = integralUsers},
    {.name = "td",
     .stateKey = "td",
     .kind = SettingKind::Decimal,
     .low = 0.0,
     .high = maxDerivativeTime,
     .refused = "Temps de dérivation Td=%1 s refusé",
     .rule = "le temps de dérivation est un nombre de %1 à %2 secondes.",
     .help = "Le temps de dérivation Td du PID de la leçon 5, de 0 à 1 s.",
     .valueName = "TD",
     .get = valueOf<&FreeSettings::derivativeTime>,
     .put = put<&FreeSettings::derivativeTime>,
     .usedBy = derivativeUsers},
    {.name = "zero",
     .stateKey = "zero",
     .kind = SettingKind::Decimal,
     .low = -1.0,
     .high = 1.0,
     .refused = "Zéro z0=%1 refusé",
     .rule = "le zéro est un nombre strictement entre %1 et %2.",
     .help = "Le zéro z0 de l'avance/retard de phase de la leçon 5, strictement entre -1 et 1.",
     .valueName = "Z0",
     .get = valueOf<&FreeSettings::leadZero>,
     .put = put<&FreeSettings::leadZero>,
     .openEnds = true,
     .usedBy = leadUsers},
    {.name = "pole",
     .stateKey = "pole",
     .kind = SettingKind::Decimal,
     .low = -1.0,
     .high = 1.0,
     .refused = "Pôle p0=%1 refusé",
     .rule = "le pôle est un nombre strictement entre %1 et %2.",
     .help = "Le pôle p0 de l'avance/retard de phase de la leçon 5, strictement entre -1 et 1.",
     .valueName = "P0",
     .get = valueOf<&FreeSettings::leadPole>,
     .put = put<&FreeSettings::leadPole>,
     .openEnds = true,
     .usedBy = leadUsers},
    {.name = "b0",
     .stateKey = "b0",
     .kind = SettingKind::Decimal,
     .low = -ownCoefficientLimit,
     .high = ownCoefficientLimit,
     .refused = "Coefficient b0=%1 refusé",
     .rule = "un coefficient est un nombre de %1 à %2.",
     .help = "Le coefficient b0 du correcteur libre de la leçon 5, de -100 à 100.",
     .valueName = "B0",
     .get = ownB<0>,
     .put = putOwnB<0>,
     .usedBy = ownUsers},
    {.name = "b1",
     .stateKey = "b1",
     .kind = SettingKind::Decimal,
     .low = -ownCoefficientLimit,
     .high = ownCoefficientLimit,
     .refused = "Coefficient b1=%1 refusé",
     .rule = "un coefficient est un nombre de %1 à %2.",
     .help = "Le coefficient b1 du correcteur libre de la leçon 5, de -100 à 100.",
     .valueName = "B1",
     .get = ownB<1>,
     .put = putOwnB<1>,
     .usedBy = ownUsers},
    {.name = "b2",
     .stateKey = "b2",
     .kind = SettingKind::Decimal,
     .low = -ownCoefficientLimit,
     .high = ownCoefficientLimit,
     .refused = "Coefficient b2=%1 refusé",
     .rule = "un coefficient est un nombre de %1 à %2.",
     .help = "Le coefficient b2 du correcteur libre de la leçon 5, de -100 à 100.",
     .valueName = "B2",
     .get = ownB<2>,
     .put = putOwnB<2>,
     .usedBy = ownUsers},
    {.name = "a1",
     .stateKey = "a1",
     .kind = SettingKind::Decimal,
     .low = -ownCoefficientLimit,
     .high = ownCoefficientLimit,
     .refused = "Coefficient a1=%1 refusé",
     .rule = "un coefficient est un nombre de %1 à %2.",
     .help = "Le coefficient a1 du correcteur libre de la leçon 5, de -100 à 100.",
     .valueName = "A1",
     .get = ownA<0>,
     .put = putOwnA<0>,
     .usedBy = ownUsers},
    {.name = "a2",
     .stateKey = "a2",
     .kind = SettingKind::Decimal,
     .low = -ownCoefficientLimit,
     .high = ownCoefficientLimit,
     .refused = "Coefficient a2=%1 refusé",
     .rule = "un coefficient est un nombre de %1 à %2.",
     .help = "Le coefficient a2 du correcteur libre de la leçon 5, de -100 à 100.",
     .valueName = "A2",
     .get = ownA<1>,
     .put = putOwnA<1>,
     .usedBy = ownUsers},
    {.name = "antiwindup",
     .stateKey = "antiWindup",
     .kind = SettingKind::Whole,
     .low = 0,
     .high = 1,
     .refused = "Anti-emballement %1 refusé",
     .rule = "l'anti-emballement vaut %1 (sans) ou %2 (avec).",
     .help = "L'anti-emballement de la leçon 5 : 1 avec (le correcteur retient la commande envoyée), 0 sans.",
     .valueName = "0|1",
     .get = valueOf<&FreeSettings::antiWindup>,
     .put = put<&FreeSettings::antiWindup>,
     .usedBy = windupUsers},
};

// The shortest text that reads back the same number: digits and a point
// whatever the program's locale, no exponent.
std::string numberText(double v)
{
    std::string text;
    for (int decimals = 0; decimals <= std::numeric_limits<double>::max_digits10; ++decimals) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out << std::fixed << std::setprecision(decimals) << v;
        text = out.str();
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        double back = 0.0;
        if (!std::isfinite(v) || (in >> back && back == v))
            break;
    }
    return text;
}

// Digits, with a '-' first only where the range goes below zero.
std::optional<double> wholeNumber(std::string_view text, double low, double high)
{
    long long v = 0;
    if (text.empty() || text.size() > longestNumber || (text.front() == '-' && low >= 0))
        return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || double(v) < low || double(v) > high)
        return std::nullopt;
    return double(v);
}

// Digits with at most one point: no sign, no exponent, nothing that is not a
// finite number; read the same whatever the program's locale.
std::optional<double> decimalNumber(std::string_view text)
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
    std::istringstream in("0" + std::string(text) + (text.back() == '.' ? "0" : ""));
    in.imbue(std::locale::classic());
    double v = 0.0;
    if (!(in >> v) || in.peek() != std::char_traits<char>::eof() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool sameNumber(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

const SettingChoice *choiceOf(const Setting &row, double value)
{
    const auto found = std::find_if(row.choices.begin(), row.choices.end(), [&](const SettingChoice &c) {
        return row.kind == SettingKind::DecimalChoice ? sameNumber(c.value, value) : c.value == value;
    });
    return found == row.choices.end() ? nullptr : &*found;
}

// Each %N of the translated pattern replaced by values[N - 1].
std::string filled(std::string_view pattern, const std::vector<std::string> &values)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t n = i + 1 < pattern.size() ? std::size_t(pattern[i + 1] - '1') : values.size();
        if (pattern[i] == '%' && n < values.size()) {
            out += values[n];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

// "a, b or c", as the tools' English lists them.
std::string listed(const std::vector<std::string_view> &words)
{
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(words[i]);
    return out;
}

} // namespace

bool usesSetting(const Setting &row, Corrector corrector)
{
    return !row.usedBy || row.usedBy(corrector);
}

std::span<const Setting> settingRows()
{
    return rows;
}

const Setting *findSetting(std::string_view name)
{
    const auto *found =
        std::find_if(std::begin(rows), std::end(rows), [name](const Setting &r) { return r.name == name; });
    return found == std::end(rows) ? nullptr : found;
}

std::optional<double> readSettingValue(const Setting &row, std::string_view text)
{
    switch (row.kind) {
    case SettingKind::Choice:
        for (const SettingChoice &c : row.choices) {
            if (c.word == text)
                return c.value;
        }
        return std::nullopt;
    case SettingKind::Whole:
        return wholeNumber(text, row.low, row.high);
    case SettingKind::Decimal: {
        const bool negative = row.low < 0 && text.starts_with('-');
        auto v = decimalNumber(negative ? text.substr(1) : text);
        if (v && negative)
            v = -*v;
        return v && acceptsValue(row, *v) ? v : std::nullopt;
    }
    case SettingKind::DecimalChoice: {
        const auto v = decimalNumber(text);
        const SettingChoice *c = v ? choiceOf(row, *v) : nullptr;
        return c ? std::optional(c->value) : std::nullopt;
    }
    }
    return std::nullopt;
}

std::string settingText(const Setting &row, double value)
{
    if (row.kind == SettingKind::Choice || row.kind == SettingKind::DecimalChoice) {
        if (const SettingChoice *c = choiceOf(row, value))
            return std::string(c->word);
    }
    return numberText(value);
}

std::string settingText(const Setting &row, const FreeSettings &settings)
{
    return settingText(row, row.get(settings));
}

bool acceptsValue(const Setting &row, double value)
{
    switch (row.kind) {
    case SettingKind::Choice:
    case SettingKind::DecimalChoice:
        return choiceOf(row, value) != nullptr;
    case SettingKind::Whole:
        return std::floor(value) == value && value >= row.low && value <= row.high;
    case SettingKind::Decimal:
        // Written so that a NaN fails too.
        if (row.openEnds)
            return value > row.low && value < row.high;
        return value >= row.low && value <= row.high;
    }
    return false;
}

std::string settingRule(const Setting &row, const Language &language)
{
    std::vector<std::string> values;
    if (row.kind == SettingKind::Whole || row.kind == SettingKind::Decimal)
        values = {numberText(row.low), numberText(row.high)};
    for (const SettingChoice &c : row.choices)
        values.emplace_back(c.word);
    return filled(language.tr(row.rule), values);
}

std::string settingRefusal(const Setting &row, std::string_view given, const Language &language)
{
    return language.format("%1 : %2", {language.format(row.refused, {given}), settingRule(row, language)});
}

std::optional<std::string> readSetting(std::string_view name, std::string_view text, FreeSettings &settings,
                                       const Language &language)
{
    const Setting *row = findSetting(name);
    if (!row)
        return language.format("le champ « %1 » est inconnu.", {name});
    const auto v = readSettingValue(*row, text);
    if (!v)
        return settingRefusal(*row, text, language);
    row->put(settings, *v);
    return std::nullopt;
}

std::optional<std::string> settingsError(const FreeSettings &settings, const Language &language)
{
    for (const Setting &row : rows) {
        const double v = row.get(settings);
        if (!acceptsValue(row, v))
            return settingRefusal(row, settingText(row, v), language);
    }
    return std::nullopt;
}

std::optional<std::string> setCommandError(std::string_view name, std::string_view text,
                                           FreeSettings &settings, const Language &language)
{
    const Setting *row = findSetting(name);
    if (!row) {
        std::vector<std::string_view> names;
        for (const Setting &r : rows)
            names.push_back(r.name);
        return "unknown setting '" + std::string(name) + "' for 'set' (expected " + listed(names) + ")";
    }
    const auto v = readSettingValue(*row, text);
    if (!v) {
        std::string expected;
        if (row->kind == SettingKind::Choice) {
            std::vector<std::string_view> words;
            for (const SettingChoice &c : row->choices)
                words.push_back(c.word);
            expected = " (expected " + listed(words) + ")";
        }
        return "bad value '" + std::string(text) + "' for 'set " + std::string(name) + "'" + expected + ": " +
               settingRefusal(*row, text, language);
    }
    row->put(settings, *v);
    return std::nullopt;
}

double gainAtSliderPosition(int position)
{
    const double decades = double(std::clamp(position, 0, gainSliderPositions)) / gainSliderPositions *
                           std::log10(maxGain / minGain);
    // Four significant digits: finer roundings would be noise, coarser ones
    // would make a step of the slider more than the scale's ×1.023 near 0.1.
    const double gain = minGain * std::pow(10.0, decades);
    const double scale = std::pow(10.0, 3 - std::floor(std::log10(gain)));
    return std::round(gain * scale) / scale;
}

int sliderPositionOfGain(double gain)
{
    const double decades = std::log10(std::clamp(gain, minGain, maxGain) / minGain);
    return int(std::lround(decades / std::log10(maxGain / minGain) * gainSliderPositions));
}

} // namespace lodrix
