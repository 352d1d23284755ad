#!/usr/bin/env python3
"""Writes the seed corpus of the picture-path fuzz target: small valid pictures of every PNG colour
type, and damaged or hostile ones (truncated, bad checksums, huge declared sizes, other formats)."""
import os
import struct
import sys
import zlib

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "imaging")
os.makedirs(out, exist_ok=True)


def chunk(kind, data, crc=None):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) if crc is None else crc)


def png(w, h, colour_type, depth, rows, extra=b"", interlace=0, ihdr_crc=None):
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, interlace)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr, ihdr_crc) + extra +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filtered_png(w, h, colour_type, filters, pieces=1):
    """An 8-bit RGB (2) or RGBA (6) picture whose row y uses filter filters[y % len(filters)], its
    zlib stream split over `pieces` IDAT chunks."""
    bpp = 4 if colour_type == 6 else 3
    rows, above = [], bytes(w * bpp)
    for y, row in enumerate(pixels(w, h, bpp)):
        kind = filters[y % len(filters)]
        out = bytearray([kind])
        for i, value in enumerate(row):
            a = row[i - bpp] if i >= bpp else 0
            b, c = above[i], (above[i - bpp] if i >= bpp else 0)
            predicted = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
            out.append((value - predicted) % 256)
        rows.append(bytes(out))
        above = row
    stream = zlib.compress(b"".join(rows))
    size = -(-len(stream) // pieces)
    ihdr = struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            b"".join(chunk(b"IDAT", stream[i:i + size]) for i in range(0, len(stream), size)) + chunk(b"IEND", b""))


def pixels(w, h, channels, depth=8):
    size = depth // 8
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            for c in range(channels):
                value = (x * 37 + y * 11 + c * 80) % 256
                row += bytes([value]) * size
        rows.append(bytes(row))
    return rows


files = {
    "rgb_5x3.png": png(5, 3, 2, 8, pixels(5, 3, 3)),
    "rgba_4x6.png": png(4, 6, 6, 8, pixels(4, 6, 4)),
    "grey_7x2.png": png(7, 2, 0, 8, pixels(7, 2, 1)),
    "grey_alpha_3x3.png": png(3, 3, 4, 8, pixels(3, 3, 2)),
    "palette_trns_4x4.png": png(4, 4, 3, 8, [bytes([(x + y) % 3 for x in range(4)]) for y in range(4)],
                                chunk(b"PLTE", b"\xff\x00\x00\x00\xff\x00\x00\x00\xff") +
                                chunk(b"tRNS", b"\x00\x80")),
    "rgb16_3x2.png": png(3, 2, 2, 16, pixels(3, 2, 3, 16)),
    "interlaced_9x9.png": png(9, 9, 2, 8, pixels(9, 9, 3), interlace=1),
    "one_pixel.png": png(1, 1, 2, 8, [b"\xff\xff\xff"]),
    "tall_2x40.png": png(2, 40, 2, 8, pixels(2, 40, 3)),
    "wide_40x2.png": png(40, 2, 6, 8, pixels(40, 2, 4)),
    "rgb_all_filters_11x10.png": filtered_png(11, 10, 2, [0, 1, 2, 3, 4]),
    "rgba_all_filters_9x10.png": filtered_png(9, 10, 6, [4, 3, 2, 1, 0]),
    "rgba_paeth_split_13x6.png": filtered_png(13, 6, 6, [4], pieces=4),
}
good = files["rgb_5x3.png"]
files.update({
    "truncated_half.png": good[: len(good) // 2],
    "truncated_header.png": good[:20],
    "bad_ihdr_crc.png": png(5, 3, 2, 8, pixels(5, 3, 3), ihdr_crc=0),
    "bad_idat.png": good[:41] + bytes(b ^ 0xA5 for b in good[41:51]) + good[51:],
    "side_beyond_limit.png": png(20001, 1, 0, 8, [bytes(20001)]),
    "header_20000x20000.png": (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 20000, 20000, 8, 2, 0, 0, 0)) +
                               chunk(b"IDAT", zlib.compress(b"\x00" * 64)) + chunk(b"IEND", b"")),
    "header_zero_width.png": (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 0, 5, 8, 2, 0, 0, 0)) +
                              chunk(b"IEND", b"")),
    "bmp_huge_header.bmp": (b"BM" + struct.pack("<IHHI", 70, 0, 0, 54) +
                            struct.pack("<IiiHHIIiiII", 40, 30000, 30000, 1, 24, 0, 0, 2835, 2835, 0, 0) + bytes(16)),
    "not_a_picture.txt": b"slide 1\n",
})
for name, data in files.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print(f"{len(files)} files in {out}")
