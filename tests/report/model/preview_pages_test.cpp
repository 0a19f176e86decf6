#include "report/model/preview_pages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/report/model/model_test_support.h"
#include "tests/report/model/preview_pages_fixture.h"

#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/engine.h"
#include "report/model/report_page.h"

namespace vgl {
namespace {

using test::PreviewPagesTest;

std::string DocumentText(TfrxXMLDocument& doc) {
    doc.AutoIndent = true;
    TMemoryStream stream;
    doc.SaveToStream(stream);
    const auto* bytes = reinterpret_cast<const char*>(stream.Memory());
    return std::string(bytes, bytes + stream.GetSize());
}

TfrxComponent* Child(TfrxComponent* parent, const String& name) {
    return parent->FindObject(name);
}

// ---- Source pages ------------------------------------------------------------------------------

TEST_F(PreviewPagesTest, SourcePageNamesEveryPrintableObjectInTheDictionary) {
    Fixture f(Report());
    Pages().AddSourcePage(f.Page);
    ASSERT_EQ(Pages().SourcePageCount(), 1);
    TfrxComponent* source = Pages().SourcePages(0);
    EXPECT_EQ(source->OriginalComponent(), f.Page);
    EXPECT_EQ(source->Name(), u"Page1");

    struct Expected {
        TfrxComponent* Original;
        const char16_t* Alias;
    };
    for (const Expected& e : {Expected{f.Header, u"b1"}, Expected{f.Band, u"b2"}, Expected{f.Memo, u"m1"},
                              Expected{f.Line, u"l1"}, Expected{f.Shape, u"s1"}, Expected{f.Picture, u"p1"}}) {
        SCOPED_TRACE(StringToUtf8(e.Original->Name()));
        TfrxComponent* copy = e.Original->OriginalComponent();
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->OriginalComponent(), e.Original);
        EXPECT_EQ(copy->Name(), e.Original->Name());
        EXPECT_EQ(e.Original->AliasName(), e.Alias);
        EXPECT_EQ(copy->AliasName(), e.Alias);
        EXPECT_EQ(Pages().Dictionary().GetObject(e.Alias), copy);
        EXPECT_EQ(Pages().Dictionary().GetSourceName(e.Alias), u"Page0." + e.Original->Name());
        // The source text makes an object of the same class again.
        TfrxXMLSerializer serializer;
        TfrxReportPage root(nullptr);
        TComponent* read = serializer.ReadComponentStr(&root, Pages().SourceText(copy));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->ClassName(), e.Original->ClassName());
        EXPECT_EQ(serializer.Errors().Count(), 0);
    }
    // The picture is not copied into the source page; the template keeps it.
    EXPECT_TRUE(dynamic_cast<TfrxPictureView*>(f.Picture->OriginalComponent())->IsEmpty());
    EXPECT_FALSE(f.Picture->IsEmpty());
    EXPECT_TRUE(f.Picture->IsPictureStored);
}

TEST_F(PreviewPagesTest, ObjectsWithoutPreviewStyleAreLeftOutWithTheirChildren) {
    Fixture f(Report());
    f.Band->frComponentStyle().Exclude(csPreviewVisible);
    f.Run(Pages(), 1);
    EXPECT_EQ(f.Band->OriginalComponent(), nullptr);
    EXPECT_EQ(f.Memo->OriginalComponent(), nullptr);
    EXPECT_EQ(Pages().SourcePages(0)->AllObjects().size(), 1u); // the page header
    TfrxXMLItem* page = Pages().XMLDoc().Root()->FindItem(u"previewpages")->Items(0);
    ASSERT_EQ(page->Count(), 1);
    EXPECT_EQ(page->Items(0)->Name(), u"b1");
}

TEST_F(PreviewPagesTest, AddToSourcePageMakesASourceObjectInTheLastSourcePage) {
    Fixture f(Report());
    Pages().AddSourcePage(f.Page);
    TfrxMemoView made(nullptr);
    made.SetText(u"made during the run");
    Pages().AddToSourcePage(&made);
    TfrxComponent* copy = made.OriginalComponent();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Parent(), Pages().SourcePages(0));
    EXPECT_EQ(copy->Name(), u"Memo2");
    EXPECT_EQ(made.AliasName(), u"m2");
    EXPECT_EQ(Pages().Dictionary().GetSourceName(u"m2"), u"Page0.Memo2");
}

