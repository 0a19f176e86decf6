#include "report/foundation/drawing_helpers.h"

#include <gtest/gtest.h>

#include "platform/graphics/bitmap.h"

namespace vgl {
namespace {

TEST(DrawingHelpers, DisplayScaleFollowsTheCanvasResolution) {
    TBitmap bmp(4, 4);
    long double x = 0, y = 0;
    GetDisplayScale(bmp.Canvas(), false, x, y);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
    bmp.Canvas().SetResolution(192, 192);
    GetDisplayScale(bmp.Canvas(), false, x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 2);
    bmp.Canvas().SetResolution(144, 288);
    GetDisplayScale(bmp.Canvas(), true, x, y);
    EXPECT_EQ(x, 1.5L);
    EXPECT_EQ(y, 3);

    SetCanvasBkMode(bmp.Canvas(), TRANSPARENT);
    EXPECT_EQ(bmp.Canvas().GetBkMode(), TRANSPARENT);
}

TEST(DrawingHelpers, MetafilePlaysIntoTheRectangle) {
    TfrxMetafile mf(10, 10);
    {
        TMetafileCanvas c(mf);
        c.Brush().SetColor(clRed);
        c.FillRect(Rect(0, 0, 5, 5));
    }
    TBitmap bmp(20, 20);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(Rect(0, 0, 20, 20));
    bmp.Canvas().StretchDraw(Rect(0, 0, 20, 20), mf); // twice the size
    EXPECT_EQ(ColorToRGB(bmp.Canvas().GetPixel(9, 9)), ColorToRGB(clRed));
    EXPECT_EQ(ColorToRGB(bmp.Canvas().GetPixel(10, 10)), ColorToRGB(clWhite));

    std::unique_ptr<TGraphic> copy = mf.Clone();
    EXPECT_EQ(copy->ClassName(), u"TfrxMetafile");
    EXPECT_EQ(dynamic_cast<TMetafile&>(*copy).Records().size(), mf.Records().size());

    TfrxMetafile empty; // no records: draws nothing
    bmp.Canvas().StretchDraw(Rect(0, 0, 20, 20), empty);
    EXPECT_EQ(ColorToRGB(bmp.Canvas().GetPixel(0, 0)), ColorToRGB(clRed));
}

} // namespace
} // namespace vgl
