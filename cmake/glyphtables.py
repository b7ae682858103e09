#!/usr/bin/python3
"""Writes the glyph tables of the software canvas, from the files of Debian's fonts-wine.

glyphtables.py --sans MS_SANS_SERIF.TTF --strikes PPEM... --symbol SYMBOL.TTF
               --symbol-sizes PX... --output GLYPHTABLES.CPP

The tables hold, for every face the lessons can ask for, each glyph as the
desktop drew it with Qt (antialiasing off, no shaping, no kerning), so that
text painted from them matches Qt pixel for pixel:

- "MS Sans Serif" (Wine's bitmap replica, LGPL-2.1+): every bitmap strike,
  read from EBDT/EBLC with fontTools, regular and bold. The bold is the one
  splitfont.py makes for Qt (its overstrike, imported from there): the glyph
  OR-ed with itself one pixel to the right, one column wider, advance + 1.
  FreeType finds no outlines in this file, so Qt advances by the strike's
  whole-pixel advances.
- "Symbol" (Wine's outline replica, LGPL-2.1+; its "W" is Omega, "q" theta):
  each pixel size rasterised by FreeType (python3-freetype, the library Qt
  itself calls) the way Qt's FreeType engine does for a font without
  antialiasing under Debian's default fontconfig (hintslight): loaded with
  FT_LOAD_TARGET_MONO and hinting on, which for this font without hinting
  programs means FreeType's autohinter in mono mode, rendered in
  FT_RENDER_MODE_MONO; bold as Qt synthesises it, FT_GlyphSlot_Embolden on the
  loaded glyph. Slight hinting makes Qt advance by the unhinted outline
  advances in 1/64 px, kept here as they are, and place the cell's ascent at
  the rounded typographic ascender of OS/2 (the font sets USE_TYPO_METRICS).

Code points Qt never draws are left out: controls, format characters such as
the soft hyphen and the zero-width spaces, line and paragraph separators, and
private-use characters. A missing no-break space takes the space's glyph, as
in Qt.
"""

import argparse
import os
import sys
import unicodedata

from fontTools.ttLib import TTFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from splitfont import overstrike, unpack_bits  # noqa: E402  the bold Qt draws is made there

NEVER_DRAWN = ("Cc", "Cf", "Zl", "Zp", "Co", "Cs")
NO_BREAK_SPACE = 0xA0
USE_TYPO_METRICS = 0x80
BIT_ALIGNED_FORMATS = (2, 5)
BYTES_PER_LINE = 32
GLYPHS_PER_LINE = 4


def fail(message):
    sys.exit(f"glyphtables.py: {message}")


def drawn_code_points(cmap):
    """Code point -> glyph name, without what Qt never draws."""
    chars = {cp: name for cp, name in cmap.items()
             if unicodedata.category(chr(cp)) not in NEVER_DRAWN}
    if NO_BREAK_SPACE not in chars and 0x20 in chars:
        chars[NO_BREAK_SPACE] = chars[0x20]
    return chars


def pack_rows(rows):
    """Rows of 0/1 pixels -> bytes, each row padded to whole bytes, high bit first."""
    out = bytearray()
    for row in rows:
        for start in range(0, len(row), 8):
            chunk = row[start:start + 8]
            value = 0
            for bit in chunk:
                value = (value << 1) | bit
            out.append(value << (8 - len(chunk)))
    return bytes(out)


class Face:
    def __init__(self, name, face, pixel_size, bold, ascent, height):
        self.name = name
        self.face = face
        self.pixel_size = pixel_size
        self.bold = bold
        self.ascent = ascent
        self.height = height
        self.glyphs = []  # (code point, bits offset, advance64, left, top, width, height)
        self.bits = bytearray()
        self.offsets = {}  # glyph name -> bits offset, for code points sharing a glyph

    def add(self, code_point, key, advance64, left, top, rows):
        width = len(rows[0]) if rows else 0
        if not (0 <= advance64 < 1 << 16 and -128 <= left < 128 and -128 <= top < 128
                and width < 256 and len(rows) < 256):
            fail(f"{self.name}: U+{code_point:04X} does not fit the table's fields")
        if key not in self.offsets:
            self.offsets[key] = len(self.bits)
            self.bits += pack_rows(rows)
        self.glyphs.append((code_point, self.offsets[key], advance64, left, top, width, len(rows)))


def sans_faces(path, strikes):
    sizes = [strike.bitmapSizeTable.ppemY for strike in TTFont(path)["EBLC"].strikes]
    if sorted(sizes) != sorted(strikes):
        fail(f"{path} has strikes {sizes}, expected {strikes}")
    faces = []
    for index, ppem in enumerate(sizes):
        font = TTFont(path)
        chars = drawn_code_points(font.getBestCmap())
        data = font["EBDT"].strikeData[index]  # before EBLC: decoded against it
        strike = font["EBLC"].strikes[index]
        hori = strike.bitmapSizeTable.hori
        bitmaps = {}
        for table in strike.indexSubTables:
            if table.imageFormat not in BIT_ALIGNED_FORMATS:
                fail(f"image format {table.imageFormat} is not handled")
            for name in table.names:
                glyph = data[name]
                glyph.ensureDecompiled()
                if table.imageFormat == 5:
                    m = table.metrics  # one size shared by the whole range
                    metrics = (m.width, m.height, m.horiBearingX, m.horiBearingY, m.horiAdvance)
                else:
                    m = glyph.metrics
                    metrics = (m.width, m.height, m.BearingX, m.BearingY, m.Advance)
                bitmaps[name] = (glyph.imageData, metrics)
        for bold in (False, True):
            face = Face(f"sans{ppem}{'Bold' if bold else ''}", "SansSerif", ppem, bold,
                        hori.ascender, hori.ascender - hori.descender)
            for cp, name in sorted(chars.items()):
                if name not in bitmaps:
                    continue  # FreeType cannot load it either: Qt draws nothing
                image, (width, height, left, top, advance) = bitmaps[name]
                if bold:
                    image = overstrike(image, width, height)
                    width += 1
                    advance += 1
                face.add(cp, name, advance * 64, left, top, unpack_bits(image, width, height))
            faces.append(face)
    return faces


