#pragma once
// What lives beside the prepared pages as items of the prepared document's root:
// - the outline ("outline"): nested entries "item" with text, 0-based page and top in pixels;
// - anchors ("anchors"): named positions "item" with the same three attributes;
// - logical page numbers ("logicalpagenumbers"): one "page" per prepared page with its number
//   `n` and, once its numbered run is closed, the run's page count `t`.
// The outline is the store's outline service; anchors and logical numbers are operations of the
// store, which hands them its document root and its counters.

#include "report/model/report_services.h"

namespace vgl {

class TfrxXMLItem;

/// The outline service over the store's document. Without a document (a store that has none)
/// every query answers nothing and additions are refused with EInvalidOperation.
class TfrxOutline : public TfrxCustomOutline {
public:
    explicit TfrxOutline(TfrxCustomPreviewPages* previewPages) : TfrxCustomOutline(previewPages) {}
    VGL_CLASS(TfrxOutline, TfrxCustomOutline)

    /// The "outline" item of the store's document root (made when missing); none without one.
    TfrxXMLItem* Root() const;

    /// Children of the current item.
    int Count() const override;
    /// Appends an entry (page = the store's CurPage) under the current item and makes it current.
    void AddItem(const String& text, int top) override;
    /// Frees every sibling after `from` (from the last); nothing for none.
    void DeleteItems(TfrxXMLItem* from) override;
    /// The current item's child becomes current; EListError for an index outside its children.
    void LevelDown(int index) override;
    void LevelRoot() override;
    /// The parent becomes current, unless the current item is the root.
    void LevelUp() override;
    /// Text, page and top of the current item's child; absent page or top leave the variables.
    /// EListError for an index outside its children.
    void GetItem(int index, String& text, int& page, int& top) override;
    /// Moves the sibling after `from` with its sub-entries to the next page, its top to `newTop`
    /// (sub-entries by the same distance); later siblings stay. Nothing without such a sibling.
    void ShiftItems(TfrxXMLItem* from, int newTop) override;
    /// The last child of the current item, none when it has none.
    TfrxXMLItem* GetCurPosition() override;

private:
    /// The current item, the root when none is set.
    TfrxXMLItem* Current() const;
};

// ---- Anchors ---------------------------------------------------------------------------------

/// The "anchors" item of the document root (made when missing).
TfrxXMLItem* frxAnchorRoot(TfrxXMLItem& documentRoot);
/// Appends an anchor with its 0-based page and top.
void frxAddAnchor(TfrxXMLItem& documentRoot, const String& text, int page, int top);
/// The last anchor whose text equals `text` without letter case (user locale); none when none.
TfrxXMLItem* frxFindAnchor(TfrxXMLItem& documentRoot, const String& text);
/// The 1-based page of the anchor, 1 when no anchor has the text.
int frxGetAnchorPage(TfrxXMLItem& documentRoot, const String& text);
/// The index of the last anchor (-1 when none): a position for ShiftAnchors and DeleteAnchors.
int frxGetAnchorCurPosition(TfrxXMLItem& documentRoot);
/// Moves the anchors after position `from` to the next page, the first of them to top `newTop`
/// and the rest by the same distance.
void frxShiftAnchors(TfrxXMLItem& documentRoot, int from, int newTop);
/// Frees the anchors after position `from`.
void frxDeleteAnchors(TfrxXMLItem& documentRoot, int from);

// ---- Logical page numbers ----------------------------------------------------------------------

/// The running logical page number of a store and its list in the document. In the final pass
/// of a run with two passes the first pass's numbering stays: Increment and Reset do nothing
/// when `engine` says so.
class TfrxLogicalPageNumbers {
public:
    int Current() const { return FLogicalPageN; }
    /// Counts a new page and lists its number.
    void Increment(TfrxXMLItem& documentRoot, const TfrxCustomEngine* engine);
    /// Closes the run: pages from `curPage` down to `firstPageIndex` + 1 (and no further than the
    /// run's page numbered 1) learn the run's page count; the count starts again at 0.
    void Reset(TfrxXMLItem& documentRoot, const TfrxCustomEngine* engine, int curPage, int firstPageIndex);
    /// The logical number of page `curPage`; curPage - firstPage + 1 for a page not listed.
    static int PageNo(TfrxXMLItem& documentRoot, int curPage, int firstPage);
    /// The page count of the run of `curPage` (0 while the run is open); totalPages - firstPage for
    /// a page not listed.
    static int TotalPages(TfrxXMLItem& documentRoot, int curPage, int firstPage, int totalPages);

private:
    int FLogicalPageN = 0;
};

} // namespace vgl
