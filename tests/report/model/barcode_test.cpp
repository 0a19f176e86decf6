#include "report/model/barcode.h"

#include <gtest/gtest.h>

#include <ZXing/ReadBarcode.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font.h"
#include "platform/graphics/font_registry.h"
#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

// Reads the one barcode in the bitmap with zxing-cpp (any rotation), with a white border.
std::string Decode(const TBitmap& bitmap, ZXing::BarcodeFormat format, std::string* symbology = nullptr) {
    const int border = 60;
    const int width = bitmap.GetWidth() + 2 * border, height = bitmap.GetHeight() + 2 * border;
    std::vector<std::uint8_t> image(std::size_t(width) * height, 255);
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) {
            const TColor c = bitmap.GetPixel(x, y);
            image[std::size_t(y + border) * width + x + border] =
                std::uint8_t((GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3);
        }
    const ZXing::ImageView view(image.data(), width, height, ZXing::ImageFormat::Lum);
    const ZXing::Result r = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(format).setTryRotate(true));
    if (!r.isValid())
        return "<no decode>";
    if (symbology)
        *symbology = r.symbologyIdentifier();
    return std::string(r.bytes().begin(), r.bytes().end());
}

struct Drawn {
    std::unique_ptr<TBitmap> Bitmap;
    TRect Area;
};

// Draws the code at 300 dpi (3.125 pixels per unit) with a band of 40 units across.
Drawn Draw(TfrxBarcode& code, double angle, bool direct, bool showText = false) {
    code.SetAngle(angle);
    const int along = int(code.GetWidth() * 3.125 + 0.5), across = 125;
    const bool vertical = angle == 90 || angle == 270;
    Drawn d;
    d.Bitmap = std::make_unique<TBitmap>(vertical ? across + 40 : along + 40, vertical ? along + 40 : across + 40);
    TCanvas canvas(d.Bitmap.get());
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, d.Bitmap->GetWidth(), d.Bitmap->GetHeight()));
    d.Area = vertical ? Rect(20, 20, 20 + across, 20 + along) : Rect(20, 20, 20 + along, 20 + across);
    code.DrawBarcode(canvas, d.Area, direct, 1, 1, showText);
    return d;
}

TEST(Barcode, DrawnSymbolsDecodeAtEveryQuarterTurn) {
    RegisterLabelFonts();
    struct Case {
        TfrxBarcodeType Type;
        AnsiString Text, Expected;
        ZXing::BarcodeFormat Format;
        std::string Symbology;
    };
    const Case cases[] = {
        {bcCode128, "%0071106016320153760020000001", "%0071106016320153760020000001", ZXing::BarcodeFormat::Code128,
         "]C0"},
        {bcCode128, "ABC", "ABC", ZXing::BarcodeFormat::Code128, "]C0"},
        {bcCode128, "a\x01Z\x1fz 42", "a\x01Z\x1fz 42", ZXing::BarcodeFormat::Code128, "]C0"},
        {bcCodeEAN128, "10ABC", "10ABC", ZXing::BarcodeFormat::Code128, "]C1"},
        {bcGS1Code128, "(01)12345678901234", "0112345678901234", ZXing::BarcodeFormat::Code128, "]C1"},
        {bcCode_2_5_interleaved, "12345", "012345", ZXing::BarcodeFormat::ITF, "]I0"},
    };
    for (const Case& c : cases)
        for (double angle : {0.0, 90.0, 180.0, 270.0})
            for (bool direct : {false, true}) {
                TfrxBarcode code;
                code.SetTyp(c.Type);
                code.SetText(c.Text);
                std::string symbology;
                EXPECT_EQ(Decode(*Draw(code, angle, direct, direct).Bitmap, c.Format, &symbology), c.Expected)
                    << c.Text << " at " << angle << (direct ? " direct" : " through a metafile");
                EXPECT_EQ(symbology, c.Symbology) << c.Text;
            }
}

TEST(Barcode, ElementsCoverTheirWidthTimesTheUnitScale) {
    // "ABC" is 70 units wide; at 4 pixels per unit the start symbol (bar 2, space 1, bar 1, ...)
    // begins after the one-unit space the recording adds.
    TfrxBarcode code;
    code.SetTyp(bcCode128);
    code.SetText("ABC");
    ASSERT_EQ(code.GetWidth(), 70);
    TBitmap bitmap(280, 40);
    TCanvas canvas(&bitmap);
    code.DrawBarcode(canvas, Rect(0, 0, 280, 40), false, 1, 1, false);
    std::string row;
    for (int x = 0; x < 40; ++x)
        row += bitmap.GetPixel(x, 20) == clBlack ? '#' : '.';
    EXPECT_EQ(row, "....########....####........####........");
    EXPECT_EQ(code.GetHeight(), 10);
}

TEST(Barcode, TextBandAndSettings) {
    RegisterLabelFonts();
    TfrxBarcode code;
    EXPECT_EQ(code.GetTyp(), bcCodeEAN13);
    EXPECT_EQ(code.Font().GetSize(), 9);
    code.SetTyp(bcCodeUSPSIntelligentMail);
    EXPECT_EQ(code.GetModul(), 3);
    code.SetTyp(bcCode128);
    EXPECT_EQ(code.GetModul(), 1);
    code.SetText("ABC");
    TBitmap bitmap(280, 100);
    TCanvas canvas(&bitmap);
    code.DrawBarcode(canvas, Rect(0, 0, 280, 100), false, 1, 1, true);
    // 100 / 4 = 25 units across; the text band takes 2 - Height + 2 = 16 of them.
    EXPECT_EQ(code.GetHeight(), 25 - 16);

    TfrxBarcode copy;
    copy.SetRatio(2.5);
    copy.SetAngle(90);
    code.Assign(&copy);
    EXPECT_EQ(code.GetAngle(), 90);
    EXPECT_EQ(code.GetText(), "");
    code.SetText("12(3");
    code.SetTyp(bcCode_2_5_interleaved);
    try {
        code.DrawBarcode(canvas, Rect(0, 0, 280, 100), false, 1, 1, true);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Barcode must be numeric");
    }
}

} // namespace
} // namespace vgl
