#include "report/model/report_page.h"

#include <gtest/gtest.h>

#include "tests/report/model/model_test_support.h"
#include "tests/report/model/service_doubles.h"

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "report/foundation/initialization.h"
#include "report/foundation/resource_strings.h"
#include "report/model/bands.h"
#include "report/model/data_set.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"

namespace vgl {
namespace {

// Reading creates objects by class name: the report classes are registered first.
void Load(TfrxComponent& c, std::string text) {
    InitializeReportModel();
    if (text.rfind("<?xml", 0) != 0)
        text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + text;
    TMemoryStream in;
    in.WriteBuffer(text.data(), std::int64_t(text.size()));
    in.SetPosition(0);
    c.LoadFromStream(in);
}

// A page class that counts as a dot-matrix page by its name.
class TfrxDotMatrixPage : public TfrxReportPage {
    VGL_CLASS(TfrxDotMatrixPage, TfrxReportPage)
    explicit TfrxDotMatrixPage(TComponent* owner) : TfrxReportPage(owner) {}
};
VGL_DEFINE_CLASS(TfrxDotMatrixPage) {}

// ---- Page geometry ----------------------------------------------------------------------------

TEST(ReportPage, NewPageIsA4PortraitInPixels) {
    TfrxReportPage page(nullptr);
    EXPECT_EQ(page.PaperSize(), 9);
    EXPECT_EQ(page.PaperWidth(), 210);
    EXPECT_EQ(page.PaperHeight(), 297);
    EXPECT_EQ(page.Width(), 794);
    EXPECT_EQ(page.Height(), 1123);
    EXPECT_EQ(page.Orientation(), poPortrait);
    EXPECT_EQ(page.Bin(), 7);
    EXPECT_EQ(page.Color(), clNone);
}

TEST(ReportPage, LabelSizesMakeACustomPaper) {
    TfrxReportPage page(nullptr);
    page.SetPaperWidth(103.99977083L);
    page.SetPaperHeight(152.6L);
    EXPECT_EQ(page.PaperSize(), 256);
    EXPECT_EQ(page.Width(), 393);
    EXPECT_EQ(page.Height(), 577);
    // Eight decimals are kept.
    page.SetPaperWidth(100.123456789L);
    EXPECT_NEAR(double(page.PaperWidth()), 100.12345679, 1e-12);
}

TEST(ReportPage, HalfPixelsRoundToEven) {
    EXPECT_EQ(RoundHalfEven(392.5L), 392);
    EXPECT_EQ(RoundHalfEven(393.5L), 394);
    EXPECT_EQ(RoundHalfEven(-0.5L), 0);
}

TEST(ReportPage, OrientationTurnsSizesAndMargins) {
    TfrxReportPage page(nullptr);
    page.SetLeftMargin(10);
    page.SetRightMargin(20);
    page.SetTopMargin(30);
    page.SetBottomMargin(40);
    page.SetOrientation(poLandscape);
    EXPECT_EQ(page.PaperWidth(), 297);
    EXPECT_EQ(page.PaperHeight(), 210);
    EXPECT_EQ(page.Width(), 1123);
    EXPECT_EQ(page.LeftMargin(), 30);
    EXPECT_EQ(page.RightMargin(), 40);
    EXPECT_EQ(page.TopMargin(), 20);
    EXPECT_EQ(page.BottomMargin(), 10);
    page.SetOrientation(poLandscape); // no change
    EXPECT_EQ(page.PaperWidth(), 297);
    page.SetOrientation(poPortrait);
    EXPECT_EQ(page.PaperWidth(), 210);
    EXPECT_EQ(page.LeftMargin(), 10);
    EXPECT_EQ(page.RightMargin(), 20);
    EXPECT_EQ(page.TopMargin(), 30);
    EXPECT_EQ(page.BottomMargin(), 40);
}

TEST(ReportPage, PaperCodes) {
    TfrxReportPage page(nullptr);
    page.SetOrientation(poLandscape);
    page.SetPaperSize(9);
    EXPECT_EQ(page.PaperWidth(), 297);
    EXPECT_EQ(page.PaperHeight(), 210);
    // A code missing from the table keeps the sizes.
    page.SetPaperSize(48);
    EXPECT_EQ(page.PaperSize(), 48);
    EXPECT_EQ(page.PaperWidth(), 297);
    // A custom code keeps them too.
    page.SetPaperSize(256);
    EXPECT_EQ(page.PaperWidth(), 297);
    page.SetSizeAndDimensions(256, 104, 60);
    EXPECT_EQ(page.PaperWidth(), 104);
    EXPECT_EQ(page.Height(), 227);
}

TEST(ReportPage, ColumnsSplitThePrintableWidth) {
    TfrxReportPage page(nullptr);
    page.SetLeftMargin(10);
    page.SetRightMargin(20);
    page.SetColumns(3);
    EXPECT_EQ(page.ColumnWidth(), 60);
    ASSERT_EQ(page.ColumnPositions()->Count(), 3);
    EXPECT_EQ(page.ColumnPositions()->Get(0), u"0");
    EXPECT_EQ(page.ColumnPositions()->Get(1), u"60");
    EXPECT_EQ(page.ColumnPositions()->Get(2), u"120");
    page.SetColumns(0);
    EXPECT_EQ(page.ColumnPositions()->Count(), 0);
}

TEST(ReportPage, MarginOffsetAndPageCount) {
    TfrxReportPage page(nullptr);
    page.SetLeftMargin(10);
    page.SetRightMargin(20);
    page.SetTopMargin(5);
    page.SetMirrorMargins(true);
    page.SetMarginOffset(1);
    EXPECT_NEAR(double(page.Left()), 20 * 3.77953, 1e-9);
    EXPECT_NEAR(double(page.Top()), 5 * 3.77953, 1e-9);
    page.SetMarginOffset(2);
    EXPECT_NEAR(double(page.Left()), 10 * 3.77953, 1e-9);
    page.ClearMarginOffset();
    EXPECT_EQ(page.Left(), 0);
    EXPECT_EQ(page.Top(), 0);
    page.SetPageCount(0);
    EXPECT_EQ(page.PageCount(), 1);
    page.SetPageCount(3);
    EXPECT_EQ(page.PageCount(), 3);
}

TEST(ReportPage, DefaultsComeFromTheVirtualPrinter) {
    TfrxReportPage page(nullptr);
    page.SetSizeAndDimensions(256, 104, 60);
    page.SetDefaults();
    EXPECT_EQ(page.LeftMargin(), 10);
    EXPECT_EQ(page.BottomMargin(), 10);
    EXPECT_EQ(page.PaperSize(), 9);
    EXPECT_EQ(page.PaperWidth(), 210);
    EXPECT_EQ(page.Height(), 1123);
}

TEST(ReportPage, StoredSizesAndCodesLoadInDeclaredOrder) {
    TfrxReportPage label(nullptr);
    label.SetPaperWidth(103.99977083L);
    label.SetPaperHeight(152.6L);
    label.SetLeftMargin(3.7L);
    const std::string saved = test::Saved(label);
    EXPECT_EQ(test::XmlLint(saved), "");
    TfrxReportPage loaded(nullptr);
    Load(loaded, saved);
    EXPECT_EQ(loaded.PaperSize(), 256);
    EXPECT_EQ(loaded.Width(), 393);
    EXPECT_EQ(loaded.Height(), 577);
    EXPECT_EQ(loaded.LeftMargin(), 3.7L);
    EXPECT_EQ(test::Saved(loaded), saved);

    // A standard code read after the sizes replaces them.
    TfrxReportPage standard(nullptr);
    Load(standard, R"(<TfrxReportPage Name="Page1" PaperWidth="104" PaperHeight="60" PaperSize="9"/>)");
    EXPECT_EQ(standard.PaperWidth(), 210);
    EXPECT_EQ(standard.Height(), 1123);
}

TEST(ReportPage, AlignChildrenSizesBandsToThePrintableArea) {
    TfrxReportPage page(nullptr);
    page.SetLeftMargin(10);
    page.SetRightMargin(10);
    page.SetColumns(2);
    auto* header = new TfrxPageHeader(&page);
    header->SetParent(&page);
    auto* data = new TfrxMasterData(&page);
    data->SetParent(&page);
    data->SetLeft(5);
    page.AlignChildren();
    EXPECT_NEAR(double(header->Width()), 190 * 3.77953, 1e-9);
    EXPECT_NEAR(double(data->Width()), 95 * 3.77953, 1e-9);
    EXPECT_EQ(page.Width(), 794); // back to the paper size
    EXPECT_EQ(page.FindBand(&TfrxDataBand::StaticClassInfo()), data);
    EXPECT_EQ(page.FindBand(&TfrxPageHeader::StaticClassInfo()), header);
    EXPECT_EQ(page.FindBand(&TfrxOverlay::StaticClassInfo()), nullptr);
}

TEST(ReportPage, BackgroundDrawsInsideTheMargins) {
    TfrxReportPage page(nullptr);
    page.SetSizeAndDimensions(256, 20, 20);
    page.SetLeftMargin(5);
    page.SetTopMargin(5);
    page.SetColor(clBlack);
    auto bitmap = std::make_unique<TBitmap>(76, 76);
    TCanvas canvas(bitmap.get());
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 76, 76));
    page.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(10, 10), clWhite); // inside the top-left margin
    EXPECT_EQ(canvas.GetPixel(40, 40), clBlack);
    page.SetBackPictureVisible(false);
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 76, 76));
    page.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(40, 40), clWhite);
}

