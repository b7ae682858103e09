#pragma once
// Windows code pages for the \'hh bytes and raw 8-bit text of an RTF file:
// the document's \ansicpg, or the one a font's \fcharset or \cpg implies.
// Single-byte pages decode through a table of 256 characters; the double-byte
// Asian pages and UTF-8 through Qt's converters.

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringDecoder>

#include <array>
#include <memory>
#include <unordered_map>

namespace lodrix::rtf {

constexpr int defaultCodePage = 1252;
constexpr int symbolCodePage = 42;  // Windows' CP_SYMBOL: the "Symbol" font's own layout
constexpr int documentCodePage = 0; // a font that keeps the document's code page

// The code page a font's \fcharsetN selects; documentCodePage for ANSI and
// DEFAULT, and for charsets this reader does not know.
int codePageOfCharset(int charset);

class CodePages {
public:
    using Table = std::array<char16_t, 256>;

    bool isKnown(int codePage);
    // Bytes of a page whose characters may take two bytes (or more, for UTF-8)
    // have to be decoded together; the others byte by byte.
    static bool isMultiByte(int codePage);
    // The table of a single-byte page; the default page's for an unknown one.
    const Table &table(int codePage);
    QString decodeMultiByte(int codePage, QByteArrayView bytes);

private:
    // Converters are costly to open and a hostile file may switch pages at
    // every word, so each page gets one, opened on first use (or null).
    QStringDecoder *converter(int codePage);

    QHash<int, Table> tables_;
    std::unordered_map<int, std::unique_ptr<QStringDecoder>> converters_;
};

} // namespace lodrix::rtf
