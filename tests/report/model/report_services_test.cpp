#include "report/model/report_services.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "report/foundation/picture_cache_options.h"
#include "report/model/export_filter.h"
#include "report/model/report_component.h"
#include "report/model/report_options.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

// Stand-ins of the services, driven through their bases as the report will drive them.
class TTestExportFilter : public TfrxCustomExportFilter {
public:
    using TfrxCustomExportFilter::TfrxCustomExportFilter;
    void ExportObject(TfrxComponent* obj) override { Exported.push_back(obj); }
    std::vector<TfrxComponent*> Exported;
};

class TTestCommand : public TfrxBaseDelayedCommand {
public:
    void Run() override { ++Runs; }
    int Runs = 0;
};

class TTestOutline : public TfrxCustomOutline {
public:
    using TfrxCustomOutline::TfrxCustomOutline;
    int Count() const override { return int(Items.size()); }
    void AddItem(const String& text, int) override { Items.push_back(text); }
    void DeleteItems(TfrxXMLItem*) override { Items.clear(); }
    void LevelDown(int) override {}
    void LevelRoot() override {}
    void LevelUp() override {}
    void GetItem(int index, String& text, int& page, int& top) override {
        text = Items.at(std::size_t(index));
        page = 0;
        top = index * 10;
    }
    void ShiftItems(TfrxXMLItem*, int) override {}
    TfrxXMLItem* GetCurPosition() override { return nullptr; }
    std::vector<String> Items;
};

TEST(ReportServices, StandInsAreDrivenThroughTheirBases) {
    TTestExportFilter filter(nullptr);
    TfrxCustomExportFilter& base = filter;
    base.ExportObject(nullptr);
    EXPECT_EQ(filter.Exported.size(), 1u);

    auto command = std::make_shared<TTestCommand>();
    std::shared_ptr<IfrxDelayedCommand> queued = command;
    queued->Run();
    EXPECT_EQ(command->Runs, 1);
    EXPECT_EQ(queued->GetName(), u"TfrxBaseDelayedCommand");
    EXPECT_EQ(queued->GetInstance(), command.get());

    TTestOutline outline(nullptr);
    TfrxCustomOutline& o = outline;
    o.AddItem(u"Chapter", 0);
    String text;
    int page = -1, top = -1;
    o.GetItem(0, text, page, top);
    EXPECT_EQ(o.Count(), 1);
    EXPECT_EQ(text, u"Chapter");
    EXPECT_EQ(o.PreviewPages(), nullptr);
}

using TReportDouble = test::TReportServicesDouble;

TEST(ReportServices, EngineReachesItsReportAndStore) {
    test::TServiceDoubles doubles;
    TReportDouble report;
    auto* band = new TfrxComponent(&report);
    band->SetParent(&report);
    band->SetName(u"BarCode128Rout");
    auto& engine = static_cast<test::TEngineDouble&>(*report.Engine());

    engine.ShowBandByName(u"Barcode128Rout");
    engine.ShowBandByName(u"NoSuchBand");
    ASSERT_EQ(engine.ShownBands.size(), 1u);
    EXPECT_EQ(engine.ShownBands[0], band);

    EXPECT_FALSE(engine.DoublePass());
    report.Options.SetDoublePass(true);
    EXPECT_TRUE(engine.DoublePass());
    engine.StopReport();
    EXPECT_TRUE(report.Terminated);

    // The store points back at the engine that fills it; the outline reaches the engine through it.
    TfrxCustomPreviewPages* store = report.List().Current();
    EXPECT_EQ(engine.PreviewPages(), store);
    EXPECT_EQ(store->Engine(), &engine);
    ASSERT_NE(store->Outline(), nullptr);
    EXPECT_EQ(store->Outline()->PreviewPages(), store);
    EXPECT_EQ(store->Outline()->Engine(), &engine);
    engine.SetPreviewPages(nullptr);
    EXPECT_EQ(engine.PreviewPages(), nullptr);

    // Picture-cache options are made on first use, once.
    TfrxPictureCacheOptions& options = store->PictureCacheOptions();
    EXPECT_EQ(&store->PictureCacheOptions(), &options);

    // A component that is no report gets neutral answers.
    test::TEngineDouble detached(nullptr);
    detached.ShowBandByName(u"x");
    detached.StopReport();
    EXPECT_FALSE(detached.DoublePass());
}

