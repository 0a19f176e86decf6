#pragma once
// Doubles of the layout engine, the prepared-pages store and the outline for the report-model
// tests, and a scope that installs them as the implementation classes and puts back the previous
// ones. Each double counts its calls and lets a test replace the work of Run, Print and Export.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/streams.h"
#include "report/model/report_component.h"
#include "report/model/report_options.h"
#include "report/model/report_services.h"

namespace vgl::test {

class TOutlineDouble : public TfrxCustomOutline {
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
        top = 0;
    }
    void ShiftItems(TfrxXMLItem*, int) override {}
    TfrxXMLItem* GetCurPosition() override { return nullptr; }
    std::vector<String> Items;
};

class TPreviewPagesDouble : public TfrxCustomPreviewPages {
public:
    using TfrxCustomPreviewPages::TfrxCustomPreviewPages;
    int Count() const override { return int(Pages.size()); }
    TfrxComponent* GetPage(int index) override { return Pages.at(std::size_t(index)); }
    TfrxPoint GetPageSize(int) override { return {}; }
    void Clear() override {
        Pages.clear();
        ++Clears;
    }
    void Initialize() override {}
    void AddObject(TfrxComponent*) override {}
    void AddPage(TfrxComponent* page) override { Pages.push_back(page); }
    void AddSourcePage(TfrxComponent*) override {}
    void AddToSourcePage(TfrxComponent*) override {}
    void BeginPass() override {}
    void ClearFirstPassPages() override {}
    void CutObjects(int) override {}
    void DeleteObjects(int) override {}
    void DeleteAnchors(int) override {}
    void Finish() override {}
    void IncLogicalPageNumber() override {}
    void ResetLogicalPageNumber() override {}
    void PasteObjects(long double, long double) override {}
    void ShiftAnchors(int, int) override {}
    TGraphic* GetPicture(int, int) override { return nullptr; }
    void AddPicture(TfrxReportComponent*) override {}
    int AddGraphic(TGraphic*) override { return -1; }
    bool BandExists(TfrxComponent*) override { return false; }
    int GetCurPosition() override { return 0; }
    int GetAnchorCurPosition() override { return 0; }
    long double GetLastY(long double) override { return 0; }
    int GetLogicalPageNo() override { return 0; }
    int GetLogicalTotalPages() override { return 0; }
    void AddEmptyPage(int) override {}
    void DeletePage(int) override {}
    void ModifyPage(int, TfrxComponent*) override {}
    void ModifyObject(TfrxComponent* component) override { ModifiedObjects.push_back(component); }
    void DrawPage(int, TCanvas&, long double, long double, long double, long double, bool) override {}
    void AddFrom(TfrxComponent*) override {}
    void AddFromPreviewPages(TfrxCustomPreviewPages*) override {}
    void LoadFromStream(TStream&, bool) override {}
    void SaveToStream(TStream&) override {}
    bool SaveToFilter(TfrxCustomIOTransport*, const String&) override { return false; }
    bool LoadFromFile(const String&, bool) override { return false; }
    void SaveToFile(const String&) override {}
    bool Print() override {
        ++Prints;
        return OnPrint ? OnPrint(*this) : true;
    }
    bool Export(TfrxCustomExportFilter* filter) override {
        ++Exports;
        return OnExport ? OnExport(*this, filter) : true;
    }

    std::vector<TfrxComponent*> Pages;
    std::vector<TfrxComponent*> ModifiedObjects;
    int Clears = 0, Prints = 0, Exports = 0;
    std::function<bool(TPreviewPagesDouble&)> OnPrint;
    std::function<bool(TPreviewPagesDouble&, TfrxCustomExportFilter*)> OnExport;
    /// Set by the destructor's owner in tests that watch stores being freed.
    std::function<void()> OnDestroy;
    ~TPreviewPagesDouble() override {
        if (OnDestroy)
            OnDestroy();
    }
};

class TEngineDouble : public TfrxCustomEngine {
public:
    using TfrxCustomEngine::TfrxCustomEngine;
    TfrxCustomAggregateList* Aggregates() override { return nullptr; }
    void EndPage() override {}
    void NewColumn() override {}
    void NewPage() override {}
    void PrepareShiftTree(TfrxComponent*) override {}
    TfrxComponent* ShowBand(TfrxComponent* band) override {
        ShownBands.push_back(band);
        return band;
    }
    TfrxComponent* ShowBand(TClass) override { return nullptr; }
    void Stretch(TfrxComponent*, bool) override {}
    void UnStretch(TfrxComponent*) override {}
    void InitializeSplit(TfrxComponent*, std::vector<TfrxComponent*>*, TfrxComponent*) override {}
    bool SplitObjects(TfrxComponent*, std::vector<TfrxComponent*>*, TfrxComponent*, long double) override {
        return false;
    }
    void FinalizeSplit(TfrxComponent*, std::vector<TfrxComponent*>*, TfrxComponent*, bool, long double) override {}
    long double HeaderHeight(bool) override { return 0; }
    long double FooterHeight() override { return 0; }
    long double FreeSpace() override { return 0; }
    Variant GetAggregateValue(const String&, const String&, TfrxComponent*, int) override { return Variant(); }
    void ProcessObject(TfrxReportComponent*) override {}
    /// Counts the run and, while OnRun works, shows Running; without OnRun the run succeeds.
    bool Run(bool runDialogs, bool clearLast, TfrxComponent* page) override {
        ++Runs;
        SetRunning(true);
        struct TStop {
            TEngineDouble* Engine;
            ~TStop() { Engine->SetRunning(false); }
        } stop{this};
        return OnRun ? OnRun(*this, runDialogs, clearLast, page) : true;
    }

