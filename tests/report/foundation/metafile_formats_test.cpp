#include "report/foundation/metafile_formats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "platform/graphics/png_image.h"
#include "report/foundation/drawing_helpers.h"
#include "report/foundation/picture_formats.h"
#include "report/foundation/png_jpeg_formats.h"
#include "tests/platform/graphics/picture_test_support.h"

namespace vgl {
namespace {

using namespace test;

std::string Fixture(const char* name) {
    return std::string(VGL_TEST_DATA_DIR) + "/ico/" + name;
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    return test::WriteTempFile("_mf_", name, bytes);
}

/// ImageMagick's pixels of `spec` as (colour, alpha) row by row.
std::vector<std::pair<TColor, int>> Oracle(const std::string& spec) {
    std::string txt = Shell("convert '" + spec + "' -depth 8 txt:- 2>/dev/null");
    std::vector<std::pair<TColor, int>> out;
    std::regex line(R"(\d+,\d+: \([^)]*\)\s+#([0-9A-F]{6})([0-9A-F]{2})?)");
    for (auto it = std::sregex_iterator(txt.begin(), txt.end(), line); it != std::sregex_iterator(); ++it) {
        unsigned v = std::stoul((*it)[1].str(), nullptr, 16);
        int a = (*it)[2].matched ? int(std::stoul((*it)[2].str(), nullptr, 16)) : 255;
        out.push_back({RGB(int(v >> 16), int((v >> 8) & 255), int(v & 255)), a});
    }
    return out;
}

class MetafileFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        while (R().Count() > 0)
            R().UnregisterFormat(R().GetItem(0));
        RegisterPictureFormats();
    }
    void TearDown() override { UnregisterPictureFormats(); }
    static TfrxGraphicFormats& R() { return frxGraphicFormatsInstance(); }
};

TEST_F(MetafileFormatsTest, StreamsAndLookupsFindTheirFormat) {
    struct Case {
        Bytes Data;
        TfrxGraphicFormatClass Expected;
    };
    Bytes wmf17(17, 0), wmf18(18, 0), emf(108, 0), ico(6, 0), cursor(6, 0), shortIco(5, 0);
    for (Bytes* b : {&wmf17, &wmf18}) {
        (*b)[0] = 0xD7, (*b)[1] = 0xCD, (*b)[2] = 0xC6, (*b)[3] = 0x9A;
    }
    emf[40] = ' ', emf[41] = 'E', emf[42] = 'M', emf[43] = 'F';
    Bytes emf107(emf.begin(), emf.end() - 1);
    emf107[0] = 1; // not an icon either
    ico[2] = 1;
    cursor[2] = 2;
    const Case cases[] = {
        {wmf17, nullptr},
        {wmf18, &TfrxWMFGraphicFormat::Instance()},
        {emf, &TfrxEMFGraphicFormat::Instance()},
        {emf107, nullptr},
        {ico, &TfrxICOGraphicFormat::Instance()},
        {Bytes(6, 0), &TfrxICOGraphicFormat::Instance()}, // word 1 may be 0
        {cursor, nullptr},
        {shortIco, nullptr},
    };
    for (const Case& c : cases) {
        TBytesStream s(c.Data);
        s.SetPosition(0);
        EXPECT_EQ(R().FindByFormat(s), c.Expected) << c.Data.size();
        EXPECT_EQ(s.GetPosition(), 0);
    }
    TBytesStream emfStream(emf);
    EXPECT_FALSE(TfrxFREMFGraphicFormat::Instance().IsSupportedFormat(emfStream) &&
                 R().FindByFormat(emfStream) == &TfrxFREMFGraphicFormat::Instance());

    EXPECT_EQ(R().FindByConst(2), &TfrxEMFGraphicFormat::Instance());
    EXPECT_EQ(R().FindByConst(3), &TfrxICOGraphicFormat::Instance());
    EXPECT_EQ(R().FindByExt(u".emf"), &TfrxEMFGraphicFormat::Instance());
    EXPECT_EQ(R().FindByExt(u".WMF"), &TfrxWMFGraphicFormat::Instance());
    EXPECT_EQ(R().FindByGraphic(&TfrxMetafile::StaticClassInfo()), &TfrxWMFGraphicFormat::Instance());
    EXPECT_EQ(R().FindByGraphic(&TIcon::StaticClassInfo()), &TfrxICOGraphicFormat::Instance());
    EXPECT_EQ(R().FindByName(u"ICO", {gcConvert}), nullptr);

    TfrxGraphicFormatClass fremf = R().FindByName(u"FREMF");
    ASSERT_EQ(fremf, &TfrxFREMFGraphicFormat::Instance());
    std::unique_ptr<TGraphic> made = fremf->CreateNew(30, 20, pf24bit, false, 100);
    ASSERT_EQ(made->ClassName(), u"TfrxMetafile");
    EXPECT_TRUE(dynamic_cast<TMetafile&>(*made).GetEnhanced());
    EXPECT_EQ(made->GetWidth(), 30);
    EXPECT_EQ(made->GetHeight(), 20);
    std::unique_ptr<TGraphic> wmf = R().FindByName(u"WMF")->CreateNew(5, 6, pf24bit, false, 100);
    EXPECT_EQ(wmf->ClassName(), u"TMetafile");
    EXPECT_FALSE(dynamic_cast<TMetafile&>(*wmf).GetEnhanced());
    std::unique_ptr<TGraphic> copy = wmf->Clone(); // Assign copies the form
    dynamic_cast<TMetafile&>(*made).Assign(*copy);
    EXPECT_FALSE(dynamic_cast<TMetafile&>(*made).GetEnhanced());

    TfrxGraphicProps p = TfrxEMFGraphicFormat::Instance().GetGraphicProps(*wmf);
    EXPECT_FALSE(p.HasAlpha);
    EXPECT_EQ(p.PixelFormat, pfDevice);
    EXPECT_EQ(p.TransparentColor, clNone);
}

