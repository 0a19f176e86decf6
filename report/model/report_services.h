#pragma once
// The services the report object model reaches only through bases of its own: layout engine,
// outline, prepared pages, aggregate list, delayed commands, preview and designer (the export
// filter base is in export_filter.h, the stream compressor and encrypter in
// report_compression.h). The concrete services derive from these
// classes and implement every abstract operation; the object model holds references of these base types, so it is built
// and tested before any service exists. Operations are declared in the order the services implement them.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/variant.h"
#include "report/foundation/utilities.h"
#include "report/model/selected_objects.h"

namespace vgl {

class TCanvas;
class TGraphic;
class TStream;
class TfrxComponent;
class TfrxReportComponent;
class TfrxXMLItem;
class TfrxPictureCacheOptions;
class TfrxCustomAggregateList;
class TfrxCustomPreviewPages;
class TfrxCustomExportFilter;
class TfrxCustomIOTransport;
class TfrxCustomPreview;
class TfrxEngineOptions;
class TfrxReportOptions;
class TfrxPreviewPagesList;
class TfrxCustomEngine;
class TfrxCustomOutline;

/// What the engine, the prepared-pages stores and their list ask of the report they serve. The
/// report implements it; tests use a double. A service reaches it from its report component
/// (ReportServicesOf); a report component that does not implement it gets neutral answers.
class IfrxReportServices {
public:
    virtual ~IfrxReportServices() = default;
    virtual TfrxEngineOptions* EngineOptions() const = 0;
    virtual TfrxReportOptions* ReportOptions() const = 0;
    /// The file the template came from (empty when none).
    virtual const String& FileName() const = 0;
    /// True also stops a running script.
    virtual void SetTerminated(bool value) = 0;
    /// The report's layout engine (none while the report is being built).
    virtual TfrxCustomEngine* Engine() const = 0;
    /// The report's list of prepared-pages stores (none while the report is being built).
    virtual TfrxPreviewPagesList* PreviewPagesList() const = 0;
    /// The attached preview, or none.
    virtual TfrxCustomPreview* Preview() const = 0;
    /// Registers the script names "Report", "PreviewPages", "Engine" and "Outline" again, for the
    /// current store; called when another store becomes current.
    virtual void RepublishServiceScriptNames() = 0;
    /// The report actions the delayed commands carry out (loading goes through the component's
    /// LoadFromStream).
    virtual bool PrepareReport(bool clearLastReport) = 0;
    virtual void ShowReport(bool clearLastReport) = 0;
    virtual void RefreshActivePreviewedReport() = 0;
    /// Marks the report modified (a designer edited it).
    virtual void SetModified(bool value) = 0;
};

/// The report component as IfrxReportServices, or none.
IfrxReportServices* ReportServicesOf(TfrxComponent* report);

// ---- Implementation classes ------------------------------------------------------------------
// The engine, store and outline implementations live in a later library; it sets their
// factories at start-up (read-only while requests run). Tests set doubles.

using TfrxEngineFactory = std::function<std::unique_ptr<TfrxCustomEngine>(TfrxComponent* report)>;
using TfrxPreviewPagesFactory = std::function<std::unique_ptr<TfrxCustomPreviewPages>(TfrxComponent* report)>;
using TfrxOutlineFactory = std::function<std::unique_ptr<TfrxCustomOutline>(TfrxCustomPreviewPages* previewPages)>;

/// Set the implementation factory of each service; each answers the one set before.
TfrxEngineFactory SetEngineClass(TfrxEngineFactory factory);
TfrxPreviewPagesFactory SetPreviewPagesClass(TfrxPreviewPagesFactory factory);
TfrxOutlineFactory SetOutlineClass(TfrxOutlineFactory factory);
/// Make a service of the implementation class. Raise EInvalidOperation when no class is set.
std::unique_ptr<TfrxCustomEngine> CreateEngine(TfrxComponent* report);
std::unique_ptr<TfrxCustomPreviewPages> CreatePreviewPages(TfrxComponent* report);
std::unique_ptr<TfrxCustomOutline> CreateOutline(TfrxCustomPreviewPages* previewPages);

/// What the engine calls to run a dialog page.
using TfrxRunDialogEvent = std::function<void(TfrxComponent* page)>;

/// The layout engine.
class TfrxCustomEngine : public TPersistent {
public:
    /// Stores the report (its notify list starts empty).
    explicit TfrxCustomEngine(TfrxComponent* report) : FReport(report) {}
    VGL_CLASS(TfrxCustomEngine, TPersistent)

