"""Writes the "FOND" bitmap: 735 x 375 pixels, 24 bits, every pixel grey (215, 215, 215)."""
import struct
import sys

WIDTH, HEIGHT, GREY = 735, 375, 215
row = bytes([GREY]) * (WIDTH * 3)
row += b"\0" * ((4 - len(row) % 4) % 4)  # rows are padded to 4 bytes
pixels = row * HEIGHT
header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
with open(sys.argv[1], "wb") as out:
    out.write(header + info + pixels)
