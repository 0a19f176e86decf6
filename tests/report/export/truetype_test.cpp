// TrueType reader and subsetter: byte fixtures for the table readers and their errors, subsets
// of the label faces checked by fontTools and FreeType, and the fixtures of data/make_fixtures.py.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/graphics/font_face.h"
#include "report/export/truetype_font.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using namespace vgl::test;

namespace {

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "no error";
}

// The prepared single face of a font file.
struct Face {
    explicit Face(const Bytes& bytes, ChecksumFaultAction action = ChecksumFaultAction_IgnoreChecksum)
        : Font(std::make_shared<TFontBuffer>(bytes), 0, action) {
        Font.PrepareFont(ExportSkipList());
    }
    TrueTypeFont Font;
};

Bytes CompositeGlyph(std::vector<std::pair<unsigned, unsigned>> componentsWithFlags) {
    Bytes g;
    Put16(g, 0xFFFF); // numberOfContours -1
    g.resize(10, 0);
    for (std::size_t i = 0; i < componentsWithFlags.size(); ++i) {
        auto [glyph, flags] = componentsWithFlags[i];
        if (i + 1 < componentsWithFlags.size())
            flags |= 1 << 5; // MORE_COMPONENTS
        Put16(g, flags);
        Put16(g, glyph);
        g.resize(g.size() + ((flags & 1) ? 4 : 2) + ((flags & 8) ? 2 : (flags & 64) ? 4 : (flags & 128) ? 8 : 0), 0);
    }
    return g;
}

Bytes NameTable(const std::vector<std::pair<int, std::u16string>>& records) {
    Bytes t, strings;
    Put16(t, 0);
    Put16(t, unsigned(records.size()));
    Put16(t, unsigned(6 + 12 * records.size()));
    for (const auto& [id, text] : records) {
        Put16(t, 3);
        Put16(t, 1);
        Put16(t, 0x409);
        Put16(t, unsigned(id));
        Put16(t, unsigned(2 * text.size()));
        Put16(t, unsigned(strings.size()));
        for (char16_t c : text)
            Put16(strings, c);
    }
    t.insert(t.end(), strings.begin(), strings.end());
    return t;
}

Bytes CmapOfFormat(unsigned format) {
    Bytes t;
    Put16(t, 0);
    Put16(t, 1);
    Put16(t, 3);
    Put16(t, 1);
    Put32(t, 12);
    Put16(t, format);
    t.resize(t.size() + 10, 0);
    return t;
}

} // namespace

TEST(TrueTypeTables, ReadersOverByteFixtures) {
    // Short loca: the word 16 stands for byte 32 of glyf.
    {
        Face f(BuildFont(MinimalTables({SimpleGlyph(32), SimpleGlyph(12)}, 2)));
        std::uint32_t location = 0;
        EXPECT_EQ(12u, f.Font.index_to_location->GetGlyph(1, *f.Font.font_header, location));
        EXPECT_EQ(32u, location);
        EXPECT_EQ(16, f.Font.index_to_location->ShortIndexToLocation[1]);
    }
    // Long loca: a glyph longer than 64 KiB keeps its full length.
    {
        Face f(BuildFont(MinimalTables({SimpleGlyph(12), SimpleGlyph(70000)}, 2, 1)));
        std::uint32_t location = 0;
        EXPECT_EQ(70000u, f.Font.index_to_location->GetGlyph(1, *f.Font.font_header, location));
    }
    // A composite with word arguments and a scale, then byte arguments: both ids, and the
    // record is read to its end (a byte less fails).
    {
        const Bytes composite = CompositeGlyph({{1, 1 | 8}, {2, 0}});
        EXPECT_EQ(10u + 4 + 4 + 2 + 4 + 2, composite.size());
        Face f(BuildFont(MinimalTables({SimpleGlyph(12), SimpleGlyph(12), SimpleGlyph(12), composite}, 4)));
        std::uint32_t location = 0;
        const std::uint32_t length = f.Font.index_to_location->GetGlyph(3, *f.Font.font_header, location);
        EXPECT_EQ((std::vector<std::uint16_t>{1, 2}), f.Font.glyph_table->CheckGlyph(f.Font.Data(), location, length));
        EXPECT_EQ("TrueType font format error",
                  Message([&] { f.Font.glyph_table->CheckGlyph(f.Font.Data(), location, length - 1); }));
    }
    // hmtx beyond numberOfHMetrics gives the last entry.
    {
        Face f(BuildFont(MinimalTables({SimpleGlyph(12), SimpleGlyph(12), SimpleGlyph(12)}, 2)));
        EXPECT_EQ(200, f.Font.horizontal_metrix_table->GetItem(2).advanceWidth);
        EXPECT_EQ(200, f.Font.horizontal_metrix_table->GetItem(500).advanceWidth);
    }
    // Name probes: the first record for an empty probe, the matching one otherwise, the last one
    // when none matches.
    {
        auto tables = MinimalTables({SimpleGlyph(12)}, 1);
        tables["name"] = NameTable({{4, u"Gothic Regular"}, {4, u"\u30B4\u30B7\u30C3\u30AF"}, {1, u"Gothic"}});
        Face f(BuildFont(tables));
        const NameTableClass& name = *f.Font.name_table;
        String found;
        EXPECT_TRUE(name.IsHasFontName(f.Font.Data(), 4, u"", found));
        EXPECT_EQ(u"Gothic Regular", found);
        EXPECT_TRUE(name.IsHasFontName(f.Font.Data(), 4, u"\u30B4\u30B7\u30C3\u30AF", found));
        EXPECT_EQ(u"\u30B4\u30B7\u30C3\u30AF", found);
        EXPECT_TRUE(name.IsHasFontName(f.Font.Data(), 4, u"gothic REGULAR", found));
        EXPECT_FALSE(name.IsHasFontName(f.Font.Data(), 4, u"Other", found));
        EXPECT_EQ(u"\u30B4\u30B7\u30C3\u30AF", found);
        EXPECT_EQ(u"Gothic", f.Font.FamilyName());
        EXPECT_EQ(u"", f.Font.PostScriptName());
    }
}

