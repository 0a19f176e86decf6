#include "report/model/barcode_view.h"

#include <gtest/gtest.h>

#include <ZXing/ReadBarcode.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/font.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/exceptions.h"
#include "report/foundation/initialization.h"
#include "report/model/data_set.h"
#include "report/model/object_registries.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

class BarcodeView : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterLabelFonts(); }
    std::unique_ptr<TfrxBarCodeView> Make(TfrxBarcodeType type, const String& text, long double zoom = 1.6L) {
        auto view = std::make_unique<TfrxBarCodeView>(nullptr);
        view->SetBarType(type);
        view->SetText(text);
        view->SetShowText(false);
        view->SetWideBarRatio(2);
        view->SetZoom(zoom);
        view->SetBounds(10, 10, 100, 40);
        return view;
    }
};

// Draws the view at 300 dpi onto a white page and reads it with zxing-cpp (any rotation).
std::string DrawAndDecode(TfrxBarCodeView& view, std::string* symbology = nullptr) {
    const long double scale = 3.125L;
    TBitmap page(int(scale * 400), int(scale * 400));
    TCanvas canvas(&page);
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, page.GetWidth(), page.GetHeight()));
    view.Draw(canvas, scale, scale, 0, 0);
    std::vector<std::uint8_t> gray(std::size_t(page.GetWidth()) * page.GetHeight());
    for (int y = 0; y < page.GetHeight(); ++y)
        for (int x = 0; x < page.GetWidth(); ++x) {
            const TColor c = page.GetPixel(x, y);
            gray[std::size_t(y) * page.GetWidth() + x] = std::uint8_t((GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3);
        }
    const ZXing::ImageView image(gray.data(), page.GetWidth(), page.GetHeight(), ZXing::ImageFormat::Lum);
    const ZXing::Result r = ZXing::ReadBarcode(image, ZXing::DecodeHints().setTryRotate(true).setFormats(
                                                          ZXing::BarcodeFormat::Code128 | ZXing::BarcodeFormat::ITF));
    if (!r.isValid())
        return "<no decode>";
    if (symbology)
        *symbology = r.symbologyIdentifier();
    return std::string(r.bytes().begin(), r.bytes().end());
}

const String kRouting = u"%007110601632015376002000000"; // "%" and 27 digits, as on the label

TEST_F(BarcodeView, WidthsFollowZoomAndModules) {
    auto view = Make(bcCode128, kRouting);
    view->GetRealBounds();
    EXPECT_NEAR(double(view->Width()), 358.4, 1e-9);
    view->SetZoom(1.58L);
    view->GetRealBounds();
    EXPECT_NEAR(double(view->Width()), 353.92, 1e-9);
    view->SetZoom(1.5L);
    view->GetRealBounds();
    EXPECT_NEAR(double(view->Width()), 336, 1e-9);

    auto eleven = Make(bcCode128, u"ABCDEFGHI"); // start, nine data symbols, check
    eleven->GetRealBounds();
    EXPECT_NEAR(double(eleven->Width()), 217.6, 1e-9);

    auto fitted = Make(bcCode_2_5_interleaved, u"12345678901234567890"); // 150 modules
    fitted->SetAutoSize(false);
    fitted->SetWidth(300);
    fitted->GetRealBounds();
    EXPECT_NEAR(double(fitted->Zoom()), 2.0, 1e-12);
    EXPECT_EQ(fitted->Width(), 300);
}

TEST_F(BarcodeView, DrawnCodesDecodeAtEveryRotation) {
    struct Case {
        TfrxBarcodeType Type;
        String Text;
        std::string Expected, Symbology;
    };
    const Case cases[] = {
        {bcCode128, kRouting, "%007110601632015376002000000", "]C0"},
        {bcCode128, u"ABC", "ABC", "]C0"},
        {bcCode128, u"Ab\x0001z\x001f 42x", "Ab\x01z\x1f 42x", "]C0"},
        {bcCodeEAN128, u"10ABC", "10ABC", "]C1"},
        {bcGS1Code128, u"(01)12345678901234", "0112345678901234", "]C1"},
        {bcCode_2_5_interleaved, u"12345", "012345", "]I0"},
        {bcCode_ITF_14, u"12345678912345", "12345678912345", "]I0"},
    };
    for (const Case& c : cases)
        for (int rotation : {0, 90, 180, 270}) {
            auto view = Make(c.Type, c.Text);
            view->SetRotation(rotation);
            std::string symbology;
            EXPECT_EQ(DrawAndDecode(*view, &symbology), c.Expected) << StringToUtf8(c.Text) << " at " << rotation;
            EXPECT_EQ(symbology, c.Symbology) << StringToUtf8(c.Text);
        }
}

