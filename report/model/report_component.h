#pragma once
// The base of every object of a report: TfrxComponent gives the object tree (parent and ordered
// children), bounds in pixels at 96 dpi relative to the parent, a name unique within the tree
// (kept in a name index owned by the tree's root), a font that children may inherit, anchoring
// and alignment of children, and loading and saving through the report serializer.
// TfrxReportComponent adds what a printable object needs: drawing at a scale and offset, the
// print-time hooks and the bounds saved for a print run.
//
// The report object (a later class) answers a few queries of the base: its error list, its
// serializer slot with the custom-data events, ancestor lookup and its text-layout object. The
// base gives neutral answers; the report overrides them. Classes of later layers (report,
// pages, bands, views) are recognised by class name along the reflection chain.

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/graphics/color.h"
#include "platform/rtl/component.h"
#include "platform/rtl/variant.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_serializer.h"

namespace vgl {

class TCanvas;
class TFont;
class TStream;
class TStringList;
class TfrxDrawText;
class TfrxVariables;
class TfrxComponent;
class TfrxReportComponent;

enum TfrxRestriction {
    rfDontModify,
    rfDontSize,
    rfDontMove,
    rfDontDelete,
    rfDontEdit,
    rfDontEditInPreview,
    rfDontCopy
};
VGL_DECLARE_ENUM(TfrxRestriction);
VGL_DECLARE_SET(TfrxRestrictions, TfrxRestriction);

enum TfrxEditableRight { ferAllowInPreview, ferAllowInExport };
VGL_DECLARE_ENUM(TfrxEditableRight);
VGL_DECLARE_SET(TfrxEditableRights, TfrxEditableRight);

enum TfrxComponentStyleItem {
    csContainer,
    csPreviewVisible,
    csDefaultDiff,
    csHandlesNestedProperties,
    csContained,
    csAcceptsFrxComponents,
    csObjectsContainer
};
VGL_DECLARE_ENUM(TfrxComponentStyleItem);
VGL_DECLARE_SET(TfrxComponentStyle, TfrxComponentStyleItem);

enum TfrxComponentStateItem {
    csFrxDesigning,
    csFrxWriting,
    csFrxSerializeToDict,
    csFrxSerializeToPreviewPages,
    csFrxModifyObject,
    csFrxExporting,
    csFrxInteractiveForms
};
VGL_DECLARE_ENUM(TfrxComponentStateItem);
VGL_DECLARE_SET(TfrxComponentState, TfrxComponentStateItem);

enum TfrxAnchorsKind { fraLeft, fraTop, fraRight, fraBottom };
VGL_DECLARE_ENUM(TfrxAnchorsKind);
VGL_DECLARE_SET(TfrxAnchors, TfrxAnchorsKind);

enum TfrxPrintOnTypeItem { ptFirstPage, ptLastPage, ptOddPages, ptEvenPages, ptRepeatedBand };
VGL_DECLARE_ENUM(TfrxPrintOnTypeItem);
VGL_DECLARE_SET(TfrxPrintOnType, TfrxPrintOnTypeItem);

enum TfrxAlign { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baClient, baHidden };
VGL_DECLARE_ENUM(TfrxAlign);

enum TfrxMirrorControlMode {
    mcmRTLBands,
    mcmRTLObjects,
    mcmRTLAppearance,
    mcmRTLContent,
    mcmRTLSpecial,
    mcmBTTBands,
    mcmBTTObjects,
    mcmBTTAppearance,
    mcmBTTContent,
    mcmBTTSpecial,
    mcmOnlyAllowed
};
VGL_DECLARE_ENUM(TfrxMirrorControlMode);
VGL_DECLARE_SET(TfrxMirrorControlModes, TfrxMirrorControlMode);

/// What a child list reports to its handler.
enum TfrxListNotification { lnAdded, lnExtracted, lnDeleted };

/// The ordered child list of a report component. Every addition, extraction and deletion is
/// reported to the handler; `SearchFromEnd` only chooses where a removal starts looking.
class TfrxObjectsNotifyList {
public:
    using THandler = std::function<void(TfrxComponent* item, TfrxListNotification action)>;