TEST(TrueTypeTables, ErrorTexts) {
    const auto withTable = [](const char* tag, Bytes bytes) {
        auto tables = MinimalTables({SimpleGlyph(12), SimpleGlyph(12)}, 2);
        tables[tag] = std::move(bytes);
        return BuildFont(tables);
    };
    const auto prepare = [](Bytes bytes, ChecksumFaultAction action = ChecksumFaultAction_IgnoreChecksum) {
        return [bytes, action] { Face f(bytes, action); };
    };
    const auto collection = [](Bytes bytes) {
        return [bytes] {
            TrueTypeCollection c;
            c.Initialize(bytes);
        };
    };
    Bytes badChecksum = BuildFont(MinimalTables({SimpleGlyph(12), SimpleGlyph(12)}, 2));
    badChecksum[12 + 4 + 3] ^= 1; // the stored sum of glyf, the first entry
    Bytes duplicateTag = BuildFont(MinimalTables({SimpleGlyph(12), SimpleGlyph(12)}, 2));
    std::copy_n("loca", 4, duplicateTag.begin() + 12 + 16 * 5); // maxp, the last entry, becomes a second loca
    auto noGlyf = MinimalTables({SimpleGlyph(12)}, 1);
    noGlyf.erase("glyf");
    auto locaFormat2 = MinimalTables({SimpleGlyph(12)}, 1);
    locaFormat2["head"][51] = 2;
    Bytes ttcVersion3 = {'t', 't', 'c', 'f', 0, 3, 0, 0, 0, 0, 0, 0};
    auto selfComposite = MinimalTables({SimpleGlyph(12), CompositeGlyph({{1, 0}})}, 2);
    const Bytes selfCompositeFont = BuildFont(selfComposite);

    struct Case {
        const char* Name;
        std::function<void()> Run;
        const char* Expected;
    } cases[] = {
        {"cmap format 0", prepare(withTable("cmap", CmapOfFormat(0))),
         "TO DO: ByteEncoding cmap format not implemented"},
        {"cmap format 2", prepare(withTable("cmap", CmapOfFormat(2))),
         "TO DO: HighByteMapping cmap format not implemented"},
        {"cmap format 6", prepare(withTable("cmap", CmapOfFormat(6))),
         "TO DO: TrimmedTable cmap format not implemented"},
        {"cmap format 12 passed over", prepare(withTable("cmap", CmapOfFormat(12))), "no error"},
        {"loca format 2", prepare(BuildFont(locaFormat2)), "Unsupported Index to Location format"},
        {"no font", collection(Bytes{'w', 'O', 'F', 'F', 0, 0}), "TrueType font format error"},
        {"too short to classify", collection(Bytes{0, 1}), "TrueType font format error"},
        {"collection version 3", collection(ttcVersion3), "Unknown font collection version"},
        {"checksum, ThrowException", prepare(badChecksum, ChecksumFaultAction_ThrowException),
         "Table ID \"glyf\" checksum error.1145464422 1145464423"},
        {"checksum, Warn", prepare(badChecksum, ChecksumFaultAction_Warn), "no error"},
        {"no glyf",
         [&] {
             Face f(BuildFont(noGlyf));
             f.Font.AddCharacterToKeepList(0);
             f.Font.PackFont();
         },
         "Glyph table not found"},
        {"composite containing itself",
         [&] {
             Face f(selfCompositeFont);
             f.Font.AddCharacterToKeepList(1);
             f.Font.PackFont();
         },
         "TrueType font format error"},
        {"glyph id beyond the face",
         [&] {
             Face f(selfCompositeFont);
             f.Font.AddCharacterToKeepList(2);
             f.Font.PackFont();
         },
         "TrueType font format error"},
        {"a tag twice", prepare(duplicateTag), "TrueType font format error"},
        {"table past the end", prepare(Bytes(badChecksum.begin(), badChecksum.end() - 4)),
         "TrueType font format error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Expected, Message(c.Run)) << c.Name;
}

TEST(TrueTypeSubset, LabelFaceSubsetLoadsAndKeepsTheGlyphsAskedFor) {
    for (bool bold : {false, true}) {
        const Bytes source = ReadFile(LabelFontPath(bold));
        TrueTypeCollection c;
        c.Initialize(source);
        TrueTypeFont& ttf = *c.LoadFont(u"Arial Narrow", bold, false);
        const std::uint32_t E = ttf.cmap_table->GetGlyphIndex(u'E');
        const std::uint32_t egrave = ttf.cmap_table->GetGlyphIndex(u'\u00C8');
        const std::uint32_t ie = ttf.cmap_table->GetGlyphIndex(u'\u0400');
        const std::uint32_t a = ttf.cmap_table->GetGlyphIndex(u'a');
        const Bytes subset = c.PackFont(ttf, {ie, a, 3});
        // U+0400 is "Egrave" (E and the unmapped grave 673): all three are kept.
        std::vector<std::uint32_t> kept = ttf.Indices;
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ((std::vector<std::uint32_t>{3, E, a, egrave, ie, 673}), kept);
        EXPECT_EQ("OK\n", CheckSubset(LabelFontPath(bold), 0, subset, kept));
        // FreeType reads the subset too, with the source's advances.
        auto face = TFontFace::Load(subset);
        auto full = TFontFace::Load(source);
        EXPECT_EQ(full->GlyphCount(), face->GlyphCount());
        for (std::uint32_t g : kept)
            EXPECT_EQ(full->GlyphAdvance(g), face->GlyphAdvance(g));
        // Widths: hmtx advance × 1000 / unitsPerEm, the remainder dropped.
        EXPECT_EQ(full->GlyphAdvance(a) * 1000 / 2048, ttf.get_GlyphWidth(a));
        EXPECT_EQ(0, ttf.get_GlyphWidth(5));
        EXPECT_THROW(ttf.PackFont(), EInvalidOperation);
    }
}

// Copies of one prepared face, as the exports share a parsed font file: each packs its own subset,
// equal to the face's own, and the face's bytes stay as they were.
TEST(TrueTypeSubset, SharedCopiesPackAloneAndLeaveTheFaceUnchanged) {
    for (const std::string& path : {LabelFontPath(false), LabelFontPath(true), DataPath("two_faces.ttc")}) {
        const Bytes source = ReadFile(path);
        TrueTypeCollection c;
        c.Initialize(source);
        TrueTypeFont& face = *c.LoadFont(u"Name", true, false);
        const TFontBuffer before = face.Data();
        const std::uint32_t E = face.cmap_table->GetGlyphIndex(u'E');
        const std::uint32_t a = face.cmap_table->GetGlyphIndex(u'a');
        auto first = face.SharedCopy();
        auto second = face.SharedCopy();
        EXPECT_EQ(face.FullName(), first->FullName()) << path;
        EXPECT_EQ(face.SubstitutionName(), first->SubstitutionName()) << path;
        const Bytes one = c.PackFont(*first, {E, 3});
        const Bytes two = c.PackFont(*second, {a});
        EXPECT_TRUE(face.Data() == before) << path;
        EXPECT_EQ("OK\n", CheckSubset(path, &face == &c.Font(0) ? 0 : 1, two, {a})) << path;
        EXPECT_EQ(c.PackFont(face, {E, 3}), one) << path; // the face itself packs the same subset
        EXPECT_NE(one, two) << path;
        EXPECT_THROW(face.SharedCopy(), EInvalidOperation); // a packed face gives no copy
    }
}

TEST(TrueTypeSubset, KeptGlyphsZeroAndThreeGiveTheLoca) {
    const Bytes source = ReadFile(LabelFontPath());
    TrueTypeCollection c;
    c.Initialize(source);
    TrueTypeFont& ttf = *c.LoadFont(u"Arial Narrow", false, false);
    std::uint32_t location = 0;
    const std::uint32_t len0 = ttf.index_to_location->GetGlyph(0, *ttf.font_header, location);
    const std::uint32_t len3 = ttf.index_to_location->GetGlyph(3, *ttf.font_header, location);
    const Bytes subset = c.PackFont(ttf, {3, 0});

    Face packed(subset);
    const auto& loca = packed.Font.index_to_location->ShortIndexToLocation;
    ASSERT_EQ(682u, loca.size());
    EXPECT_EQ(0u, loca[0]);
    for (std::size_t i = 1; i <= 3; ++i)
        EXPECT_EQ(len0 / 2, loca[i]) << i;
    for (std::size_t i = 4; i < loca.size(); ++i)
        ASSERT_EQ((len0 + len3) / 2, loca[i]) << i;
    EXPECT_EQ(len0 + len3, packed.Font.glyph_table->entry.length);
    EXPECT_EQ(32u, packed.Font.postscript->entry.length);
    EXPECT_EQ("OK\n", CheckSubset(LabelFontPath(), 0, subset, {0, 3}));
}

TEST(TrueTypeSubset, FixturesOfDroppedTablesAndLongOS2) {
    for (const char* name : {"extra_tables.ttf", "os2_v5.ttf"}) {
        const Bytes source = ReadFile(DataPath(name));
        TrueTypeCollection c;
        c.Initialize(source);
        TrueTypeFont& ttf = *c.LoadFont(u"Arial Narrow", false, false);
        const std::uint32_t E = ttf.cmap_table->GetGlyphIndex(u'E');
        EXPECT_EQ(std::string(name) == "os2_v5.ttf" ? 100u : 86u, ttf.windows_metrix->win_metrix.size());
        EXPECT_EQ(741, ttf.windows_metrix->GetAvgCharWidth());
        EXPECT_EQ(1888, ttf.windows_metrix->GetWinAscent());
        const Bytes subset = c.PackFont(ttf, {E});
        EXPECT_EQ("OK\n", CheckSubset(DataPath(name), 0, subset, {E})) << name;
    }
    // A version 0 OS/2 of 78 bytes has no default character: the getter reads nothing past it.
    auto tables = MinimalTables({SimpleGlyph(12)}, 1);
    tables["OS/2"] = Bytes(78, 0);
    Face f(BuildFont(tables));
    EXPECT_EQ(0, f.Font.windows_metrix->GetDefaultChar());
}

TEST(TrueTypeSubset, CollectionFacesByName) {
    const Bytes source = ReadFile(DataPath("two_faces.ttc"));
    {
        TrueTypeCollection c;
        c.Initialize(source);
        ASSERT_EQ(2, c.Count());
        TrueTypeFont* bold = c.LoadFont(u"Name", true, false);
        EXPECT_EQ(&c.Font(1), bold);
        EXPECT_FALSE(bold->IsSubstitute());
        EXPECT_EQ(&c.Font(0), c.LoadFont(u"Name Regular", false, false));
        EXPECT_EQ(&c.Font(0), &c.get_Item(u"Name")); // both faces are of the family
        EXPECT_EQ("Font not found in collection", Message([&] { c.get_Item(u"Other"); }));
        const std::uint32_t E = bold->cmap_table->GetGlyphIndex(u'E');
        EXPECT_EQ("OK\n", CheckSubset(DataPath("two_faces.ttc"), 1, c.PackFont(*bold, {E}), {E}));
    }
    TrueTypeCollection c;
    c.Initialize(source);
    TrueTypeFont* unknown = c.LoadFont(u"Unknown", false, false);
    EXPECT_EQ(&c.Font(0), unknown);
    EXPECT_EQ(u"Unknown - Name Regular", unknown->SubstitutionName());
    EXPECT_EQ(u"Name", unknown->FamilyName());

    TrueTypeCollection otto;
    otto.Initialize(Bytes{'O', 'T', 'T', 'O', 0, 0});
    EXPECT_EQ(nullptr, otto.LoadFont(u"Any", false, false));
}

TEST(TrueTypeSubset, EveryTruncationRaisesOnlyTheProjectsExceptions) {
    const Bytes source = ReadFile(LabelFontPath());
    for (std::size_t length = 0; length < source.size(); ++length) {
        try {
            TrueTypeCollection c;
            c.Initialize(std::span<const std::uint8_t>(source.data(), length));
            if (TrueTypeFont* ttf = c.LoadFont(u"Arial Narrow", false, false))
                c.PackFont(*ttf, {0, 3, 36, 412});
            ADD_FAILURE() << "a font cut at " << length << " was accepted";
        } catch (const Exception&) {
        }
    }
}
