#include "app/rtf/rtfcodepage.h"

#include <QStringDecoder>

#include <algorithm>
#include <string_view>

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

struct PageName {
    int codePage;
    const char *name; // as Qt's (ICU's) converters spell it
};

constexpr PageName pageNames[] = {
    {437, "IBM437"},        {850, "IBM850"},        {852, "IBM852"},        {866, "IBM866"},
    {874, "windows-874"},   {932, "windows-31j"},   {936, "GBK"},           {949, "windows-949"},
    {950, "Big5"},          {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
    {1253, "windows-1253"}, {1254, "windows-1254"}, {1255, "windows-1255"}, {1256, "windows-1256"},
    {1257, "windows-1257"}, {1258, "windows-1258"}, {10000, "macintosh"},   {65001, "UTF-8"},
};

const char *nameOf(int codePage)
{
    const auto *it = std::find_if(std::begin(pageNames), std::end(pageNames),
                                  [codePage](const PageName &p) { return p.codePage == codePage; });
    return it == std::end(pageNames) ? nullptr : it->name;
}

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

CodePages::Table convertedTable(QStringDecoder &decoder)
{
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString text = decoder.decode(all);
    if (text.size() != 256)
        return cp1252Table();
    CodePages::Table t{};
    for (int b = 0; b < 256; ++b)
        t[b] = text[b].unicode();
    return t;
}

} // namespace

int codePageOfCharset(int charset)
{
    const auto *it = std::find_if(std::begin(charsetPages), std::end(charsetPages),
                                  [charset](const CharsetPage &c) { return c.charset == charset; });
    return it == std::end(charsetPages) ? documentCodePage : it->codePage;
}

QStringDecoder *CodePages::converter(int codePage)
{
    const char *name = nameOf(codePage);
    if (!name)
        return nullptr;
    auto [it, added] = converters_.try_emplace(codePage);
    if (added) {
        auto decoder = std::make_unique<QStringDecoder>(name, QStringConverter::Flag::Stateless);
        if (decoder->isValid())
            it->second = std::move(decoder);
    }
    return it->second.get();
}

bool CodePages::isKnown(int codePage)
{
    return codePage == defaultCodePage || codePage == symbolCodePage || converter(codePage) != nullptr;
}

bool CodePages::isMultiByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 65001;
}

const CodePages::Table &CodePages::table(int codePage)
{
    if (const auto it = tables_.constFind(codePage); it != tables_.constEnd())
        return *it;
    Table t;
    if (codePage == symbolCodePage)
        t = symbolTable();
    else if (QStringDecoder *decoder = converter(codePage); decoder && !isMultiByte(codePage))
        t = convertedTable(*decoder);
    else
        t = cp1252Table();
    return *tables_.insert(codePage, t);
}

QString CodePages::decodeMultiByte(int codePage, QByteArrayView bytes)
{
    QStringDecoder *decoder = converter(codePage);
    return decoder ? decoder->decode(bytes) : QString::fromLatin1(bytes);
}

} // namespace lodrix::rtf
