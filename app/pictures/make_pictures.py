#!/usr/bin/env python3
"""Draws the wizard's pictures into a folder, for app/pictures/Pictures.rc to compile in.

Every picture is drawn here, pixel by pixel, from shapes and the font in font5x7.py; nothing
is taken from elsewhere. The build runs this script (app/pictures/Pictures.cmake), so the
pictures are made fresh in the build folder and only their recipe is kept in the tree.

  handheld-type4.bmp   165 x 234  bitmap 5000: the handheld of device type 4, first setup screen
  loader-type4.bmp     112 x 112  bitmap 5001: the serial loader's screen
  reset-type4.bmp      112 x 112  bitmap 5002: HotSync asks for a reset with the Reset button
  handheld-other.bmp   165 x 246  bitmap 5100: the handheld of every other device type
  loader-other.bmp     114 x 114  bitmap 5101
  reset-other.bmp      114 x 114  bitmap 5102
  welcome-logo.bmp     164 x 276  bitmap 5025: the welcome page's logo for 8-bit displays
  welcome-logo.jpg     164 x 276  the same logo as JPEG, the welcome page's own picture
  check-mark.bmp        16 x 16   bitmap 5027: a finished step, on silver
  step-arrow.bmp        16 x 16   bitmap 5028: the current step, on silver

All bitmaps are 8-bit palette bitmaps, rows bottom-up, as Windows stores them. The handheld
pictures share one palette, so a screen laid over a handheld keeps its colours exactly, and
their corners are the background colour, silver, which pages drawing them transparently take
from the bottom-left pixel. The display glass is a 114-pixel square in both families and the
screens are drawn on the glass colour, so the blank screen (filled with the colour found at
origin + 112, 112) is glass in both.

Usage: make_pictures.py OUTPUT_FOLDER [--cjpeg PATH]
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import font5x7  # noqa: E402

# ---- colours

SILVER = (192, 192, 192)  # background and transparent colour of every picture

HANDHELD_COLOURS = {
    "background": SILVER,
    "outline": (28, 30, 36),
    "glass": (178, 196, 170),        # the display, lit
    "ink": (24, 36, 28),             # what the display shows
    "ink_soft": (104, 124, 100),     # grey shades of the display
    "bezel": (44, 48, 56),
    "bezel_edge": (72, 78, 90),
    "silk": (58, 62, 70),            # the Graffiti area
    "silk_ink": (196, 204, 214),     # its printed icons
    "button": (96, 104, 118),
    "button_light": (150, 158, 172),
    "button_dark": (52, 56, 64),
    # Device type 4: a slim metal case.
    "metal_dark": (106, 120, 140),
    "metal": (150, 164, 184),
    "metal_light": (196, 208, 224),
    "metal_shine": (226, 234, 244),
    # Every other device type: a graphite case.
    "graphite_dark": (46, 50, 58),
    "graphite": (74, 80, 92),
    "graphite_light": (110, 118, 132),
    "graphite_shine": (150, 158, 172),
    "brand": (232, 236, 240),
    "led": (70, 190, 90),
}


class Picture:
    """An 8-bit palette picture: a palette of named colours and one index per pixel."""

    def __init__(self, width, height, colours, fill):
        self.width = width
        self.height = height
        self.names = {}
        self.palette = []
        for name, rgb in colours.items():
            self.add_colour(name, rgb)
        self.pixels = bytearray([self.names[fill]]) * (width * height)

    def add_colour(self, name, rgb):
        if name not in self.names:
            assert len(self.palette) < 256, "palette full"
            self.names[name] = len(self.palette)
            self.palette.append(tuple(rgb))
        return self.names[name]

    def index(self, colour):
        return colour if isinstance(colour, int) else self.names[colour]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = self.index(colour)

    def get(self, x, y):
        return self.pixels[y * self.width + x]

    def fill_rect(self, x0, y0, x1, y1, colour):
        """Pixels x0..x1-1, y0..y1-1."""
        c = self.index(colour)
        for y in range(max(0, y0), min(self.height, y1)):
            row = y * self.width
            for x in range(max(0, x0), min(self.width, x1)):
                self.pixels[row + x] = c

    def frame_rect(self, x0, y0, x1, y1, colour):
        self.fill_rect(x0, y0, x1, y0 + 1, colour)
        self.fill_rect(x0, y1 - 1, x1, y1, colour)
        self.fill_rect(x0, y0, x0 + 1, y1, colour)
        self.fill_rect(x1 - 1, y0, x1, y1, colour)

    def round_rect(self, x0, y0, x1, y1, radius, colour):
        """A filled rectangle whose corners are quarter circles of `radius`."""
        for y in range(y0, y1):
            inset = 0
            dy = None
            if y < y0 + radius:
                dy = y0 + radius - y - 0.5
            elif y >= y1 - radius:
                dy = y - (y1 - radius) + 0.5
            if dy is not None:
                dx = (radius * radius - dy * dy) ** 0.5 if dy < radius else 0
                inset = int(round(radius - dx))
            self.fill_rect(x0 + inset, y, x1 - inset, y + 1, colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        """A filled ellipse centred on the pixel edge point (cx, cy)."""
        for y in range(int(cy - ry), int(cy + ry) + 1):
            for x in range(int(cx - rx), int(cx + rx) + 1):
                dx = (x + 0.5 - cx) / rx
                dy = (y + 0.5 - cy) / ry
                if dx * dx + dy * dy <= 1.0:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r_out, r_in, colour):
        for y in range(int(cy - r_out), int(cy + r_out) + 1):
            for x in range(int(cx - r_out), int(cx + r_out) + 1):
                d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
                if r_in <= d <= r_out:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        """Bresenham, both ends drawn; a wider line is a square brush along it."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            for oy in range(width):
                for ox in range(width):
                    self.put(x0 + ox, y0 + oy, colour)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

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

    def text(self, x, y, text, colour, scale=1):
        for ch in text:
            glyph = font5x7.GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, cell in enumerate(row):
                    if cell == "#":
                        self.fill_rect(x + gx * scale, y + gy * scale,
                                       x + (gx + 1) * scale, y + (gy + 1) * scale, colour)
            x += font5x7.ADVANCE * scale

    def centred_text(self, cx, y, text, colour, scale=1):
        self.text(cx - font5x7.text_width(text, scale) // 2, y, text, colour, scale)

    def paste(self, x0, y0, other):
        """Another picture of the same palette, its top-left corner at (x0, y0)."""
        assert other.palette[: len(self.palette)] == self.palette[: len(other.palette)]
        for y in range(other.height):
            for x in range(other.width):
                self.put(x0 + x, y0 + y, other.get(x, y))

    def rgb(self):
        out = bytearray()
        for i in self.pixels:
            out += bytes(self.palette[i])
        return bytes(out)


# ---- files

def write_bmp(path, picture):
    """An 8-bit palette BMP: file header, information header, the colours used, rows
    bottom-up, each padded to 4 bytes."""
    stride = (picture.width + 3) & ~3
    rows = bytearray()
    for y in range(picture.height - 1, -1, -1):
        start = y * picture.width
        rows += picture.pixels[start:start + picture.width]
        rows += bytes(stride - picture.width)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in picture.palette)
    info = struct.pack("<IiiHHIIiiII", 40, picture.width, picture.height, 1, 8, 0, len(rows),
                       3780, 3780, len(picture.palette), len(picture.palette))
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + rows)