// ---- Page items ---------------------------------------------------------------------------------

TEST_F(PreviewPagesTest, TheSamePageRunTwiceGivesTwoItemsOfSourcePageZero) {
    Fixture f(Report());
    f.Run(Pages(), 2);
    TfrxXMLItem* pages = Pages().XMLDoc().Root()->FindItem(u"previewpages");
    ASSERT_EQ(pages->Count(), 2);
    EXPECT_EQ(pages->Items(0)->Name(), u"page0");
    EXPECT_EQ(pages->Items(1)->Name(), u"page0");
    EXPECT_EQ(Pages().Count(), 2);
    EXPECT_EQ(Pages().CurPage(), 1);
}

TEST_F(PreviewPagesTest, AnUnchangedMemoCarriesOnlyWhatDiffers) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    TfrxXMLItem* band = Pages().XMLDoc().Root()->FindItem(u"previewpages")->Items(0)->Items(1);
    ASSERT_EQ(band->Name(), u"b2");
    TfrxXMLItem* memo = band->Items(0);
    ASSERT_EQ(memo->Name(), u"m1");
    // Geometry and font equal the source; only the text travels.
    EXPECT_FALSE(memo->PropExists(u"l"));
    EXPECT_FALSE(memo->PropExists(u"w"));
    EXPECT_FALSE(memo->PropExists(u"Font.Name"));
    EXPECT_FALSE(memo->Text().empty());
    EXPECT_LT(memo->Text().size(), Pages().SourceText(f.Memo->OriginalComponent()).size() / 4);
    // A moved memo says so.
    f.Memo->SetLeft(33);
    Pages().AddObject(f.Band);
    TfrxXMLItem* moved = Pages().XMLDoc().Root()->FindItem(u"previewpages")->Items(0)->Items(2)->Items(0);
    EXPECT_EQ(moved->GetProp(u"l"), u"33");
}

TEST_F(PreviewPagesTest, ObjectsWithoutSourceAreWrittenWhole) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    TfrxNullBand nullBand(nullptr);
    nullBand.SetBounds(5, 40, 300, 20);
    Pages().AddObject(&nullBand);
    TfrxXMLItem* page = Pages().XMLDoc().Root()->FindItem(u"previewpages")->Items(0);
    TfrxXMLItem* item = page->Items(page->Count() - 1);
    EXPECT_EQ(item->Name(), u"TfrxNullBand");
    EXPECT_EQ(item->GetProp(u"l"), u"5");
    EXPECT_EQ(item->GetProp(u"t"), u"40");
}

TEST_F(PreviewPagesTest, EveryPageReadBackEqualsItsTemplate) {
    Fixture f(Report());
    f.Run(Pages(), 3);
    ASSERT_EQ(Pages().Count(), 3);
    for (int i = 0; i < Pages().Count(); ++i) {
        SCOPED_TRACE(i);
        TfrxComponent* page = Pages().GetPage(i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->Name(), u"Page1");
        const auto& read = page->AllObjects();
        const auto& written = f.Page->AllObjects();
        ASSERT_EQ(read.size(), written.size());
        for (std::size_t k = 0; k < read.size(); ++k) {
            SCOPED_TRACE(StringToUtf8(written[k]->Name()));
            EXPECT_EQ(read[k]->ClassName(), written[k]->ClassName());
            EXPECT_EQ(read[k]->Name(), written[k]->Name());
            EXPECT_EQ(double(read[k]->Left()), double(written[k]->Left()));
            EXPECT_EQ(double(read[k]->Top()), double(written[k]->Top()));
            EXPECT_EQ(double(read[k]->Width()), double(written[k]->Width()));
            EXPECT_EQ(double(read[k]->Height()), double(written[k]->Height()));
        }
        auto* memo = dynamic_cast<TfrxMemoView*>(Child(page, u"Memo1"));
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(memo->GetText(), f.Memo->GetText());
        auto* picture = dynamic_cast<TfrxPictureView*>(Child(page, u"Picture1"));
        ASSERT_NE(picture, nullptr);
        EXPECT_GT(picture->ImageIndex(), 0);
        EXPECT_TRUE(test::SamePixels(*picture->GetGraphic(), *f.Picture->GetGraphic()));
    }
    // One picture stored for three pages.
    EXPECT_EQ(Pages().PictureCache().Originals().Count(), 1);
}

