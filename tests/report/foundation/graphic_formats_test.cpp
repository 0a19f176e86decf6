#include "report/foundation/graphic_formats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/graphics/metafile.h"
#include "platform/rtl/reflection_builder.h"
#include "report/foundation/metafile_formats.h"
#include "report/foundation/picture_formats.h"
#include "report/foundation/png_jpeg_formats.h"
#include "report/foundation/raster_drawing.h"

namespace vgl {

// A bitmap class of the test: the registry must claim it through its ancestor.
class TTestBitmapDescendant : public TBitmap {
    VGL_CLASS(TTestBitmapDescendant, TBitmap)
    TTestBitmapDescendant() = default;
};
VGL_DEFINE_CLASS(TTestBitmapDescendant) {}

namespace {

/// A format overriding nothing: every abstract operation must raise its text.
class TTestAbstractFormat : public TfrxCustomGraphicFormat {
public:
    String ClassName() const override { return u"TTestAbstractFormat"; }
};

/// A vector format over the platform metafile.
class TTestVectorFormat : public TfrxCustomVectorGraphicFormat {
public:
    String ClassName() const override { return u"TTestVectorFormat"; }
    TClass GetGraphicClass() const override { return &TMetafile::StaticClassInfo(); }
    String GetGraphicName() const override { return u"TST \"v\""; }
    String GetGraphicExt() const override { return u".tst"; }
    String GetGraphicMime() const override { return u"image/x-test,v"; }
    std::int32_t GetGraphicConst() const override { return 99; }
};

class GraphicFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A fresh registry with the documented formats, whatever other tests left behind.
        while (frxGraphicFormatsInstance().Count() > 0)
            frxGraphicFormatsInstance().UnregisterFormat(frxGraphicFormatsInstance().GetItem(0));
        RegisterPictureFormats();
    }
    void TearDown() override { UnregisterPictureFormats(); }
    TfrxGraphicFormats& R() { return frxGraphicFormatsInstance(); }
};

/// Fills `b` (w × h) with one colour.
void Fill(TBitmap& b, int w, int h, TColor c, TPixelFormat pf = pf24bit) {
    b.SetPixelFormat(pf);
    b.SetSize(w, h);
    b.Canvas().Brush().SetColor(c);
    b.Canvas().FillRect(Rect(0, 0, w, h));
}

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