TEST_F(MetafileFormatsTest, BitmapConvertedToEmfPlaysBackTheSamePixels) {
    TBitmap source(23, 17, pf24bit);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            source.SetPixel(x, y, RGB(x * 11, y * 15, (x * y) % 256));
    std::unique_ptr<TGraphic> converted = R().Convert(source, u"EMF", pf24bit, 100);
    ASSERT_TRUE(converted);
    auto& mf = dynamic_cast<TMetafile&>(*converted);
    EXPECT_TRUE(mf.GetEnhanced());
    EXPECT_EQ(mf.GetWidth(), 23);
    EXPECT_EQ(mf.GetHeight(), 17);
    EXPECT_TRUE(R().IsTransparent(mf) == mf.GetTransparent());

    TBitmap played(23, 17, pf24bit);
    played.Canvas().Draw(0, 0, mf);
    const std::string a = WriteTemp("src.bmp", source.SaveToBytes()), b = WriteTemp("played.bmp", played.SaveToBytes());
    EXPECT_EQ(Shell("compare -metric AE '" + a + "' '" + b + "' null: 2>&1"), "0");

    // a metafile source is copied and takes the form of the format asked for
    std::unique_ptr<TGraphic> asWmf = R().Convert(mf, u"WMF", pf24bit, 100);
    ASSERT_TRUE(asWmf);
    EXPECT_FALSE(dynamic_cast<TMetafile&>(*asWmf).GetEnhanced());
    EXPECT_EQ(dynamic_cast<TMetafile&>(*asWmf).Records().size(), mf.Records().size());

    // a graphic no format claims leaves the metafile empty
    TIcon unclaimedIcon;
    UnregisterMetafileFormats();
    RegisterMetafileFormats(); // back at the end of the list: ICO still claims icons
    TfrxGraphicFormats& r = R();
    r.UnregisterFormat(&TfrxICOGraphicFormat::Instance());
    unclaimedIcon.SetWidth(4);
    unclaimedIcon.SetHeight(4);
    std::unique_ptr<TGraphic> empty = TfrxEMFGraphicFormat::Instance().ConvertFrom(unclaimedIcon, pf24bit, 100);
    EXPECT_TRUE(empty->GetEmpty());
    EXPECT_EQ(empty->GetWidth(), 4);
    r.RegisterFormat(&TfrxICOGraphicFormat::Instance());
}

