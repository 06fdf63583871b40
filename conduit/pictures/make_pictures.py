#!/usr/bin/env python3
"""Draws the pictures beside the choices of the "Change Hotsync Action" dialog.

Each is a handheld on the left and a desktop computer on the right, with what happens between
them: an arrow from the handheld to the desktop, an arrow from the desktop to the handheld,
or, for doing nothing, an arrow both ways struck through. The build runs this script
(conduit/CMakeLists.txt) and Stashmate.rc compiles the files in; only the recipe is kept in
the tree.

  handheld-overwrites.bmp   72 x 36   bitmap 300
  do-nothing.bmp            72 x 36   bitmap 301
  desktop-overwrites.bmp    72 x 36   bitmap 302

8-bit palette bitmaps, rows bottom-up, as Windows stores them. The background is silver,
which the dialog replaces by its own face colour when it loads them; no other pixel is silver.

Usage: make_pictures.py OUTPUT_FOLDER
"""

import os
import struct
import sys

WIDTH, HEIGHT = 72, 36

COLOURS = {
    "background": (192, 192, 192),
    "outline": (28, 30, 36),
    "case": (74, 80, 92),
    "case_light": (120, 128, 142),
    "glass": (178, 196, 170),
    "ink": (24, 36, 28),
    "button": (150, 158, 172),
    "monitor": (222, 218, 204),
    "monitor_shade": (160, 156, 144),
    "screen": (28, 72, 140),
    "screen_light": (96, 148, 210),
    "arrow": (0, 128, 0),
    "arrow_dark": (0, 72, 0),
    "idle": (128, 132, 140),
    "idle_dark": (84, 88, 96),
    "cross": (210, 24, 24),
}


class Picture:
    def __init__(self):
        self.names = {name: i for i, name in enumerate(COLOURS)}
        self.palette = list(COLOURS.values())
        self.pixels = bytearray([self.names["background"]]) * (WIDTH * HEIGHT)

    def put(self, x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.pixels[y * WIDTH + x] = self.names[colour]

    def fill(self, x0, y0, x1, y1, colour):
        """Pixels x0..x1-1, y0..y1-1."""
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def round_rect(self, x0, y0, x1, y1, colour):
        """A filled rectangle with its four corner pixels left out."""
        self.fill(x0, y0, x1, y1, colour)
        for x, y in ((x0, y0), (x1 - 1, y0), (x0, y1 - 1), (x1 - 1, y1 - 1)):
            self.put(x, y, "background")

    def polygon(self, points, colour):
        """Even-odd fill, sampled at pixel centres."""
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            sample = y + 0.5
            crossings = []
            for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
                if (ya <= sample < yb) or (yb <= sample < ya):
                    crossings.append(xa + (sample - ya) * (xb - xa) / (yb - ya))
            crossings.sort()
            for a, b in zip(crossings[::2], crossings[1::2]):
                for x in range(int(round(a)), int(round(b))):
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width):
        """A line drawn with a square brush of `width` pixels, both ends included."""
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.fill(x, y, x + width, y + width, colour)


def handheld(p):
    """A handheld standing upright at the left: case, display with lines of text, buttons."""
    p.round_rect(3, 2, 23, 34, "outline")
    p.round_rect(4, 3, 22, 33, "case")
    p.fill(5, 4, 7, 32, "case_light")
    p.fill(7, 6, 20, 21, "outline")
    p.fill(8, 7, 19, 20, "glass")
    for y in (9, 12, 15):
        p.fill(10, y, 17 if y != 15 else 14, y + 1, "ink")
    for x in (7, 12, 17):
        p.fill(x, 25, x + 3, 28, "button")
    p.fill(8, 29, 18, 31, "outline")


def desktop(p):
    """A desktop computer's monitor on its stand at the right."""
    p.round_rect(46, 4, 70, 25, "outline")
    p.round_rect(47, 5, 69, 24, "monitor")
    p.fill(49, 7, 67, 21, "outline")
    p.fill(50, 8, 66, 20, "screen")
    p.fill(51, 9, 57, 12, "screen_light")
    p.fill(68, 6, 69, 24, "monitor_shade")
    p.fill(55, 25, 61, 29, "monitor_shade")
    p.fill(50, 29, 66, 32, "outline")
    p.fill(51, 30, 65, 31, "monitor")


def arrow(p, rightwards):
    """An arrow across the gap between the two, its head at the receiving side: a dark
    outline and a green fill one pixel inside it."""
    d = 1 if rightwards else -1
    tip, back = (43, 26) if rightwards else (26, 43)
    neck = tip - 7 * d
    p.polygon([(back, 15), (neck, 15), (neck, 10), (tip, 17.5), (neck, 25), (neck, 20),
               (back, 20)], "arrow_dark")
    p.polygon([(back + d, 16), (neck, 16), (neck, 12), (tip - 2 * d, 17.5), (neck, 23),
               (neck, 19), (back + d, 19)], "arrow")


def both_ways_struck(p):
    """An arrow each way, greyed, with a red cross over them: nothing is copied."""
    p.polygon([(25, 17.5), (30, 12), (30, 15), (39, 15), (39, 12), (44, 17.5), (39, 23),
               (39, 20), (30, 20), (30, 23)], "idle_dark")
    p.polygon([(27, 17.5), (31, 14), (31, 16), (38, 16), (38, 14), (42, 17.5), (38, 21),
               (38, 19), (31, 19), (31, 21)], "idle")
    p.line(31, 11, 37, 23, "cross", 2)
    p.line(37, 11, 31, 23, "cross", 2)


def write_bmp(path, picture):
    """An 8-bit palette BMP: file header, information header, the colours, rows bottom-up,
    each padded to 4 bytes."""
    stride = (WIDTH + 3) & ~3
    rows = bytearray()
    for y in range(HEIGHT - 1, -1, -1):
        rows += picture.pixels[y * WIDTH:(y + 1) * WIDTH]
        rows += bytes(stride - WIDTH)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in picture.palette)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(rows), 3780, 3780,
                       len(picture.palette), len(picture.palette))
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + rows)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    silver = COLOURS["background"]
    assert list(COLOURS.values()).count(silver) == 1, "silver is the background's alone"
    for name, middle in (("handheld-overwrites.bmp", lambda p: arrow(p, True)),
                         ("do-nothing.bmp", both_ways_struck),
                         ("desktop-overwrites.bmp", lambda p: arrow(p, False))):
        p = Picture()
        handheld(p)
        desktop(p)
        middle(p)
        write_bmp(os.path.join(folder, name), p)


if __name__ == "__main__":
    main()