TEST(ReportServices, MissingImplementationClassesRaise) {
    // No class set: each factory raises with a message naming the service.
    auto engine = SetEngineClass({});
    auto pages = SetPreviewPagesClass({});
    auto outline = SetOutlineClass({});
    try {
        CreatePreviewPages(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), u"No prepared-pages class is set");
    }
    EXPECT_THROW(CreateEngine(nullptr), EInvalidOperation);
    EXPECT_THROW(TfrxPreviewPagesList(nullptr), EInvalidOperation);
    SetPreviewPagesClass([](TfrxComponent*) { return std::unique_ptr<TfrxCustomPreviewPages>(); });
    EXPECT_THROW(CreatePreviewPages(nullptr), EInvalidOperation);
    SetEngineClass(std::move(engine));
    SetPreviewPagesClass(std::move(pages));
    SetOutlineClass(std::move(outline));
}

// The list: which store is current after each operation, whether the engine and the report's
// script names followed, and which stores were freed.
TEST(ReportServices, PreviewPagesListKeepsTheCurrentStore) {
    test::TServiceDoubles doubles;
    TReportDouble report;
    TfrxPreviewPagesList& list = report.List();
    TfrxCustomEngine& engine = *report.Engine();
    int freed = 0;
    auto watch = [&freed](TfrxCustomPreviewPages* pages) {
        static_cast<test::TPreviewPagesDouble*>(pages)->OnDestroy = [&freed] { ++freed; };
        return pages;
    };

    TfrxCustomPreviewPages* first = watch(list.Main());
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Current(), first);

    TfrxCustomPreviewPages* second = watch(list.Add());
    EXPECT_EQ(list.Current(), first);
    EXPECT_EQ(report.Republished, 0);
    TfrxCustomPreviewPages* third = watch(list.AddAsCurrent());
    EXPECT_EQ(list.Current(), third);
    EXPECT_EQ(engine.PreviewPages(), third);
    EXPECT_EQ(report.Republished, 1);

    list.SetCurrent(third); // already current: nothing
    EXPECT_EQ(report.Republished, 1);
    EXPECT_THROW(list.SetCurrent(static_cast<TfrxCustomPreviewPages*>(nullptr)), EListError);

    // Main moves to the front; the current store stays current.
    list.SetMain(third);
    EXPECT_EQ(list.Main(), third);
    EXPECT_EQ(list.Items(1), first);
    EXPECT_EQ(list.Current(), third);
    EXPECT_EQ(list.CurrentIndex(), 0);
    list.SetCurrent(second);
    EXPECT_EQ(list.CurrentIndex(), 2);
    EXPECT_EQ(engine.PreviewPages(), second);

    // Deleting a store that is not current keeps the current one current (index moves with it).
    list.Delete(first);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(list.Current(), second);
    EXPECT_EQ(list.CurrentIndex(), 1);
    EXPECT_EQ(engine.PreviewPages(), second);

    // Deleting the current store makes the last one current, with the engine told.
    TfrxCustomPreviewPages* fourth = watch(list.Add());
    const int republished = report.Republished;
    list.Delete(1);
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(list.Current(), fourth);
    EXPECT_EQ(engine.PreviewPages(), fourth);
    EXPECT_EQ(report.Republished, republished + 1);
    EXPECT_THROW(list.Delete(7), EListError);

    // Clear keeps the first store and makes it current.
    list.Clear();
    EXPECT_EQ(freed, 3);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Current(), third);
    EXPECT_EQ(engine.PreviewPages(), third);

    // The last store is never deleted.
    list.Delete(third);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(freed, 3);

    // Stores handed over: appended as current, or inserted as main.
    auto made = CreatePreviewPages(&report);
    TfrxCustomPreviewPages* handed = made.get();
    list.SetCurrent(std::move(made));
    EXPECT_EQ(list.Current(), handed);
    list.SetMain(CreatePreviewPages(&report));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Current(), handed);
    EXPECT_EQ(list.Items(1), third);
}

