// Text drawing on devices of other resolutions: the virtual printer's canvas and test canvases
// standing for printers, against the 96-dpi bitmap path.

#include <gtest/gtest.h>

#include <limits>

#include <thread>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/text_measure.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/initialization.h"
#include "report/foundation/printers.h"
#include "report/foundation/vector_canvas.h"

namespace vgl {
namespace {

/// A printer canvas standing for a device of any resolution; it keeps the font height of every
/// run it is asked to draw.
class TTestPrinterCanvas : public TfrxPrinterCanvas {
public:
    TTestPrinterCanvas(TfrxCustomPrinter& printer, TPoint resolution)
        : TfrxPrinterCanvas(printer), FResolution(resolution) {
        UpdateFont();
    }
    TPoint Resolution() const override { return FResolution; }
    void ExtTextOut(int x, int y, int options, const TRect* rect, StringView text, std::span<const int> dx) override {
        Heights.push_back(Font().GetHeight());
        TfrxPrinterCanvas::ExtTextOut(x, y, options, rect, text, dx);
    }
    std::vector<int> Heights;

private:
    TPoint FResolution;
};

int Advance(Char c, int size, bool bold) {
    TFontData f;
    f.Name = u"Arial Narrow";
    f.Height = -int(Round(size * 600 / 72.0L));
    if (bold)
        f.Style = {fsBold};
    return TFontMeasure(f).CharAdvance(c);
}

struct TStyledChar {
    Char C;
    int Size;
    bool Bold;
};

// The memo: two unwrapped lines, with a bold run and a subscript (size round(10 / 1.5) = 7).
const std::vector<String> kMemo = {u"Parcel <b>12345</b> to H<sub>2</sub>O", u"Hauptstrasse <b>117</b>"};

std::vector<std::vector<TStyledChar>> MemoChars() {
    std::vector<std::vector<TStyledChar>> lines(2);
    for (Char c : String(u"Parcel "))
        lines[0].push_back({c, 10, false});
    for (Char c : String(u"12345"))
        lines[0].push_back({c, 10, true});
    for (Char c : String(u" to H"))
        lines[0].push_back({c, 10, false});
    lines[0].push_back({u'2', 7, false});
    lines[0].push_back({u'O', 10, false});
    for (Char c : String(u"Hauptstrasse "))
        lines[1].push_back({c, 10, false});
    for (Char c : String(u"117"))
        lines[1].push_back({c, 10, true});
    return lines;
}

/// The width of each line measured at 600 dpi.
std::vector<int> MeasuredWidths() {
    std::vector<int> widths;
    for (const auto& line : MemoChars()) {
        int w = 0;
        for (const TStyledChar& c : line) // sub- and superscripts measure as 1/1.5 of the full size
            w += c.Size == 10 ? Advance(c.C, 10, c.Bold) : int(Round(Advance(c.C, 10, c.Bold) / 1.5L));
        widths.push_back(w);
    }
    return widths;
}

/// The sum of the advances of each line's runs (runs follow each other in line order).
std::vector<int> LineSums(const TVectorCanvas& vc) {
    std::vector<int> sums;
    const auto lines = MemoChars();
    size_t line = 0, chars = 0;
    int sum = 0;
    for (int i = 0; i < vc.Count(); ++i) {
        const auto& run = dynamic_cast<const TVector_ExtTextOut&>(vc.Items(i));
        sum += int(run.TextLength());
        chars += run.Str().size();
        if (line < lines.size() && chars == lines[line].size()) {
            sums.push_back(sum);
            sum = 0;
            chars = 0;
            ++line;
        }
    }
    return sums;
}

class DrawTextDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterLabelFonts();
        InitializeReportFoundation();
    }

    /// Lays the memo out in a 300 × 100 report-unit rectangle drawn at `scale` device pixels per
    /// report unit, then draws it on `c` with the recorder set.
    void Draw(TCanvas& c, long double scale, long double printScale = 1) {
        TfrxDrawTextLock lock(D);
        TFont font;
        font.SetName(u"Arial Narrow");
        font.SetSize(10);
        font.SetColor(clBlack);
        D.SetFont(font);
        D.SetOptions(false, true, false, false, true, true, 0);
        D.SetGaps(0, 0, 0);
        const TRect r = Rect(10, 20, 310, 120);
        const TRect scaled =
            Rect(int(Round(10 * scale)), int(Round(20 * scale)), int(Round(310 * scale)), int(Round(120 * scale)));
        D.SetDimensions(scale, scale, printScale, r, scaled);
        TfrxWideStrings text;
        for (const String& s : kMemo)
            text.Add(s);
        D.SetText(text);
        VC.Clear();
        D.SetVC(&VC);
        D.DrawText(c, haLeft, vaTop, ulmNone, -1);
        D.SetVC(nullptr);
    }

    TfrxDrawText D;
    TVectorCanvas VC;
};

