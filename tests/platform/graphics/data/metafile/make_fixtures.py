#!/usr/bin/env python3
"""Writes mapped.emf and mapped.wmf from the published record layouts of the two metafile forms.

Both are 100 x 75 pixels at 96 dpi drawn in logical units ten times smaller (window 1000 x 750):
  a red rectangle (100, 100)-(400, 300) without outline,
  a blue poly-polygon: the square (500, 100)-(900, 400) with the hole (600, 200)-(800, 300),
  a 2 x 2 bitmap stretched over (500, 450)-(900, 700): yellow, cyan above magenta, grey,
  and in the EMF only a green Bezier curve 40 units wide from (100, 600) over (100, 450) and
  (400, 450) to (400, 600).
White pixels at (0, 0) and (990, 740) mark the picture's extent for readers that crop to the
drawing. The EMF maps through MM_ANISOTROPIC with a viewport of 100 x 75 device pixels; the WMF maps its
window onto the placeable bounding box (0, 0)-(1000, 750) at 960 units per inch.
"""
import struct

RED, BLUE, GREEN = 0x0000FF, 0xFF0000, 0x00FF00  # COLORREF: 0x00BBGGRR


def dib_2x2():
    # bottom-up rows of 24-bit pixels (blue, green, red), each padded to 4 bytes
    bottom = bytes((255, 0, 255, 128, 128, 128)) + b"\0\0"  # magenta, grey
    top = bytes((0, 255, 255, 255, 255, 0)) + b"\0\0"  # yellow, cyan
    header = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, len(bottom + top), 0, 0, 0, 0)
    return header, bottom + top


def emf():
    records = []

    def rec(kind, payload):
        records.append(struct.pack("<II", kind, 8 + len(payload)) + payload)

    rec(17, struct.pack("<I", 8))  # SETMAPMODE MM_ANISOTROPIC
    rec(9, struct.pack("<ii", 1000, 750))  # SETWINDOWEXTEX
    rec(11, struct.pack("<ii", 100, 75))  # SETVIEWPORTEXTEX
    rec(15, struct.pack("<iiI", 0, 0, 0xFFFFFF))  # SETPIXELV: white corners mark the picture's extent
    rec(15, struct.pack("<iiI", 990, 740, 0xFFFFFF))
    rec(39, struct.pack("<IIII", 1, 0, RED, 0))  # CREATEBRUSHINDIRECT
    rec(37, struct.pack("<I", 1))  # SELECTOBJECT
    rec(37, struct.pack("<I", 0x80000008))  # SELECTOBJECT NULL_PEN
    rec(43, struct.pack("<iiii", 100, 100, 400, 300))  # RECTANGLE
    rec(39, struct.pack("<IIII", 2, 0, BLUE, 0))
    rec(37, struct.pack("<I", 2))
    outer = [(500, 100), (900, 100), (900, 400), (500, 400)]
    inner = [(600, 200), (800, 200), (800, 300), (600, 300)]
    pts = b"".join(struct.pack("<hh", x, y) for x, y in outer + inner)
    rec(91, struct.pack("<iiiiIIII", 500, 100, 900, 400, 2, 8, 4, 4) + pts)  # POLYPOLYGON16
    rec(38, struct.pack("<IIiiI", 3, 0, 40, 0, GREEN))  # CREATEPEN
    rec(37, struct.pack("<I", 3))
    rec(37, struct.pack("<I", 0x80000005))  # NULL_BRUSH
    curve = [(100, 600), (100, 450), (400, 450), (400, 600)]
    rec(85, struct.pack("<iiiiI", 100, 450, 400, 600, 4) + b"".join(struct.pack("<hh", x, y) for x, y in curve))
    header, bits = dib_2x2()
    off = 8 + 72
    rec(81, struct.pack("<iiiiiiiiiiIIIIIIii", 500, 450, 900, 700, 500, 450, 0, 0, 2, 2, off, len(header),
                        off + len(header), len(bits), 0, 0x00CC0020, 400, 250) + header + bits)  # STRETCHDIBITS
    rec(14, struct.pack("<III", 0, 16, 20))  # EOF
    body = b"".join(records)
    size = 108 + len(body)
    head = struct.pack("<II", 1, 108) + struct.pack("<iiii", 0, 0, 99, 74) + struct.pack("<iiii", 0, 0, 2645, 1983)
    head += struct.pack("<IIIIHHIIIiiii", 0x464D4520, 0x10000, size, len(records) + 1, 4, 0, 0, 0, 0, 960, 960, 254,
                        254)
    head += struct.pack("<III", 0, 0, 0) + struct.pack("<ii", 254000, 254000)
    assert len(head) == 108
    return head + body


def wmf():
    records = []

    def rec(function, words=b""):
        records.append(struct.pack("<IH", 3 + len(words) // 2, function) + words)

    rec(0x020B, struct.pack("<hh", 0, 0))  # SETWINDOWORG (y, x)
    rec(0x020C, struct.pack("<hh", 750, 1000))  # SETWINDOWEXT (y, x)
    rec(0x041F, struct.pack("<Ihh", 0xFFFFFF, 0, 0))  # SETPIXEL (colour, y, x): white corners mark the extent
    rec(0x041F, struct.pack("<Ihh", 0xFFFFFF, 740, 990))
    rec(0x02FC, struct.pack("<HIH", 0, RED, 0))  # CREATEBRUSHINDIRECT -> slot 0
    rec(0x012D, struct.pack("<H", 0))
    rec(0x02FA, struct.pack("<HhhI", 5, 0, 0, 0))  # CREATEPENINDIRECT PS_NULL -> slot 1
    rec(0x012D, struct.pack("<H", 1))
    rec(0x041B, struct.pack("<hhhh", 300, 400, 100, 100))  # RECTANGLE (bottom, right, top, left)
    rec(0x02FC, struct.pack("<HIH", 0, BLUE, 0))  # slot 2
    rec(0x012D, struct.pack("<H", 2))
    outer = [(500, 100), (900, 100), (900, 400), (500, 400)]
    inner = [(600, 200), (800, 200), (800, 300), (600, 300)]
    rec(0x0538, struct.pack("<HHH", 2, 4, 4) + b"".join(struct.pack("<hh", x, y) for x, y in outer + inner))
    header, bits = dib_2x2()
    # STRETCHDIB: rop, usage, srcHeight, srcWidth, ySrc, xSrc, destHeight, destWidth, yDest, xDest, DIB
    rec(0x0F43, struct.pack("<IHhhhhhhhh", 0x00CC0020, 0, 2, 2, 0, 0, 250, 400, 450, 500) + header + bits)
    rec(0x0000)
    body = b"".join(records)
    meta = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(body)) // 2, 3, max(len(r) for r in records) // 2, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 1000, 750, 960, 0)
    checksum = 0
    for i in range(10):
        checksum ^= struct.unpack_from("<H", placeable, i * 2)[0]
    return placeable + struct.pack("<H", checksum) + meta + body


if __name__ == "__main__":
    open("mapped.emf", "wb").write(emf())
    open("mapped.wmf", "wb").write(wmf())
