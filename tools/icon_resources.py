#!/usr/bin/env python3
"""Turns the program's XPM icons into Windows icon resources.

usage: icon_resources.py OUT_DIR ID:FILE.xpm [ID:FILE.xpm ...]
       icon_resources.py --ico OUT.ico ID:FILE.xpm [ID:FILE.xpm ...]

Writes one RT_ICON image per XPM (OUT_DIR/icon-ID.bin, a 16-colour DIB with its
transparency mask) and the icon group that lists them (OUT_DIR/icon-group.bin);
with --ico, one .ico file holding the same images (for the installer).
"""
import struct
import sys

# The 16-colour palette of Windows, in its own order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def read_xpm(path):
    with open(path, encoding="ascii") as xpm:
        strings = [line.split('"')[1] for line in xpm if line.lstrip().startswith('"')]
    width, height, colours, per_pixel = (int(v) for v in strings[0].split()[:4])
    if per_pixel != 1:
        raise SystemExit(f"{path}: one character per pixel expected")
    table = {}
    for entry in strings[1:1 + colours]:
        key, value = entry[0], entry.split()[-1]
        if value.lower() == "none":
            table[key] = None
        else:
            rgb = tuple(int(value[i:i + 2], 16) for i in (1, 3, 5))
            if rgb not in PALETTE:
                raise SystemExit(f"{path}: colour {value} is not one of the 16")
            table[key] = PALETTE.index(rgb)
    rows = strings[1 + colours:1 + colours + height]
    return width, height, [[table[c] for c in row] for row in rows]


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def icon_image(width, height, pixels):
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):  # DIB rows run bottom-up
        nibbles = [0 if p is None else p for p in row]
        colour_rows.append(padded(bytes((nibbles[i] << 4) | nibbles[i + 1]
                                        for i in range(0, width, 2))))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        mask_rows.append(padded(bytes(mask)))
    colour, mask = b"".join(colour_rows), b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colour + mask


def write_ico(target, images):
    pictures = [icon_image(*read_xpm(argument.split(":", 1)[1])) for argument in images]
    sizes = [read_xpm(argument.split(":", 1)[1])[:2] for argument in images]
    offset = 6 + 16 * len(pictures)
    entries = b""
    for (width, height), picture in zip(sizes, pictures):
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4,
                               len(picture), offset)
        offset += len(picture)
    with open(target, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(pictures)) + entries + b"".join(pictures))


def main():
    if sys.argv[1] == "--ico":
        write_ico(sys.argv[2], sys.argv[3:])
        return
    out_dir, images = sys.argv[1], sys.argv[2:]
    entries = []
    for image_argument in images:
        resource_id, path = image_argument.split(":", 1)
        width, height, pixels = read_xpm(path)
        image = icon_image(width, height, pixels)
        with open(f"{out_dir}/icon-{resource_id}.bin", "wb") as out:
            out.write(image)
        entries.append(struct.pack("<BBBBHHIH", width % 256, height % 256, 16, 0, 1, 4,
                                   len(image), int(resource_id)))
    with open(f"{out_dir}/icon-group.bin", "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(entries)) + b"".join(entries))


if __name__ == "__main__":
    main()