TEST(DialogPage, ModelWithoutAWindow) {
    TfrxDialogPage page(nullptr);
    EXPECT_EQ(page.BorderStyle(), bsSizeable);
    EXPECT_EQ(page.Color(), clBtnFace);
    EXPECT_EQ(page.Position(), poScreenCenter);
    EXPECT_EQ(page.Font().GetName(), u"Tahoma");
    EXPECT_TRUE(page.IsSupportsGuidlines());
    EXPECT_THROW(page.ShowModal(), EInvalidOperation);
}

// ---- Bands ------------------------------------------------------------------------------------

TEST(Band, NumbersAndNames) {
    struct Case {
        TClass cls;
        int number;
        const char16_t* name;
    };
    const Case cases[] = {{&TfrxReportTitle::StaticClassInfo(), 0, u"ReportTitle"},
                          {&TfrxPageHeader::StaticClassInfo(), 2, u"PageHeader"},
                          {&TfrxMasterData::StaticClassInfo(), 6, u"MasterData"},
                          {&TfrxDataBand4::StaticClassInfo(), 9, u"Data4"},
                          {&TfrxGroupFooter::StaticClassInfo(), 13, u"GroupFooter"},
                          {&TfrxOverlay::StaticClassInfo(), 17, u"Overlay"},
                          {&TfrxNullBand::StaticClassInfo(), 0, u"Null"}};
    for (const Case& c : cases) {
        std::unique_ptr<TObject> object(c.cls->Create());
        auto* band = dynamic_cast<TfrxBand*>(object.get());
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band->BandNumber(), c.number);
        EXPECT_EQ(band->BandName(), c.name);
    }
    TfrxPageFooter footer(nullptr);
    EXPECT_TRUE(footer.PrintOnLastPage);
    EXPECT_FALSE(footer.PrintOnSinglePage);
}