    virtual TfrxCustomAggregateList* Aggregates() = 0;
    virtual long double PageHeight() const { return FPageHeight; }
    virtual void EndPage() = 0;
    virtual void BreakAllKeep() {}
    virtual void NewColumn() = 0;
    virtual void NewPage() = 0;
    virtual void PrepareShiftTree(TfrxComponent* container) = 0;
    virtual TfrxComponent* ShowBand(TfrxComponent* band) = 0;
    virtual TfrxComponent* ShowBand(TClass bandClass) = 0;
    virtual void Stretch(TfrxComponent* band, bool skipGetData) = 0;
    virtual void UnStretch(TfrxComponent* band) = 0;
    virtual void InitializeSplit(TfrxComponent* container, std::vector<TfrxComponent*>* savedObjects,
                                 TfrxComponent* splitObject) = 0;
    virtual bool SplitObjects(TfrxComponent* container, std::vector<TfrxComponent*>* savedObjects,
                              TfrxComponent* splitObject, long double height) = 0;
    virtual void FinalizeSplit(TfrxComponent* container, std::vector<TfrxComponent*>* savedObjects,
                               TfrxComponent* splitObject, bool isObjectSplit, long double splitHeight) = 0;
    virtual long double HeaderHeight(bool addReprintOnNewPage) = 0;
    virtual long double FooterHeight() = 0;
    virtual long double FreeSpace() = 0;
    virtual Variant GetAggregateValue(const String& name, const String& expression, TfrxComponent* dataRow,
                                      int flags) = 0;
    virtual void ProcessObject(TfrxReportComponent* reportObject) = 0;
    virtual bool Run(bool runDialogs, bool clearLast, TfrxComponent* page) = 0;

    /// Shows the report's object of that name as a band; nothing when the report has none.
    void ShowBandByName(const String& name);
    /// Sets the report's Terminated.
    void StopReport();
    /// The report's engine option (False without one).
    bool DoublePass() const;

    TfrxComponent* Report() const { return FReport; }
    TfrxCustomPreviewPages* PreviewPages() const { return FPreviewPages; }
    /// Stores the store and makes it point back to this engine (when not none).
    void SetPreviewPages(TfrxCustomPreviewPages* value);
    /// Objects told about page events; not owned.
    std::vector<TObject*>& NotifyList() { return FNotifyList; }

    int CurColumn() const { return FCurColumn; }
    void SetCurColumn(int value) { FCurColumn = value; }
    int CurVColumn() const { return FCurVColumn; }
    void SetCurVColumn(int value) { FCurVColumn = value; }
    int CurLine() const { return FCurLine; }
    void SetCurLine(int value) { FCurLine = value; }
    int CurLineThrough() const { return FCurLineThrough; }
    void SetCurLineThrough(int value) { FCurLineThrough = value; }
    bool FinalPass() const { return FFinalPass; }
    void SetFinalPass(bool value) { FFinalPass = value; }
    void SetPageHeight(long double value) { FPageHeight = value; }
    long double PageWidth() const { return FPageWidth; }
    void SetPageWidth(long double value) { FPageWidth = value; }
    bool Running() const { return FRunning; }
    void SetRunning(bool value) { FRunning = value; }
    TDateTime StartDate() const { return FStartDate; }
    void SetStartDate(TDateTime value) { FStartDate = value; }
    TDateTime StartTime() const { return FStartTime; }
    void SetStartTime(TDateTime value) { FStartTime = value; }
    int TotalPages() const { return FTotalPages; }
    void SetTotalPages(int value) { FTotalPages = value; }
    bool SecondScriptCall() const { return FSecondScriptCall; }
    void SetSecondScriptCall(bool value) { FSecondScriptCall = value; }
    int CurTableRow() const { return FCurTableRow; }
    void SetCurTableRow(int value) { FCurTableRow = value; }
    int CurTableColumn() const { return FCurTableColumn; }
    void SetCurTableColumn(int value) { FCurTableColumn = value; }
    long double CurX() const { return FCurX; }
    void SetCurX(long double value) { FCurX = value; }
    long double CurY() const { return FCurY; }
    void SetCurY(long double value) { FCurY = value; }

