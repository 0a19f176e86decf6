#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <thread>

#include "platform/graphics/font_registry.h"
#include "platform/graphics/glyph_run.h"
#include "platform/graphics/text_measure.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

struct ExpectedGlyph {
    char32_t Char;
    std::uint32_t Glyph;
    int Advance;     // pixels at em 67
    int Thousandths; // thousandths of an em
};
#include "tests/platform/graphics/data/label_font_expected.inc"

class LabelFonts : public ::testing::Test {
protected:
    void SetUp() override { RegisterLabelFonts(); }
    static TFontData Font(bool bold, int height = -67) {
        TFontData f;
        f.Name = u"Arial Narrow";
        f.Height = height;
        if (bold)
            f.Style.Include(fsBold);
        return f;
    }
};

TEST_F(LabelFonts, AdvancesAndExtentsMatchTheFontTables) {
    struct Case {
        bool Bold;
        std::span<const ExpectedGlyph> Glyphs;
    } cases[] = {{false, ExpectedRegularGlyphs}, {true, ExpectedBoldGlyphs}};
    for (const Case& c : cases) {
        TFontMeasure m(Font(c.Bold));
        EXPECT_FALSE(m.Match().SimulatedBold);
        String text;
        std::vector<int> expected;
        for (const ExpectedGlyph& g : c.Glyphs) {
            EXPECT_EQ(m.CharAdvance(g.Char), g.Advance) << "bold " << c.Bold << " U+" << std::hex << unsigned(g.Char);
            text += char16_t(g.Char);
            expected.push_back(g.Advance);
        }
        std::partial_sum(expected.begin(), expected.end(), expected.begin());
        EXPECT_EQ(m.TextExtentEx(text), expected);
        EXPECT_EQ(m.TextExtent(text).cx, expected.back());
    }
}

TEST_F(LabelFonts, TextMetricsFollowTheWindowsAscentAndDescent) {
    TFontMeasure regular(Font(false)), bold(Font(true));
    EXPECT_EQ(regular.TextMetric().tmAscent, ExpectedRegularAscent);
    EXPECT_EQ(regular.TextMetric().tmDescent, ExpectedRegularDescent);
    EXPECT_EQ(regular.TextMetric().tmHeight, ExpectedRegularAscent + ExpectedRegularDescent);
    EXPECT_EQ(regular.TextMetric().tmInternalLeading, regular.TextMetric().tmHeight - 67);
    EXPECT_EQ(bold.TextMetric().tmAscent, ExpectedBoldAscent);
    EXPECT_EQ(bold.TextMetric().tmWeight, 700);
    // A positive height is the cell height: it selects the em that gives that cell.
    TFontMeasure cell(Font(false, regular.TextMetric().tmHeight));
    EXPECT_EQ(cell.EmHeight(), 67);
}

TEST_F(LabelFonts, SurrogatePairGetsOneAdvanceOnItsFirstUnit) {
    TFontMeasure m(Font(false));
    std::vector<int> a = m.CharAdvances(u"a\U0001F600b");
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[1], m.CharAdvance(0x1F600));
    EXPECT_EQ(a[2], 0);
}

TEST_F(LabelFonts, UnknownFamilyFallsBackAndMissingStylesAreSimulated) {
    TFontMatch arial = FindFont(u"Arial", false, false);
    EXPECT_FALSE(arial.FamilyFound);
    EXPECT_EQ(arial.Face, FindFont(u"arial narrow", false, false).Face);
    EXPECT_TRUE(FindFont(u"ARIAL NARROW", false, false).FamilyFound);

    TFontMatch italic = FindFont(u"Arial Narrow", true, true);
    EXPECT_TRUE(italic.Face->IsBold());
    EXPECT_FALSE(italic.SimulatedBold);
    EXPECT_TRUE(italic.SimulatedItalic);

    // Simulated bold widens every advance by one pixel.
    TFontMatch regularOnly = FindFont(u"Arial Narrow", false, false);
    regularOnly.SimulatedBold = true;
    TFontMeasure simulated(regularOnly, -67);
    EXPECT_EQ(simulated.CharAdvance(u'n'), TFontMeasure(Font(false)).CharAdvance(u'n') + 1);
}

