// The PDF export's vector writers: dash patterns, frames with shadows and double lines, fills,
// hatches and shape paths, checked as content-stream text; a page with all of them passes qpdf
// and renders with pdftoppm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "platform/rtl/streams.h"
#include "report/export/initialization.h"
#include "report/export/pdf_export.h"
#include "report/foundation/initialization.h"
#include "report/model/fills.h"
#include "report/model/page_base.h"
#include "report/model/shape_view.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using vgl::test::RunCommand;

namespace {

class PdfGraphics : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeReportFoundation();
        InitializeReportExport();
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        FinalizeReportExport();
        FinalizeReportFoundation();
    }
};

/// The content stream of one uncompressed 200 × 100 pixel page on which `draw` writes.
std::string Content(const std::function<void(TfrxPDFExport&)>& draw, std::string* document = nullptr) {
    TfrxPDFExport pdf(nullptr);
    pdf.SetCompressed(false);
    pdf.SetTransparency(false);
    pdf.Clock = [] { return EncodeDateTime(2026, 1, 15, 10, 20, 30, 0); };
    pdf.NewGUIDText = [] { return String(u"{00000000-0000-0000-0000-000000000000}"); };
    TMemoryStream stream;
    pdf.SetStream(&stream);
    EXPECT_TRUE(pdf.DoStart());
    TfrxPage page(nullptr);
    page.SetBounds(0, 0, 200, 100);
    pdf.StartPage(&page, 0);
    draw(pdf);
    pdf.FinishPage(&page, 0);
    pdf.DoFinish();
    pdf.SetStream(nullptr);
    const std::string doc(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.GetSize()));
    if (document)
        *document = doc;
    const std::size_t begin = doc.find("stream\r\n") + 8;
    return doc.substr(begin, doc.find("\nendstream") - begin);
}

std::string Tool(const std::string& document, const std::string& command, const std::string& ext = ".pdf") {
    const std::string path = "/tmp/vgl_pdf_graphics_" + std::to_string(getpid()) + ext;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(document.data(), 1, document.size(), f);
    std::fclose(f);
    const std::string out = RunCommand(command + " '" + path + "' 2>&1");
    std::remove(path.c_str());
    return out;
}

/// The rectangle of a 40 × 8 view at (10, 20) on the test page: 7.5, 60, 37.5, 54 points.
const TfrxRect kRect = MakeFrxRect(7.5L, 60, 37.5L, 54);

} // namespace

