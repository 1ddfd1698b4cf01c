#!/usr/bin/env python3
"""Writes the font the pinned tests draw their text with: a TrueType file of bitmap strikes
only, at the cell sizes the program asks for, so no rasteriser or hinting (and no font
package) shapes the pinned pictures. Digits, ':', '.' and letters are 3 x 5 block letters;
every other character is a block pattern of its own kind (full or half width).
Usage: make_font.py OUT.ttf (the build does this; the file is the project's, MIT)."""
import struct, sys

LETTERS = dict(zip("0123456789:.ABCDEFGHIJKLMNOPQRSTUVWXYZ", (
    "75557 26227 71747 71717 55711 74717 74757 71222 75757 75717 02020 00002 25755 65656 34443 "
    "65556 74647 74644 34553 55755 72227 11152 55655 44447 57755 65555 25552 65644 25563 65655 "
    "34216 72222 55557 55552 55775 55255 55222 71247").split()))
STRIKES = [(20, 40), (40, 40), (20, 20), (70, 35)]   # x and y pixels per em: cells 10x40, 20x40, 10x20, 35x35
ASCII, FULL, HALF = 94, 64, 16                       # glyphs 1..94 for '!'..'~', then the patterns


def image(glyph, width, height):
    """A glyph's bitmap, bit-aligned: its pattern (rows of bits) on a grid one block wider and taller."""
    if glyph <= ASCII and chr(0x20 + glyph).upper() in LETTERS:
        rows, cols = [int(d, 8) for d in LETTERS[chr(0x20 + glyph).upper()]], 3
    else:
        glyph += 7919 if glyph <= ASCII else 0       # the other characters of ASCII: patterns of their own
        k = (glyph * 2654435761) >> 7
        cols = 7 if ASCII < glyph <= ASCII + FULL else 3
        rows = [(k >> (cols * r)) & ((1 << cols) - 1) for r in range(5)]
        rows[0] |= 1 << (cols - 1)                   # never blank
    out = 0
    for y in range(height):
        for x in range(width):
            out = out << 1 | (rows[y * 6 // height] >> (cols - 1 - x * (cols + 1) // width) & 1
                              if y * 6 // height < 5 and x * (cols + 1) // width < cols else 0)
    n = (width * height + 7) // 8
    return (out << (n * 8 - width * height)).to_bytes(n, "big")


def font():
    count = 1 + ASCII + FULL + HALF
    ebdt, sizes, index = bytearray(struct.pack(">I", 0x20000)), b"", b""
    for px, py in STRIKES:
        base = (py * 7 + 4) // 8                     # the baseline the text output takes
        offsets, start = [], len(ebdt)
        for g in range(1, count):
            w = px if ASCII < g <= ASCII + FULL else px // 2
            offsets.append(len(ebdt) - start)
            ebdt += struct.pack(">BBbbB", py, w, 0, base, w) + image(g, w, py)
        offsets.append(len(ebdt) - start)
        sub = struct.pack(">HHI", 1, 2, start) + struct.pack(">%dI" % len(offsets), *offsets)
        array_at = 8 + 48 * len(STRIKES) + len(index)
        index += struct.pack(">HHI", 1, count - 1, 8) + sub
        metrics = struct.pack(">bbBbbbbbbbbb", base, base - py, px, 1, 0, 0, 0, 0, base, base - py, 0, 0)
        sizes += struct.pack(">III", array_at, 8 + len(sub), 1) + struct.pack(">I", 0) + metrics * 2
        sizes += struct.pack(">HHBBBb", 1, count - 1, px, py, 1, 1)
    groups = [(0x21, 0x7E, 1)]
    for s in range(0x80, 0x10000, FULL):   # half-width kana (U+FF60..U+FF9F) aside
        groups += [(a, b, ASCII + 1) for a, b in [(s, min(s + FULL - 1, 0xFF5F)), (max(s, 0xFFA0), s + FULL - 1)]
                   if a <= b]
    groups = sorted(groups + [(s, s + HALF - 1, ASCII + FULL + 1) for s in range(0xFF60, 0xFFA0, HALF)])
    cmap = struct.pack(">HHHHIHHIII", 0, 1, 3, 10, 12, 12, 0, 16 + 12 * len(groups), 0, len(groups))
    cmap += b"".join(struct.pack(">III", *g) for g in groups)
    tables = {
        b"EBDT": bytes(ebdt), b"EBLC": struct.pack(">II", 0x20000, len(STRIKES)) + sizes + index,
        b"cmap": cmap, b"glyf": b"\0" * 4, b"loca": b"\0" * (2 * count + 2),
        b"head": struct.pack(">IIIIHHqqhhhhHHhhh", 0x10000, 0x10000, 0, 0x5F0F3CF5, 0, 1024, 0, 0,
                             0, -128, 1024, 896, 0, 8, 2, 0, 0),
        b"hhea": struct.pack(">I3hH11hH", 0x10000, 896, -128, 0, 1024, 0, 0, 1024, 1, 0, 0, 0, 0, 0, 0, 0, 1),
        b"hmtx": struct.pack(">Hh", 1024, 0) + b"\0" * (2 * count - 2),
        b"maxp": struct.pack(">IH", 0x5000, count),
        b"name": struct.pack(">HHH", 0, 0, 6), b"post": struct.pack(">IIhhIIIII", 0x30000, 0, 0, 0, 1, 0, 0, 0, 0),
    }
    out = struct.pack(">IHHHH", 0x10000, len(tables), 128, 3, len(tables) * 16 - 128)
    at, body = 12 + 16 * len(tables), b""
    for tag, data in sorted(tables.items()):
        out += tag + struct.pack(">III", 0, at + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    return out + body


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(font())
