#include "rtf/documentbuilder.h"

#include <algorithm>

namespace lodrix::rtf {

void DocumentBuilder::count(std::ptrdiff_t &counter, std::ptrdiff_t amount, std::ptrdiff_t limit)
{
    counter += amount;
    full_ = full_ || counter >= limit;
}

void DocumentBuilder::appendText(std::u16string_view text, int charFormat)
{
    if (text.empty() || full_)
        return;
    text = text.substr(0, std::size_t(std::min(std::ssize(text), maxCharacters - characterCount_)));
    count(characterCount_, std::ssize(text), maxCharacters);
    text_.append(text);
    if (std::ssize(runs_) > openRunsBegin() && runs_.back().format == charFormat) {
        runs_.back().end = std::ssize(text_);
    } else {
        runs_.push_back({std::ssize(text_), charFormat});
        count(runCount_, 1, maxRuns);
    }
}

void DocumentBuilder::endParagraph(int blockFormat, bool inTable)
{
    if (full_ && std::ssize(runs_) == openRunsBegin())
        return;
    count(paragraphCount_, 1, maxParagraphs);
    paragraphs_.push_back({std::ssize(runs_), blockFormat});
    if (inTable)
        tableParagraphs_ = std::ssize(paragraphs_);
    else
        writeHeld();
}

void DocumentBuilder::endCell(int blockFormat)
{
    if (full_)
        return;
    endParagraph(blockFormat, true);
    cellEnds_.push_back(std::ssize(paragraphs_));
}

void DocumentBuilder::endRow(int blockFormat, Alignment rowAlignment)
{
    if (full_)
        return;
    // Text between the last \cell and \row still belongs to the row.
    if (std::ssize(runs_) > openRunsBegin())
        endParagraph(blockFormat, true);
    if (tableParagraphs_ > openParagraphsBegin())
        cellEnds_.push_back(tableParagraphs_);
    const std::ptrdiff_t cells = std::ssize(cellEnds_) - openCellsBegin();
    if (cells == 0)
        return;
    const std::ptrdiff_t columns = std::min<std::ptrdiff_t>(std::max(tableColumns_, cells), maxColumns);
    if (!rowEnds_.empty() && (std::ssize(rowEnds_) + 1) * columns > maxTableCells) {
        writeTable(std::ssize(rowEnds_));
        dropFront(rowEnds_.size());
    }
    if (rowEnds_.empty())
        tableAlignment_ = rowAlignment;
    rowEnds_.push_back(std::ssize(cellEnds_));
    tableColumns_ = std::max(tableColumns_, cells);
}

void DocumentBuilder::finish(int blockFormat, bool inTable)
{
    if (std::ssize(runs_) > openRunsBegin())
        endParagraph(blockFormat, inTable);
    if (!paragraphs_.empty())
        writeHeld();
}

void DocumentBuilder::writeParagraphs(std::vector<Paragraph> &to, std::ptrdiff_t from, std::ptrdiff_t end)
{
    for (std::ptrdiff_t p = from; p < end; ++p) {
        Paragraph &paragraph = to.emplace_back();
        paragraph.format = paragraphs_[std::size_t(p)].format;
        for (std::ptrdiff_t r = p == 0 ? 0 : paragraphs_[std::size_t(p - 1)].runEnd;
             r < paragraphs_[std::size_t(p)].runEnd; ++r) {
            const std::ptrdiff_t start = r == 0 ? 0 : runs_[std::size_t(r - 1)].end;
            paragraph.runs.push_back(
                {text_.substr(std::size_t(start), std::size_t(runs_[std::size_t(r)].end - start)),
                 runs_[std::size_t(r)].format});
        }
    }
}

void DocumentBuilder::writeTable(std::ptrdiff_t rows)
{
    const auto cellBegin = [this](std::ptrdiff_t c) { return c == 0 ? 0 : cellEnds_[std::size_t(c - 1)]; };
    const auto rowBegin = [this](std::ptrdiff_t r) { return r == 0 ? 0 : rowEnds_[std::size_t(r - 1)]; };
    std::ptrdiff_t columns = 1;
    for (std::ptrdiff_t r = 0; r < rows; ++r)
        columns = std::max(columns, rowEnds_[std::size_t(r)] - rowBegin(r));
    columns = std::min<std::ptrdiff_t>(columns, maxColumns);

    Table table;
    table.columns = int(columns);
    table.alignment = tableAlignment_;
    table.rows.resize(std::size_t(rows));
    for (std::ptrdiff_t r = 0; r < rows; ++r) {
        std::vector<Cell> &row = table.rows[std::size_t(r)];
        for (std::ptrdiff_t c = rowBegin(r); c < rowEnds_[std::size_t(r)]; ++c) {
            // Folded cells go on below the last column's text.
            const std::ptrdiff_t column = std::min(c - rowBegin(r), columns - 1);
            if (std::ssize(row) <= column)
                row.resize(std::size_t(column + 1));
            writeParagraphs(row[std::size_t(column)].paragraphs, cellBegin(c), cellEnds_[std::size_t(c)]);
        }
    }
    body_.emplace_back(std::move(table));
}

void DocumentBuilder::writeHeld()
{
    if (tableOpen()) {
        // A table ends with whatever cell and row were left open.
        if (tableParagraphs_ > openParagraphsBegin())
            cellEnds_.push_back(tableParagraphs_);
        if (std::ssize(cellEnds_) > openCellsBegin())
            rowEnds_.push_back(std::ssize(cellEnds_));
        writeTable(std::ssize(rowEnds_));
    }
    std::vector<Paragraph> after;
    writeParagraphs(after, tableParagraphs_, std::ssize(paragraphs_));
    for (Paragraph &p : after)
        body_.emplace_back(std::move(p));
    text_.clear();
    runs_.clear();
    paragraphs_.clear();
    cellEnds_.clear();
    rowEnds_.clear();
    tableParagraphs_ = 0;
    tableColumns_ = 0;
    tableAlignment_ = Alignment::Left;
}

void DocumentBuilder::dropFront(std::size_t rows)
{
    const std::ptrdiff_t cells = rowEnds_[rows - 1];
    const std::ptrdiff_t paragraphs = cellEnds_[cells - 1];
    const std::ptrdiff_t runs = paragraphs_[paragraphs - 1].runEnd;
    const std::ptrdiff_t chars = runs == 0 ? 0 : runs_[runs - 1].end;
    text_.erase(0, std::size_t(chars));
    runs_.erase(runs_.begin(), runs_.begin() + runs);
    for (HeldRun &r : runs_)
        r.end -= chars;
    paragraphs_.erase(paragraphs_.begin(), paragraphs_.begin() + paragraphs);
    for (HeldParagraph &p : paragraphs_)
        p.runEnd -= runs;
    cellEnds_.erase(cellEnds_.begin(), cellEnds_.begin() + cells);
    for (std::ptrdiff_t &c : cellEnds_)
        c -= paragraphs;
    rowEnds_.erase(rowEnds_.begin(), rowEnds_.begin() + std::ptrdiff_t(rows));
    for (std::ptrdiff_t &r : rowEnds_)
        r -= cells;
    tableParagraphs_ -= paragraphs;
    tableColumns_ = 0;
}

} // namespace lodrix::rtf