TEST(Band, CircularChildChainsAreRefused) {
    const String message = frxResourcesInstance().Get(u"clCirRefNotAllow");
    TfrxChild a(nullptr), b(nullptr), c(nullptr);
    a.SetChild(&b);
    b.SetChild(&c);
    try {
        c.SetChild(&a);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), message);
    }
    EXPECT_EQ(c.Child(), nullptr);
    TfrxChild d(nullptr), e(nullptr);
    d.SetChild(&e);
    EXPECT_THROW(e.SetChild(&d), Exception);
    EXPECT_EQ(e.Child(), nullptr);
    // A band as its own child would be printed for ever.
    EXPECT_THROW(b.SetChild(&b), Exception);
    EXPECT_EQ(b.Child(), &c);
}

TEST(Band, FreedChildIsForgotten) {
    TfrxMasterData master(nullptr);
    {
        TfrxChild child(nullptr);
        master.SetChild(&child);
        EXPECT_EQ(master.Child(), &child);
    }
    EXPECT_EQ(master.Child(), nullptr);
}

TEST(Band, DotMatrixGridAndColumns) {
    TfrxDotMatrixPage dotPage(nullptr);
    auto* band = new TfrxMasterData(&dotPage);
    band->SetParent(&dotPage);
    band->SetTop(40);
    band->SetHeight(25);
    band->SetLeft(20);
    EXPECT_EQ(band->Top(), 34);
    EXPECT_EQ(band->Height(), 17);
    EXPECT_NEAR(double(band->Left()), 19.2, 1e-12);

    TfrxReportPage page(nullptr);
    auto* data = new TfrxMasterData(&page);
    data->SetParent(&page);
    data->SetTop(40);
    EXPECT_EQ(data->Top(), 40);
    data->SetColumns(2);
    data->SetColumnWidth(100);
    data->SetColumnGap(10);
    data->SetCurColumn(2);
    EXPECT_EQ(data->Left(), 110);
    data->MaxY = 50;
    data->SetCurColumn(3);
    EXPECT_EQ(data->CurColumn(), 1);
    EXPECT_EQ(data->Left(), 0);
    EXPECT_EQ(data->MaxY, 0);
}

