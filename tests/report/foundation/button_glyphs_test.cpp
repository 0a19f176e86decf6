#include "report/foundation/button_glyphs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/graphics/metafile.h"
#include "report/foundation/drawing_helpers.h"

namespace vgl {
namespace {

TEST(ButtonGlyphs, StripsCutIntoTilesWithGreyCopies) {
    TBitmap strip(32, 16, pf24bit);
    strip.Canvas().Brush().SetColor(clFuchsia); // the bottom-left pixel: the transparent colour
    strip.Canvas().FillRect(Rect(0, 0, 32, 16));
    strip.Canvas().Brush().SetColor(clBlack);
    strip.Canvas().FillRect(Rect(4, 4, 12, 12));
    strip.Canvas().Brush().SetColor(clWhite);
    strip.Canvas().FillRect(Rect(20, 4, 28, 12));
    TImageList images(16, 16), grey(16, 16);
    LoadImageStrip(strip, 16, 16, &grey, images);
    ASSERT_EQ(images.Count(), 2);
    ASSERT_EQ(grey.Count(), 2);
    EXPECT_EQ(images.Image(1).GetPixel(8, 8), ColorToRGB(clWhite));
    EXPECT_EQ(images.Image(0).ScanLine(0)[3], 0); // the transparent colour is left out
    EXPECT_EQ(grey.Image(0).GetPixel(8, 8), RGB(150, 150, 150));
    EXPECT_EQ(grey.Image(1).GetPixel(8, 8), RGB(235, 235, 235));
    EXPECT_EQ(grey.Image(1).ScanLine(0)[3], 0);

    // a partial row or column is taken when its top or left lies inside the strip
    TBitmap ragged(40, 20, pf24bit);
    TImageList tiles(16, 16);
    LoadImageStrip(ragged, 16, 16, nullptr, tiles);
    EXPECT_EQ(tiles.Count(), 6);

    // a tile side below 1 would never end
    for (auto [w, h] : {std::pair{0, 16}, {16, 0}, {-1, 4}}) {
        TImageList any(16, 16);
        EXPECT_THROW(LoadImageStrip(strip, w, h, nullptr, any), EInvalidOperation);
        EXPECT_EQ(any.Count(), 0);
    }
    EXPECT_THROW(TImageList(0, 4), EInvalidOperation);
    TImageList small(8, 8);
    EXPECT_THROW(LoadImageStrip(strip, 16, 16, nullptr, small), EInvalidOperation); // tiles of another size
    EXPECT_THROW(small.Image(0), EListError);
}

TEST(ButtonGlyphs, ImageListToBitmapAndMaskedBitmaps) {
    TBitmap picture(6, 6, pf24bit);
    picture.Canvas().Brush().SetColor(clLime);
    picture.Canvas().FillRect(Rect(0, 0, 6, 6));
    picture.Canvas().Brush().SetColor(clRed);
    picture.Canvas().FillRect(Rect(2, 2, 4, 4));
    TImageList list(6, 6);
    list.AddMasked(picture, clLime);

    TBitmap out;
    ImageListToBitmap(list, out, 0, clBlue);
    EXPECT_EQ(out.GetWidth(), 6);
    EXPECT_EQ(out.GetHeight(), 6);
    EXPECT_EQ(out.GetPixel(0, 0), ColorToRGB(clBlue));
    EXPECT_EQ(out.GetPixel(3, 3), ColorToRGB(clRed));

    TBitmap target(10, 10, pf24bit);
    target.Canvas().Brush().SetColor(clYellow);
    target.Canvas().FillRect(Rect(0, 0, 10, 10));
    DrawBitmapMasked(target.Canvas(), 3, 3, nullptr); // nothing
    EXPECT_EQ(target.GetPixel(5, 5), ColorToRGB(clYellow));
    DrawBitmapMasked(target.Canvas(), 3, 3, &picture); // its transparent colour is the bottom-left lime
    EXPECT_EQ(target.GetPixel(3, 3), ColorToRGB(clYellow));
    EXPECT_EQ(target.GetPixel(5, 5), ColorToRGB(clRed));
    EXPECT_EQ(target.GetPixel(8, 8), ColorToRGB(clYellow));
}

/// The polygons a glyph routine draws, recorded.
std::vector<std::vector<TPoint>> Polygons(const std::function<void(TCanvas&)>& draw) {
    TMetafile mf(100, 100);
    {
        TMetafileCanvas c(mf);
        draw(c);
    }
    std::vector<std::vector<TPoint>> out;
    for (const TMetafileRecord& r : mf.Records()) {
        EXPECT_EQ(r.Kind, mrPolygon);
        EXPECT_EQ(r.Brush.Color, clRed);
        EXPECT_EQ(r.Pen.Color, clRed);
        out.push_back(r.Points);
    }
    return out;
}

TEST(ButtonGlyphs, ArrowTriangles) {
    struct Case {
        int W, Base, Height;
    };
    for (Case c : {Case{8, 4, 2}, {10, 6, 3}, {14, 6, 3}, {9, 4, 2}}) {
        for (bool vertical : {true, false})
            for (bool reversed : {false, true}) {
                const TRect rect = Rect(10, 20, 10 + c.W, 20 + c.W);
                auto polys = Polygons([&](TCanvas& cv) { DrawArrowTriangle(cv, rect, clRed, reversed, vertical); });
                ASSERT_EQ(polys.size(), 1u);
                const std::vector<TPoint>& p = polys[0];
                ASSERT_EQ(p.size(), 3u);
                // p[0] and p[1] are the base, p[2] the tip
                const int along = vertical ? p[1].X - p[0].X : p[1].Y - p[0].Y;
                const int depth = vertical ? p[2].Y - p[0].Y : p[2].X - p[0].X;
                EXPECT_EQ(along, c.Base) << c.W;
                EXPECT_EQ(std::abs(depth), c.Height) << c.W;
                // down and right unless reversed
                EXPECT_EQ(depth > 0, !reversed) << c.W << vertical;
                // centred, one pixel left or up for an even size
                const int start = vertical ? p[0].X - rect.Left : p[0].Y - rect.Top;
                EXPECT_EQ(start, (c.W - c.Base) / 2 - (c.W % 2 == 0 ? 1 : 0)) << c.W;
                const int tipAcross = vertical ? p[2].X - p[0].X : p[2].Y - p[0].Y;
                EXPECT_EQ(tipAcross, c.Base / 2);
            }
    }
    TBitmap b(16, 16, pf24bit);
    b.Canvas().Brush().SetColor(clWhite);
    b.Canvas().FillRect(Rect(0, 0, 16, 16));
    DrawArrowTriangle(b.Canvas(), Rect(0, 0, 16, 16), clRed, false, true);
    EXPECT_EQ(b.GetPixel(7, 7), ColorToRGB(clRed)); // filled
    EXPECT_EQ(b.GetPixel(1, 1), ColorToRGB(clWhite));
}

TEST(ButtonGlyphs, ChevronsRepeatTwiceTheStepApart) {
    for (bool vertical : {true, false})
        for (bool reversed : {false, true}) {
            auto polys = Polygons(
                [&](TCanvas& c) { DrawChevrons(c, Rect(0, 0, 40, 40), clRed, 3, 4, 3, 2, reversed, vertical); });
            ASSERT_EQ(polys.size(), 6u);
            for (std::size_t i = 0; i < polys.size(); ++i)
                EXPECT_EQ(polys[i].size(), 4u);
            // the first stroke starts at the inset corner of its near side
            const TPoint first = polys[0][0];
            if (vertical)
                EXPECT_EQ(first, Point(4, reversed ? 36 : 4));
            else
                EXPECT_EQ(first, Point(reversed ? 36 : 4, 4));
            // the far tip is the middle of the far side
            const TPoint tip = polys[0][2];
            if (vertical)
                EXPECT_EQ(tip, Point(20, reversed ? 4 : 36));
            else
                EXPECT_EQ(tip, Point(reversed ? 4 : 36, 20));
            // each next chevron moves by 2 × step against the pointing direction
            const int move = reversed ? 6 : -6;
            for (std::size_t i = 2; i < polys.size(); ++i)
                for (std::size_t k = 0; k < 4; ++k) {
                    const TPoint a = polys[i - 2][k], b = polys[i][k];
                    EXPECT_EQ(vertical ? b.Y - a.Y : b.X - a.X, move);
                    EXPECT_EQ(vertical ? b.X - a.X : b.Y - a.Y, 0);
                }
        }
}

TEST(ButtonGlyphs, NoWindowsMeanTheScreenResolutionAndNoDpiContext) {
    EXPECT_EQ(GetWindowPPI(0), 96);
    EXPECT_EQ(GetWindowPPI(12345), 96);
    EXPECT_EQ(SetThreadDPIContext(-4), 0);
    EXPECT_EQ(GetThreadDPIContext(), -1);
}

} // namespace
} // namespace vgl
