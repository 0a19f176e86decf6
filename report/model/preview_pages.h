#pragma once
// TfrxPreviewPages: the prepared-pages store. A report run writes its pages into one XML tree
// whose root is "preparedreport"; exports, printing and the preview read pages back from it as
// object trees.
//
// The store is compact. Before a run every template page is copied once into a source page; each
// printable object of the copy is a source object with a short name ("b3", "m12") kept in the
// dictionary. A prepared object is written as one item named by that short name whose attributes
// hold only what differs from its source object; reading a page back joins the source object's
// own attribute text with the item's difference (later attributes win). Page items may be unloaded
// to the document's temporary file when the tree grows, pages read back stay in a small
// most-recently-used cache, and pictures go to the picture cache, the items keeping an index.
//
// One store belongs to one report and is used by one thread at a time.

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/rtl/ustring.h"
#include "report/foundation/picture_cache_options.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/dictionary.h"
#include "report/model/outline.h"
#include "report/model/picture_cache.h"
#include "report/model/report_services.h"

namespace vgl {

class TfrxReportPage;
class TfrxXMLSerializer;

/// The names of page items that carry signature objects. While active, IsContaine lists each
/// name it is asked about and answers whether it was listed before.
class TfrxSignaturePages : public TObject {
public:
    String ClassName() const override { return u"TfrxSignaturePages"; }
    /// Active, list emptied.
    void Activate();
    void Deactivate() { FActive = false; }
    bool Active() const { return FActive; }
    /// True when `name` is listed already; otherwise it is listed and the answer is false.
    bool IsContaine(const String& name);
    int Count() const { return int(FNames.size()); }

private:
    std::vector<String> FNames;
    bool FActive = false;
};

class TfrxPreviewPages : public TfrxCustomPreviewPages {
public:
    /// An empty store for `report` (the report may be none in tests of the store alone). When the
    /// report's prepared-pages list exists, the picture cache takes a copy of its main store's
    /// picture-cache options.
    explicit TfrxPreviewPages(TfrxComponent* report);
    ~TfrxPreviewPages() override;
    TfrxPreviewPages(const TfrxPreviewPages&) = delete;
    TfrxPreviewPages& operator=(const TfrxPreviewPages&) = delete;
    VGL_CLASS(TfrxPreviewPages, TfrxCustomPreviewPages)

    // ---- Reading pages ---------------------------------------------------------------------
    /// Number of prepared pages.
    int Count() const override;
    /// Prepared page `index` read back as a page object (owned by the store's page cache, valid
    /// until the cache lets it go). None for an index outside 0..Count-1, for an item whose
    /// source page does not exist, and for a page the active signature-pages filter lists.
    TfrxComponent* GetPage(int index) override;
    /// The page's size in pixels (paper attributes of an endless page win); (0, 0) for an
    /// invalid index.
    TfrxPoint GetPageSize(int index) override;
    TfrxPictureCacheOptions& PictureCacheOptions() override;
    TfrxXMLItem* DocumentRoot() const override { return FXMLDoc->Root(); }

    // ---- Life cycle ------------------------------------------------------------------------
    void Clear() override;
    /// The picture cache's file and the document's temporary folder follow the report's options;
    /// the report's progress starts.
    void Initialize() override;
    /// The page cache is emptied, the source pages forget their template pages, the report's
    /// progress stops and the picture cache is told the build is finished.
    void Finish() override;