TEST_F(LabelFonts, OutlineMetricsAndFontData) {
    const TFontFace& face = *FindFont(u"Arial Narrow", false, false).Face;
    const TOutlineMetrics& m = face.Metrics();
    EXPECT_EQ(m.UnitsPerEm, 2048);
    EXPECT_EQ(m.PostScriptName, "LiberationSansNarrow");
    EXPECT_EQ(m.FamilyName, u"Liberation Sans Narrow");
    EXPECT_GT(m.CapHeight, 0);
    EXPECT_LT(m.XMin, 0);
    EXPECT_EQ(face.FontData().size(), 113028u);
    EXPECT_EQ(FindFont(u"Arial Narrow", true, false).Face->Metrics().PostScriptName, "LiberationSansNarrow-Bold");
}

TEST_F(LabelFonts, FontFilesAreEmbeddedInTheProgram) {
    auto regular = FindResource(u"LiberationSansNarrow-Regular", u"FONT");
    auto bold = FindResource(u"LiberationSansNarrow-Bold", u"FONT");
    ASSERT_TRUE(regular.has_value());
    ASSERT_TRUE(bold.has_value());
    EXPECT_EQ(regular->size(), 113028u);
    EXPECT_EQ(bold->size(), 110252u);
}

TEST_F(LabelFonts, RegisteringTwiceAddsNothing) {
    size_t before = RegisteredFontFamilies().size();
    RegisterLabelFonts();
    EXPECT_EQ(RegisteredFontFamilies().size(), before);
}

TEST(FontRegistry, RejectsBytesThatAreNoFont) {
    std::vector<std::uint8_t> junk(200, 0x41);
    EXPECT_THROW(AddFontMemResource(junk), EArgumentException);
    EXPECT_THROW(AddFontMemResource({}), EArgumentException);
}

// The regular label font with its character map replaced by a format 12 table of `groups`
// (first code, last code, first glyph).
std::vector<std::uint8_t> WithCharacterMap(std::initializer_list<std::array<std::uint32_t, 3>> groups) {
    auto source = FindResource(u"LiberationSansNarrow-Regular", u"FONT");
    std::vector<std::uint8_t> font(source->begin(), source->end());
    auto put32 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(std::uint8_t(v >> shift));
    };
    std::vector<std::uint8_t> cmap = {0, 0, 0, 1, 0, 3, 0, 10, 0, 0, 0, 12, 0, 12, 0, 0};
    put32(cmap, std::uint32_t(16 + 12 * groups.size()));
    put32(cmap, 0);
    put32(cmap, std::uint32_t(groups.size()));
    for (const auto& g : groups)
        for (std::uint32_t v : g)
            put32(cmap, v);
    font.resize((font.size() + 3) & ~std::size_t(3));
    const std::uint32_t at = std::uint32_t(font.size());
    font.insert(font.end(), cmap.begin(), cmap.end());
    const int tables = font[4] << 8 | font[5];
    for (int i = 0; i < tables; ++i) {
        std::uint8_t* entry = font.data() + 12 + 16 * i;
        if (std::equal(entry, entry + 4, "cmap")) {
            std::vector<std::uint8_t> where;
            put32(where, at);
            put32(where, std::uint32_t(cmap.size()));
            std::copy(where.begin(), where.end(), entry + 8);
        }
    }
    return font;
}

TEST(FontFace, CharacterMapKeepsOnlyUnicodeCodes) {
    // A few bytes of table may map billions of codes beyond Unicode; none of them is kept.
    auto face =
        TFontFace::Load(WithCharacterMap({{{0x41, 0x41, 36}}, {{0x1F600, 0x1F600, 5}}, {{0x110000, 0x110010, 1}}}));
    EXPECT_EQ(face->GlyphIndex(U'A'), 36u);
    EXPECT_EQ(face->GlyphIndex(U'\U0001F600'), 5u);
    EXPECT_EQ(face->GlyphIndex(char32_t(0x110000)), 0u);
}

