// The PDF export's vector writers: dash patterns, frames with shadows and double lines, fills,
// hatches and shape paths, checked as content-stream text; a page with all of them passes qpdf
// and renders with pdftoppm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "codes/dpd_aztec.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/jpeg_image.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/streams.h"
#include "report/export/initialization.h"
#include "report/export/pdf_export.h"
#include "report/foundation/initialization.h"
#include "report/model/barcode_view.h"
#include "report/model/fills.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/page_base.h"
#include "report/model/picture_view.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "tests/report/export/font_test_support.h"

// After the project's headers: the library defines a FormatError macro.
#include <ZXing/ReadBarcode.h>

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

void ExpectQpdfClean(const std::string& doc);

/// The content stream of one uncompressed 200 × 100 pixel page on which `draw` writes; the
/// document is checked by qpdf.
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
    ExpectQpdfClean(doc);
    if (document)
        *document = doc;
    const std::size_t begin = doc.find("stream\r\n") + 8;
    return doc.substr(begin, doc.find("\nendstream") - begin);
}

std::string Tool(const std::string& document, const std::string& command, const std::string& ext = ".pdf",
                 const std::string& after = "") {
    const std::string path = "/tmp/vgl_pdf_graphics_" + std::to_string(getpid()) + ext;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(document.data(), 1, document.size(), f);
    std::fclose(f);
    const std::string out = RunCommand(command + " '" + path + "'" + after + " 2>&1");
    std::remove(path.c_str());
    return out;
}

void ExpectQpdfClean(const std::string& doc) {
    const std::string check = Tool(doc, "qpdf --check");
    EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
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

TEST_F(PdfGraphics, PageWithEveryShapeFillFrameAndArrowPassesQpdfAndRenders) {
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
            // Lines of every frame style, with solid and open arrows at both ends.
            for (int style = 0; style < 8; ++style) {
                TfrxLineView line(nullptr);
                line.SetBounds(5 + 24 * style, 95, 20, style % 2 ? 0 : 4);
                line.Diagonal = style % 2 == 0;
                line.Frame()->SetStyle(TfrxFrameStyle(style));
                line.ArrowStart = line.ArrowEnd = true;
                line.ArrowSolid = style < 4;
                pdf.ExportObject(&line);
            }
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

TEST_F(PdfGraphics, JpegFromRowsEqualsTheJpegFromPixelColours) {
    // A 32-bit and a 24-bit bitmap are handed to the encoder row by row; a palette bitmap of the
    // same colours goes through its colours pixel by pixel. All give the same JPEG, in colour and
    // in grey, so the row path leaves the output unchanged.
    const int w = 67, h = 45;
    TBitmap b32(w, h, pf32bit), b24(w, h, pf24bit), b8(w, h, pf8bit);
    std::vector<TColor> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(RGB((i * 37) & 0xFF, (i * 91) & 0xFF, (i * 13 + 40) & 0xFF));
    b8.SetPalette(palette);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int index = (x * 7 + y * 3 + (x * y) / 5) & 0xFF;
            b32.SetPixel(x, y, palette[std::size_t(index)]);
            b24.SetPixel(x, y, palette[std::size_t(index)]);
            b8.ScanLine(y)[x] = std::uint8_t(index);
        }
    for (TJPEGPixelFormat format : {jf24Bit, jf8Bit})
        for (int quality : {100, 75}) {
            auto encode = [&](const TBitmap& bmp) {
                TJPEGImage jpeg;
                jpeg.SetPixelFormat(format);
                jpeg.SetCompressionQuality(quality);
                jpeg.Assign(bmp);
                return jpeg.SaveToBytes();
            };
            const std::vector<std::uint8_t> reference = encode(b8);
            ASSERT_GT(reference.size(), 100u);
            EXPECT_EQ(encode(b32), reference) << int(format) << " " << quality;
            EXPECT_EQ(encode(b24), reference) << int(format) << " " << quality;
            // Bitmaps the canvas drew last are read from the drawing surface.
            for (TPixelFormat drawnFormat : {pf32bit, pf24bit}) {
                TBitmap drawn(w, h, drawnFormat);
                drawn.Canvas().Draw(0, 0, b8);
                EXPECT_EQ(encode(drawn), reference) << int(format) << " " << quality << " drawn " << drawnFormat;
            }
        }
}

namespace vgl {

/// A view whose drawing fails, as a picture or barcode that cannot be drawn.
class TFailingView : public TfrxView {
    VGL_CLASS(TFailingView, TfrxView)
    explicit TFailingView(TComponent* owner) : TfrxView(owner) {}
    void DrawClipped(TCanvas&, long double, long double, long double, long double) override {
        throw EInvalidGraphic(u"The symbol cannot be drawn");
    }
};

VGL_DEFINE_CLASS(TFailingView) {}

} // namespace vgl

namespace {

/// The text zxing-cpp reads in a page rendered by pdftoppm at 300 dpi in grey; within `area`
/// (report pixels) when given, as a scanner aimed at one symbol sees it.
std::string DecodePage(const std::string& document, ZXing::BarcodeFormat format,
                       std::optional<TRect> area = std::nullopt) {
    const std::string out = "/tmp/vgl_pdf_graphics_page_" + std::to_string(getpid());
    Tool(document, "pdftoppm -r 300 -gray -singlefile -f 1 -l 1 -o", ".pdf", " '" + out + "'");
    const vgl::test::Bytes bytes = vgl::test::ReadFile(out + ".pgm");
    std::remove((out + ".pgm").c_str());
    const std::string pgm(bytes.begin(), bytes.end());
    // "P5\n<w> <h>\n255\n" and the grey bytes.
    int width = 0, height = 0, max = 0, used = 0;
    if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &width, &height, &max, &used) != 3)
        return "<no image>";
    const std::size_t start = std::size_t(used) + 1;
    if (pgm.size() < start + std::size_t(width) * std::size_t(height))
        return "<short image>";
    ZXing::ImageView image(reinterpret_cast<const std::uint8_t*>(pgm.data() + start), width, height,
                           ZXing::ImageFormat::Lum);
    if (area) {
        const auto px = [](int v) { return int(Round(v * 300.0L / 96)); };
        image = image.cropped(px(area->Left), px(area->Top), px(area->Width()), px(area->Height()));
    }
    const ZXing::Result r = ZXing::ReadBarcode(image, ZXing::DecodeHints().setFormats(format));
    return r.isValid() ? std::string(r.bytes().begin(), r.bytes().end()) : "<no decode>";
}

