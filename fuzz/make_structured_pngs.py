#!/usr/bin/env python3
"""Writes random small PNG files that are valid or damaged in the ways a mutating fuzzer rarely
reaches: every chunk keeps a correct CRC, so the damage lies in the structure (chunk order, empty or
interrupted image data, odd chunk types, palettes and transparency where they do not belong, other
depths and interlacing) and in the zlib stream and the row filters themselves.

Replaying them through the fuzz target compares the fast PNG decoder with Qt's on each file:

    fuzz/make_structured_pngs.py /tmp/pngs 3000 1 && build/dev/fuzz/imaging_fuzz /tmp/pngs

Arguments: output folder, number of files, random seed (the same seed writes the same files)."""
import os
import random
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filtered_rows(rng, w, h, bpp):
    """Rows of flat runs, extremes and noise, each under a random filter."""
    out, above = [], bytes(w * bpp)
    for _ in range(h):
        row = bytes(rng.choice([0, 255, rng.randrange(256)]) for _ in range(w * bpp))
        kind = rng.randrange(5)
        encoded = bytearray([kind])
        for i, value in enumerate(row):
            a = row[i - bpp] if i >= bpp else 0
            b, c = above[i], (above[i - bpp] if i >= bpp else 0)
            encoded.append((value - [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]) % 256)
        out.append(bytes(encoded))
        above = row
    return b"".join(out)


def damaged(rng, data, chance):
    """With the given chance, one of: cut short, lengthened, or one byte changed."""
    roll = rng.random()
    if roll < chance and data:
        return data[: rng.randrange(len(data))]
    if roll < 2 * chance:
        return data + bytes(rng.randrange(1, 10))
    if roll < 3 * chance and data:
        changed = bytearray(data)
        changed[rng.randrange(len(changed))] ^= 1 << rng.randrange(8)
        return bytes(changed)
    return data


ANCILLARY = [b"gAMA", b"sRGB", b"iCCP", b"cHRM", b"sBIT", b"bKGD", b"hIST", b"pHYs", b"sPLT", b"tIME",
             b"tEXt", b"zTXt", b"iTXt", b"oFFs", b"eXIf", b"abCd"]


def one_png(rng):
    w, h = rng.randint(1, 40), rng.randint(1, 40)
    colour_type = rng.choice([2, 6, 2, 6, 0, 3, 4])
    bpp = 4 if colour_type == 6 else 3
    raw = damaged(rng, filtered_rows(rng, w, h, bpp), 0.05)
    if rng.random() < 0.1:
        compressor = zlib.compressobj(rng.choice([0, 1, 6, 9]), zlib.DEFLATED, rng.choice([9, 10, 12, 15]))
        stream = compressor.compress(raw) + compressor.flush()
    else:
        stream = zlib.compress(raw, rng.choice([0, 1, 6, 9]))
    stream = damaged(rng, stream, 0.05)
    if rng.random() < 0.1:  # a changed zlib header
        stream = bytes([rng.randrange(256)]) + stream[1:] if rng.random() < 0.5 else stream[:1] + bytes(
            [rng.randrange(256)]) + stream[2:]

    header = struct.pack(">IIBBBBB", w, h, rng.choice([8] * 9 + [16, 1, 4]), colour_type,
                         0 if rng.random() < 0.95 else 1, 0 if rng.random() < 0.95 else 1,
                         0 if rng.random() < 0.9 else rng.choice([1, 2]))
    chunks = [(b"IHDR", header)]
    for _ in range(rng.randrange(4)):
        chunks.append((rng.choice(ANCILLARY + [b"PLTE", b"tRNS", b",DAT"]),
                       bytes(rng.randrange(256) for _ in range(rng.choice([0, 1, 2, 3, 4, 6, 9, 13, 30])))))
    pieces = rng.choice([1, 1, 2, 3, 7])
    size = max(1, -(-len(stream) // pieces))
    image_data = [(b"IDAT", stream[i:i + size]) for i in range(0, len(stream), size)] or [(b"IDAT", b"")]
    if rng.random() < 0.1:
        image_data.insert(rng.randrange(len(image_data) + 1), (b"IDAT", b""))
    if rng.random() < 0.1 and len(image_data) > 1:
        image_data.insert(1, (rng.choice(ANCILLARY), b"x"))
    chunks += image_data
    for _ in range(rng.choice([0, 0, 1, 2])):
        chunks.append((rng.choice(ANCILLARY + [b"PLTE", b"IDAT"]), bytes(rng.randrange(256) for _ in range(4))))
    if rng.random() < 0.95:
        chunks.append((b"IEND", b""))
    if rng.random() < 0.05:
        rng.shuffle(chunks)
    data = b"\x89PNG\r\n\x1a\n" + b"".join(chunk(kind, body) for kind, body in chunks)
    if rng.random() < 0.05:
        data = data[: rng.randrange(8, len(data))]
    return data


def main():
    out, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(seed)
    os.makedirs(out, exist_ok=True)
    for index in range(count):
        with open(os.path.join(out, f"structured-{seed}-{index:05d}.png"), "wb") as f:
            f.write(one_png(rng))
    print(f"{count} files in {out}")


main()
