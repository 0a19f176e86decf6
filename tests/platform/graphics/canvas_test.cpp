#include <gtest/gtest.h>

#include <string>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/metafile.h"

namespace vgl {
namespace {

// The picture as rows of '#' (the colour) and '.' (anything else).
std::string Picture(const TBitmap& bmp, TColor color) {
    std::string s;
    for (int y = 0; y < bmp.GetHeight(); ++y) {
        for (int x = 0; x < bmp.GetWidth(); ++x)
            s += bmp.GetPixel(x, y) == color ? '#' : '.';
        s += '\n';
    }
    return s;
}

std::unique_ptr<TBitmap> WhitePage(int w, int h) {
    auto bmp = std::make_unique<TBitmap>(w, h, pf24bit);
    bmp->Canvas().Brush().SetColor(clWhite);
    bmp->Canvas().FillRect(Rect(0, 0, w, h));
    return bmp;
}

TEST(Canvas, ShapesHitExactlyTheirPixels) {
    struct Case {
        const char* Name;
        std::function<void(TCanvas&)> Draw;
        const char* Expected;
    } cases[] = {
        {"rectangle excludes right and bottom edges",
         [](TCanvas& c) {
             c.Brush().SetStyle(bsClear);
             c.Rectangle(Rect(1, 1, 5, 4));
         },
         "......\n.####.\n.#..#.\n.####.\n......\n"},
        {"filled rectangle with clear pen",
         [](TCanvas& c) {
             c.Pen().SetStyle(psClear);
             c.Brush().SetColor(clBlack);
             c.Rectangle(Rect(1, 1, 5, 4));
         },
         "......\n.####.\n.####.\n.####.\n......\n"},
        {"horizontal line leaves out its end pixel",
         [](TCanvas& c) {
             c.MoveTo(1, 2);
             c.LineTo(5, 2);
         },
         "......\n......\n.####.\n......\n......\n"},
        {"vertical line leaves out its end pixel",
         [](TCanvas& c) {
             c.MoveTo(2, 0);
             c.LineTo(2, 3);
         },
         "..#...\n..#...\n..#...\n......\n......\n"},
        {"polygon outline includes every vertex",
         [](TCanvas& c) {
             TPoint pts[] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}};
             c.Brush().SetStyle(bsClear);
             c.Polygon(pts);
         },
         "......\n.####.\n.#..#.\n.####.\n......\n"},
        {"polygon fill without pen excludes right and bottom edges",
         [](TCanvas& c) {
             TPoint pts[] = {{1, 1}, {5, 1}, {5, 4}, {1, 4}};
             c.Pen().SetStyle(psClear);
             c.Brush().SetColor(clBlack);
             c.Polygon(pts);
         },
         "......\n.####.\n.####.\n.####.\n......\n"},
        {"fill rect and frame rect",
         [](TCanvas& c) {
             c.Brush().SetColor(clBlack);
             c.FrameRect(Rect(0, 0, 6, 5));
         },
         "######\n#....#\n#....#\n#....#\n######\n"},
        {"clip limits drawing and restore lifts it",
         [](TCanvas& c) {
             c.Brush().SetColor(clBlack);
             c.SaveState();
             c.IntersectClipRect(Rect(2, 0, 4, 5));
             c.FillRect(Rect(0, 0, 6, 2));
             c.RestoreState();
             c.FillRect(Rect(0, 4, 6, 5));
         },
         "..##..\n..##..\n......\n......\n######\n"},
    };
    for (const Case& c : cases) {
        auto bmp = WhitePage(6, 5);
        c.Draw(bmp->Canvas());
        EXPECT_EQ(Picture(*bmp, clBlack), c.Expected) << c.Name;
    }
}