std::unique_ptr<TfrxBarCodeView> RoutingBarcode() {
    auto barcode = std::make_unique<TfrxBarCodeView>(nullptr);
    // The text's width widens the real bounds even when it is not shown: a registered face keeps
    // them the same whatever other tests register under other names.
    barcode->Font().SetName(u"Arial Narrow");
    barcode->SetBarType(bcCode128);
    barcode->SetText(u"%007110601632015376002000000");
    barcode->SetShowText(false);
    barcode->SetWideBarRatio(2);
    barcode->SetZoom(1.0L);
    barcode->SetBounds(20, 300, 100, 60);
    return barcode;
}

/// The label's options on a page of the label's size; `draw` exports onto pages 0..pages-1.
std::string LabelDocument(int pages, const std::function<void(TfrxPDFExport&, int)>& draw, bool transparency = false,
                          int* encodes = nullptr) {
    TfrxPDFExport pdf(nullptr);
    pdf.SetCompressed(false);
    pdf.SetPrintOptimized(true);
    pdf.SetQuality(100);
    pdf.SetTransparency(transparency);
    pdf.Clock = [] { return EncodeDateTime(2026, 1, 15, 10, 20, 30, 0); };
    pdf.NewGUIDText = [] { return String(u"{00000000-0000-0000-0000-000000000000}"); };
    TMemoryStream stream;
    pdf.SetStream(&stream);
    EXPECT_TRUE(pdf.DoStart());
    for (int i = 0; i < pages; ++i) {
        TfrxPage page(nullptr);
        page.SetBounds(0, 0, 393, 577);
        pdf.StartPage(&page, i);
        draw(pdf, i);
        pdf.FinishPage(&page, i);
    }
    pdf.DoFinish();
    pdf.SetStream(nullptr);
    if (encodes)
        *encodes = pdf.JpegEncodeCount();
    std::string doc(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.GetSize()));
    ExpectQpdfClean(doc);
    return doc;
}

} // namespace

