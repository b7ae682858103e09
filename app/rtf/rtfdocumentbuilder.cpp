#include "app/rtf/rtfdocumentbuilder.h"

#include <QTextDocument>
#include <QTextTable>

#include <algorithm>

namespace lodrix::rtf {

DocumentBuilder::DocumentBuilder(QTextDocument &doc, const Formats &formats)
    : formats_(formats), cursor_(&doc)
{
    // Outside an edit block every insertion lays out its paragraph again to
    // place the cursor, which makes long paragraphs quadratic.
    cursor_.beginEditBlock();
}

void DocumentBuilder::count(qsizetype &counter, qsizetype amount, qsizetype limit)
{
    counter += amount;
    full_ = full_ || counter >= limit;
}

void DocumentBuilder::appendText(QStringView text, int charFormat)
{
    if (text.isEmpty() || full_)
        return;
    text = text.first(std::min(text.size(), maxCharacters - characterCount_));
    count(characterCount_, text.size(), maxCharacters);
    text_.append(text);
    if (std::ssize(runs_) > openRunsBegin() && runs_.back().format == charFormat) {
        runs_.back().end = text_.size();
    } else {
        runs_.push_back({text_.size(), charFormat});
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

void DocumentBuilder::endRow(int blockFormat, Qt::Alignment rowAlignment)
{
    if (full_)
        return;
    // Text between the last \cell and \row still belongs to the row.
    if (std::ssize(runs_) > openRunsBegin())
        endParagraph(blockFormat, true);
    if (tableParagraphs_ > openParagraphsBegin())
        cellEnds_.push_back(tableParagraphs_);
    const qsizetype cells = std::ssize(cellEnds_) - openCellsBegin();
    if (cells == 0)
        return;
    const qsizetype columns = std::min<qsizetype>(std::max(tableColumns_, cells), maxColumns);
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
    cursor_.endEditBlock();
}

void DocumentBuilder::writeParagraphs(QTextCursor &cursor, bool &fresh, qsizetype from, qsizetype to)
{
    for (qsizetype p = from; p < to; ++p) {
        const QTextBlockFormat &format = formats_.blocks[paragraphs_[p].format];
        if (fresh)
            cursor.setBlockFormat(format);
        else
            cursor.insertBlock(format);
        fresh = false;
        for (qsizetype r = p == 0 ? 0 : paragraphs_[p - 1].runEnd; r < paragraphs_[p].runEnd; ++r) {
            const qsizetype start = r == 0 ? 0 : runs_[r - 1].end;
            cursor.insertText(text_.sliced(start, runs_[r].end - start), formats_.chars[runs_[r].format]);
        }
    }
}

void DocumentBuilder::writeTable(qsizetype rows)
{
    const auto cellBegin = [this](qsizetype c) { return c == 0 ? 0 : cellEnds_[c - 1]; };
    const auto rowBegin = [this](qsizetype r) { return r == 0 ? 0 : rowEnds_[r - 1]; };
    qsizetype columns = 1;
    for (qsizetype r = 0; r < rows; ++r)
        columns = std::max(columns, rowEnds_[r] - rowBegin(r));
    columns = std::min<qsizetype>(columns, maxColumns);

    QTextTableFormat format;
    format.setBorder(1);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(2);
    format.setAlignment(tableAlignment_);
    QTextTable *table = cursor_.insertTable(int(rows), int(columns), format);
    for (qsizetype r = 0; r < rows; ++r) {
        for (qsizetype c = rowBegin(r); c < rowEnds_[r]; ++c) {
            const qsizetype column = std::min(c - rowBegin(r), columns - 1);
            QTextCursor cell = table->cellAt(int(r), int(column)).lastCursorPosition();
            bool fresh = c - rowBegin(r) == column; // folded cells go on below the last column's text
            writeParagraphs(cell, fresh, cellBegin(c), cellEnds_[c]);
        }
    }
    cursor_.movePosition(QTextCursor::End);
    fresh_ = true;
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
    writeParagraphs(cursor_, fresh_, tableParagraphs_, std::ssize(paragraphs_));
    text_.clear();
    runs_.clear();
    paragraphs_.clear();
    cellEnds_.clear();
    rowEnds_.clear();
    tableParagraphs_ = 0;
    tableColumns_ = 0;
    tableAlignment_ = Qt::AlignLeft;
}

void DocumentBuilder::dropFront(std::size_t rows)
{
    const qsizetype cells = rowEnds_[rows - 1];
    const qsizetype paragraphs = cellEnds_[cells - 1];
    const qsizetype runs = paragraphs_[paragraphs - 1].runEnd;
    const qsizetype chars = runs == 0 ? 0 : runs_[runs - 1].end;
    text_.remove(0, chars);
    runs_.erase(runs_.begin(), runs_.begin() + runs);
    for (Run &r : runs_)
        r.end -= chars;
    paragraphs_.erase(paragraphs_.begin(), paragraphs_.begin() + paragraphs);
    for (Paragraph &p : paragraphs_)
        p.runEnd -= runs;
    cellEnds_.erase(cellEnds_.begin(), cellEnds_.begin() + cells);
    for (qsizetype &c : cellEnds_)
        c -= paragraphs;
    rowEnds_.erase(rowEnds_.begin(), rowEnds_.begin() + qsizetype(rows));
    for (qsizetype &r : rowEnds_)
        r -= cells;
    tableParagraphs_ -= paragraphs;
    tableColumns_ = 0;
}

} // namespace lodrix::rtf
