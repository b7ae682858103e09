#include "rtf/reader.h"

#include "rtf/codepage.h"
#include "rtf/controlwords.h"
#include "rtf/documentbuilder.h"
#include "rtf/formats.h"
#include "rtf/tokenizer.h"

#include <algorithm>
#include <limits>
#include <string>
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
constexpr std::ptrdiff_t maxTableEntries = 4096;

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

// Characters that would mean something else to a writer (QTextDocument's
// paragraph and frame markers), and control characters.
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

// Without the blanks (space, tab, line ends) at either end.
std::u16string trimmed(const std::u16string &s)
{
    const auto blank = [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == 0x0B || c == 0x0C;
    };
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && blank(s[begin]))
        ++begin;
    while (end > begin && blank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool isSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

class Reader {
public:
    explicit Reader(std::string_view data, Document &doc) : tokens_(data), out_(doc.body) {}
    void run();
    bool complete() const { return !out_.full(); }
    Formats takeFormats() { return formats_.takeFormats(); }

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
    void text(std::string_view bytes);
    void fontTableText(std::string_view bytes);
    void colorTableText(std::string_view bytes);

    bool consumeUnicodeSkip();
    int codePage() const;
    void decode(std::string_view bytes);
    void flushMultiByte();
    void emitUnicode(int unit);
    void put(std::u16string_view s);
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
    std::ptrdiff_t overflow_ = 0; // open groups beyond maxGroupDepth
    int pendingSkip_ = 0;         // fallback bytes still to drop after a \u
    char16_t pendingHigh_ = 0;
    std::string multiByte_; // \'hh bytes of a double-byte page, decoded together
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
    Font *font = entry == tables_.fonts.end() ? nullptr : &entry->second;
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
        out_.endRow(blockFormat(), rowAlignment_);
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
        if (!state().chars.hidden) {
            const std::string number = std::to_string(++footnotes_);
            put(std::u16string(number.begin(), number.end()));
        }
        break;
    case Action::Unicode:
        if (!state().chars.hidden)
            emitUnicode(t.param);
        break;
    case Action::Character:
        if (!state().chars.hidden) {
            const char16_t c = char16_t(w.value);
            put(std::u16string_view(&c, 1));
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
        text(std::string_view(&c, 1));
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
    text(std::string_view(&c, 1));
}

void Reader::text(std::string_view bytes)
{
    const std::size_t skipped = std::min<std::size_t>(std::size_t(pendingSkip_), bytes.size());
    pendingSkip_ -= int(skipped);
    bytes = bytes.substr(skipped);
    if (bytes.empty())
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

void Reader::fontTableText(std::string_view bytes)
{
    const auto it = tables_.fonts.find(tableFont_);
    if (it == tables_.fonts.end())
        return;
    Font &font = it->second;
    for (char b : bytes) {
        if (font.named)
            return;
        if (b == ';') {
            font.named = true;
            font.name = trimmed(font.name);
            // LibreOffice writes its symbol font with a charset it does not
            // use; its bytes are those of the default page.
            if (font.name.starts_with(u"OpenSymbol") || font.name.starts_with(u"StarSymbol"))
                font.codePage = defaultCodePage;
        } else if (std::ssize(font.name) < maxFontNameLength) {
            font.name += char16_t(static_cast<unsigned char>(b));
        }
    }
}

void Reader::colorTableText(std::string_view bytes)
{
    for (char b : bytes) {
        if (b != ';')
            continue;
        if (std::ssize(tables_.colors) < maxTableEntries) {
            const bool automatic = red_ < 0 && green_ < 0 && blue_ < 0;
            tables_.colors.push_back(automatic ? std::nullopt
                                               : std::optional(Rgb{std::uint8_t(std::max(red_, 0)),
                                                                   std::uint8_t(std::max(green_, 0)),
                                                                   std::uint8_t(std::max(blue_, 0))}));
        }
        red_ = green_ = blue_ = -1;
    }
}

int Reader::codePage() const
{
    const Font *font = tables_.font(stack_.back().chars.font);
    return !font || font->codePage == documentCodePage ? documentPage_ : font->codePage;
}

void Reader::decode(std::string_view bytes)
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
    std::u16string s(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        s[i] = table[static_cast<unsigned char>(bytes[i])];
    put(s);
}

void Reader::flushMultiByte()
{
    if (multiByte_.empty())
        return;
    const std::u16string s = CodePages::decodeMultiByte(multiBytePage_, multiByte_);
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
        const char32_t c = char32_t(unit) - 0x10000;
        const char16_t pair[2] = {char16_t(0xD800 + (c >> 10)), char16_t(0xDC00 + (c & 0x3FF))};
        put(std::u16string_view(pair, 2));
        return;
    }
    const char16_t u = char16_t(unit);
    if (isHighSurrogate(u)) {
        flushHighSurrogate();
        pendingHigh_ = u; // the low half comes as the next \u
    } else if (isLowSurrogate(u) && pendingHigh_) {
        const char16_t pair[2] = {pendingHigh_, u};
        pendingHigh_ = 0;
        put(std::u16string_view(pair, 2));
    } else {
        put(std::u16string_view(&u, 1));
    }
}

void Reader::flushHighSurrogate()
{
    if (pendingHigh_) {
        pendingHigh_ = 0;
        put(u"\uFFFD");
    }
}

void Reader::put(std::u16string_view s)
{
    flushHighSurrogate();
    std::u16string clean;
    clean.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (isHighSurrogate(c) && i + 1 < s.size() && isLowSurrogate(s[i + 1])) {
            clean.append(s.substr(i, 2));
            ++i;
        } else if (isSurrogate(c)) {
            clean += char16_t(0xFFFD);
        } else if (const char16_t safe = safeCharacter(c)) {
            clean += safe;
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

ReadProblem readRtf(std::string_view data, rtf::Document &doc)
{
    doc = rtf::Document{};
    rtf::Reader reader(data, doc);
    reader.run();
    rtf::Formats formats = reader.takeFormats();
    doc.chars = std::move(formats.chars);
    doc.blocks = std::move(formats.blocks);

    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    std::size_t begin = 0;
    while (begin < data.size() && blank(data[begin]))
        ++begin;
    const std::string_view start = data.substr(begin);
    if (start.empty())
        return ReadProblem::Empty;
    if (!start.starts_with("{\\rtf"))
        return ReadProblem::NotRtf;
    if (!reader.complete())
        return ReadProblem::TooLarge;
    return ReadProblem::None;
}

const char *problemText(ReadProblem problem)
{
    // In the words of the window that shows them.
    switch (problem) {
    case ReadProblem::None:
        break;
    case ReadProblem::Empty:
        return "Fichier vide.";
    case ReadProblem::NotRtf:
        return "Ce fichier n'est pas au format RTF.";
    case ReadProblem::TooLarge:
        return "Document trop volumineux : seul son début a été lu.";
    }
    return "";
}

} // namespace lodrix