TEST_F(PdfGraphics, DashPatterns) {
    const struct {
        TfrxFrameStyle style;
        long double width;
        const char* text;
    } cases[] = {
        {fsSolid, 1, "[] 0 d"},
        {fsDouble, 2, "[] 0 d"},
        {fsDash, 0.005L, "[] 0 d"},
        {fsDash, 1, "[13.5 4.5] 0 d"},
        {fsDot, 1, "[2.25 2.25] 0 d"},
        {fsDashDot, 1, "[6.75 4.5 2.25 4.5] 0 d"},
        {fsDashDotDot, 1, "[6.75 2.25 2.25 2.25 2.25 2.25] 0 d"},
        {fsAltDot, 1, "1 J\r\n[0 1.5] 0 d"},
        {fsAltDot, 0.3333L, "1 J\r\n[0 0.5] 0 d"},
        {fsSquare, 2, "0 J\r\n[1.5 1.5] 0 d"},
        {fsSquare, 1, "0 J\r\n[0.75 0.75] 0 d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DashPattern(c.style, c.width), c.text) << int(c.style) << " " << double(c.width);
}

TEST_F(PdfGraphics, FrameLinesShadowAndDoubleLines) {
    // Only a bottom line.
    TfrxFrame frame;
    frame.SetTyp({ftBottom});
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.WriteFrame(frame, kRect); }),
              "q\r\n[] 0 d\r\n0.75 w\r\n2 J\r\n0 0 0 RG\r\n7.50 54.00 m\r\n37.50 54.00 l\r\nS\r\nQ\r\n");

    // A double bottom line of width 2: first at v = -1, then at v = 2.
    frame.SetStyle(fsDouble);
    frame.SetWidth(2);
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.WriteFrame(frame, kRect); }),
              "q\r\n[] 0 d\r\n"
              "1.50 w\r\n2 J\r\n0 0 0 RG\r\n8.50 55.00 m\r\n36.50 55.00 l\r\nS\r\n"
              "1.50 w\r\n2 J\r\n0 0 0 RG\r\n5.50 52.00 m\r\n39.50 52.00 l\r\nS\r\nQ\r\n");

    // A bottom line too thin to draw and a left line of clNone: only "q" and "Q" (and the dash
    // line of nothing); the drawn top line comes after them in side order.
    TfrxFrame thin;
    thin.SetTyp({ftBottom, ftLeft, ftTop});
    thin.BottomLine()->SetWidth(0.005L);
    thin.LeftLine()->SetColor(clNone);
    thin.TopLine()->SetColor(0x0000FF); // red
    thin.TopLine()->SetStyle(fsDash);
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.WriteFrame(thin, kRect); }),
              "q\r\n[13.5 4.5] 0 d\r\n0.75 w\r\n2 J\r\n1 0 0 RG\r\n7.50 60.00 m\r\n37.50 60.00 l\r\nS\r\nQ\r\n");

    // Nothing for a frame without lines and shadow; the shadow alone writes its two bars.
    TfrxFrame none;
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.WriteFrame(none, kRect); }), "");
    none.SetDropShadow(true);
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.WriteFrame(none, kRect); }),
              "q\r\n0.75 w\r\n0 0 0 rg\r\n0 0 0 RG\r\n38.25 57.00 2.25 -6.00 re\r\nB\r\n"
              "10.50 51.00 30.00 2.25 re\r\nB\r\nQ\r\n");

    // All four sides in the order bottom, left, top, right.
    TfrxFrame all;
    all.SetTyp({ftLeft, ftRight, ftTop, ftBottom});
    const std::string text = Content([&](TfrxPDFExport& pdf) { pdf.WriteFrame(all, kRect); });
    const std::size_t b = text.find("7.50 54.00 m\r\n37.50 54.00 l"), l = text.find("7.50 54.00 m\r\n7.50 60.00 l"),
                      t = text.find("7.50 60.00 m\r\n37.50 60.00 l"), r = text.find("37.50 54.00 m\r\n37.50 60.00 l");
    ASSERT_NE(r, std::string::npos);
    EXPECT_LT(b, l);
    EXPECT_LT(l, t);
    EXPECT_LT(t, r);
}

namespace {

std::unique_ptr<TfrxShapeView> Shape(TfrxShapeKind kind) {
    auto shape = std::make_unique<TfrxShapeView>(nullptr);
    shape->SetBounds(10, 20, 40, 8);
    shape->SetShape(kind);
    return shape;
}

} // namespace