TEST_F(BarcodeView, RefusedTextsAreShownAndRaisedOutsideTheDesigner) {
    // As after loading a template: the stored type differs from the initial one.
    auto view = Make(bcCode128C, u"12345");
    TBitmap page(800, 200);
    TCanvas canvas(&page);
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(Rect(0, 0, 800, 200));
    view->Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(view->ErrorText(), u"Invalid Barcode");
    EXPECT_EQ(view->Text(), u"12345"); // never replaced by a sample outside the designer
    bool red = false;
    for (int y = 10; y < 50 && !red; ++y)
        for (int x = 10; x < 110 && !red; ++x)
            red = page.GetPixel(x, y) != clWhite && GetRValue(page.GetPixel(x, y)) > 128 &&
                  GetGValue(page.GetPixel(x, y)) < 100;
    EXPECT_TRUE(red);
    try {
        view->GetRealBounds();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Invalid Barcode");
    }
    EXPECT_THROW(view->GetVectorGraphic(), Exception);

    // While designing, the first failure after a type change shows the sample; the next the message.
    auto designed = Make(bcCode128C, u"12345");
    designed->SetIsDesigning(true);
    designed->GetRealBounds();
    EXPECT_EQ(designed->Text(), u"12345678");
    EXPECT_EQ(designed->ErrorText(), u"");
    designed->SetText(u"123");
    designed->GetRealBounds();
    EXPECT_EQ(designed->ErrorText(), u"Invalid Barcode");

    auto empty = Make(bcCode128, u"");
    EXPECT_THROW(empty->GetRealBounds(), Exception);
    auto emptyItf = Make(bcCode_2_5_interleaved, u"");
    emptyItf->SetZoom(1);
    emptyItf->GetRealBounds();
    EXPECT_EQ(emptyItf->Width(), 10); // 2 + start + stop
}

TEST_F(BarcodeView, FontAlignmentAndSpaces) {
    auto view = Make(bcCode128, u"ABC", 1);
    view->Font().SetSize(12);
    EXPECT_EQ(view->Font().GetSize(), 9);

    view->SetHAlign(haCenter);
    view->SetBounds(100, 10, 100, 40);
    view->GetRealBounds(); // 70 wide: the centre stays at 150
    EXPECT_NEAR(double(view->Left() + view->Width() / 2), 150, 1e-9);
    view->SetHAlign(haRight);
    view->SetZoom(2);
    view->GetRealBounds(); // 140 wide: the right edge stays at 185
    EXPECT_NEAR(double(view->Left() + view->Width()), 185, 1e-9);

    // A transparent view still paints white spaces between its bars.
    auto clear = Make(bcCode128, u"ABC", 4);
    clear->SetColor(clNone);
    TBitmap page(400, 100);
    TCanvas canvas(&page);
    canvas.Brush().SetColor(clYellow);
    canvas.FillRect(Rect(0, 0, 400, 100));
    clear->SetBounds(0, 0, 280, 60);
    clear->Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(page.GetPixel(2, 30), clWhite); // the leading narrow space
    EXPECT_EQ(page.GetPixel(6, 30), clBlack); // the start symbol's first bar
}

TEST_F(BarcodeView, RegistrationAndSampleTexts) {
    RegisterBarcodeView();
    int views = 0;
    for (const TfrxObjectItem& item : GetObjectCollection().Items())
        if (item.ClassRef == &TfrxBarCodeView::StaticClassInfo())
            ++views;
    EXPECT_EQ(views, 13); // nine Code 128 types and four 2-of-5 types
    EXPECT_EQ(GetClass(u"TfrxBarCodeView"), &TfrxBarCodeView::StaticClassInfo());
    UnregisterBarcodeView();

    TfrxBarCodeView view(nullptr);
    view.DesignCreate(nullptr, bcCode_ITF_14);
    EXPECT_EQ(view.BarType(), bcCode_ITF_14);
    EXPECT_EQ(view.Text(), u"12345678912345");
    view.SetSampleText(bcDeutsche_Post_Leitcode);
    EXPECT_TRUE(view.CalcCheckSum());
}

TEST_F(BarcodeView, GetDataTakesTheFieldBeforeTheExpression) {
    InitializeReportFoundation();
    InitializeScriptEngine();
    InitializeReportModel();
    const test::TServiceDoubles doubles;
    TfrxReport report(nullptr);
    report.OnGetValue = [](const String& name, Variant& value) {
        if (name == u"route")
            value = Variant(u"EXPR");
    };
    auto* set = new TfrxUserDataSet(&report);
    set->SetUserName(u"Parcel");
    set->OnGetValue = [](const String& name, Variant& value) {
        if (name == u"Routing")
            value = Variant(kRouting);
    };
    auto* view = new TfrxBarCodeView(&report);
    view->SetParent(&report);
    view->SetBarType(bcCode128);
    view->SetExpression(u"route");
    view->GetData();
    EXPECT_EQ(view->Text(), u"EXPR");

    view->SetDataSetName(u"Parcel");
    view->SetDataField(u"Routing");
    view->GetData();
    EXPECT_EQ(view->Text(), kRouting);
}

} // namespace
} // namespace vgl