TEST_F(DrawTextDeviceTest, PrinterRunsFollowThe600DpiMeasurement) {
    const std::vector<int> mw = MeasuredWidths();

    // The 96-dpi bitmap: each line is as wide as its measurement scaled to 96 dpi.
    TBitmap bmp(400, 200);
    EXPECT_EQ(bmp.Canvas().Resolution(), Point(96, 96));
    Draw(bmp.Canvas(), 1);
    EXPECT_EQ(VC.Count(), 7);
    std::vector<int> expected;
    for (int w : mw)
        expected.push_back(int(Round(w / 6.25L)));
    EXPECT_EQ(LineSums(VC), expected);

    // The virtual printer at 600 dpi and PrintScale 1: each line is exactly its measurement.
    TfrxVirtualPrinter printer(u"Virtual", u"");
    printer.Init();
    Draw(printer.Canvas(), 6.25L);
    EXPECT_EQ(VC.Count(), 7);
    EXPECT_EQ(LineSums(VC), mw);
}

TEST_F(DrawTextDeviceTest, EveryRunTakesItsHeightFromTheVerticalResolution) {
    TfrxVirtualPrinter printer(u"Virtual", u"");
    printer.Init();
    // Runs in order: "Parcel ", "12345", " to H", "2", "O"; "Hauptstrasse ", "117".
    const std::vector<int> sizes = {10, 10, 10, 7, 10, 10, 10};
    for (TPoint dpi : {Point(600, 600), Point(300, 600)}) {
        TTestPrinterCanvas c(printer, dpi);
        Draw(c, dpi.Y / 96.0L);
        ASSERT_EQ(c.Heights.size(), sizes.size()) << dpi.X;
        for (size_t i = 0; i < sizes.size(); ++i)
            EXPECT_EQ(c.Heights[i], -int(Round(sizes[i] * 600 / 72.0L))) << dpi.X << " run " << i;
    }
}

TEST_F(DrawTextDeviceTest, APrinterWithoutResolutionCountsAs96Dpi) {
    TfrxVirtualPrinter printer(u"Virtual", u""); // not set up: 0 × 0 dpi
    TTestPrinterCanvas c(printer, Point(0, 0));
    Draw(c, 1);
    ASSERT_EQ(c.Heights.size(), 7u);
    EXPECT_EQ(c.Heights[0], -13);
    EXPECT_EQ(c.Heights[3], -9); // the subscript: -round(7 × 96 / 72)
    ASSERT_EQ(VC.Count(), 7);
    const auto& first = dynamic_cast<const TVector_ExtTextOut&>(VC.Items(0));
    EXPECT_EQ(first.Y(), 20);
    const std::vector<int> mw = MeasuredWidths();
    EXPECT_EQ(LineSums(VC), (std::vector<int>{int(Round(mw[0] / 6.25L)), int(Round(mw[1] / 6.25L))}));
}

TEST_F(DrawTextDeviceTest, APrintScaleOfZeroOrNoNumberCountsAsOne) {
    TfrxVirtualPrinter printer(u"Virtual", u"");
    printer.Init();
    TTestPrinterCanvas one(printer, Point(600, 600));
    Draw(one, 6.25L, 1);
    const std::vector<int> expected = LineSums(VC);
    for (long double printScale : {0.0L, -2.0L, std::numeric_limits<long double>::quiet_NaN()}) {
        TTestPrinterCanvas c(printer, Point(600, 600));
        Draw(c, 6.25L, printScale);
        EXPECT_EQ(c.Heights, one.Heights) << double(printScale);
        EXPECT_EQ(LineSums(VC), expected) << double(printScale);
    }
}

TEST_F(DrawTextDeviceTest, InstancesLayOutAndDrawSideBySide) {
    // Each report owns its instance and nothing is shared between instances: threads laying out
    // and drawing at once get what one thread gets alone.
    auto render = [](TfrxDrawText& d, TBitmap& bmp) {
        TfrxDrawTextLock lock(d);
        TFont font;
        font.SetName(u"Arial Narrow");
        font.SetSize(9);
        font.SetColor(clBlack);
        d.SetFont(font);
        d.SetOptions(true, true, false, true, true, true, 0);
        d.SetGaps(0, 0, 0);
        const TRect r = Rect(0, 0, 90, 120);
        d.SetDimensions(1, 1, 1, r, r);
        TfrxWideStrings text;
        text.SetText(u"Frau <b>Erika</b> Beispiel, Hauptstrasse 117, 12345 Musterstadt, <i>Paket 1/2</i>");
        d.SetText(text);
        String result = d.WrappedText() + FloatToStr(d.CalcHeight());
        bmp.Canvas().Brush().SetColor(clWhite);
        bmp.Canvas().FillRect(Rect(0, 0, 100, 130));
        d.DrawText(bmp.Canvas(), haBlock, vaTop, ulmUnderlinesText, -1);
        for (int y = 0; y < 130; ++y)
            for (int x = 0; x < 100; ++x)
                result += bmp.Canvas().GetPixel(x, y) == clWhite ? u'.' : u'#';
        return result;
    };
    TfrxDrawText alone;
    TBitmap aloneBmp(100, 130);
    const String expected = render(alone, aloneBmp);
    std::vector<String> results(4);
    std::vector<std::thread> threads;
    for (String& result : results)
        threads.emplace_back([&] {
            TfrxDrawText d;
            TBitmap bmp(100, 130);
            for (int k = 0; k < 10; ++k)
                result = render(d, bmp);
        });
    for (std::thread& t : threads)
        t.join();
    for (const String& result : results)
        EXPECT_EQ(result, expected);
}

} // namespace
} // namespace vgl
