#include "report/model/outline.h"

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_item.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxOutline) {}

namespace {

// The integer attribute; `fallback` when it is absent.
int IntProp(const TfrxXMLItem& item, const String& name, int fallback) {
    return item.PropExists(name) ? StrToInt(item.GetProp(name)) : fallback;
}

void SetIntProp(TfrxXMLItem& item, const String& name, long long value) {
    item.SetProp(name, IntToStr(value));
}

// Frees the children of `parent` from the last down to `first`.
void FreeChildrenFrom(TfrxXMLItem& parent, int first) {
    for (int i = parent.Count() - 1; i >= first && i >= 0; --i)
        delete parent.Items(i); // the tree owns its nodes; freeing one unlists it
}

// The item and its sub-items move to the next page and by `delta` pixels.
void ShiftEntry(TfrxXMLItem& item, int delta) {
    SetIntProp(item, u"page", (long long)IntProp(item, u"page", 0) + 1);
    SetIntProp(item, u"top", (long long)IntProp(item, u"top", 0) + delta);
    for (int i = 0; i < item.Count(); ++i)
        ShiftEntry(*item.Items(i), delta);
}

TfrxXMLItem& PageNumbers(TfrxXMLItem& documentRoot) {
    return *documentRoot.FindItem(u"logicalpagenumbers");
}

bool NumberingFrozen(const TfrxCustomEngine* engine) {
    return engine && engine->FinalPass() && engine->DoublePass();
}

} // namespace

// ---- Outline ---------------------------------------------------------------------------------

TfrxXMLItem* TfrxOutline::Root() const {
    TfrxXMLItem* documentRoot = PreviewPages() ? PreviewPages()->DocumentRoot() : nullptr;
    return documentRoot ? documentRoot->FindItem(u"outline") : nullptr;
}

namespace {

// Whether `item` is `root` or one of its descendants, found without reading `item` (it may be
// an item of a document the store has since cleared). The last-child path, where entries are
// added, is tried first.
bool InTree(TfrxXMLItem* root, const TfrxXMLItem* item) {
    for (TfrxXMLItem* node = root; node; node = node->Count() > 0 ? node->Items(node->Count() - 1) : nullptr)
        if (node == item)
            return true;
    std::vector<TfrxXMLItem*> stack{root};
    while (!stack.empty()) {
        TfrxXMLItem* node = stack.back();
        stack.pop_back();
        if (node == item)
            return true;
        for (int i = 0; i < node->Count(); ++i)
            stack.push_back(node->Items(i));
    }
    return false;
}

} // namespace

TfrxXMLItem* TfrxOutline::Current() const {
    TfrxXMLItem* root = Root();
    TfrxXMLItem* current = CurItem();
    // A current item the store's document no longer holds falls back to the root.
    return root && current && InTree(root, current) ? current : root;
}

int TfrxOutline::Count() const {
    TfrxXMLItem* current = Current();
    return current ? current->Count() : 0;
}

void TfrxOutline::AddItem(const String& text, int top) {
    TfrxXMLItem* current = Current();
    if (!current)
        throw EInvalidOperation(u"The outline has no prepared document to add an entry to");
    TfrxXMLItem* item = current->Add(u"item");
    item->SetProp(u"text", text);
    SetIntProp(*item, u"page", PreviewPages()->CurPage());
    SetIntProp(*item, u"top", top);
    SetCurItem(item);
}

void TfrxOutline::DeleteItems(TfrxXMLItem* from) {
    if (!from || !from->Parent())
        return;
    TfrxXMLItem* parent = from->Parent();
    // The current item may be among the freed ones: it falls back to the parent.
    for (TfrxXMLItem* item = Current(); item; item = item->Parent())
        if (item->Parent() == parent && parent->IndexOf(item) > parent->IndexOf(from)) {
            SetCurItem(parent);
            break;
        }
    FreeChildrenFrom(*parent, parent->IndexOf(from) + 1);
}

void TfrxOutline::LevelDown(int index) {
    TfrxXMLItem* current = Current();
    if (!current)
        throw EListError(u"The outline has no entry " + IntToStr(index));
    SetCurItem(current->Items(index));
}

void TfrxOutline::LevelRoot() {
    SetCurItem(Root());
}

void TfrxOutline::LevelUp() {
    TfrxXMLItem* current = Current();
    if (current && current != Root() && current->Parent())
        SetCurItem(current->Parent());
}

void TfrxOutline::GetItem(int index, String& text, int& page, int& top) {
    TfrxXMLItem* current = Current();
    if (!current)
        throw EListError(u"The outline has no entry " + IntToStr(index));
    const TfrxXMLItem& item = *current->Items(index);
    text = item.GetProp(u"text");
    page = IntProp(item, u"page", page);
    top = IntProp(item, u"top", top);
}