TEST(ReportServices, ListNotHeldByItsReportTellsNobody) {
    test::TServiceDoubles doubles;
    TReportDouble report(false);
    TfrxCustomPreviewPages* before = report.Engine()->PreviewPages();
    TfrxCustomPreviewPages* added = report.List().AddAsCurrent();
    EXPECT_EQ(report.List().Current(), added);
    EXPECT_EQ(report.Engine()->PreviewPages(), before);
    EXPECT_EQ(report.Republished, 0);
}

TEST(ReportServices, PreviewFollowsTheReportsCurrentStore) {
    test::TServiceDoubles doubles;
    TReportDouble report;
    test::TPreviewDouble preview(nullptr);
    EXPECT_EQ(preview.PreviewPages(), nullptr); // no report yet
    preview.ContentChanged(nullptr, true);      // nothing to tell
    EXPECT_EQ(preview.SelectionList().Count(), 0);

    report.PreviewControl = &preview;
    preview.Init(&report, report.List().Current());
    EXPECT_EQ(preview.PreviewPages(), report.List().Current());
    TfrxCustomPreviewPages* added = report.List().AddAsCurrent();
    EXPECT_EQ(preview.PagesChanged, 1);
    EXPECT_EQ(preview.PreviewPages(), added);

    TfrxComponent edited(nullptr);
    preview.ContentChanged(&edited, false);
    preview.ContentChanged(&edited, true);
    EXPECT_EQ(static_cast<test::TPreviewPagesDouble*>(added)->ModifiedObjects, std::vector<TfrxComponent*>{&edited});
}

class TDesignerDouble : public TfrxCustomDesigner {
public:
    using TfrxCustomDesigner::TfrxCustomDesigner;
    TStrings* Code() override { return nullptr; }
    String InsertExpression(const String& expr) override { return expr; }
    bool IsChangedExpression(const String&, String&) override { return false; }
    void Lock() override {}
    void ReloadPages(int) override {}
    void ReloadReport() override {}
    void ReloadObjects(bool) override {}
    void UpdateDataTree() override {}
    void UpdatePage() override {}
    void UpdateInspector() override {}
    void DisableInspectorUpdate() override {}
    void EnableInspectorUpdate() override {}
    void InternalCopy() override {}
    void InternalPaste() override {}
    bool InternalIsPasteAvailable() override { return false; }
    void ReportDataEdit() override {}
    void ReportEditVariable() override {}
    bool IsDataTree(TObject*) override { return false; }
    void SetSelection(TComponent*, const String&, int, int) override {}
    String GetDataSelectedAsExp() override { return {}; }
};

TEST(ReportServices, DesignerMarksItsReportModified) {
    test::TServiceDoubles doubles;
    TReportDouble report;
    TDesignerDouble designer(nullptr, &report, true);
    EXPECT_TRUE(designer.IsPreviewDesigner());
    EXPECT_EQ(designer.Report(), &report);
    designer.SetModified(false);
    EXPECT_FALSE(report.Modified);
    designer.SetModified(true);
    EXPECT_TRUE(designer.Modified());
    EXPECT_TRUE(report.Modified);
    EXPECT_TRUE(designer.CheckOp(u"anything"));
    EXPECT_EQ(designer.SelectedObjects().Count(), 0);

    TDesignerDouble detached(nullptr, nullptr);
    detached.SetModified(true); // no report to tell
    EXPECT_TRUE(detached.Modified());
}

} // namespace
} // namespace vgl