TEST_F(PreviewPagesTest, PageSizeComesFromTheSourcePageOrThePaperAttributes) {
    Fixture f(Report());
    f.Run(Pages(), 2);
    const TfrxPoint size = Pages().GetPageSize(0);
    EXPECT_EQ(double(size.X), double(RoundHalfEven(f.Page->Width())));
    EXPECT_EQ(double(size.Y), double(RoundHalfEven(f.Page->Height())));
    Pages().UpdatePageDimension(1, 100, 50.5L);
    TfrxXMLItem* item = Pages().XMLDoc().Root()->FindItem(u"previewpages")->Items(1);
    EXPECT_EQ(item->GetProp(u"PaperSize"), u"256");
    EXPECT_EQ(item->GetProp(u"PaperWidth"), u"100");
    EXPECT_EQ(item->GetProp(u"PaperHeight"), u"50.50");
    const TfrxPoint endless = Pages().GetPageSize(1);
    EXPECT_EQ(double(endless.X), 378);
    EXPECT_EQ(double(endless.Y), 191);
    EXPECT_EQ(double(Pages().GetPageSize(2).X), 0);
}

// ---- Memory bounds ------------------------------------------------------------------------------

TEST_F(PreviewPagesTest, FileCacheUnloadsEarlierPagesAndReadsThemBack) {
    Report().EngineOptions()->SetUseFileCache(true);
    Report().EngineOptions()->SetMaxMemSize(1);
    Fixture f(Report());
    // More than a megabyte of text per page: every new page unloads the unloadable pages before
    // the one just finished; the first two are never unloaded.
    f.Memo->SetText(String(1100000, u'x'));
    f.Run(Pages(), 6);
    TfrxXMLItem* pages = Pages().XMLDoc().Root()->FindItem(u"previewpages");
    ASSERT_EQ(pages->Count(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pages->Items(i)->Unloadable(), i >= 2);
        EXPECT_EQ(pages->Items(i)->Loaded(), i < 2 || i >= 4);
    }
    EXPECT_FALSE(Pages().XMLDoc().TempFile().empty());

    TfrxComponent* page = Pages().GetPage(2);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(pages->Items(2)->Loaded());
    auto* memo = dynamic_cast<TfrxMemoView*>(Child(page, u"Memo1"));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->GetText(), f.Memo->GetText());
    // Letting the cached pages go unloads their items again; a locked page stays with its item.
    Pages().GetPage(3);
    Pages().LockPage();
    Pages().ClearPageCache();
    EXPECT_FALSE(pages->Items(2)->Loaded());
    EXPECT_TRUE(pages->Items(3)->Loaded());
    ASSERT_EQ(Pages().PageCacheCount(), 1);
    EXPECT_EQ(Pages().PageCacheKey(0), 3);
}

TEST_F(PreviewPagesTest, PagesInCacheOneKeepsOnlyTheLastPageRead) {
    Report().PreviewOptions()->SetPagesInCache(1);
    Fixture f(Report());
    f.Run(Pages(), 2);
    TfrxComponent* first = Pages().GetPage(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Pages().GetPage(0), first); // from the cache
    ASSERT_NE(Pages().GetPage(1), nullptr);
    ASSERT_EQ(Pages().PageCacheCount(), 1);
    EXPECT_EQ(Pages().PageCacheKey(0), 1);
}

