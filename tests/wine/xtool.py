#!/usr/bin/env python3
"""Small X helpers for the Wine end-to-end checks, standard library only.

  xtool.py png SHOT.xwd OUT.png            convert an `xwd -root` screenshot to PNG
  xtool.py count SHOT.xwd RRGGBB X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]
                                           pixels of the half-open rectangles that are
                                           NOT the colour given
  xtool.py pixel SHOT.xwd X Y              the pixel's colour as RRGGBB
  xtool.py crop SHOT.xwd X Y W H OUT.png   the rectangle as a PNG
  xtool.py cursor                          "hidden" when the pointer's cursor image is
                                           fully transparent, else "visible"
"""
import ctypes
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        sys.exit("unsupported xwd: version %d format %d bpp %d" % (version, pixmap_format, bits_per_pixel))
    start = header_size + ncolors * 12
    bpp = bits_per_pixel // 8
    endian = "<" if byte_order == 0 else ">"

    def shift(mask):
        s = 0
        while mask and not (mask >> s) & 1:
            s += 1
        return s

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    fast = (bpp == 4 and endian == "<" and (red_mask, green_mask, blue_mask) ==
            (0xFF0000, 0xFF00, 0xFF))
    for y in range(height):
        row = data[start + y * bytes_per_line:start + y * bytes_per_line + width * bpp]
        if fast:
            out = bytearray(width * 3)
            out[0::3], out[1::3], out[2::3] = row[2::4], row[1::4], row[0::4]
            rows.append(bytes(out))
            continue
        if bpp == 4:
            values = struct.unpack(endian + "%dI" % width, row)
        else:
            values = [int.from_bytes(row[i:i + 3], "little" if endian == "<" else "big")
                      for i in range(0, len(row), 3)]
        rows.append(bytes(b for v in values for b in (
            (v & red_mask) >> rs, (v & green_mask) >> gs, (v & blue_mask) >> bs)))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def cursor_state():
    class CursorImage(ctypes.Structure):
        _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                    ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                    ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                    ("cursor_serial", ctypes.c_ulong),
                    ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                    ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]
    x11 = ctypes.CDLL("libX11.so.6")
    xfixes = ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open display")
    image = xfixes.XFixesGetCursorImage(display)
    if not image:
        sys.exit("no cursor image")
    im = image.contents
    opaque = sum(1 for i in range(im.width * im.height) if (im.pixels[i] >> 24) & 0xFF)
    x11.XCloseDisplay(display)
    return "visible" if opaque else "hidden"


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    command = argv[1]
    if command == "png" and len(argv) == 4:
        write_png(argv[3], *read_xwd(argv[2]))
    elif command == "count" and len(argv) >= 8 and (len(argv) - 4) % 4 == 0:
        width, height, rows = read_xwd(argv[2])
        want = bytes.fromhex(argv[3])
        other = 0
        for i in range(4, len(argv), 4):
            x0, y0, x1, y1 = (int(v) for v in argv[i:i + 4])
            x0, y0, x1, y1 = max(x0, 0), max(y0, 0), min(x1, width), min(y1, height)
            if x1 <= x0:
                continue
            uniform = want * (x1 - x0)
            for y in range(y0, y1):
                part = rows[y][3 * x0:3 * x1]
                if part != uniform:
                    other += sum(1 for i in range(0, len(part), 3) if part[i:i + 3] != want)
        print(other)
    elif command == "pixel" and len(argv) == 5:
        width, height, rows = read_xwd(argv[2])
        x, y = int(argv[3]), int(argv[4])
        print(rows[y][3 * x:3 * x + 3].hex())
    elif command == "crop" and len(argv) == 8:
        width, height, rows = read_xwd(argv[2])
        x, y, w, h = (int(v) for v in argv[3:7])
        write_png(argv[7], w, h, [rows[y + i][3 * x:3 * (x + w)] for i in range(h)])
    elif command == "cursor" and len(argv) == 2:
        print(cursor_state())
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