TEST_F(PdfGraphics, RoutingBarcodeIsAGreyJpegAtThreeTimesItsRealBoundsAndReadsBack) {
    RegisterLabelFonts();
    auto barcode = RoutingBarcode();
    barcode->Frame()->SetTyp({ftTop}); // a frame line above the bars, drawn after the image
    const TfrxRect bounds = barcode->GetRealBounds();
    const std::string doc = LabelDocument(1, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(barcode.get()); });
    const std::string check = Tool(doc, "qpdf --check");
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
    const std::string list = Tool(doc, "pdfimages -list");
    const std::string size = std::to_string(Round((bounds.Right - bounds.Left) * 3)) + " " +
                             std::to_string(Round((bounds.Bottom - bounds.Top) * 3));
    std::istringstream lines(list);
    std::string line, row;
    while (std::getline(lines, line))
        if (line.find(" image ") != std::string::npos)
            row = line;
    std::istringstream fields(row);
    std::string f[9];
    for (auto& x : f)
        fields >> x;
    EXPECT_EQ(f[3] + " " + f[4], size) << list; // Round(real bounds x 3)
    EXPECT_EQ(f[5] + " " + f[8], "gray jpeg") << list;
    // Placement, then the frame drawn after the image with its width restored.
    EXPECT_NE(doc.find("q\r\n168.00 0 0 45.00 15.00 162.75 cm\r\n/Im0 Do\r\nQ\r\nq\r\n[] 0 d\r\n0.75 w"),
              std::string::npos)
        << doc.substr(doc.find(" cm\r\n") - 40, 120);
    EXPECT_EQ(barcode->Frame()->BottomLine()->Width(), 1);
    EXPECT_EQ(DecodePage(doc, ZXing::BarcodeFormat::Code128), "%007110601632015376002000000");
}

/// The rows of `pdfimages -list` that list images: width, height, colour and encoding.
std::vector<std::string> ImageRows(const std::string& doc) {
    std::vector<std::string> rows;
    std::istringstream lines(Tool(doc, "pdfimages -list"));
    for (std::string line; std::getline(lines, line);)
        if (line.find(" image ") != std::string::npos) {
            std::istringstream fields(line);
            std::string f[9];
            for (auto& x : f)
                fields >> x;
            rows.push_back(f[3] + " " + f[4] + " " + f[5] + " " + f[8]);
        }
    return rows;
}

