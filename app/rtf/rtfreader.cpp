#include "app/rtf/rtfreader.h"

#include "app/rtf/rtfcodepage.h"
#include "app/rtf/rtfcontrolwords.h"
#include "app/rtf/rtfdocumentbuilder.h"
#include "app/rtf/rtftokenizer.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <map>
#include <string_view>
#include <vector>

namespace lodrix {

namespace rtf {
namespace {

constexpr int defaultSizeHalfPoints = 24; // 12 pt, RTF's own default
constexpr int maxSizeHalfPoints = 3276;
constexpr int maxIndentTwips = 31680; // 22 inches, wider than any page
constexpr int twipsPerPixel = 15;     // 1440 twips an inch, 96 pixels an inch
constexpr int maxUnicodeSkip = 16;
constexpr int maxFontNameLength = 128;
// Group states are stacked up to this depth; deeper groups are still read, in
// the state of the deepest stacked one, so a file of a million "{" costs
// nothing more than a few kilobytes.
constexpr std::size_t maxGroupDepth = 1000;
// Font and colour tables are indexed by file-chosen numbers; a table larger
// than this is junk, and its extra entries are dropped.
constexpr qsizetype maxTableEntries = 4096;

enum class Vertical : unsigned char { Baseline, Super, Sub };

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

enum class Destination : unsigned char { Body, FontTable, ColorTable };

struct GroupState {
    CharProps chars;
    ParaProps para;
    Destination destination = Destination::Body;
    int unicodeSkip = 1; // \ucN: bytes of fallback that follow each \u
};

struct Font {
    QString name;
    int codePage = documentCodePage;
    bool named = false; // the ";" that ends the name was read
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

qreal pixels(int twips)
{
    return qreal(twips) / twipsPerPixel;
}

Qt::Alignment qtAlignment(Alignment a)
{
    switch (a) {
    case Alignment::Center:
        return Qt::AlignHCenter;
    case Alignment::Right:
        return Qt::AlignRight;
    case Alignment::Justify:
        return Qt::AlignJustify;
    case Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

// Characters that would mean something else to QTextDocument: its paragraph
// and frame markers, and control characters.
char16_t safeCharacter(char16_t c)
{
    if (c == u'\t')
        return c;
    if (c == u'\n' || c == u'\r' || c == 0x2029)
        return 0x2028;
    if (c < 0x20 || (c >= 0x7F && c < 0xA0 && c != 0x85) || (c >= 0xFDD0 && c <= 0xFDEF) || c == 0xFFFC)
        return 0;
    return c;
}

class Reader {
public:
    Reader(QByteArrayView data, QTextDocument &doc) : tokens_(data), out_(doc, formats_) {}
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
    int charFormat();
    int blockFormat();
    QTextCharFormat toFormat(const CharProps &p) const;
    void forgetFormats();

    Tokenizer tokens_;
    Formats formats_;
    DocumentBuilder out_;
    CodePages codePages_;
    std::vector<GroupState> stack_{GroupState{}};
    qsizetype overflow_ = 0; // open groups beyond maxGroupDepth
    int pendingSkip_ = 0;    // fallback bytes still to drop after a \u
    char16_t pendingHigh_ = 0;
    QByteArray multiByte_; // \'hh bytes of a double-byte page, decoded together
    int multiBytePage_ = 0;

    int documentPage_ = defaultCodePage;
    int defaultFont_ = 0; // without \deff, font 0
    QHash<int, Font> fonts_;
    int tableFont_ = -1; // the font table entry being read
    std::vector<QColor> colors_;
    int red_ = -1, green_ = -1, blue_ = -1;
    int footnotes_ = 0;
    Alignment rowAlignment_ = Alignment::Left; // of the table row being defined

    std::map<CharProps, int> charIds_;
    std::map<ParaProps, int> blockIds_;
    CharProps lastChars_;
    int lastCharId_ = -1;
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
            forgetFormats(); // fonts and colours may have changed
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
    const auto entry = inFontTable ? fonts_.find(tableFont_) : fonts_.end();
    Font *font = entry == fonts_.end() ? nullptr : &*entry;
    switch (w.action) {
    case Action::DocumentCodePage:
        documentPage_ = w.value;
        break;
    case Action::AnsiCodePage:
        documentPage_ = t.hasParam && codePages_.isKnown(t.param) ? t.param : defaultCodePage;
        break;
    case Action::DefaultFont:
        defaultFont_ = clamp(t, 0, std::numeric_limits<int>::max(), 0);
        break;
    case Action::Font:
        if (inFontTable) {
            const int index = clamp(t, 0, std::numeric_limits<int>::max(), 0);
            if (fonts_.contains(index) || fonts_.size() < maxTableEntries) {
                tableFont_ = index;
                fonts_[index] = Font{};
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
    const auto it = fonts_.find(tableFont_);
    if (it == fonts_.end())
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
        if (std::ssize(colors_) < maxTableEntries) {
            const bool automatic = red_ < 0 && green_ < 0 && blue_ < 0;
            colors_.push_back(automatic ? QColor()
                                        : QColor(std::max(red_, 0), std::max(green_, 0), std::max(blue_, 0)));
        }
        red_ = green_ = blue_ = -1;
    }
}

int Reader::codePage() const
{
    const int index = stack_.back().chars.font < 0 ? defaultFont_ : stack_.back().chars.font;
    const auto it = fonts_.constFind(index);
    return it == fonts_.constEnd() || it->codePage == documentCodePage ? documentPage_ : it->codePage;
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

int Reader::charFormat()
{
    const CharProps &p = state().chars;
    if (lastCharId_ >= 0 && p == lastChars_)
        return lastCharId_;
    const auto [it, added] = charIds_.try_emplace(p, int(formats_.chars.size()));
    if (added)
        formats_.chars.push_back(toFormat(p));
    lastChars_ = p;
    lastCharId_ = it->second;
    return lastCharId_;
}

QTextCharFormat Reader::toFormat(const CharProps &p) const
{
    QTextCharFormat f;
    f.setFontPointSize(p.sizeHalfPoints / 2.0);
    if (p.bold)
        f.setFontWeight(QFont::Bold);
    if (p.italic)
        f.setFontItalic(true);
    if (p.underline)
        f.setFontUnderline(true);
    if (p.strike)
        f.setFontStrikeOut(true);
    if (p.smallCaps)
        f.setFontCapitalization(QFont::SmallCaps);
    if (p.allCaps)
        f.setFontCapitalization(QFont::AllUppercase);
    if (p.vertical != Vertical::Baseline)
        f.setVerticalAlignment(p.vertical == Vertical::Super ? QTextCharFormat::AlignSuperScript
                                                             : QTextCharFormat::AlignSubScript);
    const auto font = fonts_.constFind(p.font < 0 ? defaultFont_ : p.font);
    // Symbol-font bytes are already turned into Unicode: any font shows them.
    if (font != fonts_.constEnd() && !font->name.isEmpty() && font->codePage != symbolCodePage)
        f.setFontFamilies({font->name});
    const auto color = [this](int index) {
        return index > 0 && index < std::ssize(colors_) ? colors_[index] : QColor();
    };
    if (const QColor c = color(p.foreground); c.isValid())
        f.setForeground(c);
    if (const QColor c = color(p.background); c.isValid())
        f.setBackground(c);
    return f;
}

int Reader::blockFormat()
{
    const ParaProps &p = state().para;
    const auto [it, added] = blockIds_.try_emplace(p, int(formats_.blocks.size()));
    if (added) {
        QTextBlockFormat b;
        b.setAlignment(qtAlignment(p.alignment));
        b.setLeftMargin(pixels(p.leftTwips));
        b.setRightMargin(pixels(p.rightTwips));
        b.setTextIndent(pixels(p.firstTwips));
        b.setTopMargin(pixels(p.beforeTwips));
        b.setBottomMargin(pixels(p.afterTwips));
        // A hanging first line holds a list label and a tab: the tab lands
        // where the other lines start.
        if (p.firstTwips < 0 && p.leftTwips > 0)
            b.setTabPositions({QTextOption::Tab(pixels(p.leftTwips), QTextOption::LeftTab)});
        formats_.blocks.push_back(b);
    }
    return it->second;
}

void Reader::forgetFormats()
{
    charIds_.clear();
    lastCharId_ = -1;
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
    QString problem;
    if (start.isEmpty())
        problem = QStringLiteral("empty file");
    else if (!start.startsWith("{\\rtf"))
        problem = QStringLiteral("not an RTF file (no {\\rtf header)");
    else if (!reader.complete())
        problem = QStringLiteral("document too large, shown up to the size limit");
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