TEST_F(PreviewPagesTest, TheMostRecentlyReadPageMovesToTheFrontAndALockedPageStaysThere) {
    Fixture f(Report());
    f.Run(Pages(), 3);
    Pages().GetPage(0);
    Pages().GetPage(1);
    Pages().GetPage(2);
    EXPECT_EQ(Pages().PageCacheKey(0), 2);
    Pages().LockPage();
    Pages().GetPage(0);
    EXPECT_EQ(Pages().PageCacheKey(0), 2);
    EXPECT_EQ(Pages().PageCacheKey(1), 0);
    Pages().ClearPageCache();
    ASSERT_EQ(Pages().PageCacheCount(), 1);
    EXPECT_EQ(Pages().PageCacheKey(0), 2);
    Pages().UnlockPage();
    Pages().ClearPageCache();
    EXPECT_EQ(Pages().PageCacheCount(), 0);
}

// ---- Cutting, pasting, positions ----------------------------------------------------------------

TEST_F(PreviewPagesTest, PastingANullBandAtZeroKeepsItsLeft) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    const int position = Pages().GetCurPosition();
    TfrxNullBand nullBand(nullptr);
    nullBand.SetBounds(5, 40, 300, 20);
    Pages().AddObject(&nullBand);
    Pages().CutObjects(position);
    EXPECT_EQ(Pages().GetCurPosition(), position);
    EXPECT_EQ(Pages().XMLDoc().Root()->FindItem(u"cutted")->Count(), 1);
    Pages().PasteObjects(0, 100);
    EXPECT_EQ(Pages().XMLDoc().Root()->Find(u"cutted"), -1);
    TfrxXMLItem* page = Pages().XMLDoc().Root()->FindItem(u"previewpages")->Items(0);
    ASSERT_EQ(page->Count(), position + 1);
    TfrxXMLItem* pasted = page->Items(position);
    EXPECT_EQ(pasted->GetProp(u"t"), u"100");
    EXPECT_EQ(pasted->GetProp(u"l"), u"5");
    // Any other band moves by the difference.
    Pages().CutObjects(position);
    Pages().PasteObjects(20, 10);
    EXPECT_EQ(page->Items(position)->GetProp(u"l"), u"20");
    EXPECT_EQ(page->Items(position)->GetProp(u"t"), u"10");
    Pages().DeleteObjects(position);
    EXPECT_EQ(Pages().GetCurPosition(), position);
}

TEST_F(PreviewPagesTest, LastYIsTheLowestBandBottomLeavingPageFootersOut) {
    Fixture f(Report());
    f.Band->SetTop(40);
    f.Band->SetHeight(20);
    auto* footer = new TfrxPageFooter(f.Page);
    footer->SetName(u"PageFooter1");
    footer->SetParent(f.Page);
    footer->SetBounds(0, 500, 700, 30);
    Pages().AddSourcePage(f.Page);
    Pages().BeginPass();
    Pages().AddPage(f.Page);
    Pages().AddObject(f.Header);
    Pages().AddObject(f.Band);
    EXPECT_EQ(double(Pages().GetLastY(0)), 60);
    Pages().AddObject(footer);
    EXPECT_EQ(double(Pages().GetLastY(0)), 60);
    EXPECT_TRUE(Pages().BandExists(f.Band));
    EXPECT_TRUE(Pages().BandExists(footer));
    EXPECT_FALSE(Pages().BandExists(f.Page));
    // A column position that no band starts at leaves only the page header.
    EXPECT_EQ(double(Pages().GetLastY(300)), 40);
}

TEST_F(PreviewPagesTest, ClearFirstPassPagesDropsWhatThePassWrote) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    const int objects = Pages().GetCurPosition();
    Pages().BeginPass();
    Pages().AddObject(f.Band);
    Pages().AddPage(f.Page);
    Pages().AddObject(f.Band);
    EXPECT_EQ(Pages().Count(), 2);
    Pages().ClearFirstPassPages();
    EXPECT_EQ(Pages().Count(), 1);
    EXPECT_EQ(Pages().CurPage(), 0);
    EXPECT_EQ(Pages().GetCurPosition(), objects);
}