TEST_F(PdfGraphics, GeoLabelPageWithAztecPictureAndRoutingBarcodeReadsBack) {
    RegisterLabelFonts();
    // The label's picture: the 600 x 600 Aztec symbol in a 128-pixel view; the routing barcode,
    // a memo, lines and a frame around the page.
    TDPDAztec aztec;
    aztec.ISO_DestZipCode()->SetFieldValue(u"01067");
    aztec.ISO_DestCountryCode()->SetFieldValue(u"276");
    aztec.ISO_ParcelNumber()->SetFieldValue(u"01905002345615");
    aztec.ISO_RecTown()->SetFieldValue(u"Dresden");
    TfrxPictureView picture(nullptr);
    picture.Picture()->Assign(aztec.AsImage().Picture());
    picture.SetBounds(240, 20, 128, 128);
    auto barcode = RoutingBarcode();
    TfrxMemoView memo(nullptr);
    memo.SetBounds(12, 20, 200, 40);
    memo.Font().SetName(u"Arial Narrow");
    memo.Font().SetSize(12);
    memo.SetText(u"Muster GmbH\r\nD-01067 Dresden");
    TfrxLineView line(nullptr);
    line.SetBounds(5, 200, 383, 0);
    TfrxShapeView box(nullptr);
    box.SetBounds(5, 5, 383, 567);
    box.Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
    const TfrxRect bounds = barcode->GetRealBounds();
    const std::string doc = LabelDocument(1, [&](TfrxPDFExport& pdf, int) {
        for (TfrxView* view : std::initializer_list<TfrxView*>{&box, &line, &memo, &picture, barcode.get()})
            pdf.ExportObject(view);
    });
    const std::string check = Tool(doc, "qpdf --check");
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    const std::string barcodeSize = std::to_string(Round((bounds.Right - bounds.Left) * 3)) + " " +
                                    std::to_string(Round((bounds.Bottom - bounds.Top) * 3));
    EXPECT_EQ(ImageRows(doc), (std::vector<std::string>{"1800 1800 rgb jpeg", barcodeSize + " gray jpeg"}));
    const Latin1String content = aztec.AsString();
    EXPECT_EQ(DecodePage(doc, ZXing::BarcodeFormat::Aztec, Rect(220, 8, 388, 168)),
              std::string(content.begin(), content.end()));
    EXPECT_EQ(DecodePage(doc, ZXing::BarcodeFormat::Code128), "%007110601632015376002000000");
}

TEST_F(PdfGraphics, AnImageUsedTwiceIsWrittenOnceAndPlacedOnBothPages) {
    RegisterLabelFonts();
    auto barcode = RoutingBarcode();
    const std::string doc = LabelDocument(2, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(barcode.get()); });
    const std::string list = Tool(doc, "pdfimages -list");
    // Both pages list the image under one object number.
    std::vector<std::string> objects;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" image ") != std::string::npos) {
            std::istringstream fields(line);
            std::string f[12];
            for (auto& x : f)
                fields >> x;
            objects.push_back(f[10]);
        }
    ASSERT_EQ(objects.size(), 2u) << list;
    EXPECT_EQ(objects[0], objects[1]);
    std::size_t placed = 0;
    for (std::size_t p = doc.find("/Im0 Do"); p != std::string::npos; p = doc.find("/Im0 Do", p + 1))
        ++placed;
    EXPECT_EQ(placed, 2u);
    EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
}

TEST_F(PdfGraphics, ATransparentViewGetsASoftMask) {
    RegisterLabelFonts();
    auto barcode = RoutingBarcode(); // Color clNone
    const std::string doc = LabelDocument(
        1, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(barcode.get()); }, true);
    EXPECT_NE(doc.find("/ColorSpace /DeviceGray/Matte[ 0 0 0] "), std::string::npos);
    EXPECT_NE(doc.find("/SMask "), std::string::npos);
    const std::string list = Tool(doc, "pdfimages -list");
    EXPECT_NE(list.find("smask"), std::string::npos) << list;
    EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
    EXPECT_EQ(DecodePage(doc, ZXing::BarcodeFormat::Code128), "%007110601632015376002000000");
}

