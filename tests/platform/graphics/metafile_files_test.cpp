#include "platform/graphics/metafile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/png_image.h"
#include "tests/platform/graphics/picture_test_support.h"

namespace vgl {
namespace {

using namespace test;

std::string Temp(const std::string& name) {
    return test::TempPath("_mff_", name);
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    return test::WriteTempFile("_mff_", name, bytes);
}

std::string Data(const char* name) {
    return std::string(VGL_TEST_DATA_DIR) + "/metafile/" + name;
}

constexpr int SampleW = 120, SampleH = 90;

/// A drawing with one call of every kind a metafile records; `rotate` adds a rotated square.
void DrawSample(TCanvas& c, bool rotate, bool alphaBitmap) {
    RegisterLabelFonts();
    c.Brush().SetColor(clRed);
    c.FillRect(Rect(5, 5, 35, 25));
    c.Pen().SetColor(clBlue);
    c.Brush().SetColor(clLime);
    c.Rectangle(Rect(40, 5, 70, 25));
    c.Brush().SetColor(clYellow);
    c.Ellipse(Rect(75, 5, 110, 30));
    c.Brush().SetColor(clAqua);
    c.RoundRect(Rect(5, 30, 35, 55), 10, 10);
    c.Brush().SetColor(clFuchsia);
    const TPoint triangle[] = {Point(40, 30), Point(70, 30), Point(55, 56)};
    c.Polygon(triangle);
    c.Pen().SetColor(clBlack);
    c.Pen().SetWidth(3);
    const TPoint path[] = {Point(75, 36), Point(110, 36), Point(110, 56)};
    c.Polyline(path);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(clNavy);
    c.MoveTo(5, 60);
    c.LineTo(50, 60);
    c.Brush().SetColor(clMaroon);
    c.FrameRect(Rect(75, 60, 110, 85));
    c.SetPixel(2, 2, clGreen);
    c.Font().SetName(u"Liberation Sans Narrow");
    c.Font().SetHeight(-12);
    c.Font().SetColor(clPurple);
    c.SetBkMode(TRANSPARENT);
    const int dx[] = {8, 8, 8};
    const TRect textClip = Rect(8, 64, 40, 82);
    c.ExtTextOut(8, 64, ETO_CLIPPED, &textClip, u"Ab1", dx);
    TBitmap checker(8, 8, pf24bit);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            checker.SetPixel(x, y, (x / 4 + y / 4) % 2 ? clOlive : clTeal);
    c.DrawBitmap(Rect(40, 66, 56, 82), checker, Rect(0, 0, 8, 8));
    if (alphaBitmap) {
        TBitmap alpha(4, 4, pf32bit);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                std::uint8_t* px = alpha.ScanLine(y) + x * 4;
                px[0] = 0, px[1] = 0, px[2] = 255, px[3] = 255; // opaque red, straight
            }
        alpha.SetAlphaFormat(afDefined);
        c.DrawBitmap(Rect(58, 66, 66, 74), alpha, Rect(0, 0, 4, 4));
    }
    c.SaveState();
    c.IntersectClipRect(Rect(0, 0, 60, SampleH));
    c.Brush().SetColor(clGray);
    c.FillRect(Rect(0, 86, SampleW, 90));
    c.RestoreState();
    if (rotate)
        c.ResetClip(); // the placeable form has no clip reset
    if (rotate) {
        // a quarter turn: (62, 5)-(70, 10) lands on (112, 62)-(117, 70)
        c.SetWorldTransform(TXForm{0, 1, -1, 0, 122, 0});
        c.Brush().SetColor(clSilver);
        c.FillRect(Rect(62, 5, 70, 10));
        c.SetWorldTransform(TXForm{});
    } else {
        c.SetWorldTransform(TXForm{1, 0, 0, 1, 2, 0});
        c.Brush().SetColor(clSilver);
        c.FillRect(Rect(110, 62, 116, 70));
        c.SetWorldTransform(TXForm{});
    }
}

TBitmap& White(TBitmap& b) {
    b.Canvas().Brush().SetColor(clWhite);
    b.Canvas().FillRect(Rect(0, 0, b.GetWidth(), b.GetHeight()));
    return b;
}

std::unique_ptr<TMetafile> Sample(bool enhanced, bool rotate, bool alpha) {
    auto mf = std::make_unique<TMetafile>(SampleW, SampleH);
    mf->SetEnhanced(enhanced);
    TMetafileCanvas c(*mf);
    DrawSample(c, rotate, alpha);
    return mf;
}

std::unique_ptr<TBitmap> Played(const TMetafile& mf) {
    auto b = std::make_unique<TBitmap>(mf.GetWidth(), mf.GetHeight(), pf24bit);
    White(*b);
    b->Canvas().Draw(0, 0, mf);
    return b;
}

std::unique_ptr<TBitmap> Direct(bool rotate, bool alpha) {
    auto b = std::make_unique<TBitmap>(SampleW, SampleH, pf24bit);
    White(*b);
    DrawSample(b->Canvas(), rotate, alpha);
    return b;
}

std::string AE(const TBitmap& a, const TBitmap& b, const char* name) {
    const std::string pa = WriteTemp(std::string(name) + "_a.bmp", a.SaveToBytes());
    const std::string pb = WriteTemp(std::string(name) + "_b.bmp", b.SaveToBytes());
    return Shell("compare -metric AE '" + pa + "' '" + pb + "' null: 2>&1");
}

struct Probe {
    int X, Y;
    const char* What;
};
/// Points inside every filled shape and the bitmaps of the sample.
const Probe SampleProbes[] = {{20, 15, "fill"},         {55, 15, "rectangle"},    {92, 17, "ellipse"},
                              {20, 42, "round rect"},   {55, 38, "polygon"},      {44, 70, "bitmap teal"},
                              {52, 70, "bitmap olive"}, {30, 88, "clipped fill"}, {90, 88, "clipped away"},
                              {114, 66, "transformed"}, {100, 70, "inside frame"}};

/// The pixels a PNG file holds.
std::unique_ptr<TPngImage> LoadPng(const std::string& path) {
    auto png = std::make_unique<TPngImage>();
    png->LoadFromBytes(ReadFile(path));
    return png;
}

/// Compares a rendering by an outside tool with the direct drawing at the sample's probes (but
/// those named in `skip`).
void ExpectProbes(const TPngImage& rendered, const TBitmap& direct, const char* tool,
                  std::initializer_list<std::string_view> skip = {}) {
    for (const Probe& p : SampleProbes) {
        if (std::find(skip.begin(), skip.end(), p.What) != skip.end())
            continue;
        const TColor want = direct.GetPixel(p.X, p.Y);
        // the tools leave the background transparent: white paper
        const TColor got = rendered.GetPixelAlpha(p.X, p.Y) < 128 ? clWhite : rendered.GetPixelColor(p.X, p.Y);
        // a colour rounded by the renderer differs by a step or two
        const bool close = std::abs(GetRValue(got) - GetRValue(want)) <= 3 &&
                           std::abs(GetGValue(got) - GetGValue(want)) <= 3 &&
                           std::abs(GetBValue(got) - GetBValue(want)) <= 3;
        EXPECT_TRUE(close) << tool << ": " << p.What << " at " << p.X << "," << p.Y << " is " << std::hex << got
                           << " instead of " << want;
    }
}

TEST(MetafileFiles, EnhancedFormReadsBackAndRendersInOutsideTools) {
    std::unique_ptr<TMetafile> mf = Sample(true, true, true);
    const Bytes saved = mf->SaveToBytes();
    ASSERT_GE(saved.size(), 108u);
    EXPECT_EQ(std::string(saved.begin() + 40, saved.begin() + 44), " EMF");
    TMetafile loaded;
    loaded.LoadFromBytes(saved);
    EXPECT_TRUE(loaded.GetEnhanced());
    EXPECT_EQ(loaded.GetWidth(), SampleW);
    EXPECT_EQ(loaded.GetHeight(), SampleH);
    std::unique_ptr<TBitmap> direct = Direct(true, true);
    EXPECT_EQ(AE(*Played(*mf), *direct, "rec"), "0");
    EXPECT_EQ(AE(*Played(loaded), *Played(*mf), "emf"), "0");
    EXPECT_EQ(loaded.SaveToBytes(), saved); // unchanged: the bytes it was read from
    {
        TMetafileCanvas c(loaded); // drawn onto: written anew
        c.SetPixel(0, 0, clBlack);
    }
    EXPECT_NE(loaded.SaveToBytes(), saved);

    const std::string emf = WriteTemp("sample.emf", saved);
    const Bytes listing = ReadFile(Data("sample_printemf.txt"));
    if (HasTool("printemf")) // the records with their header bounds and frame, as an outside reader lists them
        EXPECT_EQ(Shell("printemf '" + emf + "' 2>&1"), std::string(listing.begin(), listing.end()));
    else
        ADD_FAILURE() << "printemf (package printemf) is missing";
    if (!HasTool("emf2svg-conv") || !HasTool("rsvg-convert"))
        GTEST_SKIP() << "emf2svg-conv (emf2svg) or rsvg-convert (librsvg2-bin) is missing";
    const std::string svg = Temp("sample.svg"), png = Temp("sample_emf.png");
    Shell("emf2svg-conv -i '" + emf + "' -o '" + svg + "' 2>&1; rsvg-convert '" + svg + "' -o '" + png + "'");
    const Bytes svgText = ReadFile(svg);
    EXPECT_NE(std::string(svgText.begin(), svgText.end()).find("Ab1"), std::string::npos);
    ExpectProbes(*LoadPng(png), *direct, "emf2svg");
}

TEST(MetafileFiles, StylesSurviveBothForms) {
    // pens, brushes, fonts, backgrounds and stretch modes besides the sample's
    auto draw = [](TCanvas& c) {
        RegisterLabelFonts();
        c.Pen().SetStyle(psDash);
        c.Pen().SetColor(clRed);
        c.Brush().SetStyle(bsCross);
        c.Brush().SetColor(clBlue);
        c.SetBkColor(clYellow);
        c.Rectangle(Rect(2, 2, 40, 30));
        c.SetBkMode(TRANSPARENT);
        c.Brush().SetStyle(bsFDiagonal);
        c.Ellipse(Rect(45, 2, 80, 30));
        c.Pen().SetStyle(psSolid);
        c.Pen().SetWidth(5);
        c.Pen().SetEndCap(pecFlat);
        c.Pen().SetJoinStyle(pjsMiter);
        const TPoint zig[] = {Point(5, 40), Point(20, 55), Point(35, 40)};
        c.Polyline(zig);
        c.Brush().SetStyle(bsClear);
        c.Pen().SetWidth(1);
        c.Pen().SetEndCap(pecRound);
        c.Pen().SetJoinStyle(pjsRound);
        c.RoundRect(Rect(45, 35, 80, 58), 12, 8);
        c.Font().SetName(u"Liberation Sans Narrow");
        c.Font().SetHeight(-14);
        c.Font().SetStyle(TFontStyles{fsBold, fsItalic, fsUnderline});
        c.Font().SetColor(clGreen);
        c.SetBkMode(OPAQUE);
        c.TextOut(4, 60, u"Zx");
        TBitmap small(3, 3, pf8bit);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                small.SetPixel(x, y, (x + y) % 2 ? clWhite : clNavy);
        c.SetStretchFilter(sfSmooth);
        c.DrawBitmap(Rect(50, 62, 80, 80), small, Rect(0, 0, 3, 3));
    };
    for (bool enhanced : {true, false}) {
        TMetafile mf(90, 85);
        mf.SetEnhanced(enhanced);
        {
            TMetafileCanvas c(mf);
            draw(c);
        }
        TMetafile back;
        back.LoadFromBytes(mf.SaveToBytes());
        EXPECT_EQ(AE(*Played(back), *Played(mf), enhanced ? "styles_emf" : "styles_wmf"), "0") << enhanced;
    }
}

TEST(MetafileFiles, PlaceableFormReadsBackAndRendersInOutsideTools) {
    std::unique_ptr<TMetafile> mf = Sample(false, false, false);
    const Bytes saved = mf->SaveToBytes();
    ASSERT_GE(saved.size(), 40u);
    EXPECT_EQ(saved[0], 0xD7);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= std::uint16_t(saved[i * 2] | (saved[i * 2 + 1] << 8));
    EXPECT_EQ(sum, std::uint16_t(saved[20] | (saved[21] << 8)));
    TMetafile loaded;
    loaded.LoadFromBytes(saved);
    EXPECT_FALSE(loaded.GetEnhanced());
    EXPECT_EQ(loaded.GetWidth(), SampleW);
    EXPECT_EQ(loaded.GetHeight(), SampleH);
    std::unique_ptr<TBitmap> direct = Direct(false, false);
    EXPECT_EQ(AE(*Played(loaded), *direct, "wmf"), "0");
    EXPECT_EQ(loaded.SaveToBytes(), saved);

    // what the placeable form cannot hold raises instead of being dropped
    EXPECT_THROW(Sample(false, true, false)->SaveToBytes(), EInvalidGraphicOperation); // rotation
    EXPECT_THROW(Sample(false, false, true)->SaveToBytes(), EInvalidGraphicOperation); // alpha
    TMetafile far(10, 10);
    {
        TMetafileCanvas c(far);
        c.FillRect(Rect(0, 0, 40000, 5));
    }
    EXPECT_THROW(far.SaveToBytes(), EInvalidGraphicOperation);

    if (!HasTool("wmf2svg") || !HasTool("wmf2gd") || !HasTool("rsvg-convert"))
        GTEST_SKIP() << "wmf2svg, wmf2gd (libwmf-bin) or rsvg-convert (librsvg2-bin) is missing";
    const std::string wmf = WriteTemp("sample.wmf", saved);
    const std::string svg = Temp("sample_wmf.svg"), png = Temp("sample_wmf.png"), gd = Temp("sample_gd.png");
    // wmf2svg leaves the xlink namespace of its images undeclared and writes them to files of their own
    // with a doubled scale, and ignores the clip, so neither is probed there; wmf2gd does not fill ellipses.
    Shell("wmf2svg -o '" + svg + "' '" + wmf +
          "' 2>/dev/null; sed -i 's|<svg |<svg xmlns:xlink=\"http://www.w3.org/1999/xlink\" |' '" + svg +
          "'; rsvg-convert -w 120 -h 90 '" + svg + "' -o '" + png + "' 2>/dev/null");
    ExpectProbes(*LoadPng(png), *direct, "wmf2svg", {"bitmap teal", "bitmap olive", "clipped away"});
    Shell("wmf2gd -t png --maxwidth=120 --maxheight=90 --maxsize -o '" + gd + "' '" + wmf + "' 2>/dev/null");
    ExpectProbes(*LoadPng(gd), *direct, "wmf2gd", {"ellipse"});
}

TEST(MetafileFiles, FilesOfOtherProducersDrawAsPublished) {
    struct Expect {
        int X, Y;
        TColor Color;
        bool ToolsAgree; // the outside renderers draw this part too
    };
    // make_fixtures.py: 100 x 75 pixels drawn in units ten times smaller
    const Expect common[] = {{25, 20, clRed, true},      {55, 15, clBlue, true},
                             {70, 25, clWhite, true},    {85, 35, clBlue, true},
                             {55, 50, clYellow, false},  {85, 50, clAqua, false},
                             {55, 66, clFuchsia, false}, {85, 66, RGB(128, 128, 128), false},
                             {5, 5, clWhite, true}};
    for (const char* name : {"mapped.emf", "mapped.wmf"}) {
        const Bytes bytes = ReadFile(Data(name));
        TMetafile mf;
        mf.LoadFromBytes(bytes);
        EXPECT_EQ(mf.GetWidth(), 100) << name;
        EXPECT_EQ(mf.GetHeight(), 75) << name;
        EXPECT_EQ(mf.GetEnhanced(), std::string(name).ends_with(".emf"));
        std::unique_ptr<TBitmap> ours = Played(mf);
        for (const Expect& e : common)
            EXPECT_EQ(ours->GetPixel(e.X, e.Y), ColorToRGB(e.Color)) << name << " at " << e.X << "," << e.Y;
        EXPECT_EQ(mf.SaveToBytes(), bytes);
        // written again in the same form, it plays the same
        TMetafile copy;
        copy.Assign(mf);
        copy.SetWidth(100); // a change: the writer's form, not the bytes read
        TMetafile again;
        again.LoadFromBytes(copy.SaveToBytes());
        EXPECT_EQ(AE(*Played(again), *ours, "again"), "0") << name;
    }
    // the Bezier curve of the EMF: its middle lies at (25, 49)
    TMetafile emf;
    emf.LoadFromBytes(ReadFile(Data("mapped.emf")));
    EXPECT_EQ(Played(emf)->GetPixel(25, 49), ColorToRGB(clLime));

    if (!HasTool("emf2svg-conv") || !HasTool("wmf2gd") || !HasTool("rsvg-convert"))
        GTEST_SKIP() << "emf2svg, libwmf-bin or librsvg2-bin is missing";
    // emf2svg fills poly-polygons without their holes and places stretched bitmaps elsewhere, and
    // both tools smooth stretched bitmaps: only the shapes are compared with them
    const std::string svg = Temp("mapped.svg"), emfPng = Temp("mapped_emf.png"), gdPng = Temp("mapped_gd.png");
    Shell("emf2svg-conv -i '" + Data("mapped.emf") + "' -o '" + svg + "' 2>/dev/null; rsvg-convert -w 100 -h 75 '" +
          svg + "' -o '" + emfPng + "'");
    Shell("wmf2gd -t png --maxwidth=100 --maxheight=75 --maxsize -o '" + gdPng + "' '" + Data("mapped.wmf") +
          "' 2>/dev/null");
    for (const auto& [png, hole] : {std::pair{emfPng, false}, std::pair{gdPng, true}}) {
        std::unique_ptr<TPngImage> rendered = LoadPng(png);
        for (const Expect& e : common) {
            if (!e.ToolsAgree || (e.Color == clWhite && e.X == 70 && !hole))
                continue;
            const TColor got = rendered->GetPixelAlpha(e.X, e.Y) < 128 ? clWhite : rendered->GetPixelColor(e.X, e.Y);
            EXPECT_EQ(got, ColorToRGB(e.Color)) << png << " at " << e.X << "," << e.Y;
        }
    }
}

/// An enhanced metafile of the given records after a header that names `handles` objects.
Bytes Emf(const std::vector<Bytes>& records, std::uint16_t handles = 4) {
    Bytes out(108, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(0, 1);
    put32(4, 108);
    put32(32, 263); // frame: 10 x 10 pixels
    put32(36, 263);
    put32(40, 0x464D4520);
    put32(44, 0x10000);
    out[56] = std::uint8_t(handles), out[57] = std::uint8_t(handles >> 8);
    put32(72, 960), put32(76, 960), put32(80, 254), put32(84, 254);
    for (const Bytes& r : records)
        out.insert(out.end(), r.begin(), r.end());
    return out;
}

Bytes Rec(std::uint32_t type, std::initializer_list<std::uint32_t> values, std::int64_t size = -1) {
    Bytes r;
    auto add = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            r.push_back(std::uint8_t(v >> (8 * i)));
    };
    add(type);
    add(size < 0 ? std::uint32_t(8 + values.size() * 4) : std::uint32_t(size));
    for (std::uint32_t v : values)
        add(v);
    return r;
}

TEST(MetafileFiles, MappingModesPlaceDrawingsByTheirUnits) {
    // a 10 x 10 picture; each case fills what should be the square (0, 0)-(5, 5) in red
    const Bytes eof = Rec(14, {0, 16, 20});
    const Bytes red = Rec(39, {1, 0, 0x0000FF, 0}), select = Rec(37, {1}), nullPen = Rec(37, {0x80000008});
    struct Case {
        const char* Name;
        std::vector<Bytes> Mapping;
        TRect Logical;
    };
    const Case cases[] = {
        {"MM_TEXT", {}, TRect{0, 0, 5, 5}},
        {"MM_HIMETRIC (y up)", {Rec(17, {3})}, TRect{0, 0, 132, -132}},
        {"MM_TWIPS (y up)", {Rec(17, {6})}, TRect{0, 0, 75, -75}},
        {"MM_ANISOTROPIC", {Rec(17, {8}), Rec(9, {200, 100}), Rec(11, {10, 10})}, TRect{0, 0, 100, 50}},
        {"MM_ISOTROPIC: the smaller scale", {Rec(17, {7}), Rec(9, {100, 50}), Rec(11, {10, 10})}, TRect{0, 0, 50, 50}},
        {"window origin",
         {Rec(17, {8}), Rec(10, {20, 20}), Rec(9, {10, 10}), Rec(11, {10, 10})},
         TRect{20, 20, 25, 25}},
        {"world transform", {Rec(35, {0x40000000, 0, 0, 0x40000000, 0, 0})}, TRect{0, 0, 3, 3}}, // scale 2
    };
    for (const Case& c : cases) {
        std::vector<Bytes> records = c.Mapping;
        const TRect& r = c.Logical;
        records.insert(records.end(), {red, select, nullPen,
                                       Rec(43, {std::uint32_t(r.Left), std::uint32_t(r.Top), std::uint32_t(r.Right),
                                                std::uint32_t(r.Bottom)}),
                                       eof});
        TMetafile mf;
        mf.LoadFromBytes(Emf(records));
        std::unique_ptr<TBitmap> b = Played(mf);
        EXPECT_EQ(b->GetPixel(2, 2), ColorToRGB(clRed)) << c.Name;
        EXPECT_EQ(b->GetPixel(7, 7), ColorToRGB(clWhite)) << c.Name;
        EXPECT_EQ(b->GetPixel(2, 7), ColorToRGB(clWhite)) << c.Name;
    }
}

TEST(MetafileFiles, TextAlignmentMovesTheReferencePointToTheCell) {
    RegisterLabelFonts();
    TMetafile scratch;
    TMetafileCanvas measure(scratch);
    measure.Font().SetName(u"Liberation Sans Narrow");
    measure.Font().SetHeight(-12);
    const int ascent = measure.GetTextMetrics().tmAscent, height = measure.GetTextMetrics().tmHeight;
    // the font, then SETTEXTALIGN, then "AB" at (50, 40) with advances 7 and 7
    Bytes font = Rec(82, {1, std::uint32_t(-12), 0, 0, 0, 400, 0x01000000, 0}); // charset 1
    for (char16_t ch : String(u"Liberation Sans Narrow"))
        font.push_back(std::uint8_t(ch)), font.push_back(0);
    font.resize(8 + 4 + 92, 0);
    font[4] = std::uint8_t(font.size());
    auto text = [](std::uint32_t align) {
        return std::vector<Bytes>{
            Rec(22, {align}),
            Rec(84, {0, 0, std::uint32_t(-1), std::uint32_t(-1), 1, 0, 0, 50, 40, 2, 76, 0, 0, 0, 0, 0, 80, 0x00420041,
                     7, 7})};
    };
    struct Case {
        std::uint32_t Align;
        int X, Y;
    };
    for (const Case& c : {Case{0, 50, 40}, Case{24, 50, 40 - ascent}, Case{8, 50, 40 - height}, Case{2, 36, 40},
                          Case{6 | 24, 43, 40 - ascent}}) {
        std::vector<Bytes> records{font, Rec(37, {1})};
        for (Bytes& b : text(c.Align))
            records.push_back(b);
        records.push_back(Rec(14, {0, 16, 20}));
        TMetafile mf;
        mf.LoadFromBytes(Emf(records));
        ASSERT_EQ(mf.Records().size(), 1u) << c.Align;
        const TMetafileRecord& r = mf.Records()[0];
        EXPECT_EQ(r.Text, u"AB");
        EXPECT_EQ(r.A, c.X) << c.Align;
        EXPECT_EQ(r.B, c.Y) << c.Align;
    }
}

TEST(MetafileFiles, DamagedFilesRaiseWithTheRecordOffset) {
    const Bytes eof = Rec(14, {0, 16, 20});
    TMetafile ok;
    ok.LoadFromBytes(Emf({Rec(43, {1, 1, 5, 5}), eof}));
    EXPECT_EQ(ok.GetWidth(), 10);
    EXPECT_EQ(ok.Records().size(), 1u);

    struct Case {
        const char* Name;
        Bytes Data;
        const char* Text;
    };
    std::vector<Bytes> saves(1001, Rec(33, {}));
    const Case cases[] = {
        {"record size 0", Emf({Rec(43, {1, 1, 5, 5}, 0), eof}), "A record has a size below 8 at offset 108"},
        {"record past the end", Emf({Rec(43, {1, 1, 5, 5}, 400)}),
         "A record reaches past the end of the data at offset 108"},
        {"object index past the table", Emf({Rec(39, {9, 0, 255, 0}), eof}),
         "An object index lies outside the handle table at offset 108"},
        {"selected object past the table", Emf({Rec(37, {4}), eof}, 4),
         "An object index lies outside the handle table at offset 108"},
        {"point count past the record", Emf({Rec(4, {0, 0, 0, 0, 1000, 1, 1}), eof}),
         "A record's points reach past its end at offset 108"},
        {"text past the record", Emf({Rec(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 500, 76, 0, 0, 0, 0, 0, 0}), eof}),
         "A text record's characters reach past its end at offset 108"},
        {"record too short for its fields", Emf({Rec(43, {1, 1}), eof}),
         "A record is too short for its fields at offset 108"},
        {"thousands of nested saves", Emf(saves), "Saved states nest too deep at offset 8108"},
    };
    for (const Case& c : cases) {
        TMetafile mf;
        try {
            mf.LoadFromBytes(c.Data);
            ADD_FAILURE() << c.Name << ": no exception";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(StringToUtf8(e.Message()), c.Text) << c.Name;
        }
    }
    // a bitmap larger than the graphics layer takes
    Bytes dib = Rec(81, {0,          0, 0, 0,  0,      0,      0,          0, 1, 1, 80, 40, 120, 4, 0,
                         0x00CC0020, 1, 1, 40, 100000, 100000, 0x00180001, 0, 0, 0, 0,  0,  0,   0, 0});
    TMetafile big;
    try {
        big.LoadFromBytes(Emf({dib, eof}));
        ADD_FAILURE() << "a bitmap of 100000 x 100000 loaded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), u"A bitmap in a record is too large at offset 108");
    }
    // placeable files: a wrong checksum and a record of size 0
    Bytes wmf = Sample(false, false, false)->SaveToBytes();
    Bytes badSum = wmf;
    badSum[20] ^= 1;
    EXPECT_THROW(TMetafile().LoadFromBytes(badSum), EInvalidGraphic);
    Bytes zero = wmf;
    zero[40] = zero[41] = zero[42] = zero[43] = 0;
    EXPECT_THROW(TMetafile().LoadFromBytes(zero), EInvalidGraphic);
    EXPECT_THROW(TMetafile().LoadFromBytes(Bytes(200, 7)), EInvalidGraphic);
}