// ---- The document ------------------------------------------------------------------------------

TEST_F(PreviewPagesTest, PreparedPagesDocumentEqualsTheExpectedFile) {
    Fixture f(Report());
    f.Run(Pages(), 2);
    const std::string text = DocumentText(Pages().XMLDoc());
    const std::string expectedPath =
        std::string(VGL_SOURCE_DIR) + "/tests/report/model/data/preview_pages_expected.xml";
    std::ifstream in(expectedPath, std::ios::binary);
    std::stringstream expected;
    expected << in.rdbuf();
    if (expected.str() != text)
        std::ofstream("/tmp/preview_pages_actual.xml", std::ios::binary) << text;
    EXPECT_EQ(expected.str(), text) << "actual document written to /tmp/preview_pages_actual.xml";
    EXPECT_EQ(test::XmlLint(text), "");
    EXPECT_EQ(test::XmlLintXPath(text, "count(/preparedreport/previewpages/*)"), "2");
}

// ---- Faults mended -----------------------------------------------------------------------------

TEST_F(PreviewPagesTest, ItemsWithoutSourcePageAndIndexesOutsideReadAsNoPage) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    TfrxXMLItem* pages = Pages().XMLDoc().Root()->FindItem(u"previewpages");
    // Written by hand: a page of no source page and one of a source page that does not exist.
    pages->Add(u"page-1")->Add(u"m1");
    pages->Add(u"page7")->Add(u"m1");
    pages->Add(u"page1234567890");
    ASSERT_EQ(Pages().Count(), 4);
    EXPECT_NE(Pages().GetPage(0), nullptr);
    for (int index : {1, 2, 3, -1, 4, 1000}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(Pages().GetPage(index), nullptr);
        EXPECT_EQ(double(Pages().GetPageSize(index).X), 0);
    }
}

TEST_F(PreviewPagesTest, AnEmptyStoreHasNoPages) {
    EXPECT_EQ(Pages().Count(), 0);
    EXPECT_EQ(Pages().GetPage(0), nullptr);
    EXPECT_EQ(Pages().CurPage(), -1);
    EXPECT_THROW(Pages().AddObject(nullptr), EInvalidOperation);
    EXPECT_THROW(Pages().AddToSourcePage(nullptr), EArgumentException);
}

// ---- Anchors and logical page numbers ------------------------------------------------------------

TEST_F(PreviewPagesTest, AnchorsAreFoundFromTheLastAndShiftedOrDeleted) {
    Fixture f(Report());
    f.Run(Pages(), 3);
    Pages().SetCurPage(0);
    Pages().AddAnchor(u"Start");
    Pages().SetCurPage(2);
    Pages().AddAnchor(u"Straße");
    Pages().AddAnchor(u"start");
    EXPECT_EQ(Pages().GetAnchorPage(u"START"), 3);
    EXPECT_EQ(Pages().GetAnchorPage(u"STRASSE"), 1); // simple case folding only
    EXPECT_EQ(Pages().GetAnchorPage(u"straße"), 3);
    EXPECT_EQ(Pages().GetAnchorPage(u"none"), 1);
    EXPECT_EQ(Pages().GetAnchorCurPosition(), 2);
    Pages().ShiftAnchors(0, 7);
    TfrxXMLItem* anchors = Pages().FindAnchorRoot();
    EXPECT_EQ(anchors->Items(0)->GetProp(u"page"), u"0");
    EXPECT_EQ(anchors->Items(1)->GetProp(u"page"), u"3");
    EXPECT_EQ(anchors->Items(1)->GetProp(u"top"), u"7");
    Pages().DeleteAnchors(0);
    EXPECT_EQ(anchors->Count(), 1);
}

