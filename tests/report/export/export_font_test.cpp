// Export fonts: glyph runs of a label face and of DejaVu Sans, used-glyph lists, PDF font names,
// packing with width refresh (advances read with fontTools), correction lists and the document
// font list.

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "platform/rtl/rounding.h"
#include "platform/rtl/streams.h"
#include "report/export/pdf_objects.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using namespace vgl::test;

namespace {

void RegisterTestFonts() {
    static const bool done = [] {
        RegisterLabelFonts();
        const Bytes dejavu = ReadFile(DejaVuPath());
        for (const char16_t* alias : {u"Carlito", u"Arial", u"\u00C4rial"})
            AddFontMemResource(dejavu, alias);
        return true;
    }();
    (void)done;
}

TFont MakeFont(const char16_t* name, TFontStyles style = {}, int size = 10) {
    TFont font;
    font.SetName(name);
    font.SetStyle(style);
    font.SetSize(size);
    return font;
}

// hmtx advances and unitsPerEm of a font file, read with fontTools.
std::map<std::uint32_t, int> FontToolsAdvances(const std::string& path, int& unitsPerEm) {
    std::istringstream out(RunCommand(
        "/usr/bin/python3 -c \"from fontTools.ttLib import TTFont; t = TTFont('" + path +
        "'); print(t['head'].unitsPerEm); [print(i, t['hmtx'][n][0]) for i, n in enumerate(t.getGlyphOrder())]\""));
    std::map<std::uint32_t, int> advances;
    out >> unitsPerEm;
    std::uint32_t id;
    int advance;
    while (out >> id >> advance)
        advances[id] = advance;
    return advances;
}

class ExportFont : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestFonts(); }
};

} // namespace

TEST_F(ExportFont, RemapCases) {
    const TFontFace& dejavu = *FindFont(u"Carlito", false, false).Face;
    const auto glyph = [&](char32_t c) { return Char(dejavu.GlyphIndex(c)); };
    const auto advance = [&](char32_t c) {
        return int(Round(dejavu.GlyphAdvance(dejavu.GlyphIndex(c)) * 1000.0L / dejavu.UnitsPerEm()));
    };

    {
        TfrxExportFont font(MakeFont(u"DejaVu Sans"));
        const TRemapedString empty = font.SoftRemapString(u"", false);
        EXPECT_TRUE(empty.Data.empty());
        EXPECT_EQ(0, empty.Width);
        EXPECT_TRUE(empty.IsSpace.empty());

        // Under its own name "fi" is one ligature glyph standing for both characters.
        const TRemapedString fi = font.SoftRemapString(u"fi", false);
        ASSERT_EQ(1u, fi.Data.size());
        EXPECT_TRUE(fi.IsHasLigatures);
        EXPECT_EQ(u"fi", font.UsedAlphabetUnicode.back());

        // A glyph used twice enters the used lists once; U+00A0 counts as a space.
        const TRemapedString twice = font.SoftRemapString(u"a\u00A0a", false);
        EXPECT_EQ((String{glyph('a'), glyph(0xA0), glyph('a')}), twice.Data);
        EXPECT_EQ((std::vector<bool>{false, true, false}), twice.IsSpace);
        EXPECT_EQ(3u, font.UsedAlphabet.size());
        EXPECT_EQ(font.UsedAlphabet.size(), font.Widths.size());
        EXPECT_EQ(font.UsedAlphabet.size(), font.UsedAlphabetUnicode.size());

        // A combining accent after a base letter: it has no advance of its own and the text of
        // each glyph is its own character.
        const TRemapedString accent = font.SoftRemapString(u"q\u0301", false);
        ASSERT_EQ(2u, accent.Data.size());
        EXPECT_EQ(-1, accent.CharWidth[1]);
        EXPECT_EQ(accent.CharWidth[0], accent.Width);
        EXPECT_GE(accent.CharWidth[0], advance('q'));
        EXPECT_EQ(u"\u0301", font.UsedAlphabetUnicode.back());

        // Right to left: glyphs in visual order, widths in logical order.
        const TRemapedString rtl = font.SoftRemapString(u"\u05D0\u05D1", true);
        EXPECT_EQ((String{glyph(0x5D1), glyph(0x5D0)}), rtl.Data);
        EXPECT_EQ((std::vector<int>{advance(0x5D0), advance(0x5D1)}), rtl.CharWidth);
        EXPECT_EQ(advance(0x5D0) + advance(0x5D1), rtl.Width);
        EXPECT_EQ(u"\u05D0", font.UsedAlphabetUnicode.back());

        // Right to left, a letter with a point: one cluster of two glyphs, each standing for its
        // own character although the glyphs come in visual order.
        const TRemapedString pointed = font.SoftRemapString(u"\u05D2\u05B8", true);
        ASSERT_EQ(2u, pointed.Data.size());
        const auto textOf = [&](Char g) {
            const auto at = std::find(font.UsedAlphabet.begin(), font.UsedAlphabet.end(), std::uint32_t(g));
            return at == font.UsedAlphabet.end()
                       ? String(u"none")
                       : font.UsedAlphabetUnicode[std::size_t(at - font.UsedAlphabet.begin())];
        };
        EXPECT_EQ(u"\u05D2", textOf(glyph(0x5D2)));
        EXPECT_EQ(u"\u05B8", textOf(glyph(0x5B8)));

        const TRemapedString spaces = font.SoftRemapString(u"a b", false);
        EXPECT_EQ(1, spaces.SpacesCount);
        EXPECT_EQ(Char(3), spaces.Data[1]);
    }
    {
        // The same face under a name of the ligature-less list: one glyph per character.
        TfrxExportFont font(MakeFont(u"Carlito"));
        const TRemapedString fi = font.SoftRemapString(u"fi", false);
        EXPECT_EQ((String{glyph('f'), glyph('i')}), fi.Data);
        EXPECT_FALSE(fi.IsHasLigatures);
        EXPECT_EQ((std::vector<int>{advance('f'), advance('i')}), fi.CharWidth);
        EXPECT_EQ(advance('f') + advance('i'), fi.Width);
        EXPECT_EQ(2u, fi.IsSpace.size());
    }
    {
        // Under an "Arial..." name glyph 667 (U+02D9 in this face) is kept like any other.
        TfrxExportFont font(MakeFont(u"Arial"));
        const TRemapedString dot = font.SoftRemapString(u"x\u02D9", false);
        EXPECT_EQ((String{glyph('x'), Char(667)}), dot.Data);
        EXPECT_EQ(advance('x') + advance(0x2D9), dot.Width);
        EXPECT_NE(font.UsedAlphabet.end(), std::find(font.UsedAlphabet.begin(), font.UsedAlphabet.end(), 667u));
    }
}