TEST(Band, StoredBandsReadBackHorizontalWithTheirChild) {
    TfrxReportPage page(nullptr);
    page.SetName(u"Page1");
    Load(page, R"(<TfrxReportPage Name="Page1" PaperWidth="104" PaperHeight="60" PaperSize="256">)"
               R"(<TfrxPageHeader Name="PageHeader1" Top="10" Height="20" Vertical="True" Child="Child1"/>)"
               R"(<TfrxChild Name="Child1" Top="40" Height="10"/>)"
               R"(<TfrxMasterData Name="MasterData1" Top="60" Height="20" RowCount="1"/></TfrxReportPage>)");
    auto* header = dynamic_cast<TfrxPageHeader*>(page.FindObject(String(u"PageHeader1")));
    ASSERT_NE(header, nullptr);
    EXPECT_FALSE(header->Vertical());
    ASSERT_NE(header->Child(), nullptr);
    EXPECT_EQ(header->Child()->Name(), u"Child1");
    auto* master = dynamic_cast<TfrxMasterData*>(page.FindObject(String(u"MasterData1")));
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(master->RowCount(), 1);
    EXPECT_EQ(master->Top(), 60);
}

TEST(Band, DataBandDataSets) {
    TfrxMasterData band(nullptr);
    EXPECT_EQ(band.VirtualDataSet()->RangeEnd(), reCount);
    band.SetRowCount(3);
    EXPECT_EQ(band.VirtualDataSet()->RangeEndCount(), 3);
    {
        TfrxUserDataSet set(nullptr);
        set.SetUserName(u"Parcels");
        band.SetDataSet(&set);
        EXPECT_EQ(band.DataSetName(), u"Parcels");
        set.SetUserName(u"Renamed");
        EXPECT_EQ(band.DataSetName(), u"Renamed");
    }
    EXPECT_EQ(band.DataSet(), nullptr);
    EXPECT_EQ(band.DataSetName(), u"Parcels");

    InitializeReportFoundation();
    InitializeScriptEngine();
    InitializeReportModel();
    const test::TServiceDoubles doubles;
    TfrxReport report(nullptr);
    auto* set = new TfrxUserDataSet(&report);
    set->SetUserName(u"Lines");
    auto* page = new TfrxReportPage(&report);
    page->SetParent(&report);
    auto* data = new TfrxMasterData(page);
    data->SetParent(page);
    data->SetDataSetName(u"Lines");
    EXPECT_EQ(data->DataSet(), set);
    page->SetDataSetName(u"Lines");
    EXPECT_EQ(page->DataSet(), set);
    set->SetUserName(u"Lines2");
    EXPECT_EQ(page->DataSetName(), u"Lines2");
    data->SetDataSetName(u"Missing");
    EXPECT_EQ(data->DataSet(), nullptr);
    EXPECT_EQ(data->DataSetName(), u"Missing");
    delete set;
    EXPECT_EQ(page->DataSet(), nullptr);
    EXPECT_EQ(page->DataSetName(), u"Lines");
}

TEST(Band, HitTestWidensTheBox) {
    TfrxMasterData band(nullptr);
    band.SetBounds(0, 100, 200, 20);
    band.BandDesignHeader = 15;
    EXPECT_TRUE(band.IsContain(100, 86));
    EXPECT_FALSE(band.IsContain(100, 84));
    EXPECT_TRUE(band.IsContain(202, 121));
    EXPECT_FALSE(band.IsContain(203, 110));
    band.SetBounds(0, 100, 0, 0);
    EXPECT_TRUE(band.IsContain(-4, 105));
    EXPECT_FALSE(band.IsContain(0, 106));
}

TEST(Band, GroupHeaderDiffWritesTheDrillName) {
    TfrxGroupHeader a(nullptr), b(nullptr);
    EXPECT_EQ(a.Diff(&b).find(u"DrillName"), String::npos);
    a.DrillDown = true;
    a.DrillName = u"a<b";
    const String diff = a.Diff(&b);
    EXPECT_NE(diff.find(u" DrillName=\"a&#60;b\""), String::npos) << StringToUtf8(diff);
}

TEST(Subreport, PageLinkBothWays) {
    auto page = std::make_unique<TfrxReportPage>(nullptr);
    {
        TfrxSubreport sub(nullptr);
        EXPECT_EQ(sub.Color(), clSilver);
        EXPECT_FALSE(sub.frComponentStyle().Contains(csPreviewVisible));
        sub.SetPage(page.get());
        EXPECT_EQ(page->SubReport(), &sub);
        EXPECT_TRUE(page->IsSubReport());
    }
    EXPECT_FALSE(page->IsSubReport());
    TfrxSubreport sub(nullptr);
    sub.SetPage(page.get());
    page.reset();
    EXPECT_EQ(sub.Page(), nullptr);
}

} // namespace
} // namespace vgl