    // ---- Writing ---------------------------------------------------------------------------
    /// Copies the template page into a new source page and names its printable objects in the
    /// dictionary; template and source objects are linked both ways.
    void AddSourcePage(TfrxComponent* page) override;
    /// Makes a source object in the last source page for an object made during the run.
    /// EInvalidOperation when there is no source page.
    void AddToSourcePage(TfrxComponent* obj) override;
    /// A new page item for the template page (or, while pages are being written over, the next
    /// existing one). With UseFileCache, page items are unloaded once MaxMemSize megabytes were
    /// written; the first two page items always stay in memory.
    void AddPage(TfrxComponent* page) override;
    /// Writes the object and its visible printable children under the current page item.
    /// EInvalidOperation when there is no current page.
    void AddObject(TfrxComponent* obj) override;
    void AddPicture(TfrxReportComponent* pictureView) override;
    int AddGraphic(TGraphic* graphic) override;
    /// The shared original picture of the index (the cache keeps its decoded copy alive while
    /// the page that asked for it is cached); none for an unreadable index.
    TGraphic* GetPicture(int cacheType, int imageIndex) override;
    void BeginPass() override;
    void ClearFirstPassPages() override;
    int GetCurPosition() override;
    void DeleteObjects(int position) override;
    void CutObjects(int position) override;
    void PasteObjects(long double x, long double y) override;
    bool BandExists(TfrxComponent* band) override;
    long double GetLastY(long double columnPosition) override;
    /// Paper attributes (millimetres) on page item `index`; nothing for an invalid index.
    void UpdatePageDimension(int index, long double width, long double height);
    /// Custom paper on the source page made from `page` (sizes in pixels) and in its source text.
    /// EInvalidOperation when no source page was made from it.
    void UpdatePageDimensions(TfrxComponent* page, long double width, long double height);
    void UpdatePageLastColumn(int column, long double columnPos, bool reset);
    /// Reads `c` and `cp` of the current page item; absent attributes leave the values.
    void GetLastColumnPos(int& column, long double& columnPos);

    // ---- Anchors and logical page numbers ---------------------------------------------------
    void AddAnchor(const String& text);
    /// The last anchor with that text (case-insensitive in the user locale), or none.
    TfrxXMLItem* FindAnchor(const String& text);
    TfrxXMLItem* FindAnchorRoot();
    /// 1-based page of the anchor; 1 when no anchor has that text.
    int GetAnchorPage(const String& text);
    int GetAnchorCurPosition() override;
    void ShiftAnchors(int from, int newTop) override;
    void DeleteAnchors(int from) override;
    void IncLogicalPageNumber() override;
    void ResetLogicalPageNumber() override;
    int GetLogicalPageNo() override;
    int GetLogicalTotalPages() override;

    // ---- Page cache and drawing -------------------------------------------------------------
    /// Pins the first cached page (at the front of the cache through every cache clear).
    void LockPage();
    void UnlockPage() { FLockedPage = nullptr; }
    /// Frees every cached page but the locked one (unloading unloadable items first with
    /// UseFileCache).
    void ClearPageCache();
    /// Lets a view that takes its picture from the cache fetch it for the current cache state.
    void ApplyCachedGraphic(TfrxComponent* view);
    TfrxCachedGraphicType CachedGraphicState() const { return FCachedGraphicState; }
    void SetCachedGraphicState(TfrxCachedGraphicType value) { FCachedGraphicState = value; }
    int PageCacheCount() const { return int(FPageCache.size()); }
    /// The page index of cache entry `position` (front first).
    int PageCacheKey(int position) const { return FPageCache.at(std::size_t(position)).first; }
    void DrawPage(int index, TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                  long double offsetY, bool highlightEditable) override;
    /// Whether the view, drawn at the scale and offset, may show inside the canvas's clip (20
    /// pixels of slack); every view counts on a recording canvas.
    bool IsViewVisibleOnCanvas(TfrxComponent* view, TCanvas& canvas, long double scaleX, long double scaleY,
                               long double offsetX, long double offsetY);
    bool Export(TfrxCustomExportFilter* filter) override;