TEST_F(ExportFont, LatinAdvancesAndPackedWidthsAgreeWithTheFontFile) {
    int unitsPerEm = 0;
    const auto advances = FontToolsAdvances(LabelFontPath(), unitsPerEm);
    ASSERT_EQ(2048, unitsPerEm);
    TfrxPDFFont font(MakeFont(u"Arial Narrow", {}, 8));
    font.PrepareMetrics();
    const String text = u"Paketschein 0123456789 \u00C4\u00D6\u00DC\u00DF, Sendung-Nr.: ABC/xyz";
    const TRemapedString rs = font.SoftRemapString(text, false);
    ASSERT_EQ(text.size(), rs.Data.size());
    for (std::size_t i = 0; i < rs.Data.size(); ++i)
        EXPECT_EQ(Round(advances.at(rs.Data[i]) * 1000.0L / unitsPerEm), rs.CharWidth[i]) << i;

    EXPECT_EQ("Liberation#20Sans#20Narrow", font.GetFontName());
    font.PackTTFFont();
    for (std::size_t i = 0; i < font.UsedAlphabet.size(); ++i) {
        if (font.UsedAlphabetUnicode[i] == u" " || font.Widths[i] == -1)
            continue;
        EXPECT_EQ(advances.at(font.UsedAlphabet[i]) * 1000 / unitsPerEm, font.Widths[i]) << font.UsedAlphabet[i];
    }
    // The embedded file is a subset, named with a tag that the same glyphs always give.
    EXPECT_EQ("OK\n", CheckSubset(LabelFontPath(), 0, font.FontData, font.ttf->Indices));
    const AnsiString name = font.GetFontName();
    ASSERT_EQ(7 + 26u, name.size());
    EXPECT_EQ('+', name[6]);
    EXPECT_TRUE(std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; }));
    EXPECT_EQ("Liberation#20Sans#20Narrow", name.substr(7));
    TfrxPDFFont again(MakeFont(u"Arial Narrow", {}, 12));
    again.SoftRemapString(text, false);
    again.PackTTFFont();
    EXPECT_EQ(name, again.GetFontName());

    // Descriptor values at 1000 units per em.
    const TPDFFontMetrics& m = font.TextMetric();
    EXPECT_EQ(922, m.Ascent);   // usWinAscent 1888
    EXPECT_EQ(-210, m.Descent); // usWinDescent 431
    EXPECT_EQ(1132, m.tmHeight);
    EXPECT_NEAR(1000.0 / 1132, font.FontHeightToPointSizeFactor(), 1e-12);
    TRemapedString line;
    line.Width = 3000;
    line.SpacesCount = 2;
    EXPECT_EQ(500, font.SpaceAdjustment(line, 20, 10));
    EXPECT_EQ(1500, font.SpaceAdjustment(line, 20, 0));
}

