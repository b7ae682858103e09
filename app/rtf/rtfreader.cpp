#include "app/rtf/rtfreader.h"

#include "app/rtf/rtfcodepage.h"
#include "app/rtf/rtfcontrolwords.h"
#include "app/rtf/rtfdocumentbuilder.h"
#include "app/rtf/rtfformats.h"
#include "app/rtf/rtftokenizer.h"

#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

namespace lodrix {

namespace rtf {
namespace {

constexpr int maxSizeHalfPoints = 3276;
constexpr int maxIndentTwips = 31680; // 22 inches, wider than any page
constexpr int maxUnicodeSkip = 16;
constexpr int maxFontNameLength = 128;
// Group states are stacked up to this depth; deeper groups are still read, in
// the state of the deepest stacked one, so a file of a million "{" costs
// nothing more than a few kilobytes.
constexpr std::size_t maxGroupDepth = 1000;
// Font and colour tables are indexed by file-chosen numbers; a table larger
// than this is junk, and its extra entries are dropped.
constexpr qsizetype maxTableEntries = 4096;

enum class Destination : unsigned char { Body, FontTable, ColorTable };

struct GroupState {
    CharProps chars;
    ParaProps para;
    Destination destination = Destination::Body;
    int unicodeSkip = 1; // \ucN: bytes of fallback that follow each \u
};

int clamp(const Token &t, int low, int high, int fallback)
{
    return t.hasParam ? std::clamp(t.param, low, high) : fallback;
}

// A toggle word is on without a parameter or with a non-zero one (\b, \b0).
bool isOn(const Token &t)
{
    return !t.hasParam || t.param != 0;
}

// Characters that would mean something else to QTextDocument: its paragraph
// and frame markers, and control characters.
char16_t safeCharacter(char16_t c)
{
    if (c == u'\t')
        return c;
    if (c == u'\n' || c == u'\r' || c == 0x2029)
        return 0x2028;
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xFDD0 && c <= 0xFDEF) || c == 0xFFFC)
        return 0;
    return c;
}

class Reader {
public:
    Reader(QByteArrayView data, QTextDocument &doc) : tokens_(data), out_(doc, formats_.formats()) {}
    void run();
    bool complete() const { return !out_.full(); }

private:
    GroupState &state() { return stack_.back(); }
    bool inGroup() const { return stack_.size() > 1 || overflow_ > 0; }

    void finish();
    void openGroup();
    void closeGroup();
    void skipGroup();
    void word(const Token &t);
    void documentWord(const ControlWord &w, const Token &t);
    void charWord(const ControlWord &w, const Token &t);
    void paraWord(const ControlWord &w, const Token &t);
    void bodyWord(const ControlWord &w, const Token &t);
    void symbol(char c);
    void hexByte(unsigned char b);
    void text(QByteArrayView bytes);
    void fontTableText(QByteArrayView bytes);
    void colorTableText(QByteArrayView bytes);

    bool consumeUnicodeSkip();
    int codePage() const;
    void decode(QByteArrayView bytes);
    void flushMultiByte();
    void emitUnicode(int unit);
    void put(QStringView s);
    void flushHighSurrogate();
    void endParagraph();
    int charFormat() { return formats_.charFormat(state().chars); }
    int blockFormat() { return formats_.blockFormat(state().para); }

    Tokenizer tokens_;
    Tables tables_;
    FormatCache formats_{tables_};
    DocumentBuilder out_;
    CodePages codePages_;
    std::vector<GroupState> stack_{GroupState{}};
    qsizetype overflow_ = 0; // open groups beyond maxGroupDepth
    int pendingSkip_ = 0;    // fallback bytes still to drop after a \u
    char16_t pendingHigh_ = 0;
    QByteArray multiByte_; // \'hh bytes of a double-byte page, decoded together
    int multiBytePage_ = 0;

