#include "report/model/engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/xml_item.h"
#include "report/model/bands.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/outline.h"
#include "report/model/picture_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/report_options.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"

namespace vgl {
namespace {

/// The real engine, store and outline for the scope's lifetime.
class TEngineServices {
public:
    TEngineServices() {
        FEngine = SetEngineClass([](TfrxComponent* report) -> std::unique_ptr<TfrxCustomEngine> {
            return std::make_unique<TfrxEngine>(report);
        });
        FPreviewPages = SetPreviewPagesClass(CreateTfrxPreviewPages);
        FOutline = SetOutlineClass([](TfrxCustomPreviewPages* pages) -> std::unique_ptr<TfrxCustomOutline> {
            return std::make_unique<TfrxOutline>(pages);
        });
    }
    ~TEngineServices() {
        SetEngineClass(std::move(FEngine));
        SetPreviewPagesClass(std::move(FPreviewPages));
        SetOutlineClass(std::move(FOutline));
    }
    TEngineServices(const TEngineServices&) = delete;
    TEngineServices& operator=(const TEngineServices&) = delete;

private:
    TfrxEngineFactory FEngine;
    TfrxPreviewPagesFactory FPreviewPages;
    TfrxOutlineFactory FOutline;
};

// A memo whose content needs 30 pixels more than its height.
class TGrowingMemo : public TfrxMemoView {
public:
    using TfrxMemoView::TfrxMemoView;
    long double CalcHeight() override { return Height() + 30; }
};

// A shape whose data cannot be read.
class TFailingShape : public TfrxShapeView {
public:
    using TfrxShapeView::TfrxShapeView;
    void GetData() override { throw Exception(u"no data for the shape"); }
};

// A shape that stops the report when its data is read.
class TStoppingShape : public TfrxShapeView {
public:
    using TfrxShapeView::TfrxShapeView;
    void GetData() override { dynamic_cast<TfrxReport*>(GetReport())->Engine()->StopReport(); }
};

template <class T>
T* Make(TfrxComponent* parent, const String& name, long double l, long double t, long double w, long double h) {
    auto* c = new T(parent);
    c->SetName(name);
    c->SetBounds(l, t, w, h);
    return c;
}

/// A label page: views straight on the page (memos, a line, a shape, a picture).
struct TLabel {
    explicit TLabel(TfrxReport& report, int extraMemos = 0) {
        Page = Make<TfrxReportPage>(&report, u"Page1", 0, 0, 0, 0);
        Page->SetPaperWidth(100);
        Page->SetPaperHeight(150);
        Memo = Make<TfrxMemoView>(Page, u"Memo1", 10, 10, 200, 20);
        Memo->SetText(u"Parcel 0815 & <more>");
        Make<TfrxLineView>(Page, u"Line1", 10, 40, 300, 0);
        Make<TfrxShapeView>(Page, u"Shape1", 220, 10, 100, 50);
        auto* picture = Make<TfrxPictureView>(Page, u"Picture1", 10, 60, 40, 30);
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(4, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                bitmap.SetPixel(x, y, TColor(0x102030 * (x + 1) + 0x050000 * y));
        picture->Picture()->SetGraphic(&bitmap);
        for (int i = 0; i < extraMemos; ++i) {
            auto* memo =
                Make<TfrxMemoView>(Page, u"Extra" + IntToStr(i), 10 + (i % 4) * 80, 100 + (i / 4) * 22, 75, 20);
            memo->SetText(u"Line " + IntToStr(i));
        }
    }
    TfrxReportPage* Page;
    TfrxMemoView* Memo;
};

class EngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
    }
    void SetUp() override {
        FServices = std::make_unique<TEngineServices>();
        NewReport();
    }
    void NewReport() {
        FReport = std::make_unique<TfrxReport>();
        FReport->EngineOptions()->SetSilentMode(true);
    }
    void TearDown() override {
        FReport.reset();
        FServices.reset();
    }
    TfrxReport& Report() { return *FReport; }
    TfrxPreviewPages& Pages() { return dynamic_cast<TfrxPreviewPages&>(*FReport->PreviewPages()); }
    TfrxEngine& Engine() { return dynamic_cast<TfrxEngine&>(*FReport->Engine()); }
    TfrxXMLItem& PagesItem() { return *Pages().XMLDoc().Root()->FindItem(u"previewpages"); }
    std::string Document() {
        TMemoryStream stream;
        Pages().XMLDoc().SaveToStream(stream);
        const auto* bytes = reinterpret_cast<const char*>(stream.Memory());
        return std::string(bytes, bytes + stream.GetSize());
    }