    int Count() const { return int(FItems.size()); }
    /// Raises EListError outside 0..Count-1.
    TfrxComponent* Get(int index) const;
    void Put(int index, TfrxComponent* item);
    TfrxComponent* operator[](int index) const { return Get(index); }
    int IndexOf(const TfrxComponent* item) const;
    void Add(TfrxComponent* item);
    void Insert(int index, TfrxComponent* item);
    /// Removes the item (reported as deleted); -1 when absent.
    int Remove(TfrxComponent* item);
    void Delete(int index);
    /// Removes the item and reports it as extracted.
    TfrxComponent* Extract(TfrxComponent* item);
    void Clear();
    const std::vector<TfrxComponent*>& Items() const { return FItems; }

    bool SearchFromEnd = false;
    THandler OnNotify;

private:
    void Notify(TfrxComponent* item, TfrxListNotification action) const {
        if (OnNotify)
            OnNotify(item, action);
    }
    std::vector<TfrxComponent*> FItems;
};

/// Told by a report component that is being freed while the shift engine holds an item for it.
class IfrxShiftObject {
public:
    virtual ~IfrxShiftObject() = default;
    virtual void ComponentDestroyed(TfrxReportComponent* component) = 0;
};

/// ASCII case-insensitive order of the name index.
struct TfrxNameLess {
    bool operator()(const String& a, const String& b) const;
};
/// The name index of a tree: names to objects; probes of CreateUniqueName map to none.
using TfrxNameIndex = std::map<String, TfrxComponent*, TfrxNameLess>;

/// True when the object's class or an ancestor class has the name (classes of later layers are
/// recognised this way: "TfrxReport", "TfrxPage", "TfrxBand", "TfrxView", ...).
bool InheritsFromClassName(const TObject* object, StringView className);

class TfrxComponent : public TComponent, public IfrxSerializableComponent {
    VGL_CLASS(TfrxComponent, TComponent)
    explicit TfrxComponent(TComponent* owner);
    ~TfrxComponent() override;

    /// Creation by the designer: flags the object as designing, then as Create. (The base
    /// runs the constructor first; descendants override to apply `flags`.)
    virtual void DesignCreate(TComponent* owner, int flags);

    // ---- Tree ------------------------------------------------------------------------------
    TfrxComponent* Parent() const { return FParent; }
    virtual void SetParent(TfrxComponent* value);
    const TfrxObjectsNotifyList& Objects() const { return FObjects; }
    /// Every descendant, depth-first, children in order (the object itself excluded).
    const std::vector<TfrxComponent*>& AllObjects();
    virtual const TfrxObjectsNotifyList& ContainerObjects() const { return FObjects; }
    /// The object itself or its nearest ancestor that is a page ("TfrxPage"); none if none.
    TfrxComponent* Page() const;
    /// The object itself when it is a report, else the parent's report; none at a root.
    virtual TfrxComponent* GetReport() const;
    /// The farthest ancestor; none for a root.
    TfrxComponent* TopParent() const;
    /// The report, or else the report the nearest enclosing report page refers to.
    TfrxComponent* GetGlobalReport() const;
    /// The first descendant with that name (ASCII case-insensitive), or none.
    TfrxComponent* FindObject(const String& name) const;
    /// Frees every child from the last to the first (ancestor children stay and are cleared).
    virtual void Clear();

    // ---- Names -----------------------------------------------------------------------------
    void SetName(const String& value) override;
    /// Gives the object BaseName followed by the first free number.
    void CreateUniqueName(TfrxComponent* defaultReport = nullptr);
    /// The prefix of generated names: the class name without "Tfrx" and "View" (Memo, Shape).
    String BaseName() const;
    const String& AliasName() const { return FAliasName; }
    void SetAliasName(const String& value) { FAliasName = value; }
    /// The name index of the object's tree (kept by the root; built on first use).
    TfrxNameIndex* TreeIndex();

