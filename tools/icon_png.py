#!/usr/bin/env python3
"""Turns one of the program's XPM icons into a PNG for the desktop's icon theme.

usage: icon_png.py FILE.xpm OUT.png

The PNG is 8-bit RGBA; the XPM's transparent pixels stay transparent.
"""
import struct
import sys
import zlib

from icon_resources import PALETTE, read_xpm


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, pixels):
    rows = []
    for row in pixels:
        line = bytearray([0])  # filter type: none
        for p in row:
            line += bytes((0, 0, 0, 0)) if p is None else bytes(PALETTE[p] + (255,))
        rows.append(bytes(line))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def main():
    source, target = sys.argv[1], sys.argv[2]
    width, height, pixels = read_xpm(source)
    with open(target, "wb") as out:
        out.write(png(width, height, pixels))


if __name__ == "__main__":
    main()
