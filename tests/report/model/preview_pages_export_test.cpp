#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/report/model/preview_pages_fixture.h"

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/utilities.h"
#include "report/model/engine.h"
#include "report/model/export_filter.h"
#include "report/model/io_transport_list.h"

namespace vgl {
namespace {

using test::PreviewPagesTest;
using TLog = std::vector<std::string>;

// Records every call the store makes into the filter, in order.
class TRecordingFilter : public TfrxCustomExportFilter {
public:
    explicit TRecordingFilter(TLog& log) : TfrxCustomExportFilter(nullptr), FLog(log) {
        OnBeforeExport = [this](TObject*) { FLog.push_back("OnBeforeExport"); };
        OnBeginExport = [this](TObject*) { FLog.push_back("OnBeginExport"); };
        SetFileName(u"labels.out");
    }
    void BeforeStart() override {
        FLog.push_back("BeforeStart");
        TfrxCustomExportFilter::BeforeStart();
    }
    bool Start() override {
        FLog.push_back("Start");
        return true;
    }
    void StartPage(TfrxComponent*, int index) override { FLog.push_back("StartPage " + std::to_string(index)); }
    void ExportObject(TfrxComponent* obj) override {
        FLog.push_back(InheritsFromClassName(obj, u"TfrxNullBand") ? "TfrxNullBand" : StringToUtf8(obj->Name()));
        if (OnObject)
            OnObject(obj);
    }
    void FinishPage(TfrxComponent*, int index) override { FLog.push_back("FinishPage " + std::to_string(index)); }
    void Finish() override { FLog.push_back("Finish"); }
    void AfterFinish() override { FLog.push_back("AfterFinish"); }

