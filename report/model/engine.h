#pragma once
// The layout engine: turns a report's pages into prepared pages in its store. This engine lays
// out report pages whose views lie directly on the page (the label road): each page copy becomes
// one prepared page holding one page-sized null band with the views. Pages holding bands or
// subreports, data sets of the report or a page, and two-pass runs are refused by Initialize
// with a line in the report's error list, so that no template is laid out with parts left out.
//
// The band operations (showing a band with its child, placing, stretching and shifting its
// objects, the page header and footer steps) are written for any band; page and column breaks,
// splitting, keeping together across breaks and subreports raise EInvalidOperation when asked
// for, which a refused template never does.

#include <map>
#include <memory>
#include <vector>

#include "report/model/report_services.h"
#include "report/model/shift_engine.h"

namespace vgl {

class TfrxBand;
class TfrxReport;
class TfrxReportPage;

/// The aggregate list while the aggregate functions are not built: a page has no aggregate calls
/// to collect, every bookkeeping call does nothing, and a value asked of it raises
/// EInvalidOperation naming the aggregate.
class TfrxEmptyAggregateList : public TfrxCustomAggregateList {
public:
    String ClassName() const override { return u"TfrxEmptyAggregateList"; }
    void Clear() override {}
    void ClearValues() override {}
    void AddItems(TfrxComponent*) override {}
    void AddValue(TfrxComponent*, int) override {}
    bool AddCalculatedValue(TfrxComponent*, Variant&, int) override { return false; }
    void DeleteValue(TfrxComponent*) override {}
    void SaveValue(TfrxComponent*) override {}
    void RestoreValue(TfrxComponent*) override {}
    void EndKeep() override {}
    void Reset(TfrxComponent*) override {}
    void StartKeep() override {}
    Variant GetValue(TfrxComponent* parentContainer, const String& complexName, int vColumn = 0) override;
    Variant GetValue(TfrxComponent* parentContainer, int vColumn, const String& name, const String& expression,
                     TfrxComponent* dataRow, int flags) override;
};

/// A band to print again at the top of a new page or column, with its horizontal offset.
struct TfrxHeaderListItem {
    TfrxBand* Band = nullptr;
    long double Left = 0;
    bool IsInKeepList = false;
};

/// The bands to reprint, in order; entries may hold no band.
class TfrxHeaderList {
public:
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    /// EListError outside 0..Count-1.
    const TfrxHeaderListItem& Items(int index) const;
    void AddItem(TfrxBand* band, long double left, bool inKeepList);
    /// Removes the first entry of the band; nothing when it has none.
    void RemoveItem(TfrxBand* band);
    /// The first entry of the band, or none.
    TfrxHeaderListItem* Find(TfrxBand* band);

private:
    std::vector<TfrxHeaderListItem> FItems;
};

class TfrxEngine : public TfrxCustomEngine {
public:
    explicit TfrxEngine(TfrxComponent* report);
    ~TfrxEngine() override;
    TfrxEngine(const TfrxEngine&) = delete;
    TfrxEngine& operator=(const TfrxEngine&) = delete;
    VGL_CLASS(TfrxEngine, TfrxCustomEngine)

    TfrxCustomAggregateList* Aggregates() override { return FAggregates.get(); }
    /// On a page with EndlessHeight FooterHeight + CurY (there is always room).
    long double PageHeight() const override;
    void EndPage() override;
    void BreakAllKeep() override;
    /// Column and page breaks are not built: EInvalidOperation.
    void NewColumn() override;
    void NewPage() override;
    void PrepareShiftTree(TfrxComponent* container) override;
    /// Shows the band and its ordinary child; answers the band when its child is a filler child.
    TfrxComponent* ShowBand(TfrxComponent* band) override;
    /// The current page's band of that class, shown; none when the page has none.
    TfrxComponent* ShowBand(TClass bandClass) override;
    void Stretch(TfrxComponent* container, bool skipGetData) override;
    void UnStretch(TfrxComponent* container) override;
    /// Splitting is not built: EInvalidOperation.
    void InitializeSplit(TfrxComponent* container, std::vector<TfrxComponent*>* savedObjects,
                         TfrxComponent* splitObject) override;
    bool SplitObjects(TfrxComponent* container, std::vector<TfrxComponent*>* savedObjects, TfrxComponent* splitObject,
                      long double height) override;
    void FinalizeSplit(TfrxComponent* container, std::vector<TfrxComponent*>* savedObjects, TfrxComponent* splitObject,
                       bool isObjectSplit, long double splitHeight) override;
    long double HeaderHeight(bool addReprintOnNewPage) override;
    long double FooterHeight() override;
    long double FreeSpace() override;
    Variant GetAggregateValue(const String& name, const String& expression, TfrxComponent* dataRow, int flags) override;
    /// Objects processed on request go to the post-processor, which is not built: nothing.
    void ProcessObject(TfrxReportComponent* reportObject) override;
    /// One pass over the report pages (or `page` alone). False, without pages, when Initialize
    /// refused the template; exceptions pass through after OnStopReport and Finalize ran.
    bool Run(bool runDialogs, bool clearLast, TfrxComponent* page) override;

