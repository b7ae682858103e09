#pragma once
// Collects the text the reader decodes into the document, paragraph by
// paragraph. Table paragraphs are held until their table ends, so that a
// table is made once with its final size, then filled.

#include "rtf/document.h"
#include "rtf/formats.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lodrix::rtf {

class DocumentBuilder {
public:
    explicit DocumentBuilder(std::vector<Block> &body) : body_(body) {}

    void appendText(std::u16string_view text, int charFormat);
    void endParagraph(int blockFormat, bool inTable);
    void endCell(int blockFormat);
    void endRow(int blockFormat, Alignment rowAlignment);
    // Ends the last paragraph if it holds text, and writes out what is held.
    void finish(int blockFormat, bool inTable);

    // True once the document has reached one of the limits below; what comes
    // after is dropped. A writer (QTextDocument) spends microseconds and a
    // hundred bytes on each paragraph and format change, so a hostile file of
    // tens of megabytes of "\par" would otherwise take minutes and gigabytes.
    bool full() const { return full_; }
    static constexpr std::ptrdiff_t maxParagraphs = 100'000;
    static constexpr std::ptrdiff_t maxRuns = 500'000;
    static constexpr std::ptrdiff_t maxCharacters = 10'000'000;

    // A writer's cell grid grows with rows times columns; wider rows fold
    // their last cells into the last column, longer tables continue as a new
    // table.
    static constexpr int maxColumns = 64;
    static constexpr int maxTableCells = 4096;

private:
    struct HeldRun {
        std::ptrdiff_t end; // in text_
        int format;
    };
    struct HeldParagraph {
        std::ptrdiff_t runEnd; // in runs_
        int format;
    };

    std::ptrdiff_t openRunsBegin() const { return paragraphs_.empty() ? 0 : paragraphs_.back().runEnd; }
    std::ptrdiff_t openParagraphsBegin() const { return cellEnds_.empty() ? 0 : cellEnds_.back(); }
    std::ptrdiff_t openCellsBegin() const { return rowEnds_.empty() ? 0 : rowEnds_.back(); }
    bool tableOpen() const { return tableParagraphs_ > 0 || !cellEnds_.empty(); }

    void writeParagraphs(std::vector<Paragraph> &to, std::ptrdiff_t from, std::ptrdiff_t end);
    void writeTable(std::ptrdiff_t rows);
    void writeHeld();
    void dropFront(std::size_t rows); // after writeTable(rows)

    void count(std::ptrdiff_t &counter, std::ptrdiff_t amount, std::ptrdiff_t limit);

    std::vector<Block> &body_;

    // What is held, until a paragraph outside a table ends or a table fills.
    std::u16string text_;
    std::vector<HeldRun> runs_;
    std::vector<HeldParagraph> paragraphs_;
    std::vector<std::ptrdiff_t> cellEnds_;       // paragraph counts, one per ended cell
    std::vector<std::ptrdiff_t> rowEnds_;        // cell counts, one per ended row
    std::ptrdiff_t tableParagraphs_ = 0;         // held paragraphs that belong to the table
    std::ptrdiff_t tableColumns_ = 0;            // widest ended row so far
    Alignment tableAlignment_ = Alignment::Left; // the first row's

    std::ptrdiff_t paragraphCount_ = 0;
    std::ptrdiff_t runCount_ = 0;
    std::ptrdiff_t characterCount_ = 0;
    bool full_ = false;
};

} // namespace lodrix::rtf
