#include "app/richtextwriter.h"

#include "rtf/reader.h"

#include <QColor>
#include <QFont>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <string_view>
#include <vector>

namespace lodrix {

namespace {

Qt::Alignment qtAlignment(rtf::Alignment a)
{
    switch (a) {
    case rtf::Alignment::Center:
        return Qt::AlignHCenter;
    case rtf::Alignment::Right:
        return Qt::AlignRight;
    case rtf::Alignment::Justify:
        return Qt::AlignJustify;
    case rtf::Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

QTextCharFormat qtFormat(const rtf::CharFormat &c)
{
    QTextCharFormat f;
    f.setFontPointSize(c.pointSize);
    if (c.bold)
        f.setFontWeight(QFont::Bold);
    if (c.italic)
        f.setFontItalic(true);
    if (c.underline)
        f.setFontUnderline(true);
    if (c.strike)
        f.setFontStrikeOut(true);
    if (c.capitals != rtf::Capitals::None)
        f.setFontCapitalization(c.capitals == rtf::Capitals::Small ? QFont::SmallCaps : QFont::AllUppercase);
    if (c.vertical != rtf::Vertical::Baseline)
        f.setVerticalAlignment(c.vertical == rtf::Vertical::Super ? QTextCharFormat::AlignSuperScript
                                                                  : QTextCharFormat::AlignSubScript);
    if (!c.family.empty())
        f.setFontFamilies({QString::fromStdU16String(c.family)});
    if (c.foreground)
        f.setForeground(QColor(c.foreground->r, c.foreground->g, c.foreground->b));
    if (c.background)
        f.setBackground(QColor(c.background->r, c.background->g, c.background->b));
    return f;
}

QTextBlockFormat qtFormat(const rtf::BlockFormat &p)
{
    QTextBlockFormat b;
    b.setAlignment(qtAlignment(p.alignment));
    b.setLeftMargin(p.leftMargin);
    b.setRightMargin(p.rightMargin);
    b.setTextIndent(p.textIndent);
    b.setTopMargin(p.topMargin);
    b.setBottomMargin(p.bottomMargin);
    if (p.tabPosition)
        b.setTabPositions({QTextOption::Tab(*p.tabPosition, QTextOption::LeftTab)});
    return b;
}

class Writer {
public:
    Writer(const rtf::Document &document, QTextDocument &doc) : document_(document), cursor_(&doc)
    {
        for (const rtf::CharFormat &c : document.chars)
            chars_.push_back(qtFormat(c));
        for (const rtf::BlockFormat &b : document.blocks)
            blocks_.push_back(qtFormat(b));
    }

    void write()
    {
        // Outside an edit block every insertion lays out its paragraph again
        // to place the cursor, which makes long paragraphs quadratic.
        cursor_.beginEditBlock();
        bool fresh = true; // the cursor's block is empty and waits for the next paragraph
        for (const rtf::Block &block : document_.body) {
            if (const auto *p = std::get_if<rtf::Paragraph>(&block)) {
                paragraph(cursor_, fresh, *p);
            } else {
                table(std::get<rtf::Table>(block));
                cursor_.movePosition(QTextCursor::End);
                fresh = true;
            }
        }
        cursor_.endEditBlock();
    }

private:
    void paragraph(QTextCursor &cursor, bool &fresh, const rtf::Paragraph &p)
    {
        const QTextBlockFormat &format = blocks_[std::size_t(p.format)];
        if (fresh)
            cursor.setBlockFormat(format);
        else
            cursor.insertBlock(format);
        fresh = false;
        for (const rtf::Run &run : p.runs)
            cursor.insertText(QString::fromStdU16String(run.text), chars_[std::size_t(run.format)]);
    }

    void table(const rtf::Table &t)
    {
        QTextTableFormat format;
        format.setBorder(1);
        format.setBorderCollapse(true);
        format.setCellSpacing(0);
        format.setCellPadding(2);
        format.setAlignment(qtAlignment(t.alignment));
        QTextTable *table = cursor_.insertTable(int(t.rows.size()), t.columns, format);
        for (std::size_t r = 0; r < t.rows.size(); ++r) {
            for (std::size_t c = 0; c < t.rows[r].size(); ++c) {
                QTextCursor cell = table->cellAt(int(r), int(c)).lastCursorPosition();
                bool fresh = true;
                for (const rtf::Paragraph &p : t.rows[r][c].paragraphs)
                    paragraph(cell, fresh, p);
            }
        }
    }

    const rtf::Document &document_;
    QTextCursor cursor_;
    std::vector<QTextCharFormat> chars_;
    std::vector<QTextBlockFormat> blocks_;
};

} // namespace

void writeDocument(const rtf::Document &document, QTextDocument &doc)
{
    doc.clear();
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false); // the undo stack would double the memory of a large file
    Writer(document, doc).write();
    doc.setUndoRedoEnabled(undo);
}

bool readRtf(QByteArrayView data, QTextDocument &doc, QString *error)
{
    rtf::Document document;
    const ReadProblem problem =
        lodrix::readRtf(std::string_view(data.data(), std::size_t(data.size())), document);
    writeDocument(document, doc);
    if (error)
        *error = QString::fromUtf8(problemText(problem));
    return problem == ReadProblem::None;
}

QString rtfPlainText(QByteArrayView data)
{
    QTextDocument doc;
    readRtf(data, doc);
    return doc.toPlainText();
}

} // namespace lodrix