TEST_F(MetafileFormatsTest, VectorBaseRasterisesAndScalesAMetafile) {
    TMetafile mf(20, 10);
    {
        std::unique_ptr<TfrxGraphicCanvasHelper> helper = TfrxEMFGraphicFormat::Instance().CreateCanvasHelper(mf);
        TCanvas& c = helper->GetCanvas();
        EXPECT_EQ(&c, &helper->GetCanvas()); // made once
        c.Brush().SetColor(clRed);
        c.FillRect(Rect(5, 2, 15, 8));
        EXPECT_TRUE(IsMetafileCanvasClass(c));
    } // released: the recording is complete
    ASSERT_EQ(mf.Records().size(), 1u);

    std::unique_ptr<TBitmap> rgb = R().ConvertToBitmap(mf, pf24bit);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(ColorToRGB(rgb->GetPixel(0, 0)), ColorToRGB(clWhite));
    EXPECT_EQ(ColorToRGB(rgb->GetPixel(10, 5)), ColorToRGB(clRed));
    std::unique_ptr<TBitmap> argb = R().ConvertToBitmap(mf, pf32bit);
    EXPECT_EQ(argb->ScanLine(0)[3], 0);
    EXPECT_EQ(argb->ScanLine(5)[10 * 4 + 3], 255);
    EXPECT_EQ(ColorToRGB(argb->GetPixel(19, 9)), ColorToRGB(clWhite));

    std::unique_ptr<TGraphic> scaled = R().ScaleGraphicToNew(mf, 40, 20);
    ASSERT_TRUE(scaled);
    TBitmap out(40, 20, pf24bit);
    out.Canvas().Brush().SetColor(clWhite);
    out.Canvas().FillRect(Rect(0, 0, 40, 20));
    out.Canvas().Draw(0, 0, *scaled);
    EXPECT_EQ(ColorToRGB(out.GetPixel(10, 4)), ColorToRGB(clRed));
    EXPECT_EQ(ColorToRGB(out.GetPixel(29, 15)), ColorToRGB(clRed));
    EXPECT_EQ(ColorToRGB(out.GetPixel(9, 4)), ColorToRGB(clWhite));
    EXPECT_EQ(ColorToRGB(out.GetPixel(30, 16)), ColorToRGB(clWhite));
}

TEST_F(MetafileFormatsTest, PngDrawsWithAlphaIntoAMetafileOnlyWhileTheFormatsAreRegistered) {
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 8, 4, 4);
    for (int y = 0; y < 4; ++y)
        png.AlphaScanline(y)[0] = 128; // partial alpha
    auto drawnSmooth = [&] {
        TMetafile mf(4, 4);
        TMetafileCanvas c(mf);
        TfrxPNGGraphicFormat::Instance().Draw(c, png, Rect(0, 0, 4, 4), gqDefault);
        // the alpha-blend path stretches with the smooth (HALFTONE) filter; the plain draw does not
        return !mf.Records().empty() && mf.Records().back().Filter == sfSmooth;
    };
    EXPECT_NE(MetafileCanvasClass, nullptr);
    EXPECT_TRUE(drawnSmooth());
    UnregisterMetafileFormats();
    EXPECT_EQ(MetafileCanvasClass, nullptr);
    EXPECT_FALSE(drawnSmooth());
    RegisterMetafileFormats();
}

TEST_F(MetafileFormatsTest, IconsLoadTheLargestEntryAndDrawWithTheirAlpha) {
    const std::string multi = Fixture("multi.ico");
    TBytesStream stream(ReadFile(multi));
    ASSERT_EQ(R().FindByFormat(stream), &TfrxICOGraphicFormat::Instance());
    std::unique_ptr<TGraphic> g = R().LoadFromStream(stream);
    ASSERT_TRUE(g);
    auto& icon = dynamic_cast<TIcon&>(*g);
    EXPECT_EQ(icon.EntryCount(), 3);
    EXPECT_EQ(icon.ShownEntry(), 2);
    EXPECT_EQ(icon.GetWidth(), 48);
    EXPECT_EQ(icon.GetHeight(), 48);
    EXPECT_EQ(icon.SaveToBytes(), ReadFile(multi));
    EXPECT_EQ(Shell("identify -format '%w %h ' '" + multi + "' 2>/dev/null"), "16 16 32 32 48 48 ");

    const auto oracle = Oracle(multi + "[2]");
    ASSERT_EQ(oracle.size(), 48u * 48u);
    std::unique_ptr<TBitmap> rgb = R().ConvertToBitmap(icon, pf24bit);
    std::unique_ptr<TBitmap> argb = R().ConvertToBitmap(icon, pf32bit);
    ASSERT_EQ(rgb->GetPixelFormat(), pf24bit);
    int opaque = 0, clear = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x) {
            const auto& [colour, alpha] = oracle[y * 48 + x];
            EXPECT_EQ(argb->ScanLine(y)[x * 4 + 3], alpha) << x << "," << y;
            if (alpha == 255) {
                ++opaque;
                EXPECT_EQ(rgb->GetPixel(x, y), colour) << x << "," << y;
            } else if (alpha == 0) {
                ++clear;
            }
        }
    EXPECT_EQ(opaque, 40 * 40);
    EXPECT_EQ(clear, 48 * 48 - 40 * 40);

    // drawn stretched over a background: transparent parts leave it
    TBitmap target(96, 96, pf24bit);
    target.Canvas().Brush().SetColor(clFuchsia);
    target.Canvas().FillRect(Rect(0, 0, 96, 96));
    R().Draw(target.Canvas(), icon, Rect(0, 0, 96, 96), gqDefault);
    EXPECT_EQ(ColorToRGB(target.GetPixel(2, 2)), ColorToRGB(clFuchsia));
    EXPECT_EQ(ColorToRGB(target.GetPixel(20, 20)), ColorToRGB(clRed));
    EXPECT_EQ(ColorToRGB(target.GetPixel(70, 70)), ColorToRGB(clYellow));
}

