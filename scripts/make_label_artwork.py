#!/usr/bin/env python3
"""Draws the label artwork of this project into labels/artwork/.

Every picture is this project's own, drawn here from simple shapes:
  logo_placeholder.png        neutral placeholder mark for the logo box of the wide labels
  logo_placeholder_small.png  the same mark for the narrow logo box of the parcel label
  limited_quantity.png        the limited-quantity marking: a square set on its corner, black
                              top and bottom, white band across the middle, black outline
  option_medical.bmp, option_pickup.bmp, option_predict.bmp
                              the option pictures of the label module (a cross, an arrow into
                              a tray, a clock)

Only the Python standard library is used (zlib for PNG). The output is deterministic, so running
the script again gives the committed bytes. Usage: scripts/make_label_artwork.py [output folder];
without a folder it writes labels/artwork/ and puts the PNG marks into the stored pictures of the
templates in labels/templates/.
"""

import math
import os
import struct
import sys
import zlib

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


class Image:
    def __init__(self, width, height, colour=WHITE):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def fill(self, inside, colour):
        """Sets every pixel whose centre satisfies inside(x, y)."""
        for y in range(self.height):
            row = self.pixels[y]
            for x in range(self.width):
                if inside(x + 0.5, y + 0.5):
                    row[x] = colour

    def rect(self, left, top, right, bottom, colour):
        self.fill(lambda x, y: left <= x < right and top <= y < bottom, colour)

    def frame(self, left, top, right, bottom, width, colour):
        self.fill(lambda x, y: left <= x < right and top <= y < bottom and not (
            left + width <= x < right - width and top + width <= y < bottom - width), colour)

    def png(self):
        """A one-bit greyscale PNG: the marks are black and white only, and a reader inflates an
        eighth of a byte a pixel instead of three bytes."""
        def row_bits(row):
            out = bytearray((self.width + 7) // 8)
            for x, p in enumerate(row):
                if p not in (BLACK, WHITE):
                    raise ValueError("a PNG mark is black and white only")
                if p == WHITE:
                    out[x // 8] |= 0x80 >> (x % 8)
            return bytes(out)

        raw = b"".join(b"\x00" + row_bits(row) for row in self.pixels)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        header = struct.pack(">IIBBBBB", self.width, self.height, 1, 0, 0, 0, 0)  # 1-bit greyscale
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))

    def bmp(self):
        stride = (self.width * 3 + 3) & ~3
        rows = []
        for row in reversed(self.pixels):  # bottom-up
            line = bytes(c for p in row for c in reversed(p))  # blue, green, red
            rows.append(line + b"\x00" * (stride - len(line)))
        data = b"".join(rows)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
        return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 14 + len(info)) + info + data


def placeholder(width, height):
    """A neutral mark: an outlined box holding three bars of falling length."""
    image = Image(width, height)
    line = max(2, height // 12)
    image.frame(0, 0, width, height, line, BLACK)
    inner = height - 4 * line
    bar = inner / 5
    for i, share in enumerate((0.7, 0.5, 0.3)):
        top = 2 * line + bar * (2 * i)
        image.rect(3 * line, top, 3 * line + (width - 6 * line) * share, top + bar, BLACK)
    return image


def limited_quantity(width, height):
    """The limited-quantity marking centred in a white picture of the logo box's proportions."""
    image = Image(width, height)
    cx, cy = width / 2, height / 2
    r = min(width, height) / 2 - 4  # half diagonal of the square on its corner
    outline = r * 0.035
    band = r * 0.42  # half height of the white band

    def inside(x, y):
        d = abs(x - cx) + abs(y - cy)
        if d > r:
            return False
        if d > r - outline * math.sqrt(2):
            return True  # outline
        return abs(y - cy) > band

    image.fill(inside, BLACK)
    return image


def option_medical(size):
    image = Image(size, size)
    arm = size * 0.18
    c = size / 2
    image.fill(lambda x, y: (abs(x - c) < arm and abs(y - c) < size * 0.4) or
               (abs(y - c) < arm and abs(x - c) < size * 0.4), BLACK)
    return image


def option_pickup(size):
    image = Image(size, size)
    c = size / 2
    # A tray at the bottom and an arrow pointing down into it.
    image.rect(size * 0.1, size * 0.8, size * 0.9, size * 0.88, BLACK)
    image.rect(size * 0.1, size * 0.6, size * 0.18, size * 0.88, BLACK)
    image.rect(size * 0.82, size * 0.6, size * 0.9, size * 0.88, BLACK)
    image.rect(c - size * 0.06, size * 0.1, c + size * 0.06, size * 0.5, BLACK)
    image.fill(lambda x, y: size * 0.45 <= y <= size * 0.72 and abs(x - c) <= (size * 0.72 - y) * 0.8, BLACK)
    return image


def option_predict(size):
    image = Image(size, size)
    c = size / 2
    r = size * 0.42
    ring = size * 0.07

    def inside(x, y):
        d = math.hypot(x - c, y - c)
        if r - ring <= d <= r:
            return True
        hour = abs(x - c) < size * 0.04 and c - r * 0.55 <= y <= c + size * 0.04  # hand to twelve
        minute = abs(y - c) < size * 0.04 and c - size * 0.04 <= x <= c + r * 0.7  # hand to three
        return hour or minute

    image.fill(inside, BLACK)
    return image


# Which artwork each stored picture of the templates holds: (template file, picture) -> file.
TEMPLATE_PICTURES = {
    ("geo_label.xml", "picDPD"): "logo_placeholder_small.png",
    ("limited_qty.xml", "picDPD"): "logo_placeholder.png",
    ("limited_qty.xml", "picLimitedQty"): "limited_quantity.png",
    ("swap.xml", "picDPD"): "logo_placeholder.png",
    ("receipt.xml", "picDPD"): "logo_placeholder.png",
    ("return.xml", "picDPD"): "logo_placeholder.png",
}


def picture_prop_data(png):
    """The stored form of a picture holding a PNG file: the property "Data" as a byte block of
    the graphic's class name and the file, written as hexadecimal text."""
    block = bytes([len(b"TPngImage")]) + b"TPngImage" + png
    data = bytes([4]) + b"Data" + bytes([0x0A]) + struct.pack("<I", len(block)) + block
    return data.hex().upper()


def update_templates(templates, files):
    """Puts the artwork into the templates' stored pictures."""
    for (template, picture), name in TEMPLATE_PICTURES.items():
        path = os.path.join(templates, template)
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        start = text.index('<TfrxPictureView Name="%s"' % picture)
        attribute = text.index('Picture.PropData="', start) + len('Picture.PropData="')
        end = text.index('"', attribute)
        text = text[:attribute] + picture_prop_data(files[name]) + text[end:]
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "labels", "artwork")
    os.makedirs(out, exist_ok=True)
    # Twice the resolution of the logo boxes (24.9 x 10.8 mm and 9.9 x 4.0 mm at 96 pixels per inch),
    # so the marks stay sharp on a 203 or 300 dpi label printer.
    files = {
        "logo_placeholder.png": placeholder(188, 82).png(),
        "logo_placeholder_small.png": placeholder(74, 30).png(),
        "limited_quantity.png": limited_quantity(371, 520).png(),
        "option_medical.bmp": option_medical(64).bmp(),
        "option_pickup.bmp": option_pickup(64).bmp(),
        "option_predict.bmp": option_predict(64).bmp(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    # Run on the project itself (no output folder given), the templates get the same pictures.
    if len(sys.argv) <= 1:
        update_templates(os.path.join(root, "labels", "templates"), files)


if __name__ == "__main__":
    main()
