#include "report/model/line_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/png_image.h"

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

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    return out;
}

// The page written as a PNG file through the project's PNG encoder; ImageMagick reads it back.
struct PngFile {
    explicit PngFile(const TBitmap& bitmap)
        : Path("/tmp/line_view_" + std::to_string(getpid()) + "_" + std::to_string(++Count) + ".png") {
        TPngImage png;
        png.Assign(bitmap);
        const std::vector<std::uint8_t> bytes = png.SaveToBytes();
        std::ofstream(Path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~PngFile() { std::filesystem::remove(Path); }
    /// The box of everything that is not the white background, "WxH+X+Y".
    std::string InkBox() const { return Shell("convert '" + Path + "' -format '%@' info: 2>&1"); }
    /// The same for the part of the page inside `crop` ("WxH+X+Y").
    std::string InkBox(const std::string& crop) const {
        return Shell("convert '" + Path + "' -crop " + crop + " +repage -format '%@' info: 2>&1");
    }
    /// The number of black pixels in a crop.
    std::string BlackPixels(const std::string& crop) const {
        return Shell("convert '" + Path + "' -crop " + crop +
                     " +repage -fill white +opaque black -fill red -opaque black -format '%[fx:int(mean.r*w*h "
                     "- mean.g*w*h + 0.5)]' info: 2>&1");
    }
    std::string Path;
    static inline int Count = 0;
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

TEST(LineView, PrintScalePicturesProbedWithImageMagick) {
    if (Shell("command -v convert").empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    const long double scale = 3.125L;
    {
        // Frame.Width 3 from (10, 10) to (110, 10): device x 31..343, 9 rows centred on y 31.
        WhitePage page(400, 100);
        TfrxLineView line(nullptr);
        line.SetBounds(10, 10, 100, 0);
        line.Frame()->SetWidth(3);
        line.Draw(page.Canvas, scale, scale, 0, 0);
        const PngFile file(page.Bitmap);
        const std::string box = file.InkBox();
        int w = 0, h = 0, x = 0, y = 0;
        ASSERT_EQ(std::sscanf(box.c_str(), "%dx%d+%d+%d", &w, &h, &x, &y), 4) << box;
        EXPECT_EQ(x, 31) << box;
        EXPECT_NEAR(x + w - 1, 343, 1) << box;
        EXPECT_GE(h, 9) << box;
        EXPECT_LE(h, 10) << box;
        EXPECT_LE(y, 27) << box;
        EXPECT_GE(y + h - 1, 35) << box;
        EXPECT_EQ(file.BlackPixels(std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(x) + "+" +
                                   std::to_string(y)),
                  std::to_string(w * h))
            << "the whole box is black";
    }
    {
        // A solid arrow at the end of a line from (10, 20) to (110, 20): tip (344, 62), base
        // 62.5 device pixels back (x 282 rounded), wings 15.6 pixels above and below y 62. Each
        // column of the head is one black run whose length shrinks linearly towards the tip.
        WhitePage page(400, 200);
        TfrxLineView line(nullptr);
        line.SetBounds(10, 20, 100, 0);
        line.ArrowEnd = true;
        line.ArrowSolid = true;
        line.Draw(page.Canvas, scale, scale, 0, 0);
        const PngFile file(page.Bitmap);
        struct Column {
            int x;
            double run;
        };
        for (const Column c : {Column{278, 3}, Column{285, 31}, Column{300, 23}, Column{320, 13}})
            EXPECT_NEAR(std::stoi(file.BlackPixels("1x100+" + std::to_string(c.x) + "+12")), c.run, 1.5)
                << "column " << c.x;
        // The wings: above the line the head starts at (282, 46), below it ends on row 78.
        EXPECT_EQ(file.InkBox("400x59+0+0"), "49x13+282+46");
        EXPECT_EQ(file.InkBox("400x134+0+66"), "49x13+282+0");
    }
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
