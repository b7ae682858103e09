#!/usr/bin/python3
"""Prepares the fonts that Lodrix embeds, from the files of Debian's fonts-wine.

splitfont.py SOURCE OUTDIR STEM [--bold] [PPEM...]

With PPEM values, SOURCE must be a bitmap font whose strikes are exactly those
sizes: each strike is written to OUTDIR/STEM_<ppem>.ttf on its own, because Qt
only ever uses the first strike of a file. --bold also writes
OUTDIR/STEM_bold_<ppem>.ttf, a bold face made the way the classic desktop
emboldens a bitmap font: every glyph overstruck one pixel to the right and one
pixel wider.

Without PPEM values, SOURCE must be an outline font without strikes; it is
written to OUTDIR/STEM.ttf.

Every output loses the OpenType layout tables: the classic text output never
applied them, and the replica's "liga" feature would turn "..." into one
ellipsis glyph of another width.
"""

import argparse
import sys

from fontTools.ttLib import TTFont

LAYOUT_TABLES = ("GSUB", "GPOS", "GDEF", "EBSC")
BIT_ALIGNED_FORMATS = (2, 5)  # the image formats without padded rows


def fail(message):
    sys.exit(f"splitfont.py: {message}")


def strip_layout(font):
    # EBSC maps missing sizes onto strikes that a split file no longer has.
    for tag in LAYOUT_TABLES:
        if tag in font:
            del font[tag]


def unpack_bits(data, width, height):
    bits = int.from_bytes(data, "big")
    total = len(data) * 8
    return [[(bits >> (total - 1 - (row * width + col))) & 1 for col in range(width)]
            for row in range(height)]


def pack_bits(rows, width):
    value = 0
    count = 0
    for row in rows:
        for bit in row:
            value = (value << 1) | bit
            count += 1
    padding = (-count) % 8
    return (value << padding).to_bytes((count + padding) // 8, "big")


def overstrike(data, width, height):
    """The glyph OR-ed with itself shifted one pixel right, one column wider."""
    rows = unpack_bits(data, width, height)
    bold = [[(row[col] if col < width else 0) | (row[col - 1] if col > 0 else 0)
             for col in range(width + 1)] for row in rows]
    return pack_bits(bold, width + 1)


def embolden_strike(font):
    strike_data = font["EBDT"].strikeData[0]
    strike = font["EBLC"].strikes[0]
    for table in strike.indexSubTables:
        if table.imageFormat not in BIT_ALIGNED_FORMATS:
            fail(f"image format {table.imageFormat} is not handled")
        shared = table.metrics if table.imageFormat == 5 else None
        for name in table.names:
            glyph = strike_data[name]
            glyph.ensureDecompiled()
            metrics = glyph.metrics if shared is None else shared
            glyph.imageData = overstrike(glyph.imageData, metrics.width, metrics.height)
            if shared is None:
                glyph.metrics.width += 1
                glyph.metrics.Advance += 1
        if shared is not None:
            # Format 5 glyphs share one size, kept in the index.
            shared.width += 1
            shared.horiAdvance += 1
            table.imageSize = (shared.width * shared.height + 7) // 8
    strike.bitmapSizeTable.hori.widthMax += 1

    for record in font["name"].names:
        if record.nameID == 2:
            record.string = "Bold"
        elif record.nameID in (3, 4):
            record.string = f"{font['name'].getDebugName(1)} Bold"
        elif record.nameID == 6:
            record.string = f"{record.toUnicode()}-Bold"
    os2 = font["OS/2"]
    os2.usWeightClass = 700
    os2.fsSelection = (os2.fsSelection | 0x20) & ~0x40  # bold, not regular
    font["head"].macStyle |= 0x01


def split_strikes(source, outdir, stem, wanted, bold):
    sizes = [strike.bitmapSizeTable.ppemY for strike in TTFont(source)["EBLC"].strikes]
    if sorted(sizes) != sorted(wanted):
        fail(f"{source} has strikes {sizes}, expected {wanted}")
    for weight in ("", "_bold") if bold else ("",):
        for index, ppem in enumerate(sizes):
            # A fresh font per strike: EBDT is decoded against EBLC, so it is
            # read before EBLC loses its other strikes.
            font = TTFont(source)
            data = font["EBDT"].strikeData[index]
            strike = font["EBLC"].strikes[index]
            font["EBDT"].strikeData = [data]
            font["EBLC"].strikes = [strike]
            strip_layout(font)
            if weight:
                embolden_strike(font)
            font.save(f"{outdir}/{stem}{weight}_{ppem}.ttf")


def copy_outline(source, outdir, stem):
    font = TTFont(source)
    if "EBLC" in font:
        fail(f"{source} has bitmap strikes: name the sizes to split")
    strip_layout(font)
    font.save(f"{outdir}/{stem}.ttf")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source")
    parser.add_argument("outdir")
    parser.add_argument("stem")
    parser.add_argument("--bold", action="store_true")
    parser.add_argument("ppem", type=int, nargs="*")
    args = parser.parse_intermixed_args()
    if args.ppem:
        split_strikes(args.source, args.outdir, args.stem, args.ppem, args.bold)
    else:
        copy_outline(args.source, args.outdir, args.stem)


if __name__ == "__main__":
    main()