std::filesystem::path TempFile(const char* name, const std::vector<std::uint8_t>& bytes) {
    auto path = std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

TEST_F(GraphicFormatsTest, LookupsFollowRegistrationOrder) {
    ASSERT_EQ(R().Count(), 8);
    EXPECT_EQ(R().FindByName(u"jpg"), nullptr);
    EXPECT_EQ(R().FindByName(u"JPG"), &TfrxJPEGPictureFormat::Instance());
    EXPECT_EQ(R().FindByExt(u".JPG"), &TfrxJPEGPictureFormat::Instance());
    EXPECT_EQ(R().FindByName(u"BMP", {gcConvert}), &TfrxBitmapGraphicFormat::Instance());
    EXPECT_EQ(R().FindByConst(5), &TfrxPNGGraphicFormat::Instance());
    EXPECT_EQ(R().FindByConst(6), nullptr);
    EXPECT_EQ(R().GetDefault()->GetGraphicConst(), 2147483647);
    EXPECT_EQ(R().BuildFormatsString(stName, u","), u"WMF,EMF,FREMF,ICO,JPG,PNG,GIF,BMP");
    EXPECT_EQ(R().BuildFormatsString(stExtension, u";x"), u"*.wmf;*.emf;*.emf;*.ico;*.jpg;*.png;*.gif;*.bmp");
    EXPECT_EQ(R().BuildFormatsStrings(stClassName)->Get(7), u"TfrxBitmapGraphicFormat");
    EXPECT_EQ(R().BuildFormatsStrings(stMime)->Get(4), u"image/jpeg");
    EXPECT_THROW(R().BuildFormatsString(stName, u""), EArgumentException);

    // Quoting: a blank or a quote, or the separator inside a line.
    TTestVectorFormat vector;
    R().RegisterFormat(&vector);
    EXPECT_EQ(R().BuildFormatsString(stName, u",", {gcConvert}), u"WMF,EMF,FREMF,JPG,PNG,BMP,\"TST \"\"v\"\"\"");
    EXPECT_EQ(R().BuildFormatsString(stMime, u","),
              u"image/metafile,image/metafile,image/metafile,image/vnd.microsoft.icon,image/jpeg,image/png,"
              u"image/gif,image/bitmap,\"image/x-test,v\"");
    // the format registered first claims the metafile class
    EXPECT_EQ(R().FindByGraphic(&TMetafile::StaticClassInfo()), &TfrxWMFGraphicFormat::Instance());
    R().UnregisterFormat(&vector);
}

TEST_F(GraphicFormatsTest, FindByGraphicTakesDescendants) {
    EXPECT_EQ(R().FindByGraphic(&TTestBitmapDescendant::StaticClassInfo()), &TfrxBitmapGraphicFormat::Instance());
    EXPECT_EQ(R().FindByGraphic(&TPNGObject::StaticClassInfo()), &TfrxPNGGraphicFormat::Instance());
    EXPECT_EQ(R().FindByGraphic(&TJPEGImage::StaticClassInfo(), {gcGetCanvas}), &TfrxJPEGPictureFormat::Instance());
    EXPECT_EQ(R().FindByGraphic(&TGraphic::StaticClassInfo()), nullptr);
    TPNGObject png;
    EXPECT_EQ(png.ClassName(), u"TPNGObject");
}

TEST_F(GraphicFormatsTest, StreamsAreTestedWithoutMovingThem) {
    std::vector<std::uint8_t> bm(15, 0);
    bm[0] = 'B', bm[1] = 'M';
    TBytesStream short15(bm);
    EXPECT_EQ(R().FindByFormat(short15), nullptr);
    EXPECT_EQ(R().LoadFromStream(short15), nullptr);
    EXPECT_EQ(short15.GetPosition(), 0);

    std::vector<std::uint8_t> junk = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    TBytesStream other(junk);
    other.SetPosition(3);
    TPicture picture;
    EXPECT_FALSE(R().LoadFromStream(picture, other));
    EXPECT_EQ(other.GetPosition(), 3);

    // A real bitmap loads through BMP, into a picture too; a broken one raises the class's error.
    TBitmap red;
    Fill(red, 3, 2, clRed);
    TBytesStream good(red.SaveToBytes());
    std::unique_ptr<TGraphic> loaded = R().LoadFromStream(good);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->ClassName(), u"TBitmap");
    EXPECT_EQ(static_cast<TBitmap&>(*loaded).GetPixel(2, 1), clRed);
    good.SetPosition(0);
    EXPECT_TRUE(R().LoadFromStream(picture, good));
    EXPECT_EQ(picture.GetWidth(), 3);
    std::vector<std::uint8_t> broken = red.SaveToBytes();
    broken.resize(20);
    TBytesStream bad(broken);
    EXPECT_THROW(R().LoadFromStream(bad), EInvalidGraphic);
}

TEST_F(GraphicFormatsTest, UnregisteringEveryFormatStartsAFreshRegistry) {
    TfrxGraphicFormats* before = &R();
    UnregisterPictureFormats();
    // The old object is gone; a new, empty one answers.
    EXPECT_EQ(R().Count(), 0);
    EXPECT_EQ(R().FindByName(u"BMP"), nullptr);
    (void)before;
    RegisterPictureFormats();
    EXPECT_EQ(R().Count(), 8);
}