void TfrxOutline::ShiftItems(TfrxXMLItem* from, int newTop) {
    if (!from || !from->Parent())
        return;
    TfrxXMLItem& parent = *from->Parent();
    const int next = parent.IndexOf(from) + 1;
    if (next >= parent.Count())
        return;
    TfrxXMLItem& item = *parent.Items(next);
    ShiftEntry(item, newTop - IntProp(item, u"top", 0));
}

TfrxXMLItem* TfrxOutline::GetCurPosition() {
    TfrxXMLItem* current = Current();
    return current && current->Count() > 0 ? current->Items(current->Count() - 1) : nullptr;
}

// ---- Anchors ---------------------------------------------------------------------------------

TfrxXMLItem* frxAnchorRoot(TfrxXMLItem& documentRoot) {
    return documentRoot.FindItem(u"anchors");
}

void frxAddAnchor(TfrxXMLItem& documentRoot, const String& text, int page, int top) {
    TfrxXMLItem* item = frxAnchorRoot(documentRoot)->Add(u"item");
    item->SetProp(u"text", text);
    SetIntProp(*item, u"page", page);
    SetIntProp(*item, u"top", top);
}

TfrxXMLItem* frxFindAnchor(TfrxXMLItem& documentRoot, const String& text) {
    TfrxXMLItem& anchors = *frxAnchorRoot(documentRoot);
    for (int i = anchors.Count() - 1; i >= 0; --i)
        if (AnsiSameText(anchors.Items(i)->GetProp(u"text"), text))
            return anchors.Items(i);
    return nullptr;
}

int frxGetAnchorPage(TfrxXMLItem& documentRoot, const String& text) {
    TfrxXMLItem* item = frxFindAnchor(documentRoot, text);
    return item ? IntProp(*item, u"page", 0) + 1 : 1;
}

int frxGetAnchorCurPosition(TfrxXMLItem& documentRoot) {
    return frxAnchorRoot(documentRoot)->Count() - 1;
}

void frxShiftAnchors(TfrxXMLItem& documentRoot, int from, int newTop) {
    TfrxXMLItem& anchors = *frxAnchorRoot(documentRoot);
    const long long first = (long long)from + 1;
    if (first < 0 || first >= anchors.Count())
        return;
    const int base = IntProp(*anchors.Items(int(first)), u"top", 0);
    for (int i = int(first); i < anchors.Count(); ++i) {
        TfrxXMLItem& item = *anchors.Items(i);
        SetIntProp(item, u"page", (long long)IntProp(item, u"page", 0) + 1);
        SetIntProp(item, u"top", (long long)newTop + IntProp(item, u"top", 0) - base);
    }
}

void frxDeleteAnchors(TfrxXMLItem& documentRoot, int from) {
    TfrxXMLItem& anchors = *frxAnchorRoot(documentRoot);
    const long long first = (long long)from + 1;
    if (first >= 0 && first < anchors.Count())
        FreeChildrenFrom(anchors, int(first));
}

// ---- Logical page numbers ----------------------------------------------------------------------

void TfrxLogicalPageNumbers::Increment(TfrxXMLItem& documentRoot, const TfrxCustomEngine* engine) {
    if (NumberingFrozen(engine))
        return;
    ++FLogicalPageN;
    SetIntProp(*PageNumbers(documentRoot).Add(u"page"), u"n", FLogicalPageN);
}

void TfrxLogicalPageNumbers::Reset(TfrxXMLItem& documentRoot, const TfrxCustomEngine* engine, int curPage,
                                   int firstPageIndex) {
    if (NumberingFrozen(engine))
        return;
    TfrxXMLItem& pages = PageNumbers(documentRoot);
    for (int i = curPage; i > firstPageIndex && i >= 0; --i) {
        if (i >= pages.Count())
            continue;
        TfrxXMLItem& page = *pages.Items(i);
        SetIntProp(page, u"t", FLogicalPageN);
        if (page.GetProp(u"n") == u"1")
            break;
    }
    FLogicalPageN = 0;
}

int TfrxLogicalPageNumbers::PageNo(TfrxXMLItem& documentRoot, int curPage, int firstPage) {
    TfrxXMLItem& pages = PageNumbers(documentRoot);
    if (curPage >= 0 && curPage < pages.Count())
        return IntProp(*pages.Items(curPage), u"n", 0);
    return curPage - firstPage + 1;
}

int TfrxLogicalPageNumbers::TotalPages(TfrxXMLItem& documentRoot, int curPage, int firstPage, int totalPages) {
    TfrxXMLItem& pages = PageNumbers(documentRoot);
    if (curPage >= 0 && curPage < pages.Count())
        return IntProp(*pages.Items(curPage), u"t", 0);
    return totalPages - firstPage;
}

} // namespace vgl
