#pragma once
// The character and paragraph properties an RTF group carries, the font and
// colour tables they refer to, and the document formats they become, each
// distinct set of properties converted once.

#include "rtf/codepage.h"
#include "rtf/controlwords.h"
#include "rtf/document.h"

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace lodrix::rtf {

constexpr int defaultSizeHalfPoints = 24; // 12 pt, RTF's own default
constexpr int twipsPerPixel = 15;         // 1440 twips an inch, 96 pixels an inch

struct CharProps {
    int font = -1; // -1: the document's default font
    int sizeHalfPoints = defaultSizeHalfPoints;
    int foreground = 0; // colour table index; 0 is the automatic colour
    int background = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool smallCaps = false;
    bool allCaps = false;
    Vertical vertical = Vertical::Baseline;
    auto operator<=>(const CharProps &) const = default;
};

struct ParaProps {
    Alignment alignment = Alignment::Left;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
    bool inTable = false;
    auto operator<=>(const ParaProps &) const = default;
};

struct Font {
    std::u16string name;
    int codePage = documentCodePage;
    bool named = false; // the ";" that ends the name was read
};

// The document's font and colour tables.
struct Tables {
    std::unordered_map<int, Font> fonts;
    int defaultFont = 0;                    // without \deff, font 0
    std::vector<std::optional<Rgb>> colors; // none: the automatic colour

    const Font *font(int index) const; // -1: the default font; null if the table has none
};

// The formats runs and paragraphs refer to by index; the reader adds to them.
struct Formats {
    std::vector<CharFormat> chars;
    std::vector<BlockFormat> blocks;
};

class FormatCache {
public:
    explicit FormatCache(const Tables &tables) : tables_(tables) {}

    const Formats &formats() const { return formats_; }
    Formats takeFormats() { return std::move(formats_); }
    int charFormat(const CharProps &p);  // an index in formats().chars
    int blockFormat(const ParaProps &p); // an index in formats().blocks
    // Formats made before a font or colour table changed are not used again.
    void forgetCharFormats();

private:
    CharFormat convert(const CharProps &p) const;

    const Tables &tables_;
    Formats formats_;
    std::map<CharProps, int> charIds_;
    std::map<ParaProps, int> blockIds_;
    CharProps lastChars_; // runs of text mostly share their properties
    int lastCharId_ = -1;
};

} // namespace lodrix::rtf
