#!/usr/bin/python3
"""Writes md5_expected.txt: hashlib's MD5 of the test pattern (byte i = (i * 31 + 7) mod 256) for
every length from 0 to 300 and for 3 MiB + 17 bytes, one "length digest" line each."""
import hashlib


def pattern(n):
    return bytes((i * 31 + 7) % 256 for i in range(n))


with open("md5_expected.txt", "w") as out:
    for n in list(range(301)) + [3 * 1024 * 1024 + 17]:
        out.write("%d %s\n" % (n, hashlib.md5(pattern(n)).hexdigest()))