    int Runs = 0;
    std::vector<TfrxComponent*> ShownBands;
    std::function<bool(TEngineDouble&, bool runDialogs, bool clearLast, TfrxComponent* page)> OnRun;
};

/// Installs the doubles as the implementation classes for its lifetime. `onEngine` sees every
/// engine made (to set its OnRun, say).
class TServiceDoubles {
public:
    explicit TServiceDoubles(std::function<void(TEngineDouble&)> onEngine = {}) {
        FEngine = SetEngineClass([onEngine](TfrxComponent* report) -> std::unique_ptr<TfrxCustomEngine> {
            auto engine = std::make_unique<TEngineDouble>(report);
            if (onEngine)
                onEngine(*engine);
            return engine;
        });
        FPreviewPages = SetPreviewPagesClass([](TfrxComponent* report) -> std::unique_ptr<TfrxCustomPreviewPages> {
            return std::make_unique<TPreviewPagesDouble>(report);
        });
        FOutline = SetOutlineClass([](TfrxCustomPreviewPages* pages) -> std::unique_ptr<TfrxCustomOutline> {
            return std::make_unique<TOutlineDouble>(pages);
        });
    }
    ~TServiceDoubles() {
        SetEngineClass(std::move(FEngine));
        SetPreviewPagesClass(std::move(FPreviewPages));
        SetOutlineClass(std::move(FOutline));
    }
    TServiceDoubles(const TServiceDoubles&) = delete;
    TServiceDoubles& operator=(const TServiceDoubles&) = delete;

private:
    TfrxEngineFactory FEngine;
    TfrxPreviewPagesFactory FPreviewPages;
    TfrxOutlineFactory FOutline;
};

/// A preview control that remembers the report it was initialised with and counts the times it
/// was told that the prepared pages changed.
class TPreviewDouble : public TfrxCustomPreview {
public:
    using TfrxCustomPreview::TfrxCustomPreview;
    TfrxComponent* Report() const override { return ShownReport; }
    bool Init(TfrxComponent* report, TfrxCustomPreviewPages*) override {
        ShownReport = report;
        ++Inits;
        return true;
    }
    void UnInit(TfrxComponent*) override { ShownReport = nullptr; }
    bool Lock() override { return true; }
    void Unlock(bool) override {}
    void RefreshReport() override { ++Refreshes; }
    void InternalOnProgressStart(TObject*, int, int) override {}
    void InternalOnProgress(TObject*, int, int) override {}
    void InternalOnProgressStop(TObject*, int, int) override {}
    void AddPreviewTab(TfrxComponent*, const String&, const String&, bool, TObject*) override {}
    void AddPreviewTabOrSwitch(TfrxComponent*, const String&, const String&, bool, TObject*) override {}
    void RemoveTab(int) override {}
    bool HasTab(const String&) override { return false; }
    bool HasTab(TfrxComponent*) override { return false; }
    bool HasVisibleTabs() override { return false; }
    void PreviewPagesChanged() override { ++PagesChanged; }
    void SwitchToTab(const String&) override {}
    void SwitchToTab(TfrxComponent*) override {}

    TfrxComponent* ShownReport = nullptr;
    int Inits = 0, Refreshes = 0, PagesChanged = 0;
};

/// A report as its services and delayed commands see it: engine options, an engine and a list of
/// stores of the installed classes, and a log of the actions asked of it ("prepare 1", "show 0",
/// "refresh", "load <bytes>"). `OnAction` runs after each entry is logged.
class TReportServicesDouble : public TfrxComponent, public IfrxReportServices {
public:
    explicit TReportServicesDouble(bool holdList = true) : TfrxComponent(nullptr), FHoldList(holdList) {
        FEngine = CreateEngine(this);
        FList = std::make_unique<TfrxPreviewPagesList>(this);
        FEngine->SetPreviewPages(FList->Current());
    }
    TfrxEngineOptions* EngineOptions() const override { return &Options; }
    TfrxReportOptions* ReportOptions() const override { return &ReportOptionsValue; }
    const String& FileName() const override { return TemplateFileName; }
    void SetTerminated(bool value) override { Terminated = value; }
    TfrxCustomEngine* Engine() const override { return FEngine.get(); }
    TfrxPreviewPagesList* PreviewPagesList() const override { return FHoldList ? FList.get() : nullptr; }
    TfrxCustomPreview* Preview() const override { return PreviewControl; }
    void RepublishServiceScriptNames() override { ++Republished; }
    bool PrepareReport(bool clearLastReport) override {
        Act(clearLastReport ? u"prepare 1" : u"prepare 0");
        return true;
    }
    void ShowReport(bool clearLastReport) override { Act(clearLastReport ? u"show 1" : u"show 0"); }
    void RefreshActivePreviewedReport() override { Act(u"refresh"); }
    void SetModified(bool value) override { Modified = value; }
    void LoadFromStream(TStream& stream) override {
        const std::vector<std::uint8_t> bytes = stream.ReadRemaining();
        Act(u"load " + String(bytes.begin(), bytes.end()));
    }
    TfrxPreviewPagesList& List() { return *FList; }

    mutable TfrxEngineOptions Options;
    mutable TfrxReportOptions ReportOptionsValue;
    String TemplateFileName;
    TfrxCustomPreview* PreviewControl = nullptr;
    bool Terminated = false;
    bool Modified = false;
    int Republished = 0;
    std::vector<String> Log;
    std::function<void(const String& action)> OnAction;

private:
    void Act(const String& action) {
        Log.push_back(action);
        if (OnAction)
            OnAction(action);
    }
    std::unique_ptr<TfrxCustomEngine> FEngine;
    std::unique_ptr<TfrxPreviewPagesList> FList;
    bool FHoldList;
};

} // namespace vgl::test