TEST_F(PdfGraphics, APictureWithAlphaGetsItsAlphaAsSoftMask) {
    // A 40 x 40 picture of straight alpha: the left half opaque red, the right half clear with a
    // half-covered column between; drawn at scale 3.
    TBitmap logo(40, 40, pf32bit);
    logo.SetAlphaFormat(afDefined);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            std::uint8_t* px = logo.ScanLine(y) + x * 4;
            px[0] = 0, px[1] = 0, px[2] = 255;
            px[3] = x < 20 ? 255 : x == 20 ? 128 : 0;
        }
    TfrxPictureView picture(nullptr);
    picture.Picture()->SetGraphic(&logo);
    picture.SetBounds(10, 10, 40, 40);
    const std::string doc = LabelDocument(
        1, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(&picture); }, true);
    EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
    const std::size_t mask = doc.find("/ColorSpace /DeviceGray/Matte[ 0 0 0] ");
    ASSERT_NE(mask, std::string::npos);
    EXPECT_NE(doc.find("/SMask "), std::string::npos);
    EXPECT_NE(doc.find("/Width 120", mask - 60), std::string::npos);
    const std::size_t data = doc.find("stream\r\n", mask) + 8;
    ASSERT_LT(data + 120 * 120, doc.size());
    const auto at = [&](int x, int y) { return int(std::uint8_t(doc[data + std::size_t(y) * 120 + x])); };
    EXPECT_EQ(at(0, 0), 255);
    EXPECT_EQ(at(59, 119), 255);
    EXPECT_NEAR(at(61, 60), 128, 2);
    EXPECT_EQ(at(63, 0), 0);
    EXPECT_EQ(at(119, 119), 0);
    // Without Transparency the picture is opaque and has no mask.
    const std::string opaque = LabelDocument(1, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(&picture); });
    EXPECT_EQ(opaque.find("/SMask "), std::string::npos);

    // A bitmap with a red transparent colour: the mask leaves out the red pixels, not white ones.
    TBitmap keyed(40, 40, pf24bit);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            keyed.SetPixel(x, y, x < 20 ? clRed : x < 30 ? clWhite : clBlue);
    keyed.SetTransparentColor(clRed);
    keyed.SetTransparent(true);
    TfrxPictureView keyedView(nullptr);
    keyedView.Picture()->SetGraphic(&keyed);
    keyedView.SetBounds(10, 10, 40, 40);
    keyedView.SetTransparent(true);
    keyedView.SetTransparentColor(clRed);
    const std::string keyedDoc = LabelDocument(
        1, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(&keyedView); }, true);
    const std::size_t keyedMask = keyedDoc.find("/ColorSpace /DeviceGray/Matte[ 0 0 0] ");
    ASSERT_NE(keyedMask, std::string::npos);
    const std::size_t keyedData = keyedDoc.find("stream\r\n", keyedMask) + 8;
    const auto keyedAt = [&](int x) { return int(std::uint8_t(keyedDoc[keyedData + 60 * 120 + std::size_t(x)])); };
    EXPECT_EQ(keyedAt(10), 0);
    EXPECT_EQ(keyedAt(75), 255);
    EXPECT_EQ(keyedAt(110), 255);
}

TEST_F(PdfGraphics, AViewWhoseDrawingFailsFailsTheExport) {
    TFailingView view(nullptr);
    view.SetBounds(10, 10, 50, 50);
    TfrxPDFExport pdf(nullptr);
    TMemoryStream stream;
    pdf.SetStream(&stream);
    ASSERT_TRUE(pdf.DoStart());
    TfrxPage page(nullptr);
    page.SetBounds(0, 0, 200, 100);
    pdf.StartPage(&page, 0);
    try {
        pdf.ExportObject(&view);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"The symbol cannot be drawn");
    }
    EXPECT_EQ(view.Frame()->Width(), 1); // put back on the failing path too
    pdf.FinishPage(&page, 0);
    pdf.DoFinish();
}