    int documentPage_ = defaultCodePage;
    int tableFont_ = -1; // the font table entry being read
    int red_ = -1, green_ = -1, blue_ = -1;
    int footnotes_ = 0;
    Alignment rowAlignment_ = Alignment::Left; // of the table row being defined
};

void Reader::run()
{
    // A document that has reached its size limit is cut there: reading on
    // would only cost time.
    while (!out_.full()) {
        const Token t = tokens_.next();
        if (t.kind != TokenKind::Text && t.kind != TokenKind::Hex)
            flushMultiByte();
        switch (t.kind) {
        case TokenKind::End:
            finish();
            return;
        case TokenKind::GroupOpen:
            openGroup();
            break;
        case TokenKind::GroupClose:
            closeGroup();
            break;
        case TokenKind::Word:
            word(t);
            break;
        case TokenKind::Symbol:
            symbol(t.symbol);
            break;
        case TokenKind::Hex:
            hexByte(t.byte);
            break;
        case TokenKind::Text:
            text(t.text);
            break;
        case TokenKind::Binary:
            consumeUnicodeSkip();
            break;
        }
    }
    finish();
}

void Reader::finish()
{
    flushMultiByte();
    flushHighSurrogate();
    out_.finish(blockFormat(), state().para.inTable);
}

void Reader::openGroup()
{
    pendingSkip_ = 0;
    if (stack_.size() < maxGroupDepth)
        stack_.push_back(state());
    else
        ++overflow_;
}

void Reader::closeGroup()
{
    pendingSkip_ = 0;
    if (overflow_ > 0) {
        --overflow_;
    } else if (stack_.size() > 1) {
        const Destination left = state().destination;
        stack_.pop_back();
        if (left != Destination::Body && state().destination != left)
            formats_.forgetCharFormats(); // fonts and colours may have changed
    }
    // A "}" with no group open is damage; what follows is still read.
}

void Reader::skipGroup()
{
    if (!inGroup())
        return; // at the outer level there is no group to skip
    tokens_.skipGroup();
    closeGroup();
}

bool Reader::consumeUnicodeSkip()
{
    if (pendingSkip_ == 0)
        return false;
    --pendingSkip_;
    return true;
}

void Reader::word(const Token &t)
{
    const ControlWord *w = findControlWord(std::string_view(t.text.data(), std::size_t(t.text.size())));
    if (consumeUnicodeSkip() || !w)
        return;
    switch (w->action) {
    case Action::Skip:
        skipGroup();
        return;
    case Action::FontTable:
    case Action::ColorTable:
        // A table opened at the outer level, or past the depth limit, would
        // swallow the text that follows it.
        if (!inGroup() || overflow_ > 0) {
            skipGroup();
            return;
        }
        state().destination =
            w->action == Action::FontTable ? Destination::FontTable : Destination::ColorTable;
        tableFont_ = -1;
        red_ = green_ = blue_ = -1;
        return;
    default:
        break;
    }
    documentWord(*w, t);
    charWord(*w, t);
    paraWord(*w, t);
    if (state().destination == Destination::Body)
        bodyWord(*w, t);
    if (w->action == Action::UnicodeSkip)
        state().unicodeSkip = clamp(t, 0, maxUnicodeSkip, 1);
    if (w->action == Action::Unicode)
        pendingSkip_ = state().unicodeSkip; // in a font name too
}

void Reader::documentWord(const ControlWord &w, const Token &t)
{
    const bool inFontTable = state().destination == Destination::FontTable;
    const auto entry = inFontTable ? tables_.fonts.find(tableFont_) : tables_.fonts.end();
    Font *font = entry == tables_.fonts.end() ? nullptr : &*entry;
    switch (w.action) {
    case Action::DocumentCodePage:
        documentPage_ = w.value;
        break;
    case Action::AnsiCodePage:
        documentPage_ = t.hasParam && codePages_.isKnown(t.param) ? t.param : defaultCodePage;
        break;
    case Action::DefaultFont:
        tables_.defaultFont = clamp(t, 0, std::numeric_limits<int>::max(), 0);
        break;
    case Action::Font:
        if (inFontTable) {
            const int index = clamp(t, 0, std::numeric_limits<int>::max(), 0);
            if (tables_.fonts.contains(index) || tables_.fonts.size() < maxTableEntries) {
                tableFont_ = index;
                tables_.fonts[index] = Font{};
            }
        }
        break;
    case Action::Charset:
        if (font)
            font->codePage = codePageOfCharset(clamp(t, 0, 255, 0));
        break;
    case Action::FontCodePage:
        if (font && t.hasParam && codePages_.isKnown(t.param))
            font->codePage = t.param;
        break;
    case Action::Red:
        red_ = clamp(t, 0, 255, 0);
        break;
    case Action::Green:
        green_ = clamp(t, 0, 255, 0);
        break;
    case Action::Blue:
        blue_ = clamp(t, 0, 255, 0);
        break;
    default:
        break;
    }
}

void Reader::charWord(const ControlWord &w, const Token &t)
{
    CharProps &c = state().chars;
    switch (w.action) {
    case Action::Plain:
        c = CharProps{};
        break;
    case Action::Bold:
        c.bold = isOn(t);
        break;
    case Action::Italic:
        c.italic = isOn(t);
        break;
    case Action::Underline:
        c.underline = isOn(t);
        break;
    case Action::UnderlineOff:
        c.underline = false;
        break;
    case Action::Strike:
        c.strike = isOn(t);
        break;
    case Action::FontSize:
        c.sizeHalfPoints =
            t.hasParam && t.param > 0 ? std::min(t.param, maxSizeHalfPoints) : defaultSizeHalfPoints;
        break;
    case Action::Foreground:
        c.foreground = clamp(t, 0, maxTableEntries, 0);
        break;
    case Action::Background:
        c.background = clamp(t, 0, maxTableEntries, 0);
        break;
    case Action::Hidden:
        c.hidden = isOn(t);
        break;
    case Action::Superscript:
        c.vertical = Vertical::Super;
        break;
    case Action::Subscript:
        c.vertical = Vertical::Sub;
        break;
    case Action::Baseline:
        c.vertical = Vertical::Baseline;
        break;
    case Action::Raise:
        c.vertical = isOn(t) ? Vertical::Super : Vertical::Baseline;
        break;
    case Action::Lower:
        c.vertical = isOn(t) ? Vertical::Sub : Vertical::Baseline;
        break;
    case Action::SmallCaps:
        c.smallCaps = isOn(t);
        break;
    case Action::AllCaps:
        c.allCaps = isOn(t);
        break;
    case Action::Font:
        if (state().destination != Destination::FontTable)
            c.font = clamp(t, 0, std::numeric_limits<int>::max(), 0);
        break;
    default:
        break;
    }
}

void Reader::paraWord(const ControlWord &w, const Token &t)
{
    ParaProps &p = state().para;
    switch (w.action) {
    case Action::Pard:
        p = ParaProps{};
        break;
    case Action::Align:
        p.alignment = Alignment(w.value);
        break;
    case Action::LeftIndent:
        p.leftTwips = clamp(t, -maxIndentTwips, maxIndentTwips, 0);
        break;
    case Action::RightIndent:
        p.rightTwips = clamp(t, -maxIndentTwips, maxIndentTwips, 0);
        break;
    case Action::FirstIndent:
        p.firstTwips = clamp(t, -maxIndentTwips, maxIndentTwips, 0);
        break;
    case Action::SpaceBefore:
        p.beforeTwips = clamp(t, 0, maxIndentTwips, 0);
        break;
    case Action::SpaceAfter:
        p.afterTwips = clamp(t, 0, maxIndentTwips, 0);
        break;
    case Action::InTable:
        p.inTable = isOn(t);
        break;
    case Action::TableLevel:
        p.inTable = t.hasParam && t.param > 0;
        break;
    default:
        break;
    }
}

void Reader::bodyWord(const ControlWord &w, const Token &t)
{
    switch (w.action) {
    case Action::Paragraph:
        endParagraph();
        break;
    case Action::Cell:
        flushHighSurrogate();
        out_.endCell(blockFormat());
        break;
    case Action::Row:
        flushHighSurrogate();
        out_.endRow(blockFormat(), qtAlignment(rowAlignment_));
        break;
    case Action::RowDefaults:
        rowAlignment_ = Alignment::Left;
        break;
    case Action::RowAlign:
        rowAlignment_ = Alignment(w.value);
        break;
    case Action::NestedCell:
        // Tables inside tables are flattened: each inner cell is a paragraph
        // of the outer one.
        flushHighSurrogate();
        out_.endParagraph(blockFormat(), true);
        break;
    case Action::FootnoteMark:
        // The note itself is not shown, its number is.
        if (!state().chars.hidden)
            put(QString::number(++footnotes_));
        break;
    case Action::Unicode:
        if (!state().chars.hidden)
            emitUnicode(t.param);
        break;
    case Action::Character:
        if (!state().chars.hidden) {
            const char16_t c = char16_t(w.value);
            put(QStringView(&c, 1));
        }
        break;
    default:
        break;
    }
}

void Reader::symbol(char c)
{
    if (c == '*') {
        // "Ignore this group unless you know it": none of the starred
        // destinations holds text a reader shows.
        pendingSkip_ = 0;
        skipGroup();
        return;
    }
    if (consumeUnicodeSkip() || state().destination != Destination::Body || state().chars.hidden)
        return;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        text(QByteArrayView(&c, 1));
        break;
    case '~':
        put(u"\u00A0");
        break;
    case '-':
        put(u"\u00AD");
        break;
    case '_':
        put(u"\u2011");
        break;
    case '\t':
        put(u"\t");
        break;
    default:
        break;
    }
}

