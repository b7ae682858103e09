#pragma once
// Windows code pages for the \'hh bytes and raw 8-bit text of an RTF file:
// the document's \ansicpg, or the one a font's \fcharset or \cpg implies.
// Single-byte pages decode through a table of 256 characters; the double-byte
// Asian pages through their pair tables, and UTF-8 by the rules of UTF-8.
// The tables other than Windows-1252's and Symbol's are written at build time
// by cmake/codepages.py.

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace lodrix::rtf {

constexpr int defaultCodePage = 1252;
constexpr int symbolCodePage = 42;  // Windows' CP_SYMBOL: the "Symbol" font's own layout
constexpr int documentCodePage = 0; // a font that keeps the document's code page
constexpr int utf8CodePage = 65001;

// The code page a font's \fcharsetN selects; documentCodePage for ANSI and
// DEFAULT, and for charsets this reader does not know.
int codePageOfCharset(int charset);

// A page's characters: single[b] for a byte alone; for a double-byte page,
// pairs[(lead - 0x81) * 191 + (trail - 0x40)] for a lead byte from 0x81 to
// 0xFE and a trail byte from 0x40 to 0xFE. U+FFFD where it defines none.
struct CodePageTable {
    int codePage;
    const char16_t *single;
    const char16_t *pairs; // null for a single-byte page
};
extern const std::span<const CodePageTable> codePageTables;

class CodePages {
public:
    using Table = std::array<char16_t, 256>;

    static bool isKnown(int codePage);
    // Bytes of a page whose characters may take two bytes (or more, for UTF-8)
    // have to be decoded together; the others byte by byte.
    static bool isMultiByte(int codePage);
    // The table of a single-byte page; the default page's for an unknown one.
    const Table &table(int codePage);
    static std::u16string decodeMultiByte(int codePage, std::string_view bytes);

private:
    Table default_{};
    Table symbol_{};
    Table other_{};
    int otherPage_ = -1;
    bool made_ = false;
};

} // namespace lodrix::rtf
