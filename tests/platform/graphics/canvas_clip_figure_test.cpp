#include <gtest/gtest.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"

namespace vgl {
namespace {

struct FigureCase {
    TClipFigure figure;
    TPoint inside, outside;
};

TEST(CanvasClipFigure, DrawingStaysInsideTheFigureUntilRestored) {
    TClipFigure ellipse;
    ellipse.Kind = TClipFigure::cfEllipse;
    ellipse.R = Rect(0, 0, 40, 20);
    TClipFigure round;
    round.Kind = TClipFigure::cfRoundRect;
    round.R = Rect(0, 0, 40, 20);
    round.CornerWidth = round.CornerHeight = 16;
    TClipFigure triangle;
    triangle.Points = {Point(0, 19), Point(20, 0), Point(39, 19)};
    const FigureCase cases[] = {{ellipse, Point(20, 10), Point(1, 1)},
                                {round, Point(20, 10), Point(0, 0)},
                                {triangle, Point(20, 15), Point(2, 2)}};
    for (const FigureCase& c : cases) {
        TBitmap bitmap(40, 20);
        TCanvas canvas(&bitmap);
        canvas.Brush().SetData({clWhite, bsSolid});
        canvas.FillRect(Rect(0, 0, 40, 20));
        EXPECT_EQ(canvas.SaveState(), 1);
        canvas.IntersectClipFigure(c.figure);
        canvas.Brush().SetData({clRed, bsSolid});
        canvas.FillRect(Rect(0, 0, 40, 20));
        EXPECT_EQ(canvas.GetPixel(c.inside.X, c.inside.Y), clRed);
        EXPECT_EQ(canvas.GetPixel(c.outside.X, c.outside.Y), clWhite);
        canvas.RestoreState();
        EXPECT_TRUE(canvas.ClipFigures().empty());
        EXPECT_FALSE(canvas.HasClip());
        canvas.FillRect(Rect(0, 0, 40, 20));
        EXPECT_EQ(canvas.GetPixel(c.outside.X, c.outside.Y), clRed);
    }
}

TEST(CanvasClipFigure, EmptyFigureClipsEverythingAndResetClipRemovesIt) {
    TBitmap bitmap(10, 10);
    TCanvas canvas(&bitmap);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 10, 10));
    TClipFigure empty;
    empty.Kind = TClipFigure::cfEllipse;
    empty.R = Rect(5, 5, 5, 5);
    canvas.IntersectClipFigure(empty);
    canvas.Brush().SetData({clRed, bsSolid});
    canvas.FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(canvas.GetPixel(5, 5), clWhite);
    canvas.ResetClip();
    canvas.FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(canvas.GetPixel(5, 5), clRed);
}

} // namespace
} // namespace vgl
