#pragma once
// The languages Lodrix speaks. Every text is written in French in the code,
// and French is what shows when nothing else is asked for; each other
// language is one gettext file, po/<code>.po, whose entries map a French text
// (exactly as the code has it) to its translation. cmake/catalogue.py turns
// those files into the tables below at build time. No global state: a
// Language is a small value that the controller holds and hands to what
// draws and writes.
//  [x] fixed texts, looked up whole; patterns with %1, %2... filled with values
//  [x] the language's decimal separator
//  [ ] plural forms: no text of the lessons needs them

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lodrix {

struct CatalogueEntry {
    std::string_view source; // the French text
    std::string_view translation;
};

struct CatalogueTable {
    std::string_view language; // "en"
    std::string_view decimalSeparator;
    std::span<const CatalogueEntry> entries; // sorted by the bytes of source
};

// One table per po/<code>.po; written by cmake/catalogue.py.
extern const std::span<const CatalogueTable> catalogueTables;

class Language {
public:
    // French, the language the texts are written in.
    Language() = default;
    // "fr" or the code of a catalogue ("en"); nothing for any other.
    static std::optional<Language> named(std::string_view code);
    // Every language, French first.
    static std::vector<std::string_view> codes();

    std::string_view code() const;
    bool isSource() const { return table_ == nullptr; }
    std::string_view decimalSeparator() const;

    // The translation of a French text, or the text itself when the
    // catalogue has none (numbers, symbols, units, or French).
    std::string_view tr(std::string_view french) const;
    bool translates(std::string_view french) const;
    // A French pattern translated, then each %N replaced by the Nth value.
    std::string format(std::string_view frenchPattern, std::initializer_list<std::string_view> values) const;

    bool operator==(const Language &other) const { return table_ == other.table_; }

private:
    explicit Language(const CatalogueTable *table) : table_(table) {}
    const CatalogueEntry *find(std::string_view french) const;

    const CatalogueTable *table_ = nullptr;
};

// Each %N of pattern (N from 1 to 9) replaced by values[N - 1]; a %N with no
// value, or a % before anything else, stays as it is.
std::string fillPattern(std::string_view pattern, std::initializer_list<std::string_view> values);

} // namespace lodrix
