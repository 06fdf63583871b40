#!/usr/bin/env python3
"""Reads a PNG file with Python's own zlib, as an outside reader would, and compares its
pixels with the RGB bytes it should hold.

Usage: png_check.py FILE.png EXPECTED.rgb WIDTH HEIGHT

Every chunk's CRC is checked, IHDR must say 8-bit truecolour of the given size without
interlace, the IDAT stream must inflate whole (zlib checks its Adler-32), and every filter
type is undone. Prints what differs and exits 1, or exits 0.
"""
import struct
import sys
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height):
    stride = width * 3
    out = bytearray()
    above = bytearray(stride)
    at = 0
    for y in range(height):
        kind = raw[at]
        row = bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = row[i - 3] if i >= 3 else 0
            up_left = above[i - 3] if i >= 3 else 0
            if kind == 0:
                pred = 0
            elif kind == 1:
                pred = left
            elif kind == 2:
                pred = above[i]
            elif kind == 3:
                pred = (left + above[i]) // 2
            elif kind == 4:
                pred = paeth(left, above[i], up_left)
            else:
                raise ValueError("row %d has filter type %d" % (y, kind))
            row[i] = (row[i] + pred) & 0xFF
        out += row
        above = row
    return bytes(out)


def check(path, expected_path, width, height):
    data = open(path, "rb").read()
    expected = open(expected_path, "rb").read()
    if not data.startswith(SIGNATURE):
        return "no PNG signature"
    at = len(SIGNATURE)
    chunks = []
    while at < len(data):
        if at + 12 > len(data):
            return "a chunk is cut short at byte %d" % at
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            return "chunk %s has a wrong CRC" % kind
        chunks.append((kind, body))
        at += 12 + length
    kinds = [k for k, _ in chunks]
    if not kinds or kinds[0] != b"IHDR" or kinds[-1] != b"IEND" or b"IDAT" not in kinds:
        return "chunks out of order: %s" % kinds
    w, h, depth, colour, method, filtering, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if (w, h) != (width, height):
        return "size %dx%d, expected %dx%d" % (w, h, width, height)
    if (depth, colour, method, filtering, interlace) != (8, 2, 0, 0, 0):
        return "IHDR %s is not 8-bit truecolour" % ((depth, colour, method, filtering, interlace),)
    stream = b"".join(body for kind, body in chunks if kind == b"IDAT")
    raw = zlib.decompress(stream)
    if len(raw) != height * (1 + 3 * width):
        return "%d bytes of rows, expected %d" % (len(raw), height * (1 + 3 * width))
    pixels = unfilter(raw, width, height)
    if pixels != expected:
        first = next(i for i in range(min(len(pixels), len(expected))) if pixels[i] != expected[i])
        return "pixel %d (x %d, y %d) differs" % (first // 3, first // 3 % width,
                                                 first // 3 // width)
    return None


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    problem = check(sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    if problem:
        print("%s: %s" % (sys.argv[1], problem))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