void Reader::hexByte(unsigned char b)
{
    const char c = char(b);
    text(QByteArrayView(&c, 1));
}

void Reader::text(QByteArrayView bytes)
{
    const qsizetype skipped = std::min<qsizetype>(pendingSkip_, bytes.size());
    pendingSkip_ -= int(skipped);
    bytes = bytes.sliced(skipped);
    if (bytes.isEmpty())
        return;
    switch (state().destination) {
    case Destination::Body:
        if (!state().chars.hidden)
            decode(bytes);
        break;
    case Destination::FontTable:
        fontTableText(bytes);
        break;
    case Destination::ColorTable:
        colorTableText(bytes);
        break;
    }
}

void Reader::fontTableText(QByteArrayView bytes)
{
    const auto it = tables_.fonts.find(tableFont_);
    if (it == tables_.fonts.end())
        return;
    Font &font = *it;
    for (char b : bytes) {
        if (font.named)
            return;
        if (b == ';') {
            font.named = true;
            font.name = font.name.trimmed();
            // LibreOffice writes its symbol font with a charset it does not
            // use; its bytes are those of the default page.
            if (font.name.startsWith(u"OpenSymbol") || font.name.startsWith(u"StarSymbol"))
                font.codePage = defaultCodePage;
        } else if (font.name.size() < maxFontNameLength) {
            font.name.append(QChar::fromLatin1(b));
        }
    }
}