TEST_F(GraphicFormatsTest, AbstractOperationsRaiseTheirTexts) {
    TTestAbstractFormat f;
    TMemoryStream s;
    TBitmap b;
    auto expectText = [](auto call, const String& text) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EAbstractGraphicFormatException& e) {
            EXPECT_EQ(e.Message(), text);
        }
    };
    expectText([&] { f.ConvertFrom(b, pf24bit, 100); }, u"Method ConvertFrom in TTestAbstractFormat");
    expectText([&] { f.CreateNew(1, 1, pf24bit, false, 100); }, u"Method CreateNew in TTestAbstractFormat");
    expectText([&] { f.GetCanvasHelperClass(); }, u"Method GetCanvasHelperClass in TTestAbstractFormat");
    expectText([&] { f.GetGraphicClass(); }, u"Method GetGraphicClass in TTestAbstractFormat");
    expectText([&] { f.GetGraphicConst(); }, u"Method GetGraphicConst in TTestAbstractFormat");
    expectText([&] { f.GetGraphicExt(); }, u"Method GetGraphicExt in TTestAbstractFormat");
    expectText([&] { f.GetGraphicMime(); }, u"Method GetGraphicMime in TTestAbstractFormat");
    expectText([&] { f.GetGraphicName(); }, u"Method GetGraphicName in TTestAbstractFormat");
    expectText([&] { f.IsSupportedFormat(s); }, u"Method IsSupportedFormat in TTestAbstractFormat");
    TfrxGraphicCanvasHelper helper(b, &f);
    expectText([&] { helper.GetCanvas(); }, u"Method GetCanvas in TfrxGraphicCanvasHelper");
    expectText([&] { TfrxDefaultGraphicFormat::Instance().IsSupportedFormat(s); },
               u"Method IsSupportedFormat in TfrxDefaultGraphicFormat");
    // Base behaviour that needs nothing abstract.
    EXPECT_EQ(f.GetFormatCapabilities(), (TfrxGraphicFormatCaps{gcLoadFrom, gcDraw, gcConvertToBitmap}));
    EXPECT_FALSE(f.IsTransparent(nullptr));
    EXPECT_EQ(f.ConvertToMaskedBitmap(b, pf24bit, clWhite), nullptr);
}

TEST_F(GraphicFormatsTest, DrawExtKeepsTheAspectRatioAndCentres) {
    TBitmap picture;
    Fill(picture, 200, 100, clRed);
    TBitmap target;
    Fill(target, 100, 100, clWhite);
    TfrxDrawGraphicExt props;
    props.DrawProps = {fgdStretch, fgdKeepAspectRatio, fgdCenter};
    R().DrawExt(props, target.Canvas(), picture, Rect(0, 0, 100, 100), 1, 1);
    for (int x : {0, 50, 99}) {
        EXPECT_EQ(target.GetPixel(x, 24), clWhite);
        EXPECT_EQ(target.GetPixel(x, 25), clRed);
        EXPECT_EQ(target.GetPixel(x, 74), clRed);
        EXPECT_EQ(target.GetPixel(x, 75), clWhite);
    }
    // Natural size, centred and clipped to the area.
    TBitmap t2;
    Fill(t2, 100, 100, clWhite);
    props.DrawProps = {fgdCenter, fgdClip};
    R().DrawExt(props, t2.Canvas(), picture, Rect(10, 10, 90, 90), 1, 1);
    // The picture lands at (-50, 0)-(150, 100); only the area shows it.
    EXPECT_EQ(t2.GetPixel(9, 50), clWhite);
    EXPECT_EQ(t2.GetPixel(50, 9), clWhite);
    EXPECT_EQ(t2.GetPixel(10, 10), clRed);
    EXPECT_EQ(t2.GetPixel(89, 89), clRed);
    EXPECT_EQ(t2.GetPixel(90, 89), clWhite);
    EXPECT_EQ(t2.GetPixel(50, 90), clWhite);
    EXPECT_FALSE(t2.Canvas().HasClip());
}

