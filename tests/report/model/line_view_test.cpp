#include "report/model/line_view.h"

#include <gtest/gtest.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"

namespace vgl {
namespace {

struct WhitePage {
    explicit WhitePage(int w, int h) : Bitmap(w, h), Canvas(&Bitmap) {
        Canvas.Brush().SetData({clWhite, bsSolid});
        Canvas.FillRect(Rect(0, 0, w, h));
    }
    int BlackRows(int x) {
        int n = 0;
        for (int y = 0; y < Bitmap.GetHeight(); ++y)
            n += Canvas.GetPixel(x, y) == clBlack;
        return n;
    }
    TBitmap Bitmap;
    TCanvas Canvas;
};

TEST(LineView, StraightLinesSettleTheirDirectionWhenDrawn) {
    WhitePage page(200, 200);
    TfrxLineView square(nullptr);
    square.SetBounds(10, 10, 100, 100);
    square.Draw(page.Canvas, 1, 1, 0, 0);
    EXPECT_EQ(square.Width(), 0);
    EXPECT_EQ(square.Frame()->Typ(), TfrxFrameTypes{ftLeft});

    TfrxLineView flat(nullptr);
    flat.SetBounds(0, 150, 371, 0);
    flat.Draw(page.Canvas, 1, 1, 0, 0);
    EXPECT_EQ(flat.Width(), 371);
    EXPECT_EQ(flat.Frame()->Typ(), TfrxFrameTypes{ftTop});
}

TEST(LineView, ThickHorizontalLineAtPrintScale) {
    const long double scale = 3.125L;
    WhitePage page(400, 100);
    TfrxLineView line(nullptr);
    line.SetBounds(10, 10, 100, 0);
    line.Frame()->SetWidth(3);
    line.Draw(page.Canvas, scale, scale, 0, 0);
    // 3 pixels at 96 dpi become about 9 device pixels around y = 31.
    const int rows = page.BlackRows(100);
    EXPECT_GE(rows, 9);
    EXPECT_LE(rows, 10);
    EXPECT_EQ(page.Canvas.GetPixel(100, 31), clBlack);
    EXPECT_EQ(page.Canvas.GetPixel(100, 45), clWhite);
    EXPECT_EQ(page.Canvas.GetPixel(20, 31), clWhite); // left of the start at x = 31
}

TEST(LineView, ArrowBasePoints) {
    TPoint w1, w2, base;
    TfrxCustomLineView::ArrowPoints(10, 100, 10, 10, 20, 5, w1, w2, base);
    EXPECT_EQ(base, Point(10, 30));
    EXPECT_EQ(w1, Point(5, 30));
    EXPECT_EQ(w2, Point(15, 30));
    TfrxCustomLineView::ArrowPoints(0, 50, 100, 50, 20, 5, w1, w2, base);
    EXPECT_EQ(base, Point(80, 50));
    EXPECT_EQ(w1, Point(80, 45));
    TfrxCustomLineView::ArrowPoints(0, 0, 30, 40, 10, 0, w1, w2, base);
    EXPECT_EQ(base, Point(24, 32));
}

TEST(LineView, SolidArrowHeadAtPrintScale) {
    const long double scale = 3.125L;
    WhitePage page(400, 200);
    TfrxLineView line(nullptr);
    line.SetBounds(10, 20, 100, 0);
    line.ArrowEnd = true;
    line.ArrowSolid = true;
    line.Draw(page.Canvas, scale, scale, 0, 0);
    // Tip at x = 344, base 62.5 pixels back, wings 15.6 pixels above and below y = 62.
    EXPECT_EQ(page.Canvas.GetPixel(300, 62 - 8), clBlack);
    EXPECT_EQ(page.Canvas.GetPixel(300, 62 + 8), clBlack);
    EXPECT_EQ(page.Canvas.GetPixel(300, 62 - 14), clWhite);
    EXPECT_EQ(page.Canvas.GetPixel(250, 62 - 8), clWhite);
}

TEST(LineView, DiagonalLines) {
    WhitePage page(100, 100);
    TfrxLineView line(nullptr);
    line.Diagonal = true;
    line.SetBounds(10, 10, 80, 40);
    line.Frame()->SetWidth(0);
    line.Draw(page.Canvas, 1, 1, 0, 0);
    EXPECT_EQ(page.BlackRows(50), 0);
    line.Frame()->SetWidth(3);
    line.Draw(page.Canvas, 1, 1, 0, 0);
    EXPECT_EQ(page.BlackRows(50), 3); // three parallel one-pixel lines, offset vertically
    EXPECT_EQ(line.Width(), 80);      // diagonals keep their box

    EXPECT_TRUE(line.IsContain(50, 31));
    EXPECT_FALSE(line.IsContain(50, 45));
    EXPECT_FALSE(line.IsInRect(MakeFrxRect(60, 10, 80, 20)));
    EXPECT_TRUE(line.IsInRect(MakeFrxRect(40, 20, 60, 40)));
}

TEST(LineView, DesignFlagsAndDiff) {
    struct Case {
        int flags;
        bool diagonal, start, end;
    };
    for (const Case c : {Case{0, false, false, false}, Case{1, true, false, false}, Case{2, true, false, true},
                         Case{3, true, true, false}, Case{4, true, true, true}}) {
        TfrxLineView line(nullptr);
        line.DesignCreate(nullptr, c.flags);
        EXPECT_EQ(line.Diagonal, c.diagonal) << c.flags;
        EXPECT_EQ(line.ArrowStart, c.start) << c.flags;
        EXPECT_EQ(line.ArrowEnd, c.end) << c.flags;
    }
    TfrxLineView a(nullptr), b(nullptr);
    a.ArrowEnd = true;
    a.ArrowLength = 30;
    a.SetLineColor(clRed);
    const String diff = a.Diff(&b);
    EXPECT_NE(diff.find(u" ArrowEnd=\"1\""), String::npos);
    EXPECT_NE(diff.find(u" ArrowLength=\"30\""), String::npos);
    EXPECT_EQ(diff.find(u"Color"), String::npos);
    EXPECT_EQ(diff.find(u"Diagonal"), String::npos);
}

} // namespace
} // namespace vgl