TEST_F(ExportFont, FontNames) {
    struct Case {
        const char16_t* Name;
        TFontStyles Style;
        bool Remap;
        AnsiString Expected;
    } cases[] = {
        {u"Arial", {fsBold}, false, "Arial,Bold"},
        {u"Arial", {fsBold, fsItalic}, false, "Arial,BoldItalic"},
        {u"Arial", {fsItalic}, false, "Arial,Italic"},
        {u"Arial Black", {fsBold}, false, "Arial#20Black"},
        {u"Tahoma", {fsBold, fsItalic}, false, "Tahoma,Bold"},
        {u"Courier New", {}, false, "Courier#20New"},
        {u"A#B(1)", {}, false, "A#23B#281#29"},
        {u"\u00C4rial", {}, false, ""},
        {u"\u00C4rial", {}, true, "DejaVu#20Sans"},
        {u"Arial Narrow", {}, true, "Liberation#20Sans#20Narrow"},
        {u"Arial Narrow", {fsBold}, true, "Liberation#20Sans#20Narrow,Bold"},
    };
    for (const Case& c : cases) {
        TfrxPDFFont font(MakeFont(c.Name, c.Style));
        if (c.Remap)
            font.SoftRemapString(u"A", false);
        EXPECT_EQ(c.Expected, font.GetFontName()) << StringToUtf8(c.Name);
    }
}

TEST_F(ExportFont, CorrectionListsSizesAndSimulation) {
    TPDFFontCorrection correction;
    correction.SetCorrection(65, 2.0);
    correction.SetCorrection(64, 2.0);
    EXPECT_EQ(1.0, correction.GetCorrection(65));
    EXPECT_EQ(1.0, correction.GetCorrection(-1));
    EXPECT_EQ(2.0, correction.GetCorrection(64));

    double factor = 0;
    EXPECT_FALSE(EMFPDFontCorrectionList().IsGetCorrection(u"Unknown", factor));
    EXPECT_EQ(1.0, factor);
    EXPECT_TRUE(EMFPDFontCorrectionList().IsGetCorrection(u"verdana", factor));
    EXPECT_EQ(0.999, factor);
    EXPECT_EQ(1.008, PDFMonospacedFontCorrectionList().GetCorrection(u"Consolas", 10));
    EXPECT_EQ(1.0, PDFMonospacedFontCorrectionList().GetCorrection(u"Lucida Console", 6));

    TPDFFontSimulationList simulation;
    simulation.AddFont(u"Name", {});
    EXPECT_EQ(0, simulation.Count());
    simulation.AddFont(u"Name", {fsBold});
    simulation.AddFont(u"Name", {fsItalic});
    EXPECT_EQ(1, simulation.Count());
    EXPECT_TRUE(simulation.IsNeedsBold(u"Name"));
    EXPECT_TRUE(simulation.IsNeedsItalic(u"Name"));
    EXPECT_FALSE(simulation.IsNeedsBold(u"name"));

    EXPECT_EQ(7.9L, PDFFontSize(u"Arial Narrow", 8));
    EXPECT_EQ(9.9L, PDFFontSize(u"Arial Narrow", 10));
    EXPECT_EQ(10.044L, PDFFontSize(u"Consolas", 10));
    EXPECT_EQ("7.900", FloatToFixedAnsi(PDFFontSize(MakeFont(u"Arial Narrow", {}, 8)), 3));
    EXPECT_EQ(TFontStyles({fsBold}), SimulatedStyle(MakeFont(u"Tahoma", {fsBold, fsItalic})));
    EXPECT_EQ(TFontStyles(), SimulatedStyle(MakeFont(u"Arial Black", {fsBold, fsItalic})));
    EXPECT_EQ("2 Tr 0.29 w 1 0 0 RG", BoldSimulation(10, 0x0000FF));
    EXPECT_EQ("1 0 0.25 1", ItalicSimulation());

    TfrxPDFFont field(MakeFont(u"Arial Narrow"));
    TfrxPDFFont document(MakeFont(u"Arial Narrow"));
    document.Name = "/F3";
    TFont source = MakeFont(u"Arial Narrow", {}, 8);
    source.SetColor(clNone);
    field.Update(document, source);
    EXPECT_EQ("/F3", field.FFontName);
    EXPECT_EQ(7.9L, field.FSize);
    EXPECT_EQ(0, field.FColor);
}

