#include "report/foundation/raster_drawing.h"

#include <gtest/gtest.h>

#include "platform/graphics/metafile.h"

namespace vgl {
namespace {

void Fill(TBitmap& b, int w, int h, TColor c, TPixelFormat pf = pf24bit) {
    b.SetPixelFormat(pf);
    b.SetSize(w, h);
    b.Canvas().Brush().SetColor(c);
    b.Canvas().FillRect(Rect(0, 0, w, h));
}

/// A 4 × 4 picture: the left half the key colour (lime), the right half red.
void KeyPicture(TBitmap& b) {
    Fill(b, 4, 4, clLime);
    b.Canvas().Brush().SetColor(clRed);
    b.Canvas().FillRect(Rect(2, 0, 4, 4));
}

TEST(RasterDrawingTest, DrawGraphicHQKeepsTheDestinationAtKeyPixels) {
    TBitmap picture;
    KeyPicture(picture);
    // Every transparent path: print with its 1-bit mask, high quality, and a non-bitmap graphic.
    for (bool print : {true, false}) {
        TBitmap target;
        Fill(target, 40, 20, clBlue);
        DrawGraphicHQ(target.Canvas(), Rect(0, 0, 40, 20), picture, nullptr, clLime, true, !print, print);
        for (int y : {0, 10, 19}) {
            EXPECT_EQ(target.GetPixel(0, y), clBlue) << print;
            EXPECT_EQ(target.GetPixel(15, y), clBlue) << print;
            EXPECT_EQ(target.GetPixel(25, y), clRed) << print;
            EXPECT_EQ(target.GetPixel(39, y), clRed) << print;
        }
    }
    // A given alpha-like mask (8-bit, black = transparent) at print quality.
    TBitmap mask;
    Fill(mask, 4, 4, clWhite, pf8bit);
    mask.Canvas().Brush().SetColor(clBlack);
    mask.Canvas().FillRect(Rect(0, 0, 4, 2));
    TBitmap target;
    Fill(target, 8, 8, clBlue);
    DrawGraphicHQ(target.Canvas(), Rect(0, 0, 8, 8), picture, &mask, clNone, true, false, true);
    EXPECT_EQ(target.GetPixel(6, 1), clBlue);
    EXPECT_EQ(target.GetPixel(6, 6), clRed);
    EXPECT_EQ(target.GetPixel(1, 6), clLime);
    // Not transparent: everything is copied.
    Fill(target, 8, 8, clBlue);
    DrawGraphicHQ(target.Canvas(), Rect(0, 0, 8, 8), picture, nullptr, clNone, false, false, true);
    EXPECT_EQ(target.GetPixel(1, 1), clLime);
}

TEST(RasterDrawingTest, MaskedCopyOnARecordingCanvasGivesTheSamePixels) {
    TBitmap picture;
    KeyPicture(picture);
    TBitmap direct;
    Fill(direct, 12, 12, clBlue);
    DrawMaskedBitmap(direct.Canvas(), Rect(2, 2, 10, 10), picture, false, clLime, nullptr);
    TMetafile mf(12, 12);
    {
        TMetafileCanvas c(mf);
        DrawMaskedBitmap(c, Rect(2, 2, 10, 10), picture, false, clLime, nullptr);
    }
    TBitmap played;
    Fill(played, 12, 12, clBlue);
    mf.Draw(played.Canvas(), Rect(0, 0, 12, 12));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(direct.GetPixel(x, y), played.GetPixel(x, y)) << x << "," << y;
    EXPECT_EQ(direct.GetPixel(3, 5), clBlue);
    EXPECT_EQ(direct.GetPixel(8, 5), clRed);
    EXPECT_EQ(direct.GetPixel(11, 5), clBlue);
    // The clip of the canvas bounds the scan-line passes.
    TBitmap clipped;
    Fill(clipped, 12, 12, clBlue);
    clipped.Canvas().IntersectClipRect(Rect(0, 0, 8, 12));
    DrawMaskedBitmap(clipped.Canvas(), Rect(2, 2, 10, 10), picture, false, clLime, nullptr);
    EXPECT_EQ(clipped.GetPixel(7, 5), clRed);
    EXPECT_EQ(clipped.GetPixel(8, 5), clBlue);
}

TEST(RasterDrawingTest, ColorMaskAndMaskBlt) {
    TBitmap picture;
    KeyPicture(picture);
    TBitmap mask(4, 4, pf1bit);
    for (int y = 0; y < 4; ++y)
        mask.ScanLine(y)[0] = 0xFF;
    MakeColorMask(mask, picture, clLime, false);
    EXPECT_EQ(mask.GetPixel(0, 0), clWhite);
    EXPECT_EQ(mask.GetPixel(3, 0), clBlack);
    MakeColorMask(mask, picture, clLime, true); // ANDs: what was black stays black
    EXPECT_EQ(mask.GetPixel(0, 0), clBlack);
    EXPECT_EQ(mask.GetPixel(3, 0), clBlack);

    TBitmap dest;
    Fill(dest, 6, 6, clYellow);
    AndMaskBlt(dest, 1, 1, 4, 4, picture, Rect(0, 0, 4, 4), clLime);
    EXPECT_EQ(dest.GetPixel(1, 1), clYellow);
    EXPECT_EQ(dest.GetPixel(4, 1), clBlack);
    EXPECT_EQ(dest.GetPixel(5, 5), clYellow);
}

TEST(RasterDrawingTest, AlphaBlendAndStretchCopies) {
    TBitmap premultiplied(1, 1, pf32bit);
    const std::uint8_t halfRed[4] = {0, 0, 128, 128};
    std::copy_n(halfRed, 4, premultiplied.ScanLine(0));
    TBitmap target;
    Fill(target, 2, 2, clWhite);
    AlphaBlendBitmap(target.Canvas(), Rect(0, 0, 2, 2), premultiplied);
    EXPECT_NEAR(GetRValue(target.GetPixel(1, 1)), 255, 1);
    EXPECT_NEAR(GetGValue(target.GetPixel(1, 1)), 127, 1);
    EXPECT_EQ(target.Canvas().GetStretchFilter(), sfNearest);
    // A plain copy ignores both alpha and a key colour.
    premultiplied.SetAlphaFormat(afPremultiplied);
    premultiplied.SetTransparent(true);
    StretchBitmap(target.Canvas(), Rect(0, 0, 2, 2), premultiplied);
    EXPECT_EQ(target.GetPixel(0, 0), RGB(128, 0, 0));
}

TEST(RasterDrawingTest, ButtonHelpers) {
    TBitmap b;
    Fill(b, 2, 1, clBlack);
    b.SetPixel(1, 0, clWhite);
    MakeDisabledBitmap(b);
    EXPECT_EQ(b.GetPixel(0, 0), RGB(150, 150, 150));
    EXPECT_EQ(b.GetPixel(1, 0), RGB(235, 235, 235));

    TBitmap icon;
    Fill(icon, 16, 16, clRed);
    ScaleBitmapToPPI(icon, 96);
    EXPECT_EQ(icon.GetWidth(), 16);
    ScaleBitmapToPPI(icon, 144);
    EXPECT_EQ(icon.GetWidth(), 24);
    EXPECT_EQ(icon.GetHeight(), 24);
    EXPECT_EQ(icon.GetPixel(23, 23), clRed);

    TBitmap h;
    Fill(h, 6, 6, clWhite);
    DrawHatchedRect(h.Canvas(), 1, 1, 5, 4, clBlue);
    EXPECT_EQ(h.GetPixel(1, 1), clWhite); // x + y even
    EXPECT_EQ(h.GetPixel(2, 1), clBlue);
    EXPECT_EQ(h.GetPixel(1, 2), clBlue);
    EXPECT_EQ(h.GetPixel(4, 3), clBlue);
    EXPECT_EQ(h.GetPixel(5, 2), clWhite); // right edge outside
    EXPECT_EQ(h.GetPixel(2, 4), clWhite); // bottom edge outside
    EXPECT_EQ(h.GetPixel(0, 1), clWhite);
}

} // namespace
} // namespace vgl