TEST(MetafileFiles, PicturesKnowBothFormsAndIcons) {
    for (bool enhanced : {true, false}) {
        const Bytes bytes = Sample(enhanced, false, false)->SaveToBytes();
        TPicture picture;
        picture.LoadFromBytes(bytes);
        auto* mf = dynamic_cast<TMetafile*>(picture.GetGraphic());
        ASSERT_NE(mf, nullptr);
        EXPECT_EQ(mf->GetEnhanced(), enhanced);
        EXPECT_EQ(mf->GetWidth(), SampleW);
        TMemoryStream out;
        picture.SaveToStream(out);
        EXPECT_EQ(Bytes(out.Bytes().begin(), out.Bytes().end()), bytes);
    }
    for (bool enhanced : {true, false}) { // an empty metafile saves and reads back
        TMetafile empty, back;
        empty.SetEnhanced(enhanced);
        back.LoadFromBytes(empty.SaveToBytes());
        EXPECT_EQ(back.GetWidth(), 0);
        EXPECT_TRUE(back.GetEmpty());
    }
    TPicture icon;
    icon.LoadFromBytes(Bytes{0, 0, 1, 0, 0, 0});
    EXPECT_EQ(icon.GetGraphic()->ClassName(), u"TIcon");
}

} // namespace
} // namespace vgl