void Reader::colorTableText(QByteArrayView bytes)
{
    for (char b : bytes) {
        if (b != ';')
            continue;
        if (std::ssize(tables_.colors) < maxTableEntries) {
            const bool automatic = red_ < 0 && green_ < 0 && blue_ < 0;
            tables_.colors.push_back(
                automatic ? QColor() : QColor(std::max(red_, 0), std::max(green_, 0), std::max(blue_, 0)));
        }
        red_ = green_ = blue_ = -1;
    }
}

int Reader::codePage() const
{
    const Font *font = tables_.font(stack_.back().chars.font);
    return !font || font->codePage == documentCodePage ? documentPage_ : font->codePage;
}

void Reader::decode(QByteArrayView bytes)
{
    const int page = codePage();
    if (CodePages::isMultiByte(page)) {
        if (page != multiBytePage_)
            flushMultiByte();
        multiBytePage_ = page;
        multiByte_.append(bytes);
        return;
    }
    const CodePages::Table &table = codePages_.table(page);
    QString s(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        s[i] = QChar(table[static_cast<unsigned char>(bytes[i])]);
    put(s);
}

void Reader::flushMultiByte()
{
    if (multiByte_.isEmpty())
        return;
    const QString s = codePages_.decodeMultiByte(multiBytePage_, multiByte_);
    multiByte_.clear();
    put(s);
}

void Reader::emitUnicode(int unit)
{
    // \uN is a signed 16-bit number; some writers give the code point itself.
    if (unit < 0)
        unit += 0x10000;
    if (unit < 0 || unit > 0x10FFFF) {
        put(u"\uFFFD");
        return;
    }
    if (unit > 0xFFFF) {
        const char32_t c = char32_t(unit);
        put(QString::fromUcs4(&c, 1));
        return;
    }
    const char16_t u = char16_t(unit);
    if (QChar::isHighSurrogate(u)) {
        flushHighSurrogate();
        pendingHigh_ = u; // the low half comes as the next \u
    } else if (QChar::isLowSurrogate(u) && pendingHigh_) {
        const char16_t pair[2] = {pendingHigh_, u};
        pendingHigh_ = 0;
        put(QStringView(pair, 2));
    } else {
        put(QStringView(&u, 1));
    }
}

void Reader::flushHighSurrogate()
{
    if (pendingHigh_) {
        pendingHigh_ = 0;
        put(u"\uFFFD");
    }
}

void Reader::put(QStringView s)
{
    flushHighSurrogate();
    QString clean;
    clean.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode())) {
            clean.append(s.sliced(i, 2));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            clean.append(QChar(0xFFFD));
        } else if (const char16_t safe = safeCharacter(c)) {
            clean.append(QChar(safe));
        }
    }
    out_.appendText(clean, charFormat());
}

void Reader::endParagraph()
{
    flushHighSurrogate();
    out_.endParagraph(blockFormat(), state().para.inTable);
}

} // namespace
} // namespace rtf

bool readRtf(QByteArrayView data, QTextDocument &doc, QString *error)
{
    doc.clear();
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false); // the undo stack would double the memory of a large file
    rtf::Reader reader(data, doc);
    reader.run();
    doc.setUndoRedoEnabled(undo);

    const QByteArrayView start = data.trimmed();
    // In the words of the window that shows them.
    QString problem;
    if (start.isEmpty())
        problem = QStringLiteral("Fichier vide.");
    else if (!start.startsWith("{\\rtf"))
        problem = QStringLiteral("Ce fichier n'est pas au format RTF.");
    else if (!reader.complete())
        problem = QStringLiteral("Document trop volumineux : seul son début a été lu.");
    if (error)
        *error = problem;
    return problem.isEmpty();
}

QString rtfPlainText(QByteArrayView data)
{
    QTextDocument doc;
    readRtf(data, doc);
    return doc.toPlainText();
}

} // namespace lodrix