TEST_F(PreviewPagesTest, LogicalPageNumbersRestartAndLearnTheirTotals) {
    Fixture f(Report());
    Pages().AddSourcePage(f.Page);
    Pages().BeginPass();
    for (int i = 0; i < 2; ++i)
        Pages().AddPage(f.Page);
    Pages().ResetLogicalPageNumber();
    for (int i = 0; i < 3; ++i)
        Pages().AddPage(f.Page);
    Pages().ResetLogicalPageNumber();
    TfrxXMLItem* numbers = Pages().XMLDoc().Root()->FindItem(u"logicalpagenumbers");
    ASSERT_EQ(numbers->Count(), 5);
    const char16_t* n[] = {u"1", u"2", u"1", u"2", u"3"};
    const char16_t* t[] = {u"2", u"2", u"3", u"3", u"3"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(numbers->Items(i)->GetProp(u"n"), n[i]);
        EXPECT_EQ(numbers->Items(i)->GetProp(u"t"), t[i]);
    }
    Pages().SetCurPage(3);
    EXPECT_EQ(Pages().GetLogicalPageNo(), 2);
    EXPECT_EQ(Pages().GetLogicalTotalPages(), 3);
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

TEST(PreviewPagesStartUp, ReportsGetTheStoreItsOutlineAndTheLayoutEngine) {
    InitializeReportFoundation();
    InitializeScriptEngine();
    InitializeReportModel();
    std::unique_ptr<TfrxCustomPreviewPages> pages = CreatePreviewPages(nullptr);
    ASSERT_NE(dynamic_cast<TfrxPreviewPages*>(pages.get()), nullptr);
    EXPECT_NE(dynamic_cast<TfrxOutline*>(pages->Outline()), nullptr);
    EXPECT_EQ(pages->DocumentRoot()->Name(), u"preparedreport");
    EXPECT_NE(dynamic_cast<TfrxEngine*>(CreateEngine(nullptr).get()), nullptr);
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

using test::PreviewPagesTest;

TEST_F(PreviewPagesTest, ColumnPositionsAndEndlessPaperOfTheCurrentPage) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    int column = -7;
    long double position = -7;
    Pages().GetLastColumnPos(column, position);
    EXPECT_EQ(column, -7); // absent attributes leave the values
    EXPECT_EQ(double(position), -7);
    Pages().UpdatePageLastColumn(2, 120.5L, false);
    Pages().UpdatePageLastColumn(0, 0, false); // nothing to write
    Pages().GetLastColumnPos(column, position);
    EXPECT_EQ(column, 2);
    EXPECT_EQ(double(position), 120.5);
    Pages().UpdatePageLastColumn(0, 0, true);
    Pages().GetLastColumnPos(column, position);
    EXPECT_EQ(column, 0);
    EXPECT_EQ(double(position), 0);

    Pages().UpdatePageDimensions(f.Page, 378, 567);
    auto* source = dynamic_cast<TfrxReportPage*>(Pages().SourcePages(0));
    EXPECT_EQ(source->PaperSize(), 256);
    EXPECT_NEAR(double(source->PaperWidth()), 378 / 3.77953, 1e-6);
    EXPECT_NEAR(double(source->PaperHeight()), 567 / 3.77953, 1e-6);
    TfrxReportPage other(nullptr);
    EXPECT_THROW(Pages().UpdatePageDimensions(&other, 1, 1), EInvalidOperation);
}

TEST_F(PreviewPagesTest, PicturesGoToTheCacheByIndex) {
    Fixture f(Report());
    Pages().AddPicture(f.Picture);
    EXPECT_EQ(f.Picture->ImageIndex(), 1);
    TfrxPictureView empty(nullptr);
    Pages().AddPicture(&empty);
    EXPECT_EQ(empty.ImageIndex(), 0);
    EXPECT_EQ(Pages().AddGraphic(f.Picture->GetGraphic()), 2);
    TGraphic* graphic = Pages().GetPicture(cgOriginal, 2);
    ASSERT_NE(graphic, nullptr);
    EXPECT_TRUE(test::SamePixels(*graphic, *f.Picture->GetGraphic()));
    EXPECT_EQ(Pages().GetPicture(cgOriginal, 9), nullptr);
    Pages().Clear();
    EXPECT_EQ(Pages().PictureCache().Originals().Count(), 0);
    EXPECT_EQ(Pages().CurPage(), -1);
}

} // namespace
} // namespace vgl