    /// Prepares the run: the store, the start time, the pages' bands; False (with lines in the
    /// report's error list) for a template this engine does not lay out.
    bool Initialize();
    /// Ends the run: the report's data sets, Running, the store and the shift engine, each also
    /// when an earlier one fails.
    void Finalize();

    TfrxShiftEngineObject& ShiftEngine() { return *FShiftEngine; }
    TfrxHeaderList& HeaderList() { return *FHeaderList; }
    /// The band being shown.
    TfrxBand* CurBand() const { return FCurBand; }
    /// The report page being run.
    TfrxReportPage* Page() const { return FPage; }

protected:
    /// Where a window system would process its pending messages between rows: nothing, for every
    /// report (no request thread runs other work inside a preparation).
    virtual void ProcessMessages() {}
    /// The extra height of a dot-matrix memo with a bottom frame line ending a container (not
    /// built: 0).
    virtual long double DotMatrixBottomExtra(TfrxComponent*) const { return 0; }

private:
    TfrxReport* Rep() const;
    bool Terminated() const;
    void PrepareBands();
    void RunPass(TfrxComponent* page);
    void RunReportPages(TfrxComponent* page);
    void RunPage(TfrxReportPage* page);
    void RunPageCopy();
    bool HasDetailData(TfrxComponent* container, bool force);
    void ShowPageObjects();
    void ShowDataBands(TfrxComponent* container);
    void ProcessFinishedBand(TfrxBand* band, int mode);
    void PlaceBand(TfrxBand* band);
    void BeginKeep(TfrxBand* band, int position = 0);
    void FinishKeep(TfrxBand* band);
    void BeginPage();
    void AddPageAndHeaders();
    void ShowColumnFooter();
    void ShowPageFooterBand(TfrxBand* band);
    void AddReprintHeader(TfrxBand* band);
    void RemoveReprintHeader(TfrxBand* band);
    void OutlineToRoot();
    void AddPageOutline();
    void UpdatePageDimensions(long double width, long double height);
    TfrxBand* FindBand(const char16_t* className) const;
    void SetCurObject(const String& name);

    std::unique_ptr<TfrxEmptyAggregateList> FAggregates;
    bool FCallFromAddPage = false, FCallFromEndPage = false, FCallFromPHeader = false;
    TfrxBand* FCurBand = nullptr;
    TfrxBand* FLastBandOnPage = nullptr;
    bool FDontShowHeaders = false;
    std::unique_ptr<TfrxHeaderList> FHeaderList;
    bool FFirstReportPage = false;
    long double FFirstColumnY = 0;
    bool FIsFirstBand = false, FIsFirstPage = false, FIsLastPage = false, FTitlePrinted = false;
    std::vector<std::pair<String, int>> FHBandNamesTree;
    TfrxBand* FKeepBand = nullptr;
    bool FKeepFooter = false, FKeeping = false, FKeepHeader = false;
    long double FKeepCurY = 0;
    TfrxXMLItem* FKeepOutline = nullptr;
    int FKeepPosition = 0, FKeepAnchor = 0;
    long double FPrevFooterHeight = 0;
    TfrxReportPage* FPage = nullptr;
    long double FPageCurX = 0;
    TfrxBand* FStartNewPageBand = nullptr;
    bool FLockResetAggregates = false;
    std::unique_ptr<TfrxShiftEngineObject> FShiftEngine;
    /// Height of each band after its last stretch.
    std::map<const TfrxBand*, long double> FStretchedHeight;
    /// How far a stretch got that raised part-way: whether the container's own BeforePrint ran
    /// and how many of its children were reached. UnStretch restores only those, since restoring
    /// an object that saved nothing would put back stale bounds and text.
    struct TPartialStretch {
        bool ContainerPrepared = false;
        std::size_t Reached = 0;
    };
    std::map<const TfrxComponent*, TPartialStretch> FPartialStretch;
};

} // namespace vgl