    TfrxRunDialogEvent OnRunDialog;

private:
    int FCurColumn = 0;
    int FCurVColumn = 0;
    int FCurLine = 0;
    int FCurLineThrough = 0;
    bool FFinalPass = false;
    std::vector<TObject*> FNotifyList;
    long double FPageHeight = 0;
    long double FPageWidth = 0;
    TfrxCustomPreviewPages* FPreviewPages = nullptr;
    TfrxComponent* FReport;
    bool FRunning = false;
    TDateTime FStartDate = 0;
    TDateTime FStartTime = 0;
    int FTotalPages = 0;
    bool FSecondScriptCall = false;
    int FCurTableRow = 0;
    int FCurTableColumn = 0;
    long double FCurX = 0;
    long double FCurY = 0;
};

/// The outline (table of contents) of prepared pages.
class TfrxCustomOutline : public TPersistent {
public:
    /// Stores the store it belongs to.
    explicit TfrxCustomOutline(TfrxCustomPreviewPages* previewPages) : FPreviewPages(previewPages) {}
    VGL_CLASS(TfrxCustomOutline, TPersistent)
    TfrxCustomPreviewPages* PreviewPages() const { return FPreviewPages; }
    /// The engine of its store (none without one).
    TfrxCustomEngine* Engine() const;
    /// The item new entries go under.
    TfrxXMLItem* CurItem() const { return FCurItem; }
    void SetCurItem(TfrxXMLItem* value) { FCurItem = value; }

    virtual int Count() const = 0;
    virtual void AddItem(const String& text, int top) = 0;
    virtual void DeleteItems(TfrxXMLItem* from) = 0;
    virtual void LevelDown(int index) = 0;
    virtual void LevelRoot() = 0;
    virtual void LevelUp() = 0;
    /// Answers the item's text, page and top.
    virtual void GetItem(int index, String& text, int& page, int& top) = 0;
    virtual void ShiftItems(TfrxXMLItem* from, int newTop) = 0;
    virtual TfrxXMLItem* GetCurPosition() = 0;

private:
    TfrxXMLItem* FCurItem = nullptr;
    TfrxCustomPreviewPages* FPreviewPages;
};

/// Whether a page added where one exists replaces it or is added after it.
enum TfrxAddPageAction { apWriteOver, apAdd };

/// The prepared-pages store. (Its post-processor comes with the macros; until then a store has
/// none.)
class TfrxCustomPreviewPages : public TObject {
public:
    /// Stores the report and creates the outline (of the outline implementation class).
    explicit TfrxCustomPreviewPages(TfrxComponent* report);
    ~TfrxCustomPreviewPages() override;
    VGL_CLASS(TfrxCustomPreviewPages, TObject)
    TfrxComponent* Report() const { return FReport; }
    TfrxCustomOutline* Outline() const { return FOutline.get(); }
    /// The engine filling this store (set by the engine's SetPreviewPages).
    TfrxCustomEngine* Engine() const { return FEngine; }
    void SetEngine(TfrxCustomEngine* value) { FEngine = value; }
    TfrxAddPageAction AddPageAction() const { return FAddPageAction; }
    void SetAddPageAction(TfrxAddPageAction value) { FAddPageAction = value; }
    int CurPage() const { return FCurPage; }
    void SetCurPage(int value) { FCurPage = value; }
    int CurPreviewPage() const { return FCurPreviewPage; }
    void SetCurPreviewPage(int value) { FCurPreviewPage = value; }
    int FirstPage() const { return FFirstPage; }
    void SetFirstPage(int value) { FFirstPage = value; }
    /// The copy being printed.
    int PrintCopyNo() const { return FCopyNo; }
    long double PrintScale() const { return FPrintScale; }

