#!/usr/bin/env python3
"""Turns one of the program's XPM icons into a PNG or an SVG for the desktop's
icon theme.

usage: icon_png.py FILE.xpm OUT.png [SCALE]
       icon_png.py FILE.xpm OUT.svg

The PNG is 8-bit RGBA, each pixel of the icon drawn as SCALE by SCALE pixels
(1 unless told), so the larger sizes keep the icon's crisp pixel design. The SVG
draws the same pixels as squares, one rectangle for each run of a colour in a
row, and scales to any size. The XPM's transparent pixels stay transparent.
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


def scaled(pixels, factor):
    return [[p for p in row for _ in range(factor)] for row in pixels for _ in range(factor)]


def svg(width, height, pixels):
    rects = []
    for y, row in enumerate(pixels):
        x = 0
        while x < width:
            colour = row[x]
            end = x
            while end < width and row[end] == colour:
                end += 1
            if colour is not None:
                r, g, b = PALETTE[colour]
                rects.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02x%02x%02x"/>'
                             % (x, y, end - x, r, g, b))
            x = end
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 %d %d" shape-rendering="crispEdges">\n%s\n</svg>\n'
            % (width, height, width, height, "\n".join(rects))).encode()


def main():
    source, target = sys.argv[1], sys.argv[2]
    width, height, pixels = read_xpm(source)
    with open(target, "wb") as out:
        if target.endswith(".svg"):
            out.write(svg(width, height, pixels))
        else:
            factor = int(sys.argv[3]) if len(sys.argv) > 3 else 1
            out.write(png(width * factor, height * factor, scaled(pixels, factor)))


if __name__ == "__main__":
    main()