TEST_F(PdfGraphics, ShapePathsAndOutlines) {
    const struct {
        TfrxShapeKind kind;
        const char* text;
    } cases[] = {
        {skRectangle, "[] 0 d\r\n0 0 0 RG\r\n0.75 w\r\n7.125 53.625 30.75 6.75 re\r\nS\r\n"},
        {skTriangle, "22.5 60 m\r\n37.5 54 l\r\n7.5 54 l\r\n22.5 60 l\r\nS\r\n"},
        {skDiamond, "22.5 60 m\r\n37.5 57 l\r\n22.5 54 l\r\n7.5 57 l\r\n22.5 60 l\r\nS\r\n"},
        // Control points at 0.5522847498 of the half axes (15 and 3 points).
        {skEllipse, "37.5 57 m\r\n37.5 58.657 30.784 60 22.5 60 c\r\n14.216 60 7.5 58.657 7.5 57 c\r\n"
                    "7.5 55.343 14.216 54 22.5 54 c\r\n30.784 54 37.5 55.343 37.5 57 c\r\nS\r\n"},
        // Curve 0 counts as 2: a radius of 2 × 3.74 pixels = 5.61 points.
        {skRoundRectangle, "13.11 54 m\r\n31.89 54 l\r\n34.695 54 37.5 56.805 37.5 59.61 c\r\n37.5 54.39 l\r\n"},
        {skDiagonal1, "[] 0 d\r\n0 0 0 RG\r\n0.75 w\r\n7.50 54.00 m\r\n37.50 60.00 l\r\nS\r\n"},
        {skDiagonal2, "7.50 60.00 m\r\n37.50 54.00 l\r\nS\r\n"},
    };
    for (const auto& c : cases) {
        auto shape = Shape(c.kind);
        shape->Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
        const std::string text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
        EXPECT_NE(text.find(c.text), std::string::npos) << int(c.kind) << "\n" << text;
        EXPECT_EQ(text.find("q\r\n"), std::string::npos) << "no fill, no save"; // clear brush, no fill
    }
    // A frame colour of clNone writes no outline.
    auto shape = Shape(skEllipse);
    shape->Frame()->SetColor(clNone);
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); }), "");
}

TEST_F(PdfGraphics, BrushGradientGlassAndHatchFills) {
    // A solid brush fill of red under a rectangle, then the outline.
    auto shape = Shape(skRectangle);
    auto* brush = dynamic_cast<TfrxBrushFill*>(shape->Fill());
    ASSERT_NE(brush, nullptr);
    brush->SetBackColor(0x0000FF);
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); }),
              "q\r\n1 0 0 rg\r\n7.5 54 30 6 re\r\nf\r\nQ\r\n[] 0 d\r\n0 0 0 RG\r\n0.75 w\r\n7.5 54 30 6 re\r\nS\r\n");

    // A cross hatch on a 40 × 16 pixel view: 5 columns and 2 rows of 8 pixels, so 3 horizontal
    // and 6 vertical lines, clipped to the shape.
    shape->SetBounds(10, 20, 40, 16);
    brush->SetBackColor(clNone);
    brush->SetForeColor(0x00FF00);
    brush->SetStyle(bsCross);
    std::string text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
    EXPECT_EQ(text.find("q\r\n[] 0 d\r\n0 1 0 RG\r\n0.563 w\r\n0 J\r\n7.5 48 30 12 re\r\nW\r\nn\r\n"), 0u) << text;
    std::size_t moves = 0;
    for (std::size_t p = text.find(" m\r\n"); p != std::string::npos; p = text.find(" m\r\n", p + 1))
        ++moves;
    EXPECT_EQ(moves, 9u);
    brush->SetStyle(bsDiagCross); // 2 + 5 + 1 lines in each direction
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
    moves = 0;
    for (std::size_t p = text.find(" m\r\n"); p != std::string::npos; p = text.find(" m\r\n", p + 1))
        ++moves;
    EXPECT_EQ(moves, 16u);

    // A horizontal gradient from black to blue-ish (0, 0, 4): n = 4, five vertical strokes of
    // width 30 ÷ 4 × 1.8 × 0.75 points across the full height.
    shape->SetBounds(10, 20, 40, 8);
    shape->SetFillType(ftGradient);
    auto* gradient = dynamic_cast<TfrxGradientFill*>(shape->Fill());
    ASSERT_NE(gradient, nullptr);
    gradient->SetStartColor(clBlack);
    gradient->SetEndColor(0x040000);
    gradient->SetGradientStyle(gsHorizontal);
    shape->Frame()->SetColor(clNone);
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
    EXPECT_EQ(text, "q\r\n7.5 54 30 6 re\r\nW\r\nn\r\n[] 0 d\r\n0 J\r\n13.5 w\r\n"
                    "7.5 60 m\r\n7.5 54 l\r\n0 0 0 RG\r\nS\r\n"
                    "15 60 m\r\n15 54 l\r\n0 0 0.004 RG\r\nS\r\n"
                    "22.5 60 m\r\n22.5 54 l\r\n0 0 0.008 RG\r\nS\r\n"
                    "30 60 m\r\n30 54 l\r\n0 0 0.012 RG\r\nS\r\n"
                    "37.5 60 m\r\n37.5 54 l\r\n0 0 0.016 RG\r\nS\r\nQ\r\n");
    // Vertical centre: two runs of horizontal strokes, from the top down and the bottom up.
    gradient->SetGradientStyle(gsVertCenter);
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
    EXPECT_NE(text.find("7.5 60 m\r\n37.5 60 l\r\n0 0 0 RG"), std::string::npos) << text;
    EXPECT_NE(text.find("7.5 57 m\r\n37.5 57 l\r\n0 0 0.016 RG"), std::string::npos);
    EXPECT_NE(text.find("7.5 54 m\r\n37.5 54 l\r\n0 0 0 RG"), std::string::npos);
    // Both colours clNone: nothing.
    gradient->SetStartColor(clNone);
    gradient->SetEndColor(clNone);
    EXPECT_EQ(Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); }), "");

    // Glass: the colour over the shape, then the upper half in the hatch colour, clipped.
    shape->SetFillType(ftGlass);
    auto* glass = dynamic_cast<TfrxGlassFill*>(shape->Fill());
    ASSERT_NE(glass, nullptr);
    glass->SetColor(0x808080);
    glass->SetOrientation(foHorizontal);
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
    EXPECT_EQ(text.find("q\r\n0.502 0.502 0.502 rg\r\n7.5 54 30 6 re\r\nf\r\n7.5 54 30 6 re\r\nW\r\nn\r\n"), 0u)
        << text;
    EXPECT_NE(text.find(" rg\r\n7.5 57 30 3 re\r\nf\r\nQ\r\n"), std::string::npos) << text;
    glass->SetOrientation(foVerticalMirror);
    glass->SetHatch(true);
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(shape.get()); });
    EXPECT_NE(text.find(" rg\r\n22.5 54 15 6 re\r\nf\r\n[] 0 d\r\n"), std::string::npos) << text;
}