    virtual int Count() const = 0;
    virtual TfrxComponent* GetPage(int index) = 0;
    virtual TfrxPoint GetPageSize(int index) = 0;
    /// The store's picture-cache options, made on first use.
    virtual TfrxPictureCacheOptions& PictureCacheOptions();
    /// The root item of the prepared document, under which the outline and the anchors live
    /// (none in the base).
    virtual TfrxXMLItem* DocumentRoot() const { return nullptr; }
    virtual void Clear() = 0;
    virtual void Initialize() = 0;
    virtual void AddObject(TfrxComponent* obj) = 0;
    virtual void AddPage(TfrxComponent* page) = 0;
    virtual void AddSourcePage(TfrxComponent* page) = 0;
    virtual void AddToSourcePage(TfrxComponent* obj) = 0;
    virtual void BeginPass() = 0;
    virtual void ClearFirstPassPages() = 0;
    virtual void CutObjects(int position) = 0;
    virtual void DeleteObjects(int position) = 0;
    virtual void DeleteAnchors(int from) = 0;
    virtual void Finish() = 0;
    virtual void FireMouseLeave() {}
    virtual void IncLogicalPageNumber() = 0;
    virtual void ResetLogicalPageNumber() = 0;
    virtual void PasteObjects(long double x, long double y) = 0;
    virtual void ShiftAnchors(int from, int newTop) = 0;
    virtual TGraphic* GetPicture(int cacheType, int imageIndex) = 0;
    virtual void AddPicture(TfrxReportComponent* pictureView) = 0;
    virtual int AddGraphic(TGraphic* graphic) = 0;
    virtual bool BandExists(TfrxComponent* band) = 0;
    virtual int GetCurPosition() = 0;
    virtual int GetAnchorCurPosition() = 0;
    virtual long double GetLastY(long double columnPosition) = 0;
    virtual int GetLogicalPageNo() = 0;
    virtual int GetLogicalTotalPages() = 0;
    virtual void AddEmptyPage(int index) = 0;
    virtual void DeletePage(int index) = 0;
    virtual void ModifyPage(int index, TfrxComponent* page) = 0;
    virtual void ModifyObject(TfrxComponent* component) = 0;
    virtual void DrawPage(int index, TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                          long double offsetY, bool highlightEditable) = 0;
    virtual void AddFrom(TfrxComponent* report) = 0;
    virtual void AddFromPreviewPages(TfrxCustomPreviewPages* previewPages) = 0;
    virtual void LoadFromStream(TStream& stream, bool allowPartialLoading = false) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    virtual bool SaveToFilter(TfrxCustomIOTransport* filter, const String& fileName) = 0;
    virtual bool LoadFromFile(const String& fileName, bool exceptionIfNotFound = false) = 0;
    virtual void SaveToFile(const String& fileName) = 0;
    virtual bool Print() = 0;
    virtual bool Export(TfrxCustomExportFilter* filter) = 0;

protected:
    void SetPrintCopyNo(int value) { FCopyNo = value; }
    void SetPrintScale(long double value) { FPrintScale = value; }

private:
    TfrxAddPageAction FAddPageAction = apWriteOver;
    int FCurPage = 0;
    int FCurPreviewPage = 0;
    int FFirstPage = 0;
    std::unique_ptr<TfrxCustomOutline> FOutline;
    TfrxComponent* FReport;
    TfrxCustomEngine* FEngine = nullptr;
    std::unique_ptr<TfrxPictureCacheOptions> FPictureCacheOptions;
    int FCopyNo = 0;
    long double FPrintScale = 0;
};

/// The prepared-pages stores of a report (one per preview tab, say) and which one is current: the
/// store the engine fills and exports read. It always holds at least one store; it owns them.
class TfrxPreviewPagesList : public TObject {
public:
    /// Holds one store (of the implementation class), main and current.
    explicit TfrxPreviewPagesList(TfrxComponent* report);
    ~TfrxPreviewPagesList() override;
    String ClassName() const override { return u"TfrxPreviewPagesList"; }

    int Count() const { return int(FList.size()); }
    /// The store at `index`; EListError outside 0..Count-1.
    TfrxCustomPreviewPages* Items(int index) const;
    int IndexOf(const TfrxCustomPreviewPages* previewPages) const;
    /// Appends a new store for the report and answers it.
    TfrxCustomPreviewPages* Add();
    /// Appends a new store and makes it current.
    TfrxCustomPreviewPages* AddAsCurrent();
    TfrxCustomPreviewPages* Current() const { return FList[std::size_t(FCurrentIndex)].get(); }
    int CurrentIndex() const { return FCurrentIndex; }
    /// Makes a store of the list current (nothing when it already is). EListError when it is not
    /// in the list.
    void SetCurrent(TfrxCustomPreviewPages* value);
    /// Appends a store (taking it over) and makes it current. EArgumentException for none.
    void SetCurrent(std::unique_ptr<TfrxCustomPreviewPages> value);
    /// The first store.
    TfrxCustomPreviewPages* Main() const { return FList.front().get(); }
    /// Moves a store of the list to the front; the current store stays current. EListError when
    /// it is not in the list.
    void SetMain(TfrxCustomPreviewPages* value);
    /// Inserts a store (taking it over) at the front; the current store stays current.
    /// EArgumentException for none.
    void SetMain(std::unique_ptr<TfrxCustomPreviewPages> value);