def qt_round(value64):
    return (value64 + 32) // 64


def symbol_faces(path, pixel_sizes):
    import freetype
    import freetype.raw

    font = TTFont(path)
    if "EBLC" in font:
        fail(f"{path} has bitmap strikes: expected outlines only")
    chars = drawn_code_points(font.getBestCmap())
    os2 = font["OS/2"]
    units_per_em = font["head"].unitsPerEm
    if os2.fsSelection & USE_TYPO_METRICS:
        ascender, descender = os2.sTypoAscender, -os2.sTypoDescender
    else:
        ascender, descender = os2.usWinAscent, os2.usWinDescent
    faces = []
    for px in pixel_sizes:
        for bold in (False, True):
            ft = freetype.Face(path)
            ft.set_pixel_sizes(px, px)
            ascent = qt_round(ascender * px * 64 // units_per_em)
            descent = qt_round(descender * px * 64 // units_per_em)
            face = Face(f"symbol{px}{'Bold' if bold else ''}", "Symbol", px, bold, ascent, ascent + descent)
            for cp in sorted(chars):
                ft.load_char(cp, freetype.FT_LOAD_DEFAULT | freetype.FT_LOAD_TARGET_MONO)
                slot = ft.glyph
                if bold:
                    # Only the outline and the hinted advance grow: the
                    # linear advance Qt uses stays.
                    freetype.raw.FT_GlyphSlot_Embolden(slot._FT_GlyphSlot)
                slot.render(freetype.FT_RENDER_MODE_MONO)
                bitmap = slot.bitmap
                rows = [[(bitmap.buffer[y * bitmap.pitch + x // 8] >> (7 - x % 8)) & 1
                         for x in range(bitmap.width)] for y in range(bitmap.rows)]
                face.add(cp, cp, slot.linearHoriAdvance >> 10, slot.bitmap_left, slot.bitmap_top, rows)
            faces.append(face)
    return faces


def byte_lines(data):
    return "\n".join("    " + ", ".join(str(b) for b in data[i:i + BYTES_PER_LINE]) + ","
                     for i in range(0, len(data), BYTES_PER_LINE))


def write_cpp(faces, sources, output):
    out = [
        "// Generated by cmake/glyphtables.py from Debian's fonts-wine "
        f"({', '.join(os.path.basename(s) for s in sources)}, LGPL-2.1+). Not to be edited or committed.",
        '#include "raster/glyphtable.h"',
        "",
        "namespace lodrix {",
        "",
        "namespace {",
        "",
    ]
    for face in faces:
        latin1 = [0xFFFF] * 256
        for index, glyph in enumerate(face.glyphs):
            if glyph[0] < 256:
                latin1[glyph[0]] = index
        out.append(f"constexpr GlyphBitmap {face.name}Glyphs[] = {{")
        rows = [f"{{0x{g[0]:X}, {g[1]}, {g[2]}, {g[3]}, {g[4]}, {g[5]}, {g[6]}}}" for g in face.glyphs]
        for i in range(0, len(rows), GLYPHS_PER_LINE):
            out.append("    " + ", ".join(rows[i:i + GLYPHS_PER_LINE]) + ",")
        out.append("};")
        out.append(f"constexpr std::uint16_t {face.name}Latin1[256] = {{")
        out.append(byte_lines(latin1))
        out.append("};")
        out.append(f"constexpr std::uint8_t {face.name}Bits[] = {{")
        out.append(byte_lines(face.bits or b"\0"))
        out.append("};")
        out.append("")
    out.append("constexpr GlyphFace faces[] = {")
    for face in faces:
        out.append(f"    {{FontFace::{face.face}, {face.pixel_size}, {'true' if face.bold else 'false'}, "
                   f"{face.ascent}, {face.height}, {face.name}Glyphs, {face.name}Latin1, {face.name}Bits}},")
    out += [
        "};",
        "",
        "} // namespace",
        "",
        "std::span<const GlyphFace> glyphFaces()",
        "{",
        "    return faces;",
        "}",
        "",
        "} // namespace lodrix",
        "",
    ]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sans", required=True)
    parser.add_argument("--strikes", type=int, nargs="+", required=True)
    parser.add_argument("--symbol", required=True)
    parser.add_argument("--symbol-sizes", type=int, nargs="+", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    faces = sans_faces(args.sans, args.strikes) + symbol_faces(args.symbol, args.symbol_sizes)
    write_cpp(faces, [args.sans, args.symbol], args.output)


if __name__ == "__main__":
    main()