TEST_F(MetafileFormatsTest, HandMadeIconEntriesDrawByPixel) {
    // the palette of make_icons.py; pixel (x, y) has index (x + y) % colours, columns 0 and 1 are masked
    const TColor palette[] = {clBlack,  clWhite, clRed,  clLime,  clBlue, clYellow, clAqua,   clFuchsia,
                              clMaroon, clGreen, clNavy, clOlive, clTeal, clPurple, clSilver, clGray};
    for (int bits : {1, 4, 8}) {
        const std::string path = Fixture(("dib" + std::to_string(bits) + ".ico").c_str());
        TIcon icon;
        icon.LoadFromBytes(ReadFile(path));
        ASSERT_EQ(icon.GetWidth(), 10) << bits;
        ASSERT_EQ(icon.GetHeight(), 6) << bits;
        EXPECT_EQ(Shell("identify -format '%w %h' '" + path + "' 2>/dev/null"), "10 6");
        TBitmap target(10, 6, pf24bit);
        target.Canvas().Brush().SetColor(RGB(1, 2, 3));
        target.Canvas().FillRect(Rect(0, 0, 10, 6));
        icon.Draw(target.Canvas(), Rect(0, 0, 10, 6));
        const int colours = 1 << bits;
        for (auto [x, y] : {std::pair{0, 0}, {1, 5}, {2, 0}, {5, 3}, {9, 5}, {7, 1}}) {
            const int index = (x + y) % colours;
            const TColor expected = x < 2 ? RGB(1, 2, 3) : (index < 16 ? ColorToRGB(palette[index]) : clNone);
            if (expected != clNone)
                EXPECT_EQ(target.GetPixel(x, y), expected) << bits << " bits at " << x << "," << y;
        }
    }
    TIcon png;
    png.LoadFromBytes(ReadFile(Fixture("png.ico")));
    ASSERT_EQ(png.GetWidth(), 12);
    TBitmap target(12, 12, pf24bit);
    target.Canvas().Brush().SetColor(clBlue);
    target.Canvas().FillRect(Rect(0, 0, 12, 12));
    png.Draw(target.Canvas(), Rect(0, 0, 12, 12));
    EXPECT_EQ(ColorToRGB(target.GetPixel(2, 2)), ColorToRGB(clRed));
    EXPECT_EQ(ColorToRGB(target.GetPixel(9, 9)), ColorToRGB(clBlue));
}

