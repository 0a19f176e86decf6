#!/usr/bin/python3
"""Predicts, from the font file's own advance widths, the width a one-line memo asks for.

Run once with /usr/bin/python3 (python3-fonttools); its output, memo_width_expected.txt, is
committed and compared by the memo tests. The layout measures at 600 pixels per inch: the em height
is round(size * 600 / 72) pixels and a character's advance is its hmtx advance scaled to that em,
rounded half to even. The text width in 96-dpi pixels is the sum of the advances divided by 6.25;
the memo adds its gaps (2 x GapX = 4, no frame lines) and rounds half to even.
"""
import os
from fractions import Fraction

from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONTS = os.path.join(HERE, "..", "..", "..", "..", "platform", "graphics", "fonts")

TEXT = "Paket Wr. 0123 4567 mix"
CASES = [  # (font file, bold flag, size in points)
    ("LiberationSansNarrow-Regular.ttf", 0, 16),
    ("LiberationSansNarrow-Regular.ttf", 0, 18),
    ("LiberationSansNarrow-Regular.ttf", 0, 22),
    ("LiberationSansNarrow-Bold.ttf", 1, 16),
    ("LiberationSansNarrow-Bold.ttf", 1, 18),
    ("LiberationSansNarrow-Bold.ttf", 1, 22),
]


def width(font_file, size, text):
    font = TTFont(os.path.join(FONTS, font_file))
    upem = font["head"].unitsPerEm
    cmap = font.getBestCmap()
    hmtx = font["hmtx"]
    em = round(Fraction(size * 600, 72))
    return sum(round(Fraction(hmtx[cmap[ord(c)]][0] * em, upem)) for c in text)


def main():
    out = []
    for font_file, bold, size in CASES:
        w600 = width(font_file, size, TEXT)
        memo = round(Fraction(w600) / Fraction(625, 100) + 4)
        out.append(f"{bold} {size} {memo}")
    with open(os.path.join(HERE, "memo_width_expected.txt"), "w") as f:
        f.write(TEXT + "\n" + "\n".join(out) + "\n")


if __name__ == "__main__":
    main()