    // ---- Geometry --------------------------------------------------------------------------
    long double Left() const { return FLeft; }
    long double Top() const { return FTop; }
    long double Width() const { return FWidth; }
    long double Height() const { return FHeight; }
    virtual void SetLeft(long double value);
    virtual void SetTop(long double value);
    virtual void SetWidth(long double value);
    virtual void SetHeight(long double value);
    virtual bool IsLeftStored() const { return true; }
    virtual bool IsTopStored() const { return true; }
    virtual bool IsWidthStored() const { return true; }
    virtual bool IsHeightStored() const { return true; }
    void SetBounds(long double left, long double top, long double width, long double height);
    long double AbsLeft() const;
    long double AbsTop() const;
    TfrxAnchors Anchors() const { return FAnchors; }
    virtual void SetAnchors(TfrxAnchors value) { FAnchors = value; }
    /// Moves and sizes the children after a size change of dW (width) and dH (height).
    virtual void AnchorChildren(long double dX, long double dY);
    void LockAnchorsUpdate() { FAnchorsUpdating = true; }
    void UnlockAnchorsUpdate() { FAnchorsUpdating = false; }
    virtual bool IsContain(long double x, long double y) const;
    virtual bool IsInRect(const TfrxRect& rect) const;
    virtual TfrxRect GetClientArea() const { return MakeFrxRect(0, 0, FWidth, FHeight); }
    virtual void AlignChildren(bool ignoreInvisible = false, TfrxMirrorControlModes mirrorModes = {});
    virtual void MirrorContent(TfrxMirrorControlModes) {}
    virtual void MirrorPosition(TfrxMirrorControlModes mirrorModes);
    /// The alignment kind of a view (baNone for every other object; views override).
    virtual TfrxAlign GetAlign() const { return baNone; }
    TfrxComponent* GetContainedComponent(long double x, long double y, TfrxComponent* isCanContain = nullptr);
    void GetContainedComponents(const TfrxRect& rect, TClass inheriteFrom, std::vector<TfrxComponent*>* components,
                                bool selectContainers = false);
    bool IsAcceptControl(TfrxComponent* control) const;
    virtual bool IsAcceptAsChild(TfrxComponent*) const { return false; }
    virtual bool IsAcceptControls() const { return FComponentStyle.Contains(csAcceptsFrxComponents); }

    // ---- Fonts -----------------------------------------------------------------------------
    TFont& Font() const { return *FFont; }
    /// The font as a published sub-object.
    TFont* GetFont() const { return FFont.get(); }
    /// Takes the font's values and stops following the parent.
    virtual void SetFont(const TFont& value);
    bool ParentFont() const { return FParentFont; }
    virtual void SetParentFont(bool value);
    virtual void FontChanged();

