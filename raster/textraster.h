#pragma once
// Text on a plain pixel buffer, glyph for glyph what Qt draws with the same fonts:
// the bitmap "MS Sans Serif" strikes (13, 16 and 20 px cells, regular and the
// overstruck bold) and the "Symbol" replica rasterised in monochrome, both
// turned into tables at build time (cmake/glyphtables.py). No shaping, no
// kerning, no antialiasing, no allocation.
//  [x] every character of both faces, in every size and weight the lessons use
//  [x] tabs, controls and zero-width characters as Qt lays them out
//  [ ] characters the face lacks: Qt borrows them from a desktop font, here
//      they draw nothing and take no room
//  [ ] Symbol sizes other than 6, 8, 10, 12 and 15 pt take the nearest of those

#include "raster/canvas.h"
#include "raster/pixelrect.h"

#include <cstdint>
#include <string_view>

namespace lodrix {

// Draws utf8 with the top-left corner of its cell at `at`, in font's face, size
// and weight, in colour argb (0xFFRRGGBB), onto a buffer of width x height
// pixels (rows of `width`, 0xFFRRGGBB), clipped; returns the box it may have
// touched (empty when nothing).
PixelRect paintText(std::uint32_t *pixels, int width, int height, Point at, const Font &font,
                    std::uint32_t argb, std::string_view utf8);

// The advance width in pixels of utf8 in font (what Qt's horizontalAdvance gives).
int textWidth(const Font &font, std::string_view utf8);

} // namespace lodrix