def write_jpeg(path, picture, cjpeg):
    ppm = path + ".ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (picture.width, picture.height))
        f.write(picture.rgb())
    try:
        subprocess.run([cjpeg, "-quality", "92", "-outfile", path, ppm], check=True)
    finally:
        os.remove(ppm)


# ---- the handheld's screens

def screen(side):
    """A blank display of `side` pixels in the handheld palette."""
    return Picture(side, side, HANDHELD_COLOURS, "glass")


def title_bar(p, title):
    """A form title as the handheld's system draws it: a dark tab with light text and a
    rule under it across the display."""
    width = font5x7.text_width(title) + 8
    p.round_rect(1, 1, 1 + width, 12, 2, "ink")
    p.fill_rect(1, 6, 3, 12, "ink")
    p.text(5, 3, title, "glass")
    p.fill_rect(1, 11, p.width - 1, 13, "ink")


def button(p, x, y, label):
    w = font5x7.text_width(label) + 10
    p.round_rect(x, y, x + w, y + 13, 4, "ink")
    p.round_rect(x + 1, y + 1, x + w - 1, y + 12, 3, "glass")
    p.text(x + 5, y + 3, label, "ink")


def lines(p, y, rows, x=4):
    for row in rows:
        p.text(x, y, row, "ink")
        y += 10
    return y


def first_setup_screen(side):
    p = screen(side)
    title_bar(p, "WELCOME")
    lines(p, 18, ["TAP THE TARGET", "WITH THE STYLUS", "TO SET UP YOUR", "HANDHELD."])
    # The target to tap: rings round a cross.
    cx, cy = side // 2 + 0.5, 72.5
    p.ring(cx, cy, 9, 7.6, "ink")
    p.ring(cx, cy, 4.5, 3.2, "ink")
    p.fill_rect(int(cx) - 12, int(cy), int(cx) + 13, int(cy) + 1, "ink")
    p.fill_rect(int(cx), int(cy) - 12, int(cx) + 1, int(cy) + 13, "ink")
    button(p, 4, side - 18, "NEXT")
    return p


