#pragma once
// Writes the text the reader decodes into a QTextDocument, paragraph by
// paragraph. Table paragraphs are held until their table ends, because Qt
// rebuilds a table's whole cell grid each time a row is added: a table is
// created once with its final size, then filled, so building stays linear.

#include <QString>
#include <QTextCursor>
#include <QTextFormat>

#include <vector>

class QTextDocument;

namespace lodrix::rtf {

// The formats runs and paragraphs refer to by index; the reader adds to them.
struct Formats {
    std::vector<QTextCharFormat> chars;
    std::vector<QTextBlockFormat> blocks;
};

class DocumentBuilder {
public:
    DocumentBuilder(QTextDocument &doc, const Formats &formats);

    void appendText(QStringView text, int charFormat);
    void endParagraph(int blockFormat, bool inTable);
    void endCell(int blockFormat);
    void endRow(int blockFormat, Qt::Alignment rowAlignment);
    // Ends the last paragraph if it holds text, and writes out what is held.
    void finish(int blockFormat, bool inTable);

    // True once the document has reached one of the limits below; what comes
    // after is dropped. QTextDocument spends microseconds and a hundred bytes
    // on each paragraph and format change, so a hostile file of tens of
    // megabytes of "\par" would otherwise take minutes and gigabytes.
    bool full() const { return full_; }
    static constexpr qsizetype maxParagraphs = 100'000;
    static constexpr qsizetype maxRuns = 500'000;
    static constexpr qsizetype maxCharacters = 10'000'000;

    // Qt's cell grid grows with rows times columns; wider rows fold their last
    // cells into the last column, longer tables continue as a new table.
    static constexpr int maxColumns = 64;
    static constexpr int maxTableCells = 4096;

private:
    struct Run {
        qsizetype end; // in text_
        int format;
    };
    struct Paragraph {
        qsizetype runEnd; // in runs_
        int format;
    };

    qsizetype openRunsBegin() const { return paragraphs_.empty() ? 0 : paragraphs_.back().runEnd; }
    qsizetype openParagraphsBegin() const { return cellEnds_.empty() ? 0 : cellEnds_.back(); }
    qsizetype openCellsBegin() const { return rowEnds_.empty() ? 0 : rowEnds_.back(); }
    bool tableOpen() const { return tableParagraphs_ > 0 || !cellEnds_.empty(); }

    void writeParagraphs(QTextCursor &cursor, bool &fresh, qsizetype from, qsizetype to);
    void writeTable(qsizetype rows);
    void writeHeld();
    void dropFront(std::size_t rows); // after writeTable(rows)

    void count(qsizetype &counter, qsizetype amount, qsizetype limit);

    const Formats &formats_;
    QTextCursor cursor_;
    bool fresh_ = true; // the cursor's block is empty and waits for the next paragraph

    // What is held, until a paragraph outside a table ends or a table fills.
    QString text_;
    std::vector<Run> runs_;
    std::vector<Paragraph> paragraphs_;
    std::vector<qsizetype> cellEnds_;              // paragraph counts, one per ended cell
    std::vector<qsizetype> rowEnds_;               // cell counts, one per ended row
    qsizetype tableParagraphs_ = 0;                // held paragraphs that belong to the table
    qsizetype tableColumns_ = 0;                   // widest ended row so far
    Qt::Alignment tableAlignment_ = Qt::AlignLeft; // the first row's

    qsizetype paragraphCount_ = 0;
    qsizetype runCount_ = 0;
    qsizetype characterCount_ = 0;
    bool full_ = false;
};

} // namespace lodrix::rtf