    // ---- State and flags -------------------------------------------------------------------
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value) { FVisible = value; }
    virtual TfrxRestrictions Restrictions() const { return FRestrictions; }
    void SetRestrictions(TfrxRestrictions value) { FRestrictions = value; }
    TfrxEditableRights Editable() const { return FEditable; }
    void SetEditable(TfrxEditableRights value) { FEditable = value; }
    TfrxComponentStyle& frComponentStyle() { return FComponentStyle; }
    const TfrxComponentStyle& frComponentStyle() const { return FComponentStyle; }
    TfrxComponentState& frComponentState() { return FComponentState; }
    const TfrxComponentState& frComponentState() const { return FComponentState; }
    const String& Description() const { return FDescription; }
    void SetDescription(const String& value) { FDescription = value; }
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value) { FGroupIndex = value; }
    std::intptr_t IndexTag() const { return FIndexTag; }
    void SetIndexTag(std::intptr_t value) { FIndexTag = value; }
    bool AllowMirrorMode() const { return FAllowMirrorMode; }
    void SetAllowMirrorMode(bool value) { FAllowMirrorMode = value; }
    bool AncestorOnlyStream() const { return FAncestorOnlyStream; }
    void SetAncestorOnlyStream(bool value) { FAncestorOnlyStream = value; }
    bool IsDesigning() const { return FComponentState.Contains(csFrxDesigning); }
    void SetIsDesigning(bool value);
    bool IsPrinting() const { return FIsPrinting; }
    void SetIsPrinting(bool value) { FIsPrinting = value; }
    void SetAncestor(bool value) { FAncestor = value; }
    TfrxComponent* OriginalComponent() const { return FOriginalComponent; }
    void SetOriginalComponent(TfrxComponent* value) { FOriginalComponent = value; }
    TfrxComponent* OriginalBand() const { return FOriginalBand; }
    void SetOriginalBand(TfrxComponent* value) { FOriginalBand = value; }
    virtual String GetDescription() const { return ClassName(); }

    // ---- Loading, saving and copying -------------------------------------------------------
    virtual void LoadFromStream(TStream& stream);
    /// Reads the component from an item tree as LoadFromStream reads the root of a document
    /// (`oldFormat`: the document's attribute text is ANSI). The tree is only read, so several
    /// components may read one tree at the same time.
    void LoadFromXMLItem(TfrxXMLItem& item, bool oldFormat = false);
    virtual void SaveToStream(TStream& stream, bool saveChildren = true, bool saveDefaultValues = false,
                              bool streaming = false);
    /// Copies the published properties of another report component (through the serializer).
    void Assign(const TPersistent* source) override;
    void AssignAll(TfrxComponent* source, bool streaming = false);
    virtual void AssignOriginals(TfrxComponent* source);
    void AssignAllWithOriginals(TfrxComponent* source, bool streaming = false);
    void AssignToDict(TfrxComponent* source);
    /// The short-form attributes with which a prepared object is stored against its source.
    virtual String Diff(TfrxComponent* component);
    /// The serializer's attribute list of the object against `component`, followed by Diff.
    String AllDiff(TfrxComponent* component);

    // ---- What the report answers (neutral in the base) -------------------------------------
    /// The report's error list, or none.
    virtual TStringList* ReportErrors() { return nullptr; }
    /// The report's serializer slot: the serializer reading the report, or none.
    virtual void SetReportSerializer(TfrxXMLSerializer*) {}
    /// The report's custom-data events and ancestor lookup (empty without a report).
    virtual TfrxXMLSerializer::TCustomDataEvent ReportGetCustomData() const { return {}; }
    virtual TfrxXMLSerializer::TCustomDataEvent ReportSaveCustomData() const { return {}; }
    virtual TfrxXMLSerializer::TGetAncestorEvent ReportGetAncestor() const { return {}; }
    /// The report's own text-layout object (none: the process-wide one).
    virtual TfrxDrawText* ReportDrawText() const { return nullptr; }
    /// The report a report page refers to (pages answer; none otherwise).
    virtual TfrxComponent* PageReport() const { return nullptr; }
    /// A text view sizing itself to its text (memos answer; false otherwise).
    virtual bool AutoWidth() const { return false; }
    /// The text-layout object of the report (for a prepared page read back, the report it refers
    /// to), or the process-wide one.
    TfrxDrawText& GetDrawTextObject() const;
    /// The report's value of a script expression (Null without a report).
    virtual Variant ReportCalc(const String&) { return Variant(); }
    /// The report's current-object value (`SelfValue`) becomes `object` (nothing without one).
    virtual void ReportSetSelfValue(TfrxComponent*) {}
    /// The name of the report's script language (empty without a report).
    virtual String ReportScriptLanguage() const { return {}; }
    /// The report's variable list, or none.
    virtual TfrxVariables* ReportVariables() { return nullptr; }
    /// Asks the report's designer to refresh its property inspector (nothing without one).
    virtual void ReportUpdateInspector() {}

    // ---- IfrxSerializableComponent ---------------------------------------------------------
    bool IsLoading() const override;
    void SetIsLoading(bool value) override { FIsLoading = value; }
    bool IsWriting() const override { return FComponentState.Contains(csFrxWriting); }
    void SetIsWriting(bool value) override;
    bool IsAncestor() const override { return FAncestor; }
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* parent) override;
    int ObjectCount() const override { return FObjects.Count(); }
    TComponent* ObjectAt(int index) const override { return FObjects.Get(index); }
    bool HandlesNestedProperties() const override { return FComponentStyle.Contains(csHandlesNestedProperties); }
    TComponent* FindObject(StringView name) const override;
    TComponent* Report() const override { return GetReport(); }
    bool IsReport() const override;

protected:
    /// Keeps the name index current as children come and go.
    virtual void ChildListChanged(TfrxComponent* child, TfrxListNotification action);
    /// The child list itself, for a container that lists objects of another parent for a while
    /// (the layout engine's page band); such a container empties it before it is freed.
    TfrxObjectsNotifyList& ObjectsList() { return FObjects; }