def loader_screen(side):
    p = screen(side)
    title_bar(p, "BOOTLET")
    lines(p, 18, ["SERIAL LOADER", "READY.", "", "WAITING FOR", "THE DESKTOP..."])
    # A cradle's cable: the handheld's port, a line of dots, the desktop's plug.
    y = side - 22
    p.fill_rect(6, y - 5, 20, y + 7, "ink")
    p.fill_rect(8, y - 3, 18, y + 5, "glass")
    p.fill_rect(11, y, 15, y + 2, "ink")
    for x in range(24, side - 26, 5):
        p.fill_rect(x, y, x + 2, y + 2, "ink_soft")
    p.fill_rect(side - 22, y - 6, side - 6, y + 8, "ink")
    p.fill_rect(side - 20, y - 4, side - 8, y + 6, "glass")
    p.fill_rect(side - 17, y - 1, side - 11, y + 3, "ink")
    # Arrows both ways over the line.
    mid = side // 2
    p.polygon([(mid - 14, y - 6), (mid - 8, y - 10), (mid - 8, y - 2)], "ink")
    p.polygon([(mid + 14, y - 6), (mid + 8, y - 10), (mid + 8, y - 2)], "ink")
    p.fill_rect(mid - 8, y - 7, mid + 8, y - 5, "ink")
    return p


def reset_prompt_screen(side):
    p = screen(side)
    title_bar(p, "HOTSYNC")
    lines(p, 18, ["PLEASE RESET", "YOUR HANDHELD", "WITH THE RESET", "BUTTON ON", "THE BACK."])
    # The back of the handheld with its reset hole, and a paper clip's end pushed into it.
    x0, y0 = side - 48, side - 32
    p.round_rect(x0, y0, x0 + 40, y0 + 28, 5, "ink")
    p.round_rect(x0 + 2, y0 + 2, x0 + 38, y0 + 26, 4, "ink_soft")
    p.ellipse(x0 + 28.5, y0 + 14.5, 3, 3, "ink")
    p.line(x0 + 28, y0 + 14, x0 - 14, y0 + 4, "ink", 2)
    p.line(x0 - 14, y0 + 4, x0 - 20, y0 + 8, "ink", 2)
    p.line(x0 - 20, y0 + 8, x0 - 4, y0 + 14, "ink", 2)
    button(p, 4, side - 18, "OK")
    return p


# ---- the handheld

GLASS = 114  # the display's glass; family 4 shows 112 pixels of screen on it