TEST_F(PdfGraphics, PageWithEveryShapeAndFillPassesQpdfAndRenders) {
    std::string doc;
    Content(
        [&](TfrxPDFExport& pdf) {
            int i = 0;
            for (TfrxShapeKind kind :
                 {skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond, skDiagonal1, skDiagonal2}) {
                for (TfrxFillType fill : {ftBrush, ftGradient, ftGlass}) {
                    auto shape = Shape(kind);
                    shape->SetBounds(5 + 27 * i, 5 + 30 * int(fill), 24, 24);
                    shape->SetFillType(fill);
                    if (auto* brush = dynamic_cast<TfrxBrushFill*>(shape->Fill())) {
                        brush->SetBackColor(0x00FFFF);
                        brush->SetStyle(bsDiagCross);
                    }
                    shape->Frame()->SetStyle(TfrxFrameStyle(i % 8));
                    pdf.ExportObject(shape.get());
                }
                ++i;
            }
            TfrxFrame frame;
            frame.SetTyp({ftLeft, ftRight, ftTop, ftBottom});
            frame.SetDropShadow(true);
            frame.SetStyle(fsDouble);
            frame.SetWidth(2);
            pdf.WriteFrame(frame, MakeFrxRect(10, 70, 140, 5));
        },
        &doc);
    const std::string check = Tool(doc, "qpdf --check");
    EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    const std::string render = Tool(doc, "pdftoppm -r 72 -png -q -f 1 -l 1 -singlefile -gray");
    // pdftoppm writes a PNG to stdout; rendering without an error message is the check.
    EXPECT_EQ(render.find("Error"), std::string::npos) << render.substr(0, 200);
    EXPECT_EQ(render.substr(1, 3), "PNG");
}
