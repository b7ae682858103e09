#pragma once
// The free-setting lesson's settings, one row each: the one place that says
// what a setting is called, the words a choice is written with, its range,
// how it reads from a text and is written as one, and what its refusal says.
// The desktop's strip and command line, lodrix-replay's "set", links, the
// state line, the page's controls and its hook all go through these rows;
// another setting is its member in FreeSettings (the model), its row here
// and its control in each shell's strip.
//
// A row's value travels as a double: a choice by its index in the row's
// choices (the order of its enum), a whole number exactly. Its text is the
// same everywhere, a link, an option, a script: a choice by its word ("PC"),
// a number with a point whatever the language, no sign unless the range goes
// below zero ("-0.5" then), no exponent.
//
// The gain slider's scale lives here too, beside the gain's row: both
// shells' sliders go through it.

#include "lang/catalogue.h"
#include "model/sampledloop.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lodrix {

enum class SettingKind {
    Choice,        // one of its choices, by its word
    Whole,         // a whole number from low to high
    Decimal,       // a number from low to high
    DecimalChoice, // one of its choices, by its number ("0.050" is "0.05")
};

struct SettingChoice {
    std::string_view word; // as links, options and scripts write it
    const char *label;     // French, as the strips list it
    double value;          // the index of a choice, the number of a decimal choice
};

struct Setting {
    std::string_view name;     // in links, options, "set" and the page: "loadfrom"
    std::string_view stateKey; // in the state line: "loadFrom"
    SettingKind kind;
    double low = 0.0; // Whole and Decimal
    double high = 0.0;
    std::span<const SettingChoice> choices = {};
    // French texts, through the catalogue. The refusal names the value as
    // given (%1); the rule says what a value must be (%1, %2... the bounds
    // or the choices' words); the help is the command line's.
    const char *refused = "";
    const char *rule = "";
    const char *help = "";
    const char *valueName = ""; // the option's value in the help: "G"
    // A link of the free-setting lesson writes it even at its first value;
    // the others only when changed, as most links need no load nor ramp.
    bool alwaysLinked = false;
    double (*get)(const FreeSettings &) = nullptr;
    void (*put)(FreeSettings &, double) = nullptr;
    // A Decimal whose ends are excluded: "strictly between".
    bool openEnds = false;
    // The correctors that use it: a link writes it whenever one of them is
    // chosen, at its first value too. None: every corrector, or no rule.
    bool (*usedBy)(Corrector) = nullptr;
};
// Whether the row is one the corrector uses: its coefficients, all for those
// that say nothing of correctors.
bool usesSetting(const Setting &row, Corrector corrector);

// Every row, in the order links write them and the strips show them.
std::span<const Setting> settingRows();
// The row of that name; none for a name no setting has.
const Setting *findSetting(std::string_view name);

// The value a text gives, when it is one of the row's.
std::optional<double> readSettingValue(const Setting &row, std::string_view text);
// The text of a value, as readSettingValue reads it back.
std::string settingText(const Setting &row, double value);
std::string settingText(const Setting &row, const FreeSettings &settings);
// Whether the value is one of the row's.
bool acceptsValue(const Setting &row, double value);

// What a value must be: "le gain est un nombre de 0.1 à 100.", translated.
std::string settingRule(const Setting &row, const Language &language);
// "Gain G=150 refusé : le gain est un nombre de 0.1 à 100.", naming the
// value as it was given.
std::string settingRefusal(const Setting &row, std::string_view given, const Language &language);

// Reads the text into the setting named; else its refusal, and nothing changes.
std::optional<std::string> readSetting(std::string_view name, std::string_view text, FreeSettings &settings,
                                       const Language &language);
// The first setting that cannot be simulated, refused naming its value, in
// the language given; nothing when every one can.
std::optional<std::string> settingsError(const FreeSettings &settings, const Language &language = Language());

// "set NAME VALUE", as lodrix-replay and the page's hook take it: read into
// settings, else why not, in the tools' words with the setting's refusal.
std::optional<std::string> setCommandError(std::string_view name, std::string_view text,
                                           FreeSettings &settings, const Language &language);

// The gain slider: positions 0 to 400, a hundred a decade from minGain over
// its four decades, so that a step multiplies G by 1.023 and a page of 30
// steps doubles it. The gain a position gives is rounded to four
// significant digits.
constexpr int gainSliderPositions = 400;
constexpr int gainSliderPage = 30;
// How far the slider's handle travels on the form, in form pixels: as long
// as when it held three decades, eight positions in three pixels, so that a
// pixel of drag multiplies G by 1.064 at most. The slider is this long and
// its handle's length.
constexpr int gainSliderTravel = 150;
double gainAtSliderPosition(int position);
int sliderPositionOfGain(double gain);

} // namespace lodrix