TEST_F(GraphicFormatsTest, BitmapFormatBehaviour) {
    const TfrxBitmapGraphicFormat& f = TfrxBitmapGraphicFormat::Instance();
    TBitmap b(2, 1, pf32bit);
    b.ScanLine(0)[3] = 0x80;
    EXPECT_FALSE(f.HasAlphaChanel(b));
    b.SetAlphaFormat(afPremultiplied);
    EXPECT_TRUE(R().HasAlphaChanel(b));
    std::unique_ptr<TBitmap> alpha = f.GetAlphaBitmap(b);
    EXPECT_EQ(alpha->GetPixelFormat(), pf8bit);
    EXPECT_EQ(alpha->GetPixel(0, 0), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(alpha->GetPixel(1, 0), clBlack);
    TfrxGraphicProps p = f.GetGraphicProps(b);
    EXPECT_TRUE(p.HasAlpha);
    EXPECT_EQ(p.PixelFormat, pf32bit);

    // Scaling keeps a key colour and the format.
    TBitmap key;
    Fill(key, 4, 4, clLime);
    key.SetTransparent(true);
    key.SetTransparentColor(clLime);
    R().ScaleGraphic(key, 8, 6);
    EXPECT_EQ(key.GetWidth(), 8);
    EXPECT_EQ(key.GetHeight(), 6);
    EXPECT_EQ(key.GetPixel(7, 5), clLime);
    EXPECT_TRUE(key.GetTransparent());

    std::unique_ptr<TGraphic> converted = R().Convert(key, u"BMP", pf8bit, 100);
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(static_cast<TBitmap&>(*converted).GetPixelFormat(), pf8bit);
    EXPECT_EQ(R().Convert(key, u"XYZ", pf24bit, 100), nullptr);
}

TEST_F(GraphicFormatsTest, VectorFormatCoverageAndConversion) {
    TTestVectorFormat f;
    TMetafile mf(10, 10);
    {
        TMetafileCanvas c(mf);
        c.Brush().SetColor(clYellow);
        c.FillRect(Rect(0, 0, 5, 10));
    }
    std::unique_ptr<TBitmap> coverage = f.GetAlphaBitmap(mf);
    EXPECT_EQ(coverage->GetPixelFormat(), pf1bit);
    EXPECT_EQ(coverage->GetPixel(2, 5), clWhite); // painted: bit 1
    EXPECT_EQ(coverage->GetPixel(7, 5), clBlack);
    std::unique_ptr<TBitmap> b = f.ConvertToBitmap(mf, pf32bit);
    EXPECT_TRUE(b->GetTransparent());
    EXPECT_EQ(b->ScanLine(5)[2 * 4 + 3], 0xFF);
    EXPECT_EQ(b->ScanLine(5)[7 * 4 + 3], 0x00);
    EXPECT_EQ(b->GetPixel(2, 5), clYellow);
    EXPECT_EQ(b->GetPixel(7, 5), clWhite);
    EXPECT_TRUE(f.IsVector());
    EXPECT_FALSE(f.HasAlphaChanel(mf));

    // A metafile is always stretch-drawn, even at print quality.
    TBitmap target;
    Fill(target, 40, 20, clBlue);
    f.Draw(target.Canvas(), mf, Rect(0, 0, 40, 20), gqPrint);
    EXPECT_EQ(target.GetPixel(19, 10), clYellow);
    EXPECT_EQ(target.GetPixel(20, 10), clBlue);
    TBitmap target2;
    Fill(target2, 40, 20, clBlue);
    DrawGraphicHQ(target2.Canvas(), Rect(0, 0, 40, 20), mf, nullptr, clNone, true, true, true);
    EXPECT_EQ(target2.GetPixel(19, 10), clYellow);
    EXPECT_EQ(target2.GetPixel(20, 10), clBlue);
}

/// A PNG of colour with alpha from rows of (r, g, b, a).
std::unique_ptr<TPNGObject> RgbaPng(std::vector<std::array<int, 4>> pixels) {
    auto holder = std::make_unique<TPNGObject>();
    TPNGObject& png = *holder;
    png.CreateBlank(COLOR_RGBALPHA, 8, int(pixels.size()), 1);
    for (size_t x = 0; x < pixels.size(); ++x) {
        png.Scanline(0)[x * 3] = std::uint8_t(pixels[x][2]);
        png.Scanline(0)[x * 3 + 1] = std::uint8_t(pixels[x][1]);
        png.Scanline(0)[x * 3 + 2] = std::uint8_t(pixels[x][0]);
        png.AlphaScanline(0)[x] = std::uint8_t(pixels[x][3]);
    }
    return holder;
}

TEST_F(GraphicFormatsTest, PngAlphaRoundTrip) {
    // A premultiplied half-transparent white pixel; one whose channels exceed its alpha.
    TBitmap b(2, 1, pf32bit);
    const std::uint8_t px[8] = {128, 128, 128, 128, 200, 10, 100, 100};
    std::copy_n(px, 8, b.ScanLine(0));
    b.SetAlphaFormat(afPremultiplied);
    std::unique_ptr<TGraphic> png = R().Convert(b, u"PNG", pf32bit, 100);
    ASSERT_NE(png, nullptr);
    auto& p = static_cast<TPngImage&>(*png);
    EXPECT_EQ(p.ColorType(), COLOR_RGBALPHA);
    EXPECT_EQ(p.GetPixelColor(0, 0), clWhite);
    EXPECT_EQ(p.GetPixelAlpha(0, 0), 128);
    // 200 × 255 / 100 is clamped to 255 instead of wrapping to a dark 254.
    EXPECT_EQ(p.Scanline(0)[3], 255);
    EXPECT_EQ(p.Scanline(0)[4], 26);
    EXPECT_EQ(p.Scanline(0)[5], 255);
    std::unique_ptr<TBitmap> back = R().ConvertToBitmap(*png, pf32bit);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetAlphaFormat(), afPremultiplied);
    const std::uint8_t* row = back->ScanLine(0);
    EXPECT_EQ(std::vector<int>(row, row + 4), (std::vector<int>{128, 128, 128, 128}));
}