def handheld(width, height, origin, screen_side, case, layout):
    """The front of a handheld: case, bezel, display (the first setup screen), Graffiti
    area and the row of buttons."""
    p = Picture(width, height, HANDHELD_COLOURS, "background")
    dark, mid, light, shine = (case + "_dark", case, case + "_light", case + "_shine")
    ox, oy = origin
    left, top, right, bottom = layout["case"]
    radius = layout["radius"]
    # Case with a lit left edge and a shaded right edge, outlined.
    p.round_rect(left, top, right, bottom, radius, "outline")
    p.round_rect(left + 1, top + 1, right - 1, bottom - 1, radius - 1, dark)
    p.round_rect(left + 2, top + 1, right - 4, bottom - 3, radius - 2, mid)
    p.round_rect(left + 3, top + 2, left + 10, bottom - 8, 3, light)
    p.fill_rect(left + 4, top + radius, left + 6, bottom - radius, shine)
    # Bezel round the glass.
    b = layout["bezel"]
    p.round_rect(ox - b, oy - b, ox + GLASS + b, oy + GLASS + b, 5, "bezel_edge")
    p.round_rect(ox - b + 1, oy - b + 1, ox + GLASS + b - 1, oy + GLASS + b - 1, 4, "bezel")
    p.fill_rect(ox - 1, oy - 1, ox + GLASS + 1, oy + GLASS + 1, "outline")
    p.fill_rect(ox, oy, ox + GLASS, oy + GLASS, "glass")
    p.paste(ox, oy, first_setup_screen(screen_side))
    # Brand under the display, and the power light.
    brand_y = oy + GLASS + b + 3
    p.centred_text((left + right) // 2, brand_y, "HALVEX", "brand")
    p.ellipse(right - 16.5, brand_y + 3.5, 2, 2, "led")
    # Graffiti area: application and menu icons at the sides, letter and number boxes.
    gx0, gy0, gx1, gy1 = layout["graffiti"]
    p.round_rect(gx0, gy0, gx1, gy1, 4, "silk")
    for i, cy in enumerate((gy0 + 9, gy1 - 9)):
        p.ring(gx0 + 9.5, cy + 0.5, 5, 3.8, "silk_ink")
        p.ring(gx1 - 9.5, cy + 0.5, 5, 3.8, "silk_ink")
        if i == 0:
            p.fill_rect(gx0 + 8, cy - 1, gx0 + 12, cy + 3, "silk_ink")  # home
            p.fill_rect(gx1 - 12, cy, gx1 - 7, cy + 1, "silk_ink")      # calculator
            p.fill_rect(gx1 - 10, cy - 2, gx1 - 9, cy + 3, "silk_ink")
        else:
            p.fill_rect(gx0 + 7, cy - 1, gx0 + 13, cy, "silk_ink")      # menu
            p.fill_rect(gx0 + 7, cy + 1, gx0 + 13, cy + 2, "silk_ink")
            p.ring(gx1 - 10, cy, 2.6, 1.4, "silk_ink")                  # find
    split = (gx0 + gx1) // 2 + 10
    p.frame_rect(gx0 + 20, gy0 + 4, split, gy1 - 4, "silk_ink")
    p.frame_rect(split + 2, gy0 + 4, gx1 - 20, gy1 - 4, "silk_ink")
    p.fill_rect(gx0 + 22, gy1 - 8, gx0 + 26, gy1 - 7, "silk_ink")  # "abc" and "123" marks
    p.fill_rect(gx1 - 26, gy1 - 8, gx1 - 22, gy1 - 7, "silk_ink")
    # Buttons: two application buttons each side, the scroll rocker between them.
    by = layout["buttons_y"]
    cx = (left + right) / 2
    for dx in (-52, -32, 32, 52):
        p.ellipse(cx + dx, by + 1, 8, 7, "button_dark")
        p.ellipse(cx + dx, by, 8, 7, "button")
        p.ellipse(cx + dx - 1.5, by - 2, 4, 3, "button_light")
    p.ellipse(cx, by + 1, 13, 9, "button_dark")
    p.ellipse(cx, by, 13, 9, "button")
    p.fill_rect(int(cx) - 10, int(by), int(cx) + 10, int(by) + 1, "button_dark")
    p.polygon([(cx - 3, by - 3), (cx + 3, by - 3), (cx, by - 6)], "button_light")
    p.polygon([(cx - 3, by + 3), (cx + 3, by + 3), (cx, by + 6)], "button_light")
    return p


FAMILY_TYPE4 = dict(
    size=(165, 234), origin=(25, 25), screen=112, case="metal",
    layout=dict(case=(5, 2, 160, 232), radius=16, bezel=7, graffiti=(14, 160, 151, 198),
                buttons_y=214))

FAMILY_OTHER = dict(
    size=(165, 246), origin=(28, 32), screen=114, case="graphite",
    layout=dict(case=(4, 3, 161, 244), radius=12, bezel=9, graffiti=(14, 176, 151, 214),
                buttons_y=228))


# ---- the welcome page's pictures

def welcome_logo():
    """A kestrel in flight over the kit's name, on an evening sky."""
    width, height = 164, 276
    colours = {"frame": (20, 40, 52)}
    steps = 48
    for i in range(steps):
        t = i / (steps - 1)
        colours["sky%d" % i] = (int(18 + 70 * t), int(78 + 96 * t), int(102 + 104 * t))
    colours.update({
        "bird": (40, 30, 26), "bird_light": (168, 96, 52), "bird_belly": (214, 168, 112),
        "text": (250, 250, 246), "text_shadow": (14, 44, 58), "sun": (250, 214, 120),
        "sun_glow": (236, 190, 120), "hill": (24, 64, 72), "hill_far": (44, 96, 108),
        "handheld": (200, 208, 220), "handheld_screen": (178, 196, 170),
    })
    p = Picture(width, height, colours, "sky0")
    for y in range(height):
        p.fill_rect(0, y, width, y + 1, "sky%d" % min(steps - 1, y * steps // height))
    p.ellipse(118, 196, 26, 26, "sun_glow")
    p.ellipse(118, 196, 21, 21, "sun")
    # Hills in front of the sun.
    p.polygon([(0, 214), (40, 200), (90, 208), (140, 196), (164, 202), (164, 276), (0, 276)],
              "hill_far")
    p.polygon([(0, 236), (50, 222), (110, 232), (164, 220), (164, 276), (0, 276)], "hill")
    # The kestrel, hovering: swept wings, fanned tail.
    cx, cy = 82, 118
    p.polygon([(cx, cy - 8), (cx - 64, cy - 30), (cx - 40, cy - 14), (cx - 70, cy - 6),
               (cx - 12, cy + 4)], "bird")
    p.polygon([(cx, cy - 8), (cx + 64, cy - 30), (cx + 40, cy - 14), (cx + 70, cy - 6),
               (cx + 12, cy + 4)], "bird")
    p.polygon([(cx - 30, cy - 18), (cx - 6, cy - 8), (cx - 10, cy), (cx - 34, cy - 10)],
              "bird_light")
    p.polygon([(cx + 30, cy - 18), (cx + 6, cy - 8), (cx + 10, cy), (cx + 34, cy - 10)],
              "bird_light")
    p.ellipse(cx, cy, 8, 15, "bird_light")
    p.ellipse(cx, cy + 2, 5, 10, "bird_belly")
    p.polygon([(cx - 6, cy + 12), (cx + 6, cy + 12), (cx + 12, cy + 34), (cx - 12, cy + 34)],
              "bird_light")
    p.fill_rect(cx - 12, cy + 32, cx + 12, cy + 34, "bird")
    p.ellipse(cx, cy - 16, 6, 6, "bird_light")
    p.put(cx - 2, cy - 17, "bird")
    p.put(cx + 2, cy - 17, "bird")
    # The kit's name, with a shadow.
    for dx, dy, colour in ((2, 2, "text_shadow"), (0, 0, "text")):
        p.centred_text(width // 2 + dx, 22 + dy, "KESTREL", colour, 3)
        p.centred_text(width // 2 + dx, 50 + dy, "OS UPDATE KIT", colour)
    # A handheld on the hill, the thing being updated.
    p.round_rect(20, 236, 44, 268, 4, "handheld")
    p.fill_rect(24, 240, 40, 254, "handheld_screen")
    p.frame_rect(0, 0, width, height, "frame")
    return p


def check_mark():
    p = Picture(16, 16, {"silver": SILVER, "dark": (0, 64, 0), "green": (0, 160, 0)}, "silver")
    tick = [(2, 8), (6, 12), (13, 3)]
    for (xa, ya), (xb, yb) in zip(tick, tick[1:]):
        p.line(xa, ya, xb, yb, "dark", 3)
    for (xa, ya), (xb, yb) in zip(tick, tick[1:]):
        p.line(xa + 1, ya, xb + 1, yb, "green", 1)
    return p


def step_arrow():
    p = Picture(16, 16, {"silver": SILVER, "dark": (96, 0, 0), "red": (220, 32, 24)}, "silver")
    outline = [(1, 5), (8, 5), (8, 1), (15, 8), (8, 15), (8, 11), (1, 11)]
    p.polygon(outline, "dark")
    p.polygon([(2, 6), (9, 6), (9, 3.5), (13.5, 8), (9, 12.5), (9, 10), (2, 10)], "red")
    return p


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--cjpeg", default=shutil.which("cjpeg"),
                        help="libjpeg's cjpeg (Debian package libjpeg-turbo-progs)")
    args = parser.parse_args()
    if not args.cjpeg:
        sys.exit("make_pictures.py: cjpeg not found; install libjpeg-turbo-progs "
                 "(scripts/setup.sh)")
    for ch, glyph in font5x7.GLYPHS.items():
        assert len(glyph) == font5x7.HEIGHT and all(len(r) == font5x7.WIDTH for r in glyph), ch
    os.makedirs(args.output, exist_ok=True)
    out = lambda name: os.path.join(args.output, name)  # noqa: E731

    for family, suffix in ((FAMILY_TYPE4, "type4"), (FAMILY_OTHER, "other")):
        side = family["screen"]
        write_bmp(out("handheld-%s.bmp" % suffix),
                  handheld(*family["size"], family["origin"], side, family["case"],
                           family["layout"]))
        write_bmp(out("loader-%s.bmp" % suffix), loader_screen(side))
        write_bmp(out("reset-%s.bmp" % suffix), reset_prompt_screen(side))
    logo = welcome_logo()
    write_bmp(out("welcome-logo.bmp"), logo)
    write_jpeg(out("welcome-logo.jpg"), logo, args.cjpeg)
    write_bmp(out("check-mark.bmp"), check_mark())
    write_bmp(out("step-arrow.bmp"), step_arrow())


if __name__ == "__main__":
    main()
