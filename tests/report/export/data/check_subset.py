#!/usr/bin/python3
"""Checks a subset made by the TrueType subsetter against its source face with fontTools.

usage: check_subset.py SOURCE FACE_INDEX SUBSET KEPT_IDS (comma-separated glyph ids)
Prints "OK", or one line per fault found.
"""
import struct
import sys
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont

source_path, face, subset_path, kept = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
kept = {int(g) for g in kept.split(",") if g}
faults = []
src = TTFont(source_path, fontNumber=face)
sub = TTFont(subset_path, checkChecksums=2)  # every table checksum must agree
for tag in sub.keys():
    sub[tag]  # every table decompiles

raw = open(subset_path, "rb").read()
if len(raw) % 4 or sum(struct.unpack(">%dI" % (len(raw) // 4), raw)) % 2**32 != 0xB1B0AFBA:
    faults.append("file checksum is not B1B0AFBA")
num_tables = struct.unpack(">H", raw[4:6])[0]
tags = [raw[12 + 16 * i:16 + 16 * i] for i in range(num_tables)]
if tags != sorted(tags):
    faults.append("directory not sorted by tag")
sr, es, rs = struct.unpack(">HHH", raw[6:12])
if sr != 16 * 2 ** es or 2 ** es > num_tables or 2 ** (es + 1) <= num_tables or rs != 16 * num_tables - sr:
    faults.append("searchRange/entrySelector/rangeShift wrong")
post = sub.reader["post"]
if len(post) != 32 or post[:4] != b"\0\3\0\0":
    faults.append("post is not a 32-byte version 3.0 table")
for tag in ("EBLC", "EBDT", "hdmx", "VDMX", "DSIG"):
    if tag in sub.reader:
        faults.append(tag + " kept")
for tag in src.reader.keys():
    if tag in ("EBLC", "EBDT", "hdmx", "VDMX", "DSIG"):
        continue
    if tag not in sub.reader:
        faults.append(tag + " missing")
    elif tag not in ("glyf", "loca", "post", "head") and sub.reader[tag] != src.reader[tag]:
        faults.append(tag + " not copied byte for byte")

if sub["maxp"].numGlyphs != src["maxp"].numGlyphs:
    faults.append("numGlyphs changed")
order = src.getGlyphOrder()
src_set, sub_set = src.getGlyphSet(), sub.getGlyphSet()
for gid, name in enumerate(order):
    glyph = sub["glyf"][sub.getGlyphName(gid)]
    if gid in kept:
        a, b = DecomposingRecordingPen(src_set), DecomposingRecordingPen(sub_set)
        src_set[name].draw(a)
        sub_set[sub.getGlyphName(gid)].draw(b)
        if a.value != b.value:
            faults.append("glyph %d drawn differently" % gid)
        if sub["hmtx"][sub.getGlyphName(gid)] != src["hmtx"][name]:
            faults.append("glyph %d metrics differ" % gid)
    elif glyph.numberOfContours != 0:
        faults.append("glyph %d not empty" % gid)
print("\n".join(faults) if faults else "OK")
