#pragma once
// The layout of the glyph tables that the build makes from Debian's
// fonts-wine (cmake/glyphtables.py writes them into glyphtables.cpp): one face
// per face, pixel size and weight, each glyph a bitmap with its bearings and
// advance, as Qt draws it with antialiasing off.

#include "raster/canvas.h"

#include <cstdint>
#include <span>

namespace lodrix {

struct GlyphBitmap {
    char32_t codePoint;
    std::uint32_t bits;      // offset of its first row in the face's bits
    std::uint16_t advance64; // pen advance in 1/64 px (whole pixels for the bitmap strikes)
    std::int8_t left;        // first column, from the pen
    std::int8_t top;         // first row, upwards from the baseline
    std::uint8_t width;
    std::uint8_t height;
};

constexpr std::uint16_t noGlyph = 0xFFFF;

struct GlyphFace {
    FontFace face;
    int pixelSize; // the cell of a strike, the em of an outline face
    bool bold;
    int ascentPx;
    int heightPx;                        // of the cell: ascent and descent
    std::span<const GlyphBitmap> glyphs; // by code point
    const std::uint16_t *latin1;         // index in glyphs of each code point below 256, or noGlyph
    const std::uint8_t *bits; // rows of every glyph, leftmost pixel in the high bit, each row whole bytes
};

// Every face the build made, in no particular order.
std::span<const GlyphFace> glyphFaces();

} // namespace lodrix