    // ---- Not built: persistence, editing, merging and printing ------------------------------
    // Each raises ENotSupportedException.
    void AddEmptyPage(int index) override;
    void DeletePage(int index) override;
    void ModifyPage(int index, TfrxComponent* page) override;
    void ModifyObject(TfrxComponent* component) override;
    void AddFrom(TfrxComponent* report) override;
    void AddFromPreviewPages(TfrxCustomPreviewPages* previewPages) override;
    void LoadFromStream(TStream& stream, bool allowPartialLoading = false) override;
    void SaveToStream(TStream& stream) override;
    bool SaveToFilter(TfrxCustomIOTransport* filter, const String& fileName) override;
    bool LoadFromFile(const String& fileName, bool exceptionIfNotFound = false) override;
    void SaveToFile(const String& fileName) override;
    bool Print() override;

    // ---- Parts -----------------------------------------------------------------------------
    TfrxXMLDocument& XMLDoc() { return *FXMLDoc; }
    TfrxDictionary& Dictionary() { return *FDictionary; }
    TfrxPictureCache& PictureCache() { return *FPictureCache; }
    TfrxSignaturePages& SignaturePages() { return *FSignaturePages; }
    int SourcePageCount() const { return int(FSourcePages.size()); }
    TfrxComponent* SourcePages(int index) const { return FSourcePages.at(std::size_t(index)).get(); }
    /// The source text of a source object (its class name and attribute text); empty for
    /// anything else.
    String SourceText(const TfrxComponent* sourceObject) const;
    /// The source page index an item name "page<i>" stands for, or -1 (no such source page, a
    /// negative or malformed number).
    int SourcePageIndexOf(const String& itemName) const;
    /// Estimated size written into page items since the last unload.
    long long XMLSize() const { return FXMLSize; }

    /// Most digits read from a page item's source-page number.
    static constexpr int MaxPageNumberDigits = 5;

private:
    TfrxXMLItem* PagesItem();
    TfrxXMLItem* CurPageItem();
    TfrxReportPage* LoadPage(int index);
    void ReadPageObjects(TfrxXMLItem& item, TfrxComponent* parent, TfrxXMLSerializer& serializer);
    void DoAddObject(TfrxXMLItem& parentItem, TfrxComponent* c, bool pageWhole);
    void EvictLastCacheEntry();
    void InsertIntoCache(int index, std::unique_ptr<TfrxComponent> page);
    bool IsFirstPass() const;
    /// Unloads the page item of `index` when UseFileCache is on and it is unloadable.
    void UnloadPageItem(int index);
    bool UseFileCache() const;
    // Export steps (preview_pages_export.cpp).
    void ExportPage(TfrxCustomExportFilter& filter, int index, const std::vector<int>& pageList, int pageCount);
    void ExportObject(TfrxCustomExportFilter& filter, TfrxComponent* c, int pageCount);

    std::unique_ptr<TfrxDictionary> FDictionary;
    int FFirstObjectIndex = 0;
    int FFirstPageIndex = -1;
    int FFirstOutlineIndex = 0;
    TfrxLogicalPageNumbers FLogicalPageNumbers;
    /// Page index with the page read back; most recently used first.
    std::vector<std::pair<int, std::unique_ptr<TfrxComponent>>> FPageCache;
    TfrxXMLItem* FPagesItem = nullptr;
    std::shared_ptr<TfrxPictureCache> FPictureCache;
    std::vector<std::unique_ptr<TfrxComponent>> FSourcePages;
    /// Source texts of the source objects.
    std::unordered_map<const TfrxComponent*, TfrxWrittenComponent> FSourceTexts;
    std::unique_ptr<TfrxXMLDocument> FXMLDoc;
    long long FXMLSize = 0;
    long double FLastY = 0;
    TfrxComponent* FLockedPage = nullptr;
    TfrxCachedGraphicType FCachedGraphicState = cgOriginal;
    std::unique_ptr<TfrxSignaturePages> FSignaturePages;
    /// Decoded pictures handed out by GetPicture, kept while the store lives or until Clear.
    std::vector<std::shared_ptr<IfrxCachedGraphic>> FHandedOut;
};

/// The prepared-pages class the report's list and the store base create (start-up).
std::unique_ptr<TfrxCustomPreviewPages> CreateTfrxPreviewPages(TfrxComponent* report);

} // namespace vgl