    std::unique_ptr<TEngineServices> FServices;
    std::unique_ptr<TfrxReport> FReport;
};

// xmllint's answer to an XPath expression over the document.
std::string XPath(const std::string& document, const std::string& expression) {
    char path[] = "/tmp/engine_test_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return "cannot make a temporary file";
    close(fd);
    std::ofstream(path, std::ios::binary) << document;
    std::string out;
    if (FILE* p = popen(("xmllint --xpath '" + expression + "' '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    std::filesystem::remove(path);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

TEST_F(EngineTest, AViewsOnlyPageBecomesOnePageWithOneNullBand) {
    TLabel label(Report());
    label.Page->SetOutlineText(u"Page#");
    ASSERT_TRUE(Report().PrepareReport()) << StringToUtf8(Report().Errors().Text());
    ASSERT_EQ(PagesItem().Count(), 1);
    TfrxXMLItem& page = *PagesItem().Items(0);
    EXPECT_EQ(page.Name(), u"page0");
    ASSERT_EQ(page.Count(), 1);
    // The band in full form with its place, the views as differences against their sources.
    TfrxXMLItem& band = *page.Items(0);
    EXPECT_EQ(band.Name(), u"TfrxNullBand");
    EXPECT_EQ(band.GetProp(u"l"), u"0");
    EXPECT_EQ(band.GetProp(u"t"), u"0");
    std::vector<String> views;
    for (int i = 0; i < band.Count(); ++i)
        views.push_back(band.Items(i)->Name());
    EXPECT_EQ(views, (std::vector<String>{u"m1", u"l1", u"s1", u"p1"}));
    EXPECT_EQ(Pages().Dictionary().GetSourceName(u"m1"), u"Page0.Memo1");
    // The page's outline entry.
    TfrxCustomOutline& outline = *Pages().Outline();
    outline.LevelRoot();
    ASSERT_EQ(outline.Count(), 1);
    String text;
    int pageNo = -1, top = -1;
    outline.GetItem(0, text, pageNo, top);
    EXPECT_EQ(text, u"1");
    EXPECT_EQ(pageNo, 0);
    EXPECT_EQ(top, 0);
    EXPECT_FALSE(Engine().Running());
    EXPECT_EQ(test::XmlLint(Document()), "");
}

TEST_F(EngineTest, PrintIfEmptyOffGivesNoPage) {
    for (bool pageOption : {false, true}) {
        NewReport();
        TLabel label(Report());
        label.Page->SetPrintIfEmpty(pageOption);
        Report().EngineOptions()->SetPrintIfEmpty(!pageOption);
        ASSERT_TRUE(Report().PrepareReport()) << StringToUtf8(Report().Errors().Text());
        EXPECT_EQ(Pages().Count(), 0);
    }
}

TEST_F(EngineTest, PageCountCopiesAndReadingBackGivesTheTemplate) {
    TLabel label(Report());
    label.Page->SetPageCount(3);
    ASSERT_TRUE(Report().PrepareReport()) << StringToUtf8(Report().Errors().Text());
    EXPECT_EQ(Pages().Count(), 3);
    const std::string document = Document();
    EXPECT_EQ(XPath(document, "count(/preparedreport/previewpages/*)"), "3");

    // The report reloads its template after the run: the page is looked up again.
    TfrxComponent* templatePage = Report().FindObject(String(u"Page1"));
    ASSERT_NE(templatePage, nullptr);
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        TfrxComponent* page = Pages().GetPage(index);
        ASSERT_NE(page, nullptr);
        int views = 0;
        for (TfrxComponent* original : templatePage->Objects().Items()) {
            TfrxComponent* copy = page->FindObject(original->Name());
            ASSERT_NE(copy, nullptr) << StringToUtf8(original->Name());
            EXPECT_EQ(copy->ClassName(), original->ClassName());
            EXPECT_NEAR((double)copy->AbsLeft(), (double)original->AbsLeft(), 1e-6);
            EXPECT_NEAR((double)copy->AbsTop(), (double)original->AbsTop(), 1e-6);
            EXPECT_NEAR((double)copy->Width(), (double)original->Width(), 1e-6);
            EXPECT_NEAR((double)copy->Height(), (double)original->Height(), 1e-6);
            ++views;
        }
        EXPECT_EQ(views, 4);
    }
}

// An endless page takes its real size: the page's width, and as height the content below the
// last band (none on a page of views only) with both margins.
TEST_F(EngineTest, AnEndlessPageTakesItsRealSize) {
    TLabel label(Report());
    label.Page->SetTopMargin(5);
    label.Page->SetBottomMargin(7);
    label.Page->SetEndlessHeight(true);
    label.Page->SetEndlessWidth(true);
    ASSERT_TRUE(Report().PrepareReport()) << StringToUtf8(Report().Errors().Text());
    const TfrxPoint size = Pages().GetPageSize(0);
    EXPECT_NEAR((double)size.X, std::round(100 * (double)fr01cm), 1e-6);
    EXPECT_NEAR((double)size.Y, std::round(12 * (double)fr01cm), 1e-6);
}

TEST_F(EngineTest, AGrowingViewMovesTheViewBelowAndTheTemplateComesBack) {
    Report().EngineOptions()->SetDestroyForms(false); // the template objects stay themselves
    auto* page = Make<TfrxReportPage>(&Report(), u"Page1", 0, 0, 0, 0);
    auto* memo = Make<TGrowingMemo>(page, u"Memo1", 10, 10, 100, 20);
    memo->SetStretchMode(smActualHeight);
    Make<TfrxShapeView>(page, u"Below", 10, 40, 100, 20);
    Make<TfrxShapeView>(page, u"Beside", 150, 40, 50, 20);
    ASSERT_TRUE(Report().PrepareReport()) << StringToUtf8(Report().Errors().Text());
    TfrxComponent* prepared = Pages().GetPage(0);
    ASSERT_NE(prepared, nullptr);
    EXPECT_NEAR((double)prepared->FindObject(String(u"Memo1"))->Height(), 50, 1e-6);
    EXPECT_NEAR((double)prepared->FindObject(String(u"Below"))->AbsTop(), 70, 1e-6);
    EXPECT_NEAR((double)prepared->FindObject(String(u"Beside"))->AbsTop(), 40, 1e-6);
    // The page read back lays its text out with its report's object, not the process-wide one.
    EXPECT_EQ(&prepared->FindObject(String(u"Memo1"))->GetDrawTextObject(), &Report().DrawText());
    // The template as it was.
    EXPECT_NEAR((double)memo->Height(), 20, 1e-6);
    EXPECT_NEAR((double)page->FindObject(String(u"Below"))->Top(), 40, 1e-6);
    for (TfrxComponent* view : page->Objects().Items())
        EXPECT_EQ(dynamic_cast<TfrxReportComponent*>(view)->ShiftObject(), nullptr);
}

TEST_F(EngineTest, AFailingViewEndsTheRunCleanly) {
    TLabel label(Report());
    Report().EngineOptions()->SetDestroyForms(false);
    Make<TFailingShape>(label.Page, u"Failing", 10, 200, 50, 50);
    // A view the failed stretch never reached keeps its text and place.
    auto* after = Make<TfrxMemoView>(label.Page, u"After", 10, 260, 120, 20);
    after->SetText(u"after the failing view");
    const String afterText = after->Text();
    std::vector<TfrxProgressType> stopped;
    Report().OnProgressStop = [&](TfrxComponent*, TfrxProgressType type, int) { stopped.push_back(type); };
    const int views = label.Page->Objects().Count();
    EXPECT_THROW(Engine().Run(true, false, nullptr), Exception);
    EXPECT_FALSE(Engine().Running());
    EXPECT_EQ(stopped, std::vector<TfrxProgressType>{ptRunning}); // the store finished
    EXPECT_EQ(Pages().SourcePages(0)->OriginalComponent(), nullptr);
    EXPECT_EQ(Engine().ShiftEngine().ContainerCount(), 0);
    EXPECT_EQ(Engine().ShiftEngine().DestroyQueueCount(), 0);
    ASSERT_EQ(label.Page->Objects().Count(), views);
    for (TfrxComponent* view : label.Page->Objects().Items())
        EXPECT_EQ(view->Parent(), label.Page);
    EXPECT_EQ(label.Page->FindObject(String(u"Memo1")), label.Memo);
    EXPECT_NEAR((double)label.Memo->Top(), 10, 1e-6);
    EXPECT_EQ(after->Text(), afterText);
    EXPECT_NEAR((double)after->Top(), 260, 1e-6);
    EXPECT_NEAR((double)after->Width(), 120, 1e-6);
    Report().OnProgressStop = nullptr;
    // Through the report: the message in the error list, no success.
    EXPECT_FALSE(Report().PrepareReport());
    EXPECT_NE(Report().Errors().Text().find(u"no data for the shape"), String::npos);
}

TEST_F(EngineTest, StoppingTheReportEndsThePageCopies) {
    TLabel label(Report());
    label.Page->SetPageCount(3);
    Make<TStoppingShape>(label.Page, u"Stop", 10, 200, 50, 50);
    EXPECT_TRUE(Engine().Run(true, false, nullptr));
    EXPECT_EQ(Pages().Count(), 1);
    EXPECT_TRUE(Report().Terminated());
    EXPECT_FALSE(Engine().Running());
}

TEST_F(EngineTest, WhatIsNotLaidOutYetIsRefusedWithAnErrorLine) {
    struct TCase {
        const char* Name;
        std::function<void(TfrxReport&, TfrxReportPage&)> Arrange;
        const char16_t* Expected;
    };
    const std::vector<TCase> cases = {
        {"band",
         [](TfrxReport&, TfrxReportPage& page) { Make<TfrxMasterData>(&page, u"MasterData1", 0, 100, 300, 40); },
         u"Page \"Page1\" holds bands (\"MasterData1\")"},
        {"double pass", [](TfrxReport& report, TfrxReportPage&) { report.EngineOptions()->SetDoublePass(true); },
         u"EngineOptions.DoublePass"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        NewReport();
        TLabel label(Report());
        c.Arrange(Report(), *label.Page);
        EXPECT_FALSE(Engine().Run(true, false, nullptr));
        EXPECT_NE(Report().Errors().Text().find(c.Expected), String::npos) << StringToUtf8(Report().Errors().Text());
        EXPECT_EQ(Pages().Count(), 0);
        EXPECT_FALSE(Engine().Running());
        Report().Errors().Clear();
        EXPECT_FALSE(Report().PrepareReport());
        EXPECT_EQ(Pages().Count(), 0);
    }
}

TEST_F(EngineTest, AggregateValuesAreRefusedUntilTheyAreBuilt) {
    EXPECT_THROW(Engine().GetAggregateValue(u"SUM", u"<x>", nullptr, 0), EInvalidOperation);
}

// Eight reports prepared at once from the same template give the same document.
TEST_F(EngineTest, EightThreadsPrepareTheSameDocument) {
    TLabel label(Report(), 8);
    TMemoryStream templateStream;
    Report().SaveToStream(templateStream);
    const std::string templateText(reinterpret_cast<const char*>(templateStream.Memory()),
                                   std::size_t(templateStream.GetSize()));
    std::vector<std::string> documents(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            TfrxReport report;
            report.EngineOptions()->SetSilentMode(true);
            TMemoryStream in;
            in.Write(templateText.data(), std::int64_t(templateText.size()));
            in.SetPosition(0);
            report.LoadFromStream(in);
            if (!report.PrepareReport()) {
                documents[std::size_t(t)] = "failed: " + StringToUtf8(report.Errors().Text());
                return;
            }
            TMemoryStream out;
            dynamic_cast<TfrxPreviewPages&>(*report.PreviewPages()).XMLDoc().SaveToStream(out);
            documents[std::size_t(t)].assign(reinterpret_cast<const char*>(out.Memory()), std::size_t(out.GetSize()));
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_NE(documents[0].find("<page0>"), std::string::npos) << documents[0];
    for (int t = 1; t < 8; ++t)
        EXPECT_EQ(documents[std::size_t(t)], documents[0]);
}

} // namespace
} // namespace vgl