    /// Frees and removes a store; nothing when it is the last one left or not in the list. When
    /// it was current, the last store becomes current; otherwise the current store stays current.
    void Delete(TfrxCustomPreviewPages* previewPages);
    /// As Delete of the store at `index`; EListError outside 0..Count-1 (unless only one is left).
    void Delete(int index);
    /// Frees every store but the first and makes the first current.
    void Clear();

private:
    /// Sets the index; when the report holds this list, hands the current store to the engine,
    /// has the report republish its script names and tells its preview.
    void SetCurrentIndex(int index);

    TfrxComponent* FReport;
    std::vector<std::unique_ptr<TfrxCustomPreviewPages>> FList;
    int FCurrentIndex = 0;
};

/// The aggregate list of the layout engine.
class TfrxCustomAggregateList : public TObject {
public:
    String ClassName() const override { return u"TfrxCustomAggregateList"; }
    virtual void Clear() = 0;
    virtual void ClearValues() = 0;
    virtual void AddItems(TfrxComponent* page) = 0;
    virtual void AddValue(TfrxComponent* dataRow, int vColumn = 0) = 0;
    virtual bool AddCalculatedValue(TfrxComponent* dataRow, Variant& value, int vColumn = 0) = 0;
    virtual void DeleteValue(TfrxComponent* dataRow) = 0;
    virtual void SaveValue(TfrxComponent* dataRow) = 0;
    virtual void RestoreValue(TfrxComponent* dataRow) = 0;
    virtual void EndKeep() = 0;
    virtual void Reset(TfrxComponent* parentContainer) = 0;
    virtual void StartKeep() = 0;
    virtual Variant GetValue(TfrxComponent* parentContainer, const String& complexName, int vColumn = 0) = 0;
    virtual Variant GetValue(TfrxComponent* parentContainer, int vColumn, const String& name, const String& expression,
                             TfrxComponent* dataRow, int flags) = 0;
};

/// A report action queued while another one runs.
class IfrxDelayedCommand {
public:
    virtual ~IfrxDelayedCommand() = default;
    virtual void Run() = 0;
    virtual String GetName() const = 0;
    virtual TObject* GetInstance() = 0;
};

class TfrxBaseDelayedCommand : public TPersistent, public IfrxDelayedCommand {
public:
    String ClassName() const override { return u"TfrxBaseDelayedCommand"; }
    String GetName() const override { return ClassName(); }
    TObject* GetInstance() override { return this; }
};

/// The preview, a window-less component here: a selection and the report's current store; the
/// control itself (tabs, progress, drawing) implements the abstract operations. (Copying and
/// pasting through the in-place editors wait for those editors.)
class TfrxCustomPreview : public TComponent {
public:
    /// Makes the selection list.
    explicit TfrxCustomPreview(TComponent* owner);
    ~TfrxCustomPreview() override;
    VGL_CLASS(TfrxCustomPreview, TComponent)
    /// The report shown; none in the base.
    virtual TfrxComponent* Report() const { return nullptr; }
    /// The current store of the report's prepared-pages list; none without a report.
    virtual TfrxCustomPreviewPages* PreviewPages() const;
    /// An object of the prepared pages was edited: when `modified`, the current store takes the
    /// change.
    void ContentChanged(TfrxComponent* object, bool modified);
    TfrxSelectedObjectsList& SelectionList() const { return *FSelectionList; }
    bool UseReportHints() const { return FUseReportHints; }
    void SetUseReportHints(bool value) { FUseReportHints = value; }