TEST_F(ExportFont, DocumentFontsAndPageResources) {
    TMemoryStream pdf;
    TPDFGLobalFonts fonts;
    TReferenceArray pageFonts;
    TPDFObjectsHelper helper;
    helper.FpdfStream = &pdf;
    helper.FFonts = &fonts;
    helper.FPageFonts = &pageFonts;

    EXPECT_EQ(0, helper.GetObjFontNumber(MakeFont(u"Arial Narrow")));
    EXPECT_EQ(0, helper.GetObjFontNumber(MakeFont(u"Arial Narrow", {}, 20))); // size is not part of it
    EXPECT_EQ(1, helper.GetObjFontNumber(MakeFont(u"Arial Narrow", {fsBold})));
    // Bold is simulated for "Arial Black": its face is taken without it.
    EXPECT_EQ(2, helper.GetObjFontNumber(MakeFont(u"Arial Black", {fsBold})));
    EXPECT_EQ(2, helper.GetObjFontNumber(MakeFont(u"Arial Black")));
    ASSERT_EQ(3, fonts.Count());
    EXPECT_EQ("/F1", fonts.Get(1)->Name);
    EXPECT_EQ(2, fonts.Get(1)->Reference);
    EXPECT_EQ(1, fonts.IndexByReference(2));
    EXPECT_EQ(-1, fonts.IndexByReference(9));
    EXPECT_EQ(-1, fonts.IndexOfFont(u"arial narrow", {}));
    EXPECT_EQ(4, helper.CRS().NextId());
    helper.OutPageFonts();
    EXPECT_EQ("/Font << /F0 1 0 R /F1 2 0 R /F2 3 0 R >>\r\n",
              std::string(reinterpret_cast<const char*>(pdf.Memory()), std::size_t(pdf.GetSize())));
    pageFonts.Clear();
    pdf.SetSize(0);
    helper.OutPageFonts();
    EXPECT_EQ(0, pdf.GetSize());
}

TEST_F(ExportFont, ThreadsWithTheirOwnFontsOfOneFaceAgree) {
    const std::vector<String> lines = {u"Paket 12345", u"\u05D0\u05D1\u05D2 abc", u"q\u0301 fi", u"\u0400\u00C8"};
    const auto remapAll = [&](std::vector<String>& out) {
        TfrxExportFont font(MakeFont(u"Arial Narrow"));
        for (int round = 0; round < 20; ++round)
            for (const String& line : lines) {
                const TRemapedString rs = font.SoftRemapString(line, round % 2 == 1);
                out.push_back(rs.Data + u"|" + IntToStr(rs.Width));
            }
        for (std::size_t i = 0; i < font.UsedAlphabet.size(); ++i)
            out.push_back(IntToStr(font.UsedAlphabet[i]) + u":" + font.UsedAlphabetUnicode[i]);
    };
    std::vector<String> alone, first, second;
    remapAll(alone);
    std::thread a([&] { remapAll(first); });
    std::thread b([&] { remapAll(second); });
    a.join();
    b.join();
    EXPECT_EQ(alone, first);
    EXPECT_EQ(alone, second);
}