TEST(FontRegistry, CollectionOfTooManyFacesIsRefused) {
    // A collection whose every entry names the one face of the regular label font.
    auto source = FindResource(u"LiberationSansNarrow-Regular", u"FONT");
    const std::uint32_t faces = MaxFontFaces + 1, at = 12 + 4 * faces;
    std::vector<std::uint8_t> ttc = {'t', 't', 'c', 'f', 0, 1, 0, 0};
    auto put32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            ttc.push_back(std::uint8_t(v >> shift));
    };
    put32(faces);
    for (std::uint32_t i = 0; i < faces; ++i)
        put32(at);
    ttc.insert(ttc.end(), source->begin(), source->end());
    const int tables = ttc[at + 4] << 8 | ttc[at + 5];
    for (int i = 0; i < tables; ++i) { // table offsets count from the start of the collection
        std::uint8_t* offset = ttc.data() + at + 12 + 16 * i + 8;
        std::uint32_t v = (std::uint32_t(offset[0]) << 24 | offset[1] << 16 | offset[2] << 8 | offset[3]) + at;
        for (int k = 0; k < 4; ++k)
            offset[k] = std::uint8_t(v >> (24 - 8 * k));
    }
    ASSERT_EQ(TFontFace::FaceCount(ttc), int(faces));
    EXPECT_EQ(TFontFace::Load(ttc, int(faces) - 1)->Metrics().PostScriptName, "LiberationSansNarrow");
    EXPECT_THROW(AddFontMemResource(ttc, u"Too Many"), EArgumentException);
    EXPECT_FALSE(FontFamilyExists(u"Too Many"));
}

TEST(FontSize, SizeAndHeightConvertAtTheResolution) {
    struct Case {
        int Ppi, Size, Height;
    } cases[] = {{96, 10, -13}, {96, 8, -11}, {600, 8, -67}, {300, 7, -29}, {72, 12, -12}};
    for (const Case& c : cases) {
        TFont f;
        f.SetPixelsPerInch(c.Ppi);
        f.SetSize(c.Size);
        EXPECT_EQ(f.GetHeight(), c.Height) << c.Ppi << " " << c.Size;
        EXPECT_EQ(f.GetSize(), c.Size);
    }
    TFont f;
    int changes = 0;
    f.OnChange = [&](TObject*) { ++changes; };
    f.SetColor(clRed);
    f.SetColor(clRed);
    f.SetStyle({fsBold, fsUnderline});
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(f.GetStyle().Contains(fsUnderline));
}

TEST_F(LabelFonts, ShapedGlyphsAreTheCmapGlyphsWithTheirAdvances) {
    const TFontFace& face = *FindFont(u"Arial Narrow", false, false).Face;
    String text;
    for (const ExpectedGlyph& g : ExpectedRegularGlyphs)
        if (g.Char >= 0x20 && g.Char < 0x7F && g.Char != u'f') // no ligature candidates
            text += char16_t(g.Char);
    std::vector<TGlyphRun> runs = ShapeText(face, text, false);
    ASSERT_EQ(runs.size(), 1u);
    const TGlyphRun& run = runs[0];
    ASSERT_EQ(run.Glyphs.size(), text.size());
    size_t i = 0;
    for (const ExpectedGlyph& g : ExpectedRegularGlyphs) {
        if (!(g.Char >= 0x20 && g.Char < 0x7F && g.Char != u'f'))
            continue;
        EXPECT_EQ(run.Glyphs[i], g.Glyph) << "U+" << std::hex << unsigned(g.Char);
        EXPECT_EQ(run.Advances[i], g.Thousandths) << "U+" << std::hex << unsigned(g.Char);
        EXPECT_EQ(run.Clusters[i], int(i));
        ++i;
    }
    EXPECT_TRUE(ShapeText(face, u"", false).empty());
}