TEST_F(GraphicFormatsTest, PngPartialAlphaOnA24BitBitmapIsCompositedOverWhite) {
    std::unique_ptr<TPNGObject> pngHolder =
        RgbaPng({{255, 0, 0, 0}, {255, 0, 0, 255}, {255, 0, 0, 128}, {0, 0, 255, 64}});
    TPNGObject& png = *pngHolder;
    std::unique_ptr<TBitmap> b = R().ConvertToBitmap(png, pf24bit);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetPixelFormat(), pf24bit);
    EXPECT_EQ(b->GetPixel(0, 0), clWhite);
    EXPECT_EQ(b->GetPixel(1, 0), clRed);
    EXPECT_EQ(b->GetPixel(2, 0), RGB(255, 127, 127));
    EXPECT_EQ(b->GetPixel(3, 0), RGB(191, 191, 255));
}

TEST_F(GraphicFormatsTest, PalettePngAlphaPerIndex) {
    TPNGObject png;
    png.CreateBlank(COLOR_PALETTE, 2, 4, 1);
    png.SetPalette({clRed, clLime, clBlue, clWhite});
    png.SetPaletteAlpha({0, 85, 170});
    png.Scanline(0)[0] = 0x1B; // indexes 0, 1, 2, 3
    std::unique_ptr<TBitmap> alpha = TfrxPNGGraphicFormat::Instance().GetAlphaBitmap(png);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->GetPixel(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(alpha->GetPixel(1, 0), RGB(85, 85, 85));
    EXPECT_EQ(alpha->GetPixel(2, 0), RGB(170, 170, 170));
    EXPECT_EQ(alpha->GetPixel(3, 0), RGB(255, 255, 255));
    std::unique_ptr<TPNGObject> rgba = PngToRGBA(png);
    EXPECT_EQ(rgba->GetPixelColor(1, 0), clLime);
    EXPECT_TRUE(R().HasAlphaChanel(png));
}

TEST_F(GraphicFormatsTest, JpegCreationConversionAndCanvas) {
    std::unique_ptr<TGraphic> j = TfrxJPEGPictureFormat::Instance().CreateNew(8, 8, pf24bit, false, 75);
    TfrxGraphicProps p = R().FindByGraphic(j->ClassType())->GetGraphicProps(*j);
    EXPECT_EQ(p.Quality, 75);
    EXPECT_EQ(p.PixelFormat, pf24bit);
    EXPECT_FALSE(p.HasAlpha);
    EXPECT_EQ(j->GetWidth(), 8);

    // PNG to JPG: the JPEG class refuses the PNG, so the picture goes through a 24-bit bitmap.
    std::unique_ptr<TPNGObject> pngHolder =
        RgbaPng({{255, 0, 0, 255}, {255, 0, 0, 255}, {255, 0, 0, 255}, {255, 0, 0, 255}});
    TPNGObject& png = *pngHolder;
    std::unique_ptr<TGraphic> jpeg = R().Convert(png, u"JPG", pf32bit, 90);
    ASSERT_NE(jpeg, nullptr);
    auto& jp = static_cast<TJPEGImage&>(*jpeg);
    EXPECT_EQ(jp.GetPixelFormat(), jf24Bit);
    TBitmap decoded;
    decoded.Assign(jp);
    EXPECT_NEAR(GetRValue(decoded.GetPixel(1, 0)), 255, 8);
    EXPECT_NEAR(GetGValue(decoded.GetPixel(1, 0)), 0, 8);

    // Drawing through the canvas helper re-encodes the JPEG.
    {
        std::unique_ptr<TfrxGraphicCanvasHelper> h = TfrxJPEGPictureFormat::Instance().CreateCanvasHelper(*j);
        h->GetCanvas().Brush().SetColor(clWhite);
        h->GetCanvas().FillRect(Rect(0, 0, 8, 8));
    }
    decoded.Assign(*j);
    EXPECT_GT(GetRValue(decoded.GetPixel(4, 4)), 245);
}

TEST_F(GraphicFormatsTest, PngCanvasHelperWritesBack) {
    std::unique_ptr<TPNGObject> pngHolder = RgbaPng({{255, 0, 0, 255}, {0, 0, 255, 0}});
    TPNGObject& png = *pngHolder;
    {
        std::unique_ptr<TfrxGraphicCanvasHelper> h = TfrxPNGGraphicFormat::Instance().CreateCanvasHelper(png);
        auto* work = dynamic_cast<TBitmap*>(h->GetCanvasGraphic());
        ASSERT_NE(work, nullptr);
        EXPECT_EQ(work->GetPixelFormat(), pf32bit);
        h->GetCanvas().SetPixel(0, 0, clLime);
    }
    EXPECT_EQ(png.GetPixelColor(0, 0), clLime);
    EXPECT_EQ(png.GetPixelAlpha(0, 0), 255);
    EXPECT_EQ(png.GetPixelAlpha(1, 0), 0);

    TPNGObject opaque;
    opaque.CreateBlank(COLOR_RGB, 8, 2, 2);
    {
        std::unique_ptr<TfrxGraphicCanvasHelper> h = TfrxPNGGraphicFormat::Instance().CreateCanvasHelper(opaque);
        EXPECT_EQ(dynamic_cast<TBitmap&>(*h->GetCanvasGraphic()).GetPixelFormat(), pf24bit);
        h->GetCanvas().SetPixel(1, 1, clBlue);
    }
    EXPECT_EQ(opaque.GetPixelColor(1, 1), clBlue);
    EXPECT_EQ(opaque.GetPixelColor(0, 0), clBlack);
}

TEST_F(GraphicFormatsTest, PngDrawingPaths) {
    // A key colour at print quality: the key pixels leave the destination as it was.
    TPNGObject key;
    key.CreateBlank(COLOR_RGB, 8, 2, 1);
    key.Scanline(0)[2] = 255; // pixel 0 red
    key.Scanline(0)[3] = 255; // pixel 1 blue
    key.SetTransparentColor(clRed);
    ASSERT_EQ(key.TransparencyMode(), ptmBit);
    EXPECT_EQ(R().FindByGraphic(key.ClassType())->GetTransparentColor(key), clRed);
    TBitmap target;
    Fill(target, 20, 10, clLime);
    R().Draw(target.Canvas(), key, Rect(0, 0, 20, 10), gqPrint);
    EXPECT_EQ(target.GetPixel(2, 5), clLime);
    EXPECT_EQ(target.GetPixel(17, 5), clBlue);

    // Partial alpha at high quality is blended; at default quality on a bitmap the canvas draws it.
    std::unique_ptr<TPNGObject> softHolder = RgbaPng({{0, 0, 0, 128}, {0, 0, 0, 0}});
    TPNGObject& soft = *softHolder;
    for (TfrxGraphicQuality q : {gqDefault, gqHiQuality}) {
        TBitmap t;
        Fill(t, 2, 1, clWhite);
        R().Draw(t.Canvas(), soft, Rect(0, 0, 2, 1), q);
        EXPECT_NEAR(GetRValue(t.GetPixel(0, 0)), 127, 2);
        EXPECT_EQ(t.GetPixel(1, 0), clWhite);
    }
    TfrxGraphicProps p = TfrxPNGGraphicFormat::Instance().GetGraphicProps(soft);
    EXPECT_TRUE(p.HasAlpha);
    EXPECT_EQ(p.PixelFormat, pf32bit);
}

TEST_F(GraphicFormatsTest, SavedFilesPassIndependentCheckers) {
    TBitmap b;
    Fill(b, 7, 5, clRed);
    b.SetPixel(3, 2, clBlue);
    auto bmpPath = TempFile("f.bmp", b.SaveToBytes());
    EXPECT_EQ(Shell("identify -format '%m %w %h' " + bmpPath.string() + " 2>&1"), "BMP3 7 5");

    std::unique_ptr<TGraphic> png = R().Convert(b, u"PNG", pf24bit, 100);
    auto pngPath = TempFile("f.png", png->SaveToBytes());
    EXPECT_EQ(Shell("identify -format '%m %w %h' " + pngPath.string() + " 2>&1"), "PNG 7 5");
    EXPECT_EQ(Shell("pngcheck -q " + pngPath.string() + " >/dev/null 2>&1; echo $?"), "0\n");
    TBitmap alpha(3, 3, pf32bit);
    alpha.ScanLine(1)[7] = 255;
    alpha.ScanLine(1)[5] = 255;
    alpha.SetAlphaFormat(afPremultiplied);
    std::unique_ptr<TGraphic> pngA = R().Convert(alpha, u"PNG", pf32bit, 100);
    auto pngAPath = TempFile("a.png", pngA->SaveToBytes());
    EXPECT_EQ(Shell("pngcheck -q " + pngAPath.string() + " >/dev/null 2>&1; echo $?"), "0\n");
    EXPECT_EQ(Shell("identify -format '%[channels]' " + pngAPath.string() + " 2>&1"), "srgba");

    std::unique_ptr<TGraphic> jpeg = R().Convert(b, u"JPG", pf24bit, 75);
    auto jpgPath = TempFile("f.jpg", jpeg->SaveToBytes());
    int q = std::atoi(Shell("identify -format '%Q' " + jpgPath.string()).c_str());
    EXPECT_NEAR(q, 75, 2);
    for (auto& path : {bmpPath, pngPath, pngAPath, jpgPath})
        std::filesystem::remove(path);
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

TEST(PngScalingTest, ScalingKeepsAlpha) {
    auto png = std::make_unique<TPNGObject>();
    png->CreateBlank(COLOR_RGBALPHA, 8, 2, 1);
    png->Scanline(0)[2] = 255; // pixel 0 red, opaque
    png->AlphaScanline(0)[0] = 255;
    png->Scanline(0)[3] = 255; // pixel 1 blue, half transparent
    png->AlphaScanline(0)[1] = 128;
    std::unique_ptr<TGraphic> scaled = TfrxPNGGraphicFormat::Instance().ScaleGraphicToNew(*png, 4, 2);
    auto& s = dynamic_cast<TPngImage&>(*scaled);
    ASSERT_EQ(s.GetWidth(), 4);
    EXPECT_EQ(s.GetPixelAlpha(0, 1), 255);
    EXPECT_EQ(s.GetPixelColor(1, 0), clRed);
    EXPECT_EQ(s.GetPixelAlpha(3, 1), 128);
    EXPECT_EQ(s.GetPixelColor(3, 0), clBlue);
}

} // namespace
} // namespace vgl