TEST_F(MetafileFormatsTest, IconsOfASizeOnlyDrawNothingAndOthersRaise) {
    std::unique_ptr<TGraphic> sized = TfrxICOGraphicFormat::Instance().CreateNew(8, 8, pf24bit, false, 100);
    EXPECT_EQ(sized->GetWidth(), 8);
    EXPECT_TRUE(sized->GetEmpty());
    TBitmap target(8, 8, pf24bit);
    target.Canvas().Brush().SetColor(clGreen);
    target.Canvas().FillRect(Rect(0, 0, 8, 8));
    sized->Draw(target.Canvas(), Rect(0, 0, 8, 8));
    EXPECT_EQ(ColorToRGB(target.GetPixel(4, 4)), ColorToRGB(clGreen));
    TIcon again; // an empty icon file reads back empty
    again.LoadFromBytes(sized->SaveToBytes());
    EXPECT_TRUE(again.GetEmpty());

    TBitmap b(2, 2);
    EXPECT_THROW(TfrxICOGraphicFormat::Instance().ConvertFrom(b, pf24bit, 100), EAbstractGraphicFormatException);
    EXPECT_THROW(TfrxICOGraphicFormat::Instance().GetCanvasHelperClass(), EAbstractGraphicFormatException);
    EXPECT_EQ(TfrxICOGraphicFormat::Instance().GetFormatCapabilities(), frxBaseGraphicCaps);

    // damaged icons raise the graphics layer's error
    Bytes good = ReadFile(Fixture("dib8.ico"));
    struct Damage {
        const char* Name;
        std::size_t Offset;
        std::uint8_t Value;
    };
    for (const Damage& d : {Damage{"entry count past the data", 4, 200}, Damage{"offset past the data", 21, 9},
                            Damage{"size past the data", 17, 0xFF}, Damage{"no room for the mask", 30, 0x40},
                            Damage{"bits per pixel", 36, 7}, Damage{"compression", 38, 1}}) {
        Bytes bad = good;
        bad[d.Offset] = d.Value;
        TIcon icon;
        EXPECT_THROW(icon.LoadFromBytes(bad), EInvalidGraphic) << d.Name;
    }
    TIcon icon;
    EXPECT_THROW(icon.LoadFromBytes(Bytes(good.begin(), good.begin() + 40)), EInvalidGraphic);
}

TEST_F(MetafileFormatsTest, MetafilesOfOtherProducersLoadThroughTheRegistry) {
    // the metafile fixtures of the graphics layer: written by a script from the published
    // layouts (mapped.*) and drawn through libEMF (libemf.emf); see their folder
    const std::string dir = std::string(VGL_TEST_DATA_DIR) + "/../../../platform/graphics/data/metafile/";
    struct Case {
        const char* File;
        TfrxGraphicFormatClass Format;
        std::vector<std::pair<TPoint, TColor>> Probes;
    };
    const Case cases[] = {
        {"mapped.emf",
         &TfrxEMFGraphicFormat::Instance(),
         {{Point(25, 20), clRed}, {Point(55, 15), clBlue}, {Point(70, 25), clWhite}, {Point(55, 50), clYellow}}},
        {"mapped.wmf",
         &TfrxWMFGraphicFormat::Instance(),
         {{Point(25, 20), clRed}, {Point(55, 15), clBlue}, {Point(70, 25), clWhite}, {Point(85, 66), clGray}}},
        {"libemf.emf",
         &TfrxEMFGraphicFormat::Instance(),
         {{Point(25, 20), clRed}, {Point(69, 25), clBlue}, {Point(25, 50), clLime}, {Point(5, 5), clWhite}}},
    };
    for (const Case& c : cases) {
        TBytesStream stream(ReadFile(dir + c.File));
        ASSERT_EQ(R().FindByFormat(stream), c.Format) << c.File;
        std::unique_ptr<TGraphic> g = R().LoadFromStream(stream);
        ASSERT_TRUE(g) << c.File;
        EXPECT_EQ(g->GetWidth(), 100) << c.File;
        EXPECT_EQ(g->GetHeight(), 75) << c.File;
        std::unique_ptr<TBitmap> bmp = R().ConvertToBitmap(*g, pf24bit);
        ASSERT_TRUE(bmp);
        for (const auto& [p, colour] : c.Probes)
            EXPECT_EQ(bmp->GetPixel(p.X, p.Y), ColorToRGB(colour)) << c.File << " at " << p.X << "," << p.Y;
    }
    // libEMF's file as emf2svg renders it
    if (Shell("command -v emf2svg-conv >/dev/null && command -v rsvg-convert >/dev/null && echo yes") != "yes\n")
        GTEST_SKIP() << "emf2svg or librsvg2-bin is missing";
    const std::string svg = WriteTemp("libemf.svg", {}), png = WriteTemp("libemf.png", {});
    Shell("emf2svg-conv -i '" + dir + "libemf.emf' -o '" + svg + "' 2>/dev/null; rsvg-convert -w 100 -h 75 '" + svg +
          "' -o '" + png + "'");
    TPngImage rendered;
    rendered.LoadFromBytes(ReadFile(png));
    for (const auto& [p, colour] : cases[2].Probes) {
        const TColor got = rendered.GetPixelAlpha(p.X, p.Y) < 128 ? clWhite : rendered.GetPixelColor(p.X, p.Y);
        EXPECT_EQ(got, ColorToRGB(colour)) << "emf2svg at " << p.X << "," << p.Y;
    }
}

} // namespace
} // namespace vgl
