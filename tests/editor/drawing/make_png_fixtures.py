#!/usr/bin/env python3
"""Writes the PNG test images chunk by chunk with zlib, independently of the
decoder under test. Each image's pixels follow the formulas that
PngDecodeTest.cpp checks; keep the two in step.

Usage: make_png_fixtures.py OUTPUT_DIR
"""
import os
import struct
import sys
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
W, H = 11, 7  # odd sizes: partial bytes of packed rows and partial interlace passes


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def ihdr(width, height, depth, colour_type, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, interlace))


def pack_row(samples, depth):
    """Packs one row's samples (already flattened per channel) at the bit depth."""
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        bits += depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def scanlines(rows, depth):
    # Filter type 0 (none) on every row; the decoder must not care.
    return b"".join(b"\x00" + pack_row(r, depth) for r in rows)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def interlaced(pixel_rows, depth):
    out = b""
    for x0, y0, dx, dy in ADAM7:
        pass_rows = []
        for y in range(y0, len(pixel_rows), dy):
            row = pixel_rows[y]
            pixels = row[x0::dx]
            if pixels:
                pass_rows.append([s for p in pixels for s in p])
        if pass_rows:
            out += scanlines(pass_rows, depth)
    return out


def image(width, height, depth, colour_type, rows, extra=b"", interlace=0):
    if interlace:
        raw = interlaced(rows, depth)
    else:
        raw = scanlines([[s for p in r for s in p] for r in rows], depth)
    return (SIGNATURE + ihdr(width, height, depth, colour_type, interlace) + extra +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def grid(fn, width=W, height=H):
    return [[fn(x, y) for x in range(width)] for y in range(height)]


# Pixel formulas (8-bit values), mirrored in the test.
def red(x, y): return (x * 23 + y * 5) % 256
def green(x, y): return (x * 7 + y * 31 + 3) % 256
def blue(x, y): return (x * 13 + y * 17 + 100) % 256
def alpha(x, y): return (x * 29 + y * 41 + 7) % 256
def grey(x, y): return (x * 19 + y * 37 + 11) % 256
def index(x, y): return (x + 2 * y) % 4
def grey4(x, y): return (x + 3 * y) % 16


PALETTE = [(255, 0, 0), (0, 200, 0), (10, 20, 250), (128, 128, 128)]
PALETTE_ALPHA = [255, 128, 0]  # the fourth entry has none: opaque


def fixtures():
    rgb = grid(lambda x, y: (red(x, y), green(x, y), blue(x, y)))
    yield "rgb", image(W, H, 8, 2, rgb)
    yield "rgba", image(W, H, 8, 6, grid(lambda x, y: (red(x, y), green(x, y), blue(x, y), alpha(x, y))))
    yield "rgba16", image(W, H, 16, 6, grid(lambda x, y: (red(x, y) * 257, green(x, y) * 257,
                                                        blue(x, y) * 257, alpha(x, y) * 257)))
    yield "grey", image(W, H, 8, 0, grid(lambda x, y: (grey(x, y),)))
    yield "grey4", image(W, H, 4, 0, grid(lambda x, y: (grey4(x, y),)))
    yield "greyalpha", image(W, H, 8, 4, grid(lambda x, y: (grey(x, y), alpha(x, y))))
    plte = chunk(b"PLTE", bytes(c for entry in PALETTE for c in entry))
    indices = grid(lambda x, y: (index(x, y),))
    yield "palette", image(W, H, 2, 3, indices, plte)
    yield "palette_trns", image(W, H, 2, 3, indices, plte + chunk(b"tRNS", bytes(PALETTE_ALPHA)))
    yield "interlaced", image(W, H, 8, 2, rgb, interlace=1)
    # The largest accepted side, and one more.
    yield "wide_8192", image(8192, 1, 8, 0, [[(0,)] * 8192])
    yield "wide_8193", image(8193, 1, 8, 0, [[(0,)] * 8193])

    good = image(W, H, 8, 6, grid(lambda x, y: (red(x, y), green(x, y), blue(x, y), alpha(x, y))))
    yield "truncated", good[: len(good) // 2]
    yield "no_iend", good[: -12]
    yield "bad_signature", b"\x89PNG\r\n\x1a\x0b" + good[8:]
    yield "short", good[:7]
    bad_crc = bytearray(good)
    bad_crc[8 + 8 + 13] ^= 0xFF  # IHDR's CRC
    yield "bad_crc", bytes(bad_crc)
    # Declares 100000 x 100000 pixels but holds one row's worth of data.
    yield "huge", (SIGNATURE + ihdr(100000, 100000, 8, 6) +
                   chunk(b"IDAT", zlib.compress(b"\x00" * 401)) + chunk(b"IEND", b""))


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, data in fixtures():
        with open(os.path.join(out_dir, name + ".png"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
