#pragma once
// Which pixel size a lesson font takes, shared by the software canvas's
// glyph tables and the desktop's fonts: point sizes are at 96 dpi, "MS Sans Serif" is a bitmap face
// with strikes of 13, 16 and 20 px cells, and the "Symbol" outlines are drawn
// with the character height as their em.

#include "raster/canvas.h"

#include <algorithm>
#include <iterator>

namespace lodrix {

constexpr int screenDpi = 96;
constexpr int pointsPerInch = 72;

// A bitmap strike of "MS Sans Serif": its cell height and the character height
// (cell less internal leading) that a font size asks for.
struct Strike {
    int cellPx;
    int characterHeightPx;
};

constexpr Strike sansSerifStrikes[] = {
    {13, 11},
    {16, 13},
    {20, 16},
};

static_assert(std::is_sorted(std::begin(sansSerifStrikes), std::end(sansSerifStrikes),
                             [](const Strike &a, const Strike &b) { return a.cellPx < b.cellPx; }));

// Rounded like the desktop's MulDiv, so 8 pt is 11 px and 10 pt is 13 px.
constexpr int characterHeightPx(int points)
{
    return std::max(1, (points * screenDpi + pointsPerInch / 2) / pointsPerInch);
}

// The smallest strike tall enough, else the largest: 6 and 8 pt share the
// 13 px cell, 15 pt takes the 20 px one.
constexpr int cellPxFor(int charHeightPx)
{
    const auto *fit =
        std::find_if(std::begin(sansSerifStrikes), std::end(sansSerifStrikes),
                     [charHeightPx](const Strike &s) { return s.characterHeightPx >= charHeightPx; });
    return fit == std::end(sansSerifStrikes) ? std::prev(std::end(sansSerifStrikes))->cellPx : fit->cellPx;
}

static_assert(cellPxFor(characterHeightPx(6)) == 13);
static_assert(cellPxFor(characterHeightPx(8)) == 13);
static_assert(cellPxFor(characterHeightPx(10)) == 16);
static_assert(cellPxFor(characterHeightPx(12)) == 20);
static_assert(cellPxFor(characterHeightPx(15)) == 20);

// The pixel size a font is drawn at: the strike's cell for "MS Sans Serif",
// the character height for "Symbol".
constexpr int pixelSizeFor(const Font &font)
{
    const int height = characterHeightPx(font.size);
    return font.face == FontFace::Symbol ? height : cellPxFor(height);
}

} // namespace lodrix