    std::function<void(TfrxComponent*)> OnObject;

private:
    TLog& FLog;
};

// Records opening (and whether the export's settings reached it first) and closing.
class TRecordingTransport : public TfrxCustomIOTransport {
public:
    explicit TRecordingTransport(TLog& log) : TfrxCustomIOTransport(nullptr), FLog(log) {}
    bool OpenFilter() override {
        if (FileName() == u"labels.out" && Report())
            FLog.push_back("InitFromExport");
        FLog.push_back("OpenFilter");
        return Opens;
    }
    void CloseFilter() override {
        FLog.push_back("CloseFilter");
        TfrxCustomIOTransport::CloseFilter();
    }
    String GetDescription() const override { return u"recording"; }
    bool Opens = true;

private:
    TLog& FLog;
};

// A view that fails to draw.
class TThrowingView : public TfrxView {
    VGL_CLASS(TThrowingView, TfrxView)
    explicit TThrowingView(TComponent* owner) : TfrxView(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {
        throw EInvalidOperation(u"cannot draw");
    }
};
VGL_DEFINE_CLASS(TThrowingView) {}

TLog PageObjects(int index) {
    return {"StartPage " + std::to_string(index),
            "_pagebackground",
            "PageHeader1",
            "MasterData1",
            "Memo1",
            "Line1",
            "Shape1",
            "Picture1",
            "FinishPage " + std::to_string(index)};
}

TLog Concat(std::initializer_list<TLog> parts) {
    TLog all;
    for (const TLog& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const TLog kOpening = {"OnBeforeExport", "InitFromExport", "OpenFilter", "OnBeginExport", "BeforeStart", "Start"};
const TLog kClosing = {"Finish", "AfterFinish", "CloseFilter"};

class PreviewPagesExportTest : public PreviewPagesTest {
protected:
    bool Export() {
        filter.SetIOTransport(&transport);
        return Pages().Export(&filter);
    }
    TLog log;
    TRecordingFilter filter{log};
    TRecordingTransport transport{log};
};

// ---- The export loop ---------------------------------------------------------------------------

TEST_F(PreviewPagesExportTest, TheFilterSeesEveryStepInOrder) {
    Fixture f(Report());
    f.Run(Pages(), 2);
    EXPECT_TRUE(Export());
    EXPECT_EQ(log, Concat({kOpening, PageObjects(0), PageObjects(1), kClosing}));
    // Pages are not kept read back without a preview.
    EXPECT_EQ(Pages().PageCacheCount(), 0);
    EXPECT_EQ(filter.FileName(), u"labels.out");
}

TEST_F(PreviewPagesExportTest, PageNumbersChooseThePagesWithTheirOwnIndexes) {
    Fixture f(Report());
    f.Run(Pages(), 5);
    filter.SetPageNumbers(u"2-");
    EXPECT_TRUE(Export());
    TLog pages;
    for (const std::string& line : log)
        if (line.rfind("StartPage", 0) == 0 || line.rfind("FinishPage", 0) == 0)
            pages.push_back(line);
    EXPECT_EQ(pages, (TLog{"StartPage 1", "FinishPage 1", "StartPage 2", "FinishPage 2", "StartPage 3", "FinishPage 3",
                           "StartPage 4", "FinishPage 4"}));
}

TEST_F(PreviewPagesExportTest, SuppressedHeadersAndFootersOnlyOnTheFirstAndLastPage) {
    Fixture f(Report());
    auto* footer = Fixture::Make<TfrxPageFooter>(f.Page, f.Page, u"PageFooter1");
    footer->SetBounds(0, 900, f.Band->Width(), 30);
    Pages().AddSourcePage(f.Page);
    Pages().BeginPass();
    for (int i = 0; i < 3; ++i) {
        Pages().AddPage(f.Page);
        Pages().AddObject(f.Header);
        Pages().AddObject(footer);
    }
    filter.SetSuppressPageHeadersFooters(true);
    EXPECT_TRUE(Export());
    TLog bands;
    for (const std::string& line : log)
        if (line.rfind("Page", 0) == 0 || line.rfind("StartPage", 0) == 0)
            bands.push_back(line);
    EXPECT_EQ(bands, (TLog{"StartPage 0", "PageHeader1", "StartPage 1", "StartPage 2", "PageFooter1"}));
}

TEST_F(PreviewPagesExportTest, AViewWithoutExportVisibilityIsNeverPassed) {
    Fixture f(Report());
    f.Shape->SetVisibility({vsPreview, vsPrint});
    f.Run(Pages(), 1);
    EXPECT_TRUE(Export());
    EXPECT_EQ(std::count(log.begin(), log.end(), "Shape1"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Line1"), 1);
}

TEST_F(PreviewPagesExportTest, AnEmptyStoreStillStartsAndFinishes) {
    EXPECT_TRUE(Export());
    EXPECT_EQ(log, Concat({kOpening, kClosing}));
}

TEST_F(PreviewPagesExportTest, ATransportThatDoesNotOpenIsClosedAndNothingIsExported) {
    Fixture f(Report());
    f.Run(Pages(), 1);
    transport.Opens = false;
    EXPECT_FALSE(Export());
    EXPECT_EQ(log, (TLog{"OnBeforeExport", "InitFromExport", "OpenFilter", "CloseFilter"}));
    EXPECT_EQ(filter.DefaultIOTransportIfMade(), nullptr);
}

TEST_F(PreviewPagesExportTest, TerminationEndsTheExportQuietly) {
    Fixture f(Report());
    f.Run(Pages(), 2);
    filter.OnObject = [](TfrxComponent* obj) {
        if (obj->Name() == u"Memo1")
            throw EExportTerminated{};
    };
    EXPECT_TRUE(Export());
    const TLog expected =
        Concat({kOpening,
                {"StartPage 0", "_pagebackground", "PageHeader1", "MasterData1", "Memo1", "FinishPage 0"},
                kClosing});
    EXPECT_EQ(log, expected);
    EXPECT_EQ(Pages().PageCacheCount(), 0); // unlocked, then trimmed
    EXPECT_FALSE(filter.Terminated());

    // A filter or report that says it is terminated stops after the current object the same way.
    for (bool byReport : {false, true}) {
        SCOPED_TRACE(byReport);
        log.clear();
        filter.OnObject = [&](TfrxComponent* obj) {
            if (obj->Name() == u"Memo1") {
                if (byReport)
                    Report().SetTerminated(true);
                else
                    filter.SetTerminated(true);
            }
        };
        EXPECT_TRUE(Export());
        EXPECT_EQ(log, expected);
        EXPECT_FALSE(filter.Terminated());
    }
}

TEST_F(PreviewPagesExportTest, AnErrorRunsTheSameStepsAndIsReported) {
    Fixture f(Report());
    f.Run(Pages(), 2);
    filter.OnObject = [](TfrxComponent* obj) {
        if (obj->Name() == u"Line1")
            throw EConvertError(u"bad value");
    };
    std::vector<String> messages;
    SetErrorMessageLog([&](const String&, const String& text) { messages.push_back(text); });
    const bool result = Export();
    SetErrorMessageLog({});
    EXPECT_FALSE(result);
    const TLog expected =
        Concat({kOpening,
                {"StartPage 0", "_pagebackground", "PageHeader1", "MasterData1", "Memo1", "Line1", "FinishPage 0"},
                kClosing});
    EXPECT_EQ(log, expected);
    EXPECT_GE(Report().Errors().IndexOf(u"bad value"), 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(u"The following error(s) have occured:\r\nbad value", 0), 0u);
    EXPECT_EQ(Pages().PageCacheCount(), 0);

    // Raised to the caller with simReThrow; the transport is still closed.
    log.clear();
    Report().EngineOptions()->SetNewSilentMode(simReThrow);
    try {
        Export();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find(u"The following error(s) have occured:"), String::npos);
    }
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "CloseFilter");
}

TEST_F(PreviewPagesExportTest, EightThreadsExportAtOnce) {
    constexpr int kThreads = 8;
    std::vector<TLog> logs(kThreads);
    // One char per thread: the elements of a std::vector<bool> share their bytes, so writing them from
    // several threads would race.
    std::vector<char> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            TfrxReport report;
            report.EngineOptions()->SetEnableThreadSafe(true);
            Fixture f(report);
            auto& pages = dynamic_cast<TfrxPreviewPages&>(*report.PreviewPages());
            f.Run(pages, 2);
            TRecordingFilter threadFilter(logs[std::size_t(t)]);
            TRecordingTransport threadTransport(logs[std::size_t(t)]);
            threadFilter.SetIOTransport(&threadTransport);
            results[std::size_t(t)] = pages.Export(&threadFilter);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(results[std::size_t(t)]);
        EXPECT_EQ(logs[std::size_t(t)], Concat({kOpening, PageObjects(0), PageObjects(1), kClosing}));
    }
    // Only this fixture's filter and transport are left.
    EXPECT_EQ(GetExportFilterCollection().Count(), 1);
    EXPECT_EQ(GetIOTransportsCollection().Count(), 1);
}

TEST_F(PreviewPagesExportTest, ABandLessPagePreparedByTheEngineExportsItsViewsInTemplateOrder) {
    const auto previous = SetEngineClass([](TfrxComponent* report) -> std::unique_ptr<TfrxCustomEngine> {
        return std::make_unique<TfrxEngine>(report);
    });
    const TScopeExit restore([&] { SetEngineClass(previous); });
    TfrxReport report;
    auto* page = Fixture::Make<TfrxReportPage>(&report, &report, u"Page1");
    page->SetPaperWidth(100);
    page->SetPaperHeight(150);
    Fixture::Make<TfrxMemoView>(page, page, u"Memo1")->SetBounds(10, 10, 200, 20);
    Fixture::Make<TfrxLineView>(page, page, u"Line1")->SetBounds(10, 40, 300, 0);
    Fixture::Make<TfrxShapeView>(page, page, u"Shape1")->SetBounds(220, 10, 100, 50);
    Fixture::Make<TfrxMemoView>(page, page, u"Memo2")->SetBounds(10, 100, 200, 20);
    ASSERT_TRUE(report.PrepareReport()) << StringToUtf8(report.Errors().Text());
    ASSERT_EQ(report.PreviewPages()->Count(), 1);
    filter.SetIOTransport(&transport);
    EXPECT_TRUE(report.Export(&filter));
    EXPECT_EQ(log, Concat({kOpening,
                           {"StartPage 0", "_pagebackground", "TfrxNullBand", "Memo1", "Line1", "Shape1", "Memo2",
                            "FinishPage 0"},
                           kClosing}));
}

// ---- Drawing -----------------------------------------------------------------------------------

TEST_F(PreviewPagesExportTest, MirrorMarginsPutTheRightMarginLeftOnOddPages) {
    Fixture f(Report());
    f.Page->SetLeftMargin(10);
    f.Page->SetRightMargin(30);
    f.Page->SetMirrorMargins(true);
    f.Run(Pages(), 2);
    TBitmap bitmap;
    bitmap.SetSize(800, 1130);
    for (int index : {0, 1}) {
        SCOPED_TRACE(index);
        Pages().DrawPage(index, bitmap.Canvas(), 1, 1, 0, 0, false);
        auto* page = dynamic_cast<TfrxReportPage*>(Pages().GetPage(index));
        ASSERT_NE(page, nullptr);
        auto* shape = dynamic_cast<TfrxView*>(page->FindObject(String(u"Shape1")));
        ASSERT_NE(shape, nullptr);
        const long double margin = index == 0 ? 10 : 30;
        EXPECT_EQ(shape->X(), int(RoundHalfEven(shape->AbsLeft() + margin * fr01cm)));
        // The page keeps its own margins.
        EXPECT_EQ(double(page->LeftMargin()), 10);
        EXPECT_EQ(double(page->RightMargin()), 30);
    }
    EXPECT_FALSE(bitmap.Canvas().HasClip());
}

TEST_F(PreviewPagesExportTest, AViewCountsAsVisibleUpToTwentyPixelsOutsideTheClip) {
    TBitmap bitmap;
    bitmap.SetSize(400, 400);
    TCanvas& canvas = bitmap.Canvas();
    canvas.IntersectClipRect(Rect(0, 0, 100, 100));
    TfrxShapeView view(nullptr);
    view.SetBounds(125, 10, 10, 10);
    EXPECT_FALSE(Pages().IsViewVisibleOnCanvas(&view, canvas, 1, 1, 0, 0));
    view.SetLeft(115);
    EXPECT_TRUE(Pages().IsViewVisibleOnCanvas(&view, canvas, 1, 1, 0, 0));
    view.SetBounds(10, 125, 10, 10);
    EXPECT_FALSE(Pages().IsViewVisibleOnCanvas(&view, canvas, 1, 1, 0, 0));
    // The offset counts, and every view shows on a recording canvas.
    EXPECT_TRUE(Pages().IsViewVisibleOnCanvas(&view, canvas, 1, 1, 0, -20));
    TMetafile metafile;
    TMetafileCanvas recorder(metafile);
    EXPECT_TRUE(Pages().IsViewVisibleOnCanvas(&view, recorder, 1, 1, 5000, 5000));
}

TEST_F(PreviewPagesExportTest, ADrawThatFailsLeavesMarginsAndClipAsTheyWere) {
    RegisterClass(&TThrowingView::StaticClassInfo());
    const TScopeExit unregister([] { UnRegisterClass(&TThrowingView::StaticClassInfo()); });
    Fixture f(Report());
    f.Page->SetLeftMargin(10);
    f.Page->SetRightMargin(30);
    f.Page->SetMirrorMargins(true);
    Fixture::Make<TThrowingView>(f.Band, f.Band, u"Throwing1")->SetBounds(0, 0, 20, 20);
    f.Run(Pages(), 2);
    TBitmap bitmap;
    bitmap.SetSize(800, 1130);
    TCanvas& canvas = bitmap.Canvas();
    // A canvas without clip stays without one.
    EXPECT_THROW(Pages().DrawPage(1, canvas, 1, 1, 0, 0, false), EInvalidOperation);
    auto* page = dynamic_cast<TfrxReportPage*>(Pages().GetPage(1));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(double(page->LeftMargin()), 10);
    EXPECT_EQ(double(page->RightMargin()), 30);
    EXPECT_FALSE(canvas.HasClip());
    EXPECT_EQ(Pages().CachedGraphicState(), cgOriginal);
    // A clip the canvas had comes back exactly.
    canvas.IntersectClipRect(Rect(100, 50, 300, 200));
    EXPECT_THROW(Pages().DrawPage(1, canvas, 1, 1, 0, 0, false), EInvalidOperation);
    EXPECT_TRUE(canvas.HasClip());
    EXPECT_EQ(canvas.ClipRect(), Rect(100, 50, 300, 200));
    EXPECT_EQ(double(page->LeftMargin()), 10);
}

// ---- Transport lists ---------------------------------------------------------------------------

TEST(IOTransportList, ListsTheTransportsVisibleForThePurpose) {
    TLog log;
    TRecordingTransport exportOnly(log), designerOnly(log);
    exportOnly.SetVisibility({fvExport, fvExportFileFilter});
    designerOnly.SetVisibility({fvDesigner});
    TStringList list;
    list.Add(u"stale");
    FillIOTransportsList(list, fvExport);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0], u"recording");
    EXPECT_EQ(list.GetObject(0), &exportOnly);
    FillIOTransportsList(list, fvPreview);
    EXPECT_EQ(list.Count(), 0);

    EXPECT_EQ(FileFilterVisibleState(fvDesigner), fvDesignerFileFilter);
    EXPECT_EQ(FileFilterVisibleState(fvPreview), fvPreviewFileFilter);
    EXPECT_EQ(FileFilterVisibleState(fvExport), fvExportFileFilter);
    EXPECT_EQ(FileFilterVisibleState(fvExportFileFilter), fvOther);
    EXPECT_EQ(FileFilterVisibleState(fvOther), fvOther);
}

} // namespace
} // namespace vgl