TEST_F(LabelFonts, MixedDirectionTextComesInVisualOrder) {
    const TFontFace& face = *FindFont(u"Arial Narrow", false, false).Face;
    // "ab" then two Hebrew letters (alef, bet): the Hebrew run is right to left.
    std::vector<TGlyphRun> runs = ShapeText(face, u"ab \u05D0\u05D1", false);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].BidiLevel, 0);
    EXPECT_EQ(runs[1].BidiLevel, 1);
    EXPECT_EQ(runs[1].TextStart, 3);
    ASSERT_EQ(runs[1].Clusters.size(), 2u);
    EXPECT_EQ(runs[1].Clusters[0], 4); // bet is drawn first
    EXPECT_EQ(runs[1].Glyphs[1], face.GlyphIndex(0x05D0));

    // In a right-to-left paragraph the Latin run comes after (left of nothing, right of) Hebrew.
    std::vector<TGlyphRun> rtl = ShapeText(face, u"\u05D0 ab", true);
    ASSERT_GE(rtl.size(), 2u);
    EXPECT_EQ(rtl.front().BidiLevel, 2);
    EXPECT_EQ(rtl.back().Clusters.back(), 0);
}

TEST_F(LabelFonts, CombiningMarkIsFlagged) {
    const TFontFace& face = *FindFont(u"Arial Narrow", false, false).Face;
    std::vector<TGlyphRun> runs = ShapeText(face, u"e\u0301", false);
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_FALSE(runs[0].IsMark.empty());
    EXPECT_FALSE(runs[0].IsMark.front());
    if (runs[0].Glyphs.size() == 2) {
        EXPECT_TRUE(runs[0].IsMark[1]);
    }
}

TEST_F(LabelFonts, SharedShapingGivesWhatShapingGivesAndKeepsShortTexts) {
    const TFontFace& face = *FindFont(u"Arial Narrow", false, false).Face;
    const auto same = [](const std::vector<TGlyphRun>& a, const std::vector<TGlyphRun>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TGlyphRun& x, const TGlyphRun& y) {
            return x.BidiLevel == y.BidiLevel && x.TextStart == y.TextStart && x.TextLength == y.TextLength &&
                   x.Glyphs == y.Glyphs && x.Advances == y.Advances && x.XOffsets == y.XOffsets &&
                   x.YOffsets == y.YOffsets && x.Clusters == y.Clusters && x.IsMark == y.IsMark;
        });
    };
    const String longText(MaxSharedShapedText + 1, u'x');
    const String longest(MaxSharedShapedText, u'y');
    for (bool rtl : {false, true}) {
        for (const String& text :
             {String(u"A"), String(u"ab \u05D0\u05D1 12"), String(u"e\u0301"), longest, longText}) {
            const auto first = ShapeTextShared(face, text, rtl);
            ASSERT_NE(first, nullptr);
            EXPECT_TRUE(same(*first, ShapeText(face, text, rtl))) << text.size() << " rtl " << rtl;
            // A kept text is handed out again; a longer one is shaped for each call.
            EXPECT_EQ(text.size() <= MaxSharedShapedText, ShapeTextShared(face, text, rtl) == first);
        }
    }
    // The directions are kept apart.
    EXPECT_NE(ShapeTextShared(face, u"\u05D0 ab", false), ShapeTextShared(face, u"\u05D0 ab", true));

    // Threads meeting the same new texts at once each get the shaping of the text; one result
    // per text is kept.
    std::vector<String> texts;
    for (int i = 0; i < 64; ++i)
        texts.push_back(u"Paket " + IntToStr(i) + u" \u05D0\u05D1");
    std::vector<std::vector<std::shared_ptr<const std::vector<TGlyphRun>>>> seen(4);
    std::vector<std::thread> threads;
    for (auto& mine : seen)
        threads.emplace_back([&texts, &face, &mine] {
            for (const String& text : texts)
                mine.push_back(ShapeTextShared(face, text, false));
        });
    for (std::thread& t : threads)
        t.join();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::vector<TGlyphRun> expected = ShapeText(face, texts[i], false);
        for (const auto& mine : seen)
            EXPECT_TRUE(same(*mine[i], expected)) << i;
        EXPECT_EQ(ShapeTextShared(face, texts[i], false), ShapeTextShared(face, texts[i], false));
    }
}

} // namespace
} // namespace vgl
