#!/usr/bin/env python3
"""Writes the icon fixtures of the metafile and icon format tests from the published icon layout.

source.png    48 x 48 RGBA: four opaque quadrants (red, green, blue, yellow) with a transparent
              4-pixel border; `convert source.png -define icon:auto-resize=16,32,48 multi.ico`
              made multi.ico from it.
dib1.ico, dib4.ico, dib8.ico
              one 10 x 6 device-independent entry of 1, 4 and 8 bits per pixel: pixel (x, y) has
              palette index (x + y) % colours, and the AND mask makes the two left columns
              transparent.
png.ico       one PNG entry of 12 x 12: left half opaque red, right half transparent.
"""
import struct
import zlib


def png(width, height, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def quadrants(x, y):
    if x < 4 or y < 4 or x >= 44 or y >= 44:
        return (0, 0, 0, 0)
    return [(255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 0, 255)][(x >= 24) + 2 * (y >= 24)]


PALETTE = [(0, 0, 0), (255, 255, 255), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255),
           (255, 0, 255), (128, 0, 0), (0, 128, 0), (0, 0, 128), (128, 128, 0), (0, 128, 128), (128, 0, 128),
           (192, 192, 192), (128, 128, 128)]


def row_bytes(width, bits):
    return (width * bits + 31) // 32 * 4


def dib_entry(bits, width=10, height=6):
    colours = 1 << bits
    palette = [PALETTE[i % 16] if i < 16 else (i, 255 - i, (i * 7) % 256) for i in range(colours)]
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, colours, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    xor = b""
    for y in reversed(range(height)):  # bottom-up
        acc, nbits, row = 0, 0, bytearray()
        for x in range(width):
            acc = (acc << bits) | ((x + y) % colours)
            nbits += bits
            if nbits == 8:
                row.append(acc)
                acc, nbits = 0, 0
        if nbits:
            row.append(acc << (8 - nbits))
        xor += bytes(row) + b"\0" * (row_bytes(width, bits) - len(row))
    mask = b""
    for y in reversed(range(height)):
        bits_row = [1 if x < 2 else 0 for x in range(width)]
        row = bytearray()
        for i in range(0, width, 8):
            v = 0
            for j in range(8):
                v = (v << 1) | (bits_row[i + j] if i + j < width else 0)
            row.append(v)
        mask += bytes(row) + b"\0" * (row_bytes(width, 1) - len(row))
    return header + pal + xor + mask, width, height, bits


def icon(entries):
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for data, w, h, bits in entries:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bits, len(data), offset + len(body))
        body += data
    return out + body


if __name__ == "__main__":
    open("source.png", "wb").write(png(48, 48, quadrants))
    for bits in (1, 4, 8):
        open(f"dib{bits}.ico", "wb").write(icon([dib_entry(bits)]))
    red_half = png(12, 12, lambda x, y: (255, 0, 0, 255) if x < 6 else (0, 0, 0, 0))
    open("png.ico", "wb").write(icon([(red_half, 12, 12, 32)]))
