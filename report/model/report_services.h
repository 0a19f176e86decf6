#pragma once
// The services the report object model reaches only through bases of its own: layout engine,
// outline, prepared pages, aggregate list, export filter, stream compressor and encrypter,
// delayed commands, preview and designer. The concrete services derive from these classes and
// implement every abstract operation; the object model holds references of these base types,
// so it is built and tested before any service exists. Operations are declared in the order the
// services implement them.

#include <memory>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/variant.h"
#include "report/foundation/utilities.h"

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

/// The layout engine.
class TfrxCustomEngine : public TPersistent {
public:
    explicit TfrxCustomEngine(TfrxComponent* report) : FReport(report) {}
    String ClassName() const override { return u"TfrxCustomEngine"; }
    TfrxComponent* Report() const { return FReport; }

    virtual TfrxCustomAggregateList* Aggregates() = 0;
    virtual long double PageHeight() const { return FPageHeight; }
    void SetPageHeight(long double value) { FPageHeight = value; }
    virtual void EndPage() = 0;
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

private:
    TfrxComponent* FReport;
    long double FPageHeight = 0;
};

/// The outline (table of contents) of prepared pages.
class TfrxCustomOutline : public TPersistent {
public:
    explicit TfrxCustomOutline(TfrxCustomPreviewPages* previewPages) : FPreviewPages(previewPages) {}
    String ClassName() const override { return u"TfrxCustomOutline"; }
    TfrxCustomPreviewPages* PreviewPages() const { return FPreviewPages; }

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
    TfrxCustomPreviewPages* FPreviewPages;
};

/// The prepared-pages store.
class TfrxCustomPreviewPages : public TObject {
public:
    explicit TfrxCustomPreviewPages(TfrxComponent* report);
    ~TfrxCustomPreviewPages() override;
    String ClassName() const override { return u"TfrxCustomPreviewPages"; }
    TfrxComponent* Report() const { return FReport; }

    virtual int Count() const = 0;
    virtual TfrxComponent* GetPage(int index) = 0;
    virtual TfrxPoint GetPageSize(int index) = 0;
    /// The store's picture-cache options, made on first use.
    virtual TfrxPictureCacheOptions& PictureCacheOptions();
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
    virtual bool LoadFromFile(const String& fileName, bool exceptionIfNotFound = false) = 0;
    virtual void SaveToFile(const String& fileName) = 0;
    virtual bool Print() = 0;
    virtual bool Export(TfrxCustomExportFilter* filter) = 0;

private:
    TfrxComponent* FReport;
    std::unique_ptr<TfrxPictureCacheOptions> FPictureCacheOptions;
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

/// The base of every export filter: each provides ExportObject.
class TfrxCustomExportFilter : public TComponent {
public:
    explicit TfrxCustomExportFilter(TComponent* owner) : TComponent(owner) {}
    String ClassName() const override { return u"TfrxCustomExportFilter"; }
    virtual void ExportObject(TfrxComponent* obj) = 0;
};

/// Stream compressor and encrypter of stored reports; none is part of this system.
class TfrxCustomCompressor : public TComponent {
public:
    explicit TfrxCustomCompressor(TComponent* owner) : TComponent(owner) {}
    String ClassName() const override { return u"TfrxCustomCompressor"; }
    virtual bool Decompress(TStream& source) = 0;
    virtual void Compress(TStream& dest) = 0;
};

class TfrxCustomCrypter : public TComponent {
public:
    explicit TfrxCustomCrypter(TComponent* owner) : TComponent(owner) {}
    String ClassName() const override { return u"TfrxCustomCrypter"; }
    virtual bool Decrypt(TStream& source, const AnsiString& key) = 0;
    virtual void Crypt(TStream& dest, const AnsiString& key) = 0;
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

/// The preview, a headless component here (no window exists).
class TfrxCustomPreview : public TComponent {
public:
    explicit TfrxCustomPreview(TComponent* owner) : TComponent(owner) {}
    String ClassName() const override { return u"TfrxCustomPreview"; }
    TfrxComponent* Report() const { return FReport; }
    TfrxCustomPreviewPages* PreviewPages() const { return FPreviewPages; }
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

protected:
    TfrxComponent* FReport = nullptr;
    TfrxCustomPreviewPages* FPreviewPages = nullptr;
};

/// The designer, a headless component here.
class TfrxCustomDesigner : public TComponent {
public:
    explicit TfrxCustomDesigner(TComponent* owner) : TComponent(owner) {}
    String ClassName() const override { return u"TfrxCustomDesigner"; }
    virtual void SetModified(bool value) { FModified = value; }
    bool Modified() const { return FModified; }
    virtual void SetPage(TfrxComponent* value) { FPage = value; }
    TfrxComponent* Page() const { return FPage; }
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
    bool FModified = false;
    TfrxComponent* FPage = nullptr;
};

} // namespace vgl