    virtual bool Init(TfrxComponent* report, TfrxCustomPreviewPages* previewPages) = 0;
    virtual void UnInit(TfrxComponent* report) = 0;
    virtual bool Lock() = 0;
    virtual void Unlock(bool doUpdate = true) = 0;
    virtual void RefreshReport() = 0;
    virtual void InternalOnProgressStart(TObject* sender, int progressType, int progress) = 0;
    virtual void InternalOnProgress(TObject* sender, int progressType, int progress) = 0;
    virtual void InternalOnProgressStop(TObject* sender, int progressType, int progress) = 0;
    virtual void AddPreviewTab(TfrxComponent* report, const String& tabName, const String& tabCaption, bool freeObjects,
                               TObject* detailPage) = 0;
    virtual void AddPreviewTabOrSwitch(TfrxComponent* report, const String& tabName, const String& tabCaption,
                                       bool freeObjects, TObject* detailPage) = 0;
    virtual void RemoveTab(int tabIndex) = 0;
    virtual bool HasTab(const String& tabName) = 0;
    virtual bool HasTab(TfrxComponent* report) = 0;
    virtual bool HasVisibleTabs() = 0;
    virtual void PreviewPagesChanged() = 0;
    virtual void SwitchToTab(const String& tabName) = 0;
    virtual void SwitchToTab(TfrxComponent* report) = 0;

private:
    bool FUseReportHints = false;
    std::unique_ptr<TfrxSelectedObjectsList> FSelectionList;
};

/// The designer, a window-less component here; no designer exists in this system, so every
/// designer operation stays abstract.
class TfrxCustomDesigner : public TComponent {
public:
    /// Makes the object list and the selection list.
    TfrxCustomDesigner(TComponent* owner, TfrxComponent* report, bool previewDesigner = false);
    ~TfrxCustomDesigner() override;
    String ClassName() const override { return u"TfrxCustomDesigner"; }
    TfrxComponent* Report() const { return FReport; }
    bool IsPreviewDesigner() const { return FIsPreviewDesigner; }
    bool Modified() const { return FModified; }
    /// Stores the flag; True also marks the report modified.
    virtual void SetModified(bool value);
    TfrxComponent* Page() const { return FPage; }
    virtual void SetPage(TfrxComponent* value) { FPage = value; }
    /// The objects of the page being designed (not owned).
    std::vector<TfrxComponent*>& Objects() { return FObjects; }
    TfrxSelectedObjectsList& SelectedObjects() const { return *FSelectedObjects; }
    const String& MemoFontName() const { return FMemoFontName; }
    void SetMemoFontName(const String& value) { FMemoFontName = value; }
    int MemoFontSize() const { return FMemoFontSize; }
    void SetMemoFontSize(int value) { FMemoFontSize = value; }
    bool UseObjectFont() const { return FUseObjectFont; }
    void SetUseObjectFont(bool value) { FUseObjectFont = value; }
    bool InspectorLock() const { return FInspectorLock; }
    void SetInspectorLock(bool value) { FInspectorLock = value; }
    /// Whether an operation may go on: always.
    virtual bool CheckOp(const String&) { return true; }
    /// Nothing here.
    virtual void AddPictureToCache(TObject*) {}

    virtual TStrings* Code() = 0;
    virtual String InsertExpression(const String& expr) = 0;
    virtual bool IsChangedExpression(const String& inExpr, String& outExpr) = 0;
    virtual void Lock() = 0;
    virtual void ReloadPages(int index) = 0;
    virtual void ReloadReport() = 0;
    virtual void ReloadObjects(bool resetSelection = true) = 0;
    virtual void UpdateDataTree() = 0;
    virtual void UpdatePage() = 0;
    virtual void UpdateInspector() = 0;
    virtual void DisableInspectorUpdate() = 0;
    virtual void EnableInspectorUpdate() = 0;
    virtual void InternalCopy() = 0;
    virtual void InternalPaste() = 0;
    virtual bool InternalIsPasteAvailable() = 0;
    virtual void ReportDataEdit() = 0;
    virtual void ReportEditVariable() = 0;
    virtual bool IsDataTree(TObject* object) = 0;
    virtual void SetSelection(TComponent* component, const String& propName, int selStart, int selEnd) = 0;
    virtual String GetDataSelectedAsExp() = 0;

private:
    TfrxComponent* FReport;
    bool FIsPreviewDesigner;
    String FMemoFontName;
    int FMemoFontSize = 0;
    bool FUseObjectFont = false;
    bool FModified = false;
    bool FInspectorLock = false;
    std::vector<TfrxComponent*> FObjects;
    TfrxComponent* FPage = nullptr;
    std::unique_ptr<TfrxSelectedObjectsList> FSelectedObjects;
};

} // namespace vgl
