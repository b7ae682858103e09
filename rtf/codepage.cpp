#include "rtf/codepage.h"

#include <algorithm>
#include <iterator>

namespace lodrix::rtf {

namespace {

struct CharsetPage {
    int charset;
    int codePage;
};

constexpr CharsetPage charsetPages[] = {
    {2, symbolCodePage}, {77, 10000}, {128, 932},  {129, 949},  {134, 936},  {136, 950},
    {161, 1253},         {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
    {204, 1251},         {222, 874},  {238, 1250}, {254, 437},  {255, 850},
};

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; kept here so the
// default page never depends on the converters Qt was built with.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

CodePages::Table cp1252Table()
{
    CodePages::Table t{};
    for (int b = 0; b < 256; ++b)
        t[b] = (b >= 0x80 && b < 0xA0) ? cp1252High[b - 0x80] : char16_t(b);
    return t;
}

struct SymbolGlyph {
    unsigned char byte;
    char16_t unicode;
};

// The "Symbol" font draws Greek letters and a few signs in place of Latin ones.
constexpr std::u16string_view symbolUpper = u"ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ";
constexpr std::u16string_view symbolLower = u"αβχδεφγηιϕκλμνοπθρστυϖωξψζ";
static_assert(symbolUpper.size() == 26 && symbolLower.size() == 26);
constexpr SymbolGlyph symbolSigns[] = {
    {0x22, u'∀'}, {0x24, u'∃'}, {0x2D, u'−'}, {0xA3, u'≤'}, {0xA5, u'∞'}, {0xAC, u'←'}, {0xAD, u'↑'},
    {0xAE, u'→'}, {0xAF, u'↓'}, {0xB0, u'°'}, {0xB1, u'±'}, {0xB3, u'≥'}, {0xB4, u'×'}, {0xB6, u'∂'},
    {0xB7, u'•'}, {0xB8, u'÷'}, {0xB9, u'≠'}, {0xBB, u'≈'}, {0xD6, u'√'}, {0xE5, u'∑'}, {0xF2, u'∫'},
};

CodePages::Table symbolTable()
{
    CodePages::Table t = cp1252Table();
    for (int i = 0; i < 26; ++i) {
        t['A' + i] = symbolUpper[i];
        t['a' + i] = symbolLower[i];
    }
    for (const SymbolGlyph &g : symbolSigns)
        t[g.byte] = g.unicode;
    return t;
}

const CodePageTable *tableOf(int codePage)
{
    const auto it = std::find_if(codePageTables.begin(), codePageTables.end(),
                                 [codePage](const CodePageTable &t) { return t.codePage == codePage; });
    return it == codePageTables.end() ? nullptr : &*it;
}

constexpr int firstLead = 0x81;
constexpr int lastLead = 0xFE;
constexpr int firstTrail = 0x40;
constexpr int lastTrail = 0xFE;
constexpr int trailsPerLead = lastTrail - firstTrail + 1;

std::u16string decodeDoubleByte(const CodePageTable &page, std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int lead = static_cast<unsigned char>(bytes[i]);
        if (lead >= firstLead && lead <= lastLead && i + 1 < bytes.size()) {
            const int trail = static_cast<unsigned char>(bytes[i + 1]);
            if (trail >= firstTrail && trail <= lastTrail) {
                const char16_t c = page.pairs[(lead - firstLead) * trailsPerLead + (trail - firstTrail)];
                if (c != 0xFFFD) {
                    out += c;
                    ++i;
                    continue;
                }
            }
        }
        out += page.single[lead];
    }
    return out;
}

// UTF-8 as its rules say: a byte that cannot start or continue a character,
// an overlong or surrogate form, or a sequence cut short, reads as U+FFFD.
std::u16string decodeUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        int length = 0;
        char32_t c = 0;
        char32_t least = 0;
        if (b < 0x80) {
            out += char16_t(b);
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2, c = b & 0x1F, least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, c = b & 0x0F, least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, c = b & 0x07, least = 0x10000;
        }
        std::size_t used = 1;
        bool good = length > 0;
        for (; good && used < std::size_t(length); ++used) {
            if (i + used >= bytes.size() || (static_cast<unsigned char>(bytes[i + used]) & 0xC0) != 0x80) {
                good = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(bytes[i + used]) & 0x3F);
        }
        if (!good || c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += char16_t(0xFFFD);
            i += std::max<std::size_t>(1, good ? std::size_t(length) : used);
            continue;
        }
        if (c > 0xFFFF) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += std::size_t(length);
    }
    return out;
}

} // namespace

int codePageOfCharset(int charset)
{
    const auto *it = std::find_if(std::begin(charsetPages), std::end(charsetPages),
                                  [charset](const CharsetPage &c) { return c.charset == charset; });
    return it == std::end(charsetPages) ? documentCodePage : it->codePage;
}

bool CodePages::isKnown(int codePage)
{
    return codePage == defaultCodePage || codePage == symbolCodePage || codePage == utf8CodePage ||
           tableOf(codePage) != nullptr;
}

bool CodePages::isMultiByte(int codePage)
{
    if (codePage == utf8CodePage)
        return true;
    const CodePageTable *t = tableOf(codePage);
    return t && t->pairs;
}

const CodePages::Table &CodePages::table(int codePage)
{
    if (!made_) {
        default_ = cp1252Table();
        symbol_ = symbolTable();
        made_ = true;
    }
    if (codePage == symbolCodePage)
        return symbol_;
    const CodePageTable *t = tableOf(codePage);
    if (!t || t->pairs)
        return default_;
    // A hostile file may switch pages at every word: the last page other
    // than the default is kept, the others are a copy away.
    if (otherPage_ != codePage) {
        std::copy(t->single, t->single + 256, other_.begin());
        otherPage_ = codePage;
    }
    return other_;
}

std::u16string CodePages::decodeMultiByte(int codePage, std::string_view bytes)
{
    if (codePage != utf8CodePage) {
        if (const CodePageTable *t = tableOf(codePage); t && t->pairs)
            return decodeDoubleByte(*t, bytes);
    }
    return decodeUtf8(bytes);
}

} // namespace lodrix::rtf