TEST_F(PdfGraphics, LinesDoubleLinesAndArrows) {
    // A horizontal line with a solid arrow at its end: a closed filled triangle with round joins.
    TfrxLineView line(nullptr);
    line.SetBounds(10, 20, 40, 0);
    line.ArrowEnd = true;
    line.ArrowSolid = true;
    std::string text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(&line); });
    EXPECT_EQ(text, "[] 0 d\r\n0 0 0 RG\r\n0.75 w\r\n7.50 60.00 m\r\n37.50 60.00 l\r\nS\r\n"
                    "[] 0 d\r\n22.50 56.25 m\r\n37.50 60.00 l\r\n22.50 63.75 l\r\n1 j\r\n0 0 0 rg\r\nb\r\n");

    // A vertical double line: two strokes 1 point either side; an open arrow at its start whose
    // base lies below the tip, towards the other end.
    TfrxLineView vertical(nullptr);
    vertical.SetBounds(10, 20, 0, 40);
    vertical.Frame()->SetStyle(fsDouble);
    vertical.ArrowStart = true;
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(&vertical); });
    EXPECT_EQ(text, "[] 0 d\r\n0 0 0 RG\r\n0.75 w\r\n8.50 60.00 m\r\n8.50 30.00 l\r\nS\r\n"
                    "0 0 0 RG\r\n0.75 w\r\n6.50 60.00 m\r\n6.50 30.00 l\r\nS\r\n"
                    "[] 0 d\r\n3.75 45.00 m\r\n7.50 60.00 l\r\n11.25 45.00 l\r\nS\r\n");

    // A double diagonal is one plain stroke; a dashed straight line takes its side's pattern.
    TfrxLineView diagonal(nullptr);
    diagonal.SetBounds(10, 20, 40, 40);
    diagonal.Diagonal = true;
    diagonal.Frame()->SetStyle(fsDouble);
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(&diagonal); });
    EXPECT_EQ(text, "[] 0 d\r\n0 0 0 RG\r\n0.75 w\r\n7.50 60.00 m\r\n37.50 30.00 l\r\nS\r\n");
    line.Frame()->SetStyle(fsDash);
    line.ArrowEnd = false;
    text = Content([&](TfrxPDFExport& pdf) { pdf.ExportObject(&line); });
    EXPECT_EQ(text.find("[13.5 4.5] 0 d\r\n"), 0u) << text;

    std::string doc;
    Content(
        [&](TfrxPDFExport& pdf) {
            pdf.ExportObject(&vertical);
            pdf.ExportObject(&diagonal);
            line.ArrowStart = line.ArrowEnd = true;
            pdf.ExportObject(&line);
        },
        &doc);
    EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
}

TEST_F(PdfGraphics, PageBackgroundPictureIsLeftOutWithoutTheBackgroundOption) {
    TBitmap logo(40, 40, pf24bit);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            logo.SetPixel(x, y, (x + y) % 2 ? clBlack : clWhite);
    for (const bool named : {true, false}) {
        TfrxPictureView picture(nullptr);
        picture.SetName(named ? u"_pagebackground" : u"Logo");
        picture.Picture()->SetGraphic(&logo);
        picture.SetBounds(10, 10, 40, 40);
        int encodes = 0;
        const std::string doc = LabelDocument(
            1, [&](TfrxPDFExport& pdf, int) { pdf.ExportObject(&picture); }, false, &encodes);
        EXPECT_EQ(encodes, named ? 0 : 1) << (named ? "_pagebackground" : "Logo");
        EXPECT_EQ(doc.find("/Subtype /Image") == std::string::npos, named);
    }
}

TEST_F(PdfGraphics, PageColourFrameBackgroundPictureAndClip) {
    // A report page of 200 x 100 pixels with margins of 10 mm and 5 mm, a yellow colour, a
    // bottom frame line and a visible, unstretched background picture.
    TBitmap logo(40, 40, pf24bit);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            logo.SetPixel(x, y, (x / 4 + y / 4) % 2 ? clBlack : clWhite);
    for (const bool background : {false, true}) {
        TfrxReportPage page(nullptr);
        page.SetPaperWidth(200 * 25.4L / 96);
        page.SetPaperHeight(100 * 25.4L / 96);
        page.UpdateDimensions();
        page.SetLeftMargin(10);
        page.SetTopMargin(5);
        page.SetColor(clYellow);
        page.Frame()->SetTyp({ftBottom});
        page.SetBackPictureVisible(true);
        page.SetBackPictureStretched(false);
        TfrxPictureView picture(nullptr);
        picture.SetName(u"_pagebackground");
        picture.Picture()->SetGraphic(&logo);
        picture.SetBounds(0, 0, 150, 75);
        TfrxShapeView box(nullptr);
        box.SetBounds(10, 20, 40, 8);
        box.Frame()->SetTyp({ftLeft});
        box.Frame()->SetWidth(2);
        TfrxPDFExport pdf(nullptr);
        pdf.SetCompressed(false);
        pdf.SetTransparency(false);
        pdf.SetBackground(background);
        TMemoryStream stream;
        pdf.SetStream(&stream);
        ASSERT_TRUE(pdf.DoStart());
        pdf.StartPage(&page, 0);
        pdf.ExportObject(&picture);
        pdf.BeginClip(&box);
        pdf.EndClip();
        pdf.FinishPage(&page, 0);
        pdf.DoFinish();
        pdf.SetStream(nullptr);
        const std::string doc(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.GetSize()));
        EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
        // FPageRect: left 10 mm = 28.85 points (with the 0.5), top 75 - 5 mm = 60.83, right 150.5,
        // bottom 0; the colour only with Background, the frame always.
        const std::string fill = "q\r\n1 1 0 rg\r\n1 1 0 RG\r\n0 w\r\n28.85 0 121.65 60.83 re\r\nB\r\nQ\r\n";
        EXPECT_EQ(doc.find(fill) != std::string::npos, background) << doc.substr(doc.find("stream\r\n"), 200);
        EXPECT_NE(doc.find("28.85 0.00 m\r\n150.50 0.00 l\r\nS"), std::string::npos)
            << doc.substr(doc.find("stream\r\n"), 300);
        // The background picture only with Background, unstretched (its own 40 x 40 pixels).
        EXPECT_EQ(doc.find("/Subtype /Image") != std::string::npos, background);
        EXPECT_TRUE(picture.Stretched());
        // The clip: the box (left margin 10 x 0.05 points) with its 2-pixel left line.
        EXPECT_NE(doc.find("q\r\n7.25 53.75 30.75 6 re\r\nW\r\nn\r\nQ\r\n"), std::string::npos)
            << doc.substr(doc.find("stream\r\n"), 600);
    }
}

