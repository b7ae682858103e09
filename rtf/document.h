#pragma once
// What the RTF reader makes of a file: a document of our own, free of any
// toolkit, that each edition writes out its way (the desktop into a
// QTextDocument, the page as HTML). Paragraphs hold runs of text, each run
// a character format by its index; tables hold rows of cells, each cell
// paragraphs. List labels are text of their paragraph, as the file writes
// them; pictures are not read.
//  [x] paragraphs, runs and their formats; tables; list labels
//  [ ] pictures, fields, footnotes' text (their number is shown)

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lodrix::rtf {

enum class Alignment : unsigned char { Left, Center, Right, Justify };

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb &) const = default;
};

enum class Capitals : unsigned char { None, Small, All };
enum class Vertical : unsigned char { Baseline, Super, Sub };

struct CharFormat {
    double pointSize = 12.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    Capitals capitals = Capitals::None;
    Vertical vertical = Vertical::Baseline;
    std::u16string family;         // empty: the writer's default face
    std::optional<Rgb> foreground; // none: the automatic colour
    std::optional<Rgb> background;
};

// Lengths in pixels, at 96 to the inch.
struct BlockFormat {
    Alignment alignment = Alignment::Left;
    double leftMargin = 0;
    double rightMargin = 0;
    double textIndent = 0; // the first line's, negative when it hangs
    double topMargin = 0;
    double bottomMargin = 0;
    // A hanging first line holds a list label and a tab: the tab stops where
    // the other lines start.
    std::optional<double> tabPosition;
};

struct Run {
    std::u16string text; // no paragraph or control characters but tab and U+2028
    int format = 0;      // in Document::chars
};

struct Paragraph {
    std::vector<Run> runs;
    int format = 0; // in Document::blocks
};

struct Cell {
    std::vector<Paragraph> paragraphs;
};

// Every row has at most `columns` cells; a shorter row leaves the last
// columns empty.
struct Table {
    int columns = 1;
    Alignment alignment = Alignment::Left;
    std::vector<std::vector<Cell>> rows;
};

using Block = std::variant<Paragraph, Table>;

struct Document {
    std::vector<CharFormat> chars;
    std::vector<BlockFormat> blocks;
    std::vector<Block> body;
};

} // namespace lodrix::rtf