private:
    TfrxNameIndex* OwnIndex() const { return FSortedObjects.get(); }
    void DropIndex();
    void FillIndex(TfrxNameIndex& index);
    void AddToIndex(TfrxNameIndex& index, TfrxComponent* object);
    void RemoveFromIndex(TfrxNameIndex& index, TfrxComponent* object);
    void CollectAll(std::vector<TfrxComponent*>& out) const;
    /// Writes into `item` when given, else as a document into `stream`.
    /// With `attributes`, the item's attributes are kept there (see TfrxAttributeStore).
    void SaveTo(TStream* stream, TfrxXMLItem* item, bool saveChildren, bool saveDefaultValues, bool streaming,
                TfrxAttributeStore* attributes = nullptr);
    /// Reads from `item` when given (its attribute text ANSI with `oldFormat`), else the document
    /// in `stream`; with `attributes`, the attributes SaveTo kept there.
    void LoadFrom(TStream* stream, TfrxXMLItem* item, bool oldFormat = false, TfrxAttributeStore* attributes = nullptr);
    /// Assign and AssignAll: the source's stored form (default values included) read into this.
    void CopyFrom(TfrxComponent& source, bool saveChildren, bool streaming);

    std::unique_ptr<TFont> FFont;
    TfrxObjectsNotifyList FObjects;
    std::vector<TfrxComponent*> FAllObjects;
    std::unique_ptr<TfrxNameIndex> FSortedObjects;
    long double FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FParentFont = true;
    int FGroupIndex = 0;
    bool FIsLoading = false;
    bool FIsPrinting = false;
    TfrxRestrictions FRestrictions;
    TfrxEditableRights FEditable;
    bool FVisible = true;
    String FDescription;
    TfrxComponentStyle FComponentStyle{csPreviewVisible};
    TfrxComponentState FComponentState;
    bool FAncestorOnlyStream = false;
    std::intptr_t FIndexTag = 0;
    TfrxAnchors FAnchors{fraLeft, fraTop};
    bool FAnchorsUpdating = false;
    bool FAllowMirrorMode = false;
    TfrxComponent* FParent = nullptr;
    String FAliasName;
    bool FAncestor = false;
    bool FDestroying = false;
    TfrxComponent* FOriginalComponent = nullptr;
    TfrxRect FOriginalRect;
    TfrxComponent* FOriginalBand = nullptr;

    friend class TfrxReportComponent;
};

class TfrxReportComponent : public TfrxComponent {
    VGL_CLASS(TfrxReportComponent, TfrxComponent)
    explicit TfrxReportComponent(TComponent* owner);
    ~TfrxReportComponent() override;

    /// Paints the object; every concrete printable class provides it.
    virtual void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                      long double offsetY) = 0;
    void InteractiveDraw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                         long double offsetY, bool highlighted = false, TColor hlColor = clNone);
    void DrawWithChilds(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                        long double offsetY, bool highlighted = false, bool isDesigning = false);
    virtual void DrawChilds(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                            long double offsetY, bool highlighted = false, bool isDesigning = false);
    virtual void DrawHighlight(TCanvas&, long double, long double, long double, long double, TColor) {}
    /// Saves the bounds for the print run.
    virtual void BeforePrint();
    virtual void GetData() {}
    /// Restores the bounds saved by BeforePrint.
    virtual void AfterPrint();
    virtual String GetComponentText() { return {}; }
    /// The absolute rectangle.
    virtual TfrxRect GetRealBounds();
    virtual TfrxReportComponent* GetSaveToComponent() { return this; }
    virtual bool IsOwnerDraw() const { return false; }
    bool Highlighted() const { return FHighlighted; }

    TfrxPrintOnType PrintOn() const { return FPrintOn; }
    void SetPrintOn(TfrxPrintOnType value) { FPrintOn = value; }
    /// The object's item in the shift tree (not owned); told when the object is freed.
    IfrxShiftObject* ShiftObject() const { return FShiftObject; }
    void SetShiftObject(IfrxShiftObject* value) { FShiftObject = value; }
    int OriginalObjectsCount() const { return FOriginalObjectsCount; }
    void SetOriginalObjectsCount(int value) { FOriginalObjectsCount = value; }
    const TfrxRect& OriginalRect() const { return FOriginalRect; }

    String OnAfterData, OnAfterPrint, OnBeforePrint, OnPreviewClick, OnPreviewDblClick, OnContentChanged;

    bool IsIndexTagStored() const { return IndexTag() > 0; }
    String GetDescriptionText() const { return Description(); }
    std::int64_t GetIndexTag() const { return IndexTag(); }
    void SetIndexTag(std::int64_t value) { TfrxComponent::SetIndexTag(std::intptr_t(value)); }

private:
    TfrxPrintOnType FPrintOn;
    IfrxShiftObject* FShiftObject = nullptr;
    int FOriginalObjectsCount = -1;
    bool FHighlighted = false;
};

/// X × 10^8 rounded to the nearest integer (halves to even), divided by 10^8.
long double RoundTo8Places(long double x);
/// The low eight bits of a shift-state set, as an Integer script argument.
int ShiftToInt(unsigned shift);

} // namespace vgl
