#include "raster/textraster.h"

#include "raster/fontstrikes.h"
#include "raster/glyphtable.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

// How Qt lays out a line of the lessons' text, which this file follows:
//  - the pen starts at the cell's left edge and moves by each glyph's advance
//    in 1/64 px; a glyph's bitmap sits at the pen's whole pixel (rounded
//    down) plus its left bearing, its top row `top` rows above the baseline,
//    and the baseline lies `ascent` rows below the cell's top;
//  - a tab moves the pen to the next multiple of 80 px from the text's start;
//  - Qt measures only what comes before U+009C, its separator of length
//    variants, but draws the whole text (the separator itself is a control);
//  - a code point the face lacks draws nothing and takes no room (Qt would
//    borrow a glyph from a desktop font there; the tables leave out what Qt
//    never draws, such as controls and zero-width characters);
//  - the width is the pen's end, rounded to the nearest pixel.

namespace lodrix {

namespace {

constexpr int subpixels = 64; // the tables' advances are in 1/64 px
constexpr int tabStopPx = 80; // Qt's default tab distance
constexpr char32_t tab = 0x09;
constexpr char32_t lengthVariantSeparator = 0x9C;
constexpr char32_t replacement = 0xFFFD; // malformed UTF-8: in no face, so it draws nothing

// The code point starting at utf8[i], moving i past it. A malformed sequence
// yields one replacement per byte that cannot start a character.
char32_t nextCodePoint(std::string_view utf8, std::size_t &i)
{
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    if (lead < 0x80)
        return lead;
    int more = 0;
    char32_t cp = 0;
    char32_t least = 0; // overlong forms are malformed
    if ((lead & 0xE0) == 0xC0) {
        more = 1, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, cp = lead & 0x07, least = 0x10000;
    } else {
        return replacement;
    }
    std::size_t j = i;
    for (int k = 0; k < more; ++k, ++j) {
        if (j >= utf8.size() || (static_cast<unsigned char>(utf8[j]) & 0xC0) != 0x80)
            return replacement;
        cp = (cp << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
    }
    i = j;
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return replacement;
    return cp;
}

// The table of the font's face, pixel size and weight. Symbol sizes that no
// lesson asks for take the nearest size the build made.
const GlyphFace *faceFor(const Font &font)
{
    const int pixelSize = pixelSizeFor(font);
    const GlyphFace *best = nullptr;
    for (const GlyphFace &face : glyphFaces()) {
        if (face.face != font.face || face.bold != font.bold)
            continue;
        if (!best || std::abs(face.pixelSize - pixelSize) < std::abs(best->pixelSize - pixelSize))
            best = &face;
    }
    return best;
}

const GlyphBitmap *glyphFor(const GlyphFace &face, char32_t cp)
{
    if (cp < 256) {
        const std::uint16_t index = face.latin1[cp];
        return index == noGlyph ? nullptr : &face.glyphs[index];
    }
    const auto found = std::lower_bound(face.glyphs.begin(), face.glyphs.end(), cp,
                                        [](const GlyphBitmap &g, char32_t c) { return g.codePoint < c; });
    return found != face.glyphs.end() && found->codePoint == cp ? &*found : nullptr;
}

enum class Stop { AtEnd, AtLengthVariant };

// Walks the text glyph by glyph, calling place(glyph, penPx) with the whole
// pixel of the pen; returns where the pen ends, in 1/64 px.
template<typename Place> int layOut(const GlyphFace &face, std::string_view utf8, Stop stop, Place place)
{
    int pen = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp == lengthVariantSeparator && stop == Stop::AtLengthVariant)
            break;
        if (cp == tab) {
            constexpr int tabStop = tabStopPx * subpixels;
            pen = (pen / tabStop + 1) * tabStop;
            continue;
        }
        if (const GlyphBitmap *glyph = glyphFor(face, cp)) {
            place(*glyph, pen / subpixels);
            pen += glyph->advance64;
        }
    }
    return pen;
}

} // namespace

PixelRect paintText(std::uint32_t *pixels, int width, int height, Point at, const Font &font,
                    std::uint32_t argb, std::string_view utf8)
{
    const GlyphFace *face = faceFor(font);
    if (!face || !pixels || width <= 0 || height <= 0)
        return {};
    int left = width, top = height, right = 0, bottom = 0;
    layOut(*face, utf8, Stop::AtEnd, [&](const GlyphBitmap &glyph, int penPx) {
        const int gx = at.x + penPx + glyph.left;
        const int gy = at.y + face->ascentPx - glyph.top;
        const int x0 = std::max(gx, 0), x1 = std::min(gx + int(glyph.width), width);
        const int y0 = std::max(gy, 0), y1 = std::min(gy + int(glyph.height), height);
        if (x0 >= x1 || y0 >= y1)
            return;
        left = std::min(left, x0), right = std::max(right, x1);
        top = std::min(top, y0), bottom = std::max(bottom, y1);
        const int rowBytes = (glyph.width + 7) / 8;
        const std::uint8_t *row = face->bits + glyph.bits + std::size_t(y0 - gy) * std::size_t(rowBytes);
        for (int y = y0; y < y1; ++y, row += rowBytes) {
            std::uint32_t *line = pixels + std::size_t(y) * std::size_t(width);
            for (int x = x0; x < x1; ++x) {
                const int column = x - gx;
                if (row[column >> 3] & (0x80 >> (column & 7)))
                    line[x] = argb;
            }
        }
    });
    if (left >= right)
        return {};
    return {left, top, right - left, bottom - top};
}

int textWidth(const Font &font, std::string_view utf8)
{
    const GlyphFace *face = faceFor(font);
    if (!face)
        return 0;
    return (layOut(*face, utf8, Stop::AtLengthVariant, [](const GlyphBitmap &, int) {}) + subpixels / 2) /
           subpixels;
}

} // namespace lodrix