TEST(Canvas, HatchBrushLeavesGapsTransparent) {
    auto bmp = WhitePage(16, 8);
    bmp->Canvas().SetBkMode(TRANSPARENT);
    bmp->Canvas().Brush().SetColor(clRed);
    bmp->Canvas().Brush().SetStyle(bsVertical);
    bmp->Canvas().FillRect(Rect(0, 0, 16, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(bmp->GetPixel(x, y), x % 8 == 7 ? clRed : clWhite) << x << "," << y;
}

TEST(Canvas, TextIsDrawnInsideItsCellAndClipped) {
    RegisterLabelFonts();
    auto bmp = WhitePage(200, 60);
    TCanvas& c = bmp->Canvas();
    c.Font().SetName(u"Arial Narrow");
    c.Font().SetHeight(-40);
    c.Font().SetColor(clBlack);
    c.SetBkMode(TRANSPARENT);
    TSize extent = c.TextExtent(u"HIH");
    c.TextOut(10, 5, u"HIH");
    int inked = 0, outside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            if (bmp->GetPixel(x, y) != clWhite) {
                ++inked;
                if (x < 10 || x >= 10 + extent.cx || y < 5 || y >= 5 + extent.cy)
                    ++outside;
            }
    EXPECT_GT(inked, 100);
    EXPECT_EQ(outside, 0);

    auto clipped = WhitePage(200, 60);
    clipped->Canvas().Font().Assign(c.Font());
    clipped->Canvas().SetBkMode(TRANSPARENT);
    TRect box = Rect(0, 0, 15, 60);
    clipped->Canvas().ExtTextOut(10, 5, ETO_CLIPPED, &box, u"HIH", {});
    for (int y = 0; y < 60; ++y)
        for (int x = 15; x < 200; ++x)
            ASSERT_EQ(clipped->GetPixel(x, y), clWhite);
}

// Draws one scene with every kind of call onto a canvas.
void Scene(TCanvas& c, const TBitmap& picture) {
    c.Brush().SetColor(clWhite);
    c.FillRect(Rect(0, 0, 120, 80));
    c.Pen().SetColor(clNavy);
    c.Pen().SetWidth(3);
    c.Brush().SetColor(clYellow);
    c.Rectangle(Rect(5, 5, 50, 30));
    c.Pen().SetStyle(psDash);
    c.Pen().SetWidth(1);
    c.MoveTo(0, 40);
    c.LineTo(119, 70);
    c.Pen().SetStyle(psSolid);
    c.Brush().SetStyle(bsDiagCross);
    c.Ellipse(Rect(60, 5, 110, 45));
    TPoint tri[] = {{10, 75}, {40, 50}, {60, 75}};
    c.Brush().SetColor(clGreen);
    c.Polygon(tri);
    c.SaveState();
    c.IntersectClipRect(Rect(60, 50, 100, 80));
    c.Font().SetName(u"Arial Narrow");
    c.Font().SetHeight(-16);
    c.Font().SetStyle({fsBold});
    c.Font().SetColor(clMaroon);
    c.SetBkMode(TRANSPARENT);
    c.TextOut(62, 55, u"Label 42");
    c.RestoreState();
    c.SetWorldTransform(TXForm::Rotation(30, 100, 20));
    c.RoundRect(Rect(90, 10, 115, 30), 6, 6);
    c.SetWorldTransform(TXForm{});
    c.StretchDraw(Rect(100, 60, 120, 80), picture);
}

TEST(Metafile, ReplayEqualsDirectDrawingPixelForPixel) {
    RegisterLabelFonts();
    TBitmap picture(4, 4, pf24bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            picture.SetPixel(x, y, RGB(x * 60, y * 60, 200));

    TBitmap direct(120, 80, pf24bit);
    Scene(direct.Canvas(), picture);

    TMetafile mf(120, 80);
    {
        TMetafileCanvas recorder(mf);
        Scene(recorder, picture);
    }
    EXPECT_GT(mf.Records().size(), 8u);
    TBitmap replayed(120, 80, pf24bit);
    replayed.Canvas().Draw(0, 0, mf);

    int differences = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            differences += direct.GetPixel(x, y) != replayed.GetPixel(x, y);
    EXPECT_EQ(differences, 0);
    EXPECT_THROW(mf.SaveToBytes(), EInvalidGraphicOperation);
}

TEST(Canvas, AlphaBitmapIsBlendedPremultiplied) {
    auto page = WhitePage(2, 1);
    TBitmap overlay(2, 1, pf32bit);
    std::uint8_t* row = overlay.ScanLine(0);
    const std::uint8_t px[8] = {0, 0, 128, 128, 0, 0, 0, 0}; // half red, fully transparent
    std::copy(px, px + 8, row);
    overlay.SetAlphaFormat(afPremultiplied);
    page->Canvas().Draw(0, 0, overlay);
    TColor blended = page->GetPixel(0, 0);
    EXPECT_EQ(GetRValue(blended), 255);
    EXPECT_NEAR(GetGValue(blended), 127, 1);
    EXPECT_EQ(page->GetPixel(1, 0), clWhite);
}

TEST(Color, NamesAndSystemColors) {
    EXPECT_EQ(IdentToColor(u"clNavy"), clNavy);
    EXPECT_EQ(IdentToColor(u"CLWHITE"), clWhite);
    EXPECT_FALSE(IdentToColor(u"navy").has_value());
    EXPECT_EQ(ColorToString(clNone), u"clNone");
    EXPECT_EQ(ColorToString(0x123456), u"$00123456");
    EXPECT_EQ(StringToColor(u"$0000FF"), clRed);
    EXPECT_THROW(StringToColor(u"rot"), EConvertError);
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(clNone, 0x1FFFFFFF);
}

} // namespace
} // namespace vgl
