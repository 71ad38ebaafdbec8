#!/usr/bin/env python3
"""Builds the tool bar bitmap and the icon from the text pixel maps in res/images.

make_images.py SOURCE_DIR OUT_DIR

toolbar.txt -> toolbar.bmp: one 4-bit strip of the images side by side, light
grey background. icon32.txt and icon16.txt -> voruta.ico: two 16-colour
images, "." transparent.
"""
import os
import struct
import sys

# The standard 16-colour palette and the letters that name its entries.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
LETTERS = "KrgybptSsRGYBMCW"
BACKGROUND = LETTERS.index("S")


def index_of(ch, where):
    if ch == ".":
        return None
    if ch not in LETTERS:
        sys.exit("%s: unknown colour letter %r" % (where, ch))
    return LETTERS.index(ch)


def read_blocks(path):
    """Pixel blocks of a file: runs of map lines, after '#' comments and titles."""
    blocks, current = [], []
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if not line or line.startswith("#") or line.startswith("image "):
                if current:
                    blocks.append(current)
                    current = []
                continue
            current.append(line)
    if current:
        blocks.append(current)
    return blocks


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def pack4(rows):
    """Bottom-up 4-bit rows, each padded to four bytes."""
    out = b""
    for row in reversed(rows):
        data = bytearray()
        for i in range(0, len(row), 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < len(row) else 0
            data.append((hi << 4) | lo)
        while len(data) % 4:
            data.append(0)
        out += bytes(data)
    return out


def pack1(rows):
    out = b""
    for row in reversed(rows):
        data = bytearray()
        for i in range(0, len(row), 8):
            byte = 0
            for j in range(8):
                if i + j < len(row) and row[i + j]:
                    byte |= 0x80 >> j
            data.append(byte)
        while len(data) % 4:
            data.append(0)
        out += bytes(data)
    return out


def toolbar(src, out):
    blocks = read_blocks(os.path.join(src, "toolbar.txt"))
    for n, b in enumerate(blocks):
        if len(b) != 15 or any(len(r) != 16 for r in b):
            sys.exit("toolbar.txt: image %d is not 16 x 15" % n)
    rows = []
    for y in range(15):
        row = []
        for n, b in enumerate(blocks):
            for ch in b[y]:
                i = index_of(ch, "toolbar.txt image %d" % n)
                row.append(BACKGROUND if i is None else i)
        rows.append(row)
    width = 16 * len(blocks)
    pixels = pack4(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, 15, 1, 4, 0, len(pixels), 0, 0, 16, 16)
    offset = 14 + len(info) + 64
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(os.path.join(out, "toolbar.bmp"), "wb") as f:
        f.write(header + info + palette_bytes() + pixels)


def icon_image(src, name, size):
    blocks = read_blocks(os.path.join(src, name))
    if len(blocks) != 1 or len(blocks[0]) != size or any(len(r) != size for r in blocks[0]):
        sys.exit("%s: not one %d x %d map" % (name, size, size))
    colours, mask = [], []
    for line in blocks[0]:
        c, m = [], []
        for ch in line:
            i = index_of(ch, name)
            c.append(0 if i is None else i)
            m.append(1 if i is None else 0)
        colours.append(c)
        mask.append(m)
    xor = pack4(colours)
    andmask = pack1(mask)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(andmask), 0, 0, 16, 0)
    return info + palette_bytes() + xor + andmask


def icon(src, out):
    images = [(32, icon_image(src, "icon32.txt", 32)), (16, icon_image(src, "icon16.txt", 16))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    for _, image in images:
        data += image
    with open(os.path.join(out, "voruta.ico"), "wb") as f:
        f.write(data)


def main():
    src, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    toolbar(src, out)
    icon(src, out)


if __name__ == "__main__":
    main()
