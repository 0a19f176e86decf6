#!/usr/bin/python3
"""Makes the font fixtures of the TrueType subsetter tests from the label faces with fontTools.

Each fixture is the label face cut down to a few glyphs (glyph ids kept, the others empty) so
that it stays small, then changed in one way:
  extra_tables.ttf  DSIG and hdmx added (both must be left out of a subset; cvt, fpgm, prep kept)
  os2_v5.ttf        OS/2 rewritten as version 5 (100 bytes)
  two_faces.ttc     regular and bold as a collection, family "Name", full names "Name Regular"
                    and "Name Bold"
Run from this folder: /usr/bin/python3 make_fixtures.py
"""
import os
from fontTools import subset
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.ttCollection import TTCollection

FONTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../../platform/graphics/fonts")
TEXT = "AEÈЀ ."


def cut(name):
    font = TTFont(os.path.join(FONTS, name))
    options = subset.Options()
    options.retain_gids = True
    options.hinting = True
    options.notdef_outline = True
    options.layout_features = []
    options.name_IDs = ["*"]
    options.drop_tables += ["FFTM", "GDEF", "GPOS", "GSUB", "kern"]
    sub = subset.Subsetter(options)
    sub.populate(text=TEXT)
    sub.subset(font)
    return font


def set_names(font, full):
    name = font["name"]
    name.names = [r for r in name.names if r.nameID not in (1, 4, 16, 17)]
    name.setName("Name", 1, 3, 1, 0x409)
    name.setName(full, 4, 3, 1, 0x409)


regular = cut("LiberationSansNarrow-Regular.ttf")
dsig = newTable("DSIG")
dsig.ulVersion, dsig.usFlag, dsig.usNumSigs, dsig.signatureRecords = 1, 0, 0, []
regular["DSIG"] = dsig
hdmx = newTable("hdmx")
hdmx.hdmx = {12: {g: 5 for g in regular.getGlyphOrder()}}
regular["hdmx"] = hdmx
regular.save("extra_tables.ttf")

v5 = cut("LiberationSansNarrow-Regular.ttf")
os2 = v5["OS/2"]
os2.version = 5
os2.sxHeight, os2.sCapHeight, os2.usDefaultChar, os2.usBreakChar, os2.usMaxContext = 1082, 1409, 0, 32, 2
os2.usLowerOpticalPointSize, os2.usUpperOpticalPointSize = 8, 72
v5.save("os2_v5.ttf")

faces = TTCollection()
for file, full in (("LiberationSansNarrow-Regular.ttf", "Name Regular"), ("LiberationSansNarrow-Bold.ttf", "Name Bold")):
    face = cut(file)
    set_names(face, full)
    faces.fonts.append(face)
faces.save("two_faces.ttc", shareTables=True)

# The seed corpus of the subsetter's fuzz target: a face cut to a few glyphs without hinting
# (its Cyrillic letter is a composite of a composite) and a two-face collection of such cuts.
CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../../fuzz/corpus/truetype")


def tiny(name):
    font = TTFont(os.path.join(FONTS, name))
    options = subset.Options()
    options.hinting = False
    options.layout_features = []
    options.drop_tables += ["FFTM", "GDEF", "GPOS", "GSUB", "kern", "gasp"]
    sub = subset.Subsetter(options)
    sub.populate(text="E\u0400")
    sub.subset(font)
    return font


tiny("LiberationSansNarrow-Regular.ttf").save(os.path.join(CORPUS, "face.ttf"))
pair = TTCollection()
pair.fonts = [tiny("LiberationSansNarrow-Regular.ttf"), tiny("LiberationSansNarrow-Bold.ttf")]
pair.save(os.path.join(CORPUS, "collection.ttc"), shareTables=True)
