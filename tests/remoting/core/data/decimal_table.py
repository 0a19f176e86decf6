#!/usr/bin/env python3
"""Writes decimal_table.txt: decimal texts and what StrToDecimalValue (separator ".") makes of
them, computed with Python's decimal module.

Each row is the text, a tab, then either "lo mid hi scale sign text" (the three 32-bit words
of the 96-bit integer, the scale, 1 for negative, and the value written back), "overflow" or
"error". Rules: blanks are ignored; one leading sign, digits and at most one "." are allowed,
with at least one digit; at most 29 significant digits are kept (a leading "." counts as one),
more integer digits overflow, further fraction digits round half down; a fraction digit that
would carry the integer past 2^96 - 1 is rounded away instead; a result past 2^96 - 1 overflows.
"""
import decimal
import re
import sys
from pathlib import Path

MAX = 2**96 - 1
CASES = [
    "0", "-0012.50", "12345.678", "0.005", "-0.00", ".5", "5.", "+7", "  12 ", "1 234",
    "1234567890123456789012345678.95", "1234567890123456789012345678.951",
    "1234567890123456789012345678.96", "79228162514264337593543950335",
    "-79228162514264337593543950335", "79228162514264337593543950336",
    "123456789012345678901234567890", "79228162514264337593543950335.4",
    "79228162514264337593543950335.6", "7.9228162514264337593543950336",
    "7.9228162514264337593543950335", ".1234567890123456789012345678951",
    "0.0000000000000000000000000001", "0.00000000000000000000000000005",
    "0.00000000000000000000000000006", "000000000000000000000000000000000001.5",
    "1.2.3", "abc", "12-3", "-", "", ".", "--1", "1e5", "+-1", "1,5",
]


def expected(text):
    body = text.replace(" ", "").replace("\t", "")
    if not re.fullmatch(r"[+-]?(\d+\.?\d*|\.\d+)", body):
        return "error"
    negative = body.startswith("-")
    body = body.lstrip("+-")
    int_part, _, frac_part = body.partition(".")
    int_digits = int_part.lstrip("0")
    if len(int_digits) > 29 or int(int_digits or "0") > MAX:
        return "overflow"
    if int_digits:
        scale = min(len(frac_part), 29 - len(int_digits))
    else:
        scale = min(len(frac_part), 28)
    value = decimal.Decimal(int_part + "." + frac_part if frac_part else int_part or "0")
    ctx = decimal.Context(prec=100, rounding=decimal.ROUND_HALF_DOWN)

    def scaled(s):
        return int(value.quantize(decimal.Decimal(1).scaleb(-s), context=ctx).scaleb(s, context=ctx))

    # The digits kept before rounding must fit; otherwise the last of them becomes the rounding digit.
    truncated = int(value.scaleb(scale, context=ctx).to_integral_value(rounding=decimal.ROUND_DOWN))
    if truncated > MAX:
        scale -= 1
    n = scaled(scale)
    if n > MAX:
        return "overflow"
    digits = str(n).rjust(scale + 1, "0")
    written = digits[:-scale] + "." + digits[-scale:] if scale else digits
    if negative:
        written = "-" + written
    return f"{n & 0xFFFFFFFF} {(n >> 32) & 0xFFFFFFFF} {n >> 64} {scale} {int(negative)} {written}"


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("decimal_table.txt")
    with out.open("w") as f:
        for text in CASES:
            f.write(f"{text}\t{expected(text)}\n")


if __name__ == "__main__":
    main()