TEST_F(PdfGraphics, PictureKeepsItsPixelsAndIsEncodedOnceForTwoPages) {
    // A 600 x 600 picture in a 128-pixel view at the label's options: 3 x sqrt(600² / 128²) gives
    // an 1800 x 1800 colour JPEG.
    TBitmap symbol(600, 600, pf24bit);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 600; ++x)
            symbol.SetPixel(x, y, ((x / 20 + y / 20) % 2) ? clBlack : RGB(200, 30, 30));
    TfrxPictureView picture(nullptr);
    picture.Picture()->SetGraphic(&symbol);
    picture.SetBounds(240, 20, 128, 128);
    TfrxPictureView empty(nullptr);
    empty.SetBounds(10, 10, 50, 50);
    empty.Frame()->SetTyp({ftBottom});
    int encodes = 0;
    const std::string doc = LabelDocument(
        2,
        [&](TfrxPDFExport& pdf, int) {
            pdf.ExportObject(&picture);
            pdf.ExportObject(&empty);
        },
        false, &encodes);
    EXPECT_EQ(encodes, 1);
    const std::string list = Tool(doc, "pdfimages -list");
    std::vector<std::string> rows;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" image ") != std::string::npos) {
            std::istringstream fields(line);
            std::string f[11];
            for (auto& x : f)
                fields >> x;
            rows.push_back(f[3] + " " + f[4] + " " + f[5] + " " + f[8] + " " + f[10]);
        }
    ASSERT_EQ(rows.size(), 2u) << list;
    EXPECT_EQ(rows[0], rows[1]); // one object on both pages
    EXPECT_EQ(rows[0].substr(0, rows[0].rfind(' ')), "1800 1800 rgb jpeg") << list;
    EXPECT_EQ(Tool(doc, "qpdf --check").find("WARNING"), std::string::npos);
    // The empty picture writes its frame only.
    EXPECT_NE(doc.find("q\r\n[] 0 d\r\n0.75 w\r\n2 J\r\n0 0 0 RG\r\n7.50 387.75 m"), std::string::npos);

    // One pixel changed between the pages: the same view is drawn and encoded again.
    LabelDocument(
        2,
        [&](TfrxPDFExport& pdf, int page) {
            if (page == 1) {
                symbol.SetPixel(599, 599, clWhite);
                picture.Picture()->SetGraphic(&symbol);
            }
            pdf.ExportObject(&picture);
        },
        false, &encodes);
    EXPECT_EQ(encodes, 2);
}
