#include "report/model/report_component.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <typeinfo>

#include "platform/graphics/font.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/reflection_cast.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/xml_escaping.h"
#include "report/foundation/xml_item.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxRestriction, u"rfDontModify", u"rfDontSize", u"rfDontMove", u"rfDontDelete", u"rfDontEdit",
                u"rfDontEditInPreview", u"rfDontCopy")
VGL_DEFINE_SET(TfrxRestrictions, TfrxRestriction)
VGL_DEFINE_ENUM(TfrxEditableRight, u"ferAllowInPreview", u"ferAllowInExport")
VGL_DEFINE_SET(TfrxEditableRights, TfrxEditableRight)
VGL_DEFINE_ENUM(TfrxComponentStyleItem, u"csContainer", u"csPreviewVisible", u"csDefaultDiff",
                u"csHandlesNestedProperties", u"csContained", u"csAcceptsFrxComponents", u"csObjectsContainer")
VGL_DEFINE_SET(TfrxComponentStyle, TfrxComponentStyleItem)
VGL_DEFINE_ENUM(TfrxComponentStateItem, u"csFrxDesigning", u"csFrxWriting", u"csFrxSerializeToDict",
                u"csFrxSerializeToPreviewPages", u"csFrxModifyObject", u"csFrxExporting", u"csFrxInteractiveForms")
VGL_DEFINE_SET(TfrxComponentState, TfrxComponentStateItem)
VGL_DEFINE_ENUM(TfrxAnchorsKind, u"fraLeft", u"fraTop", u"fraRight", u"fraBottom")
VGL_DEFINE_SET(TfrxAnchors, TfrxAnchorsKind)
VGL_DEFINE_ENUM(TfrxPrintOnTypeItem, u"ptFirstPage", u"ptLastPage", u"ptOddPages", u"ptEvenPages", u"ptRepeatedBand")
VGL_DEFINE_SET(TfrxPrintOnType, TfrxPrintOnTypeItem)
VGL_DEFINE_ENUM(TfrxAlign, u"baNone", u"baLeft", u"baRight", u"baCenter", u"baWidth", u"baBottom", u"baClient",
                u"baHidden")
VGL_DEFINE_ENUM(TfrxMirrorControlMode, u"mcmRTLBands", u"mcmRTLObjects", u"mcmRTLAppearance", u"mcmRTLContent",
                u"mcmRTLSpecial", u"mcmBTTBands", u"mcmBTTObjects", u"mcmBTTAppearance", u"mcmBTTContent",
                u"mcmBTTSpecial", u"mcmOnlyAllowed")
VGL_DEFINE_SET(TfrxMirrorControlModes, TfrxMirrorControlMode)

VGL_DEFINE_CLASS(TfrxComponent) {}

VGL_DEFINE_CLASS(TfrxReportComponent) {
    b.Property(u"Description", &TfrxReportComponent::GetDescriptionText, &TfrxReportComponent::SetDescription);
    b.Property(u"IndexTag", &TfrxReportComponent::GetIndexTag, &TfrxReportComponent::SetIndexTag)
        .Stored(&TfrxReportComponent::IsIndexTagStored);
}

// ---- Child list ---------------------------------------------------------------------------

TfrxComponent* TfrxObjectsNotifyList::Get(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FItems[std::size_t(index)];
}

void TfrxObjectsNotifyList::Put(int index, TfrxComponent* item) {
    TfrxComponent* old = Get(index);
    FItems[std::size_t(index)] = item;
    if (old)
        Notify(old, lnDeleted);
    if (item)
        Notify(item, lnAdded);
}

int TfrxObjectsNotifyList::IndexOf(const TfrxComponent* item) const {
    if (SearchFromEnd) {
        for (int i = Count() - 1; i >= 0; --i)
            if (FItems[std::size_t(i)] == item)
                return i;
        return -1;
    }
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TfrxObjectsNotifyList::Add(TfrxComponent* item) {
    Insert(Count(), item);
}

void TfrxObjectsNotifyList::Insert(int index, TfrxComponent* item) {
    if (index < 0 || index > Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    FItems.insert(FItems.begin() + index, item);
    if (item)
        Notify(item, lnAdded);
}

int TfrxObjectsNotifyList::Remove(TfrxComponent* item) {
    const int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    return index;
}

void TfrxObjectsNotifyList::Delete(int index) {
    TfrxComponent* item = Get(index);
    FItems.erase(FItems.begin() + index);
    if (item)
        Notify(item, lnDeleted);
}

TfrxComponent* TfrxObjectsNotifyList::Extract(TfrxComponent* item) {
    const int index = IndexOf(item);
    if (index < 0)
        return nullptr;
    FItems.erase(FItems.begin() + index);
    Notify(item, lnExtracted);
    return item;
}

void TfrxObjectsNotifyList::Clear() {
    while (!FItems.empty())
        Delete(Count() - 1);
}

// ---- Helpers ------------------------------------------------------------------------------

bool TfrxNameLess::operator()(const String& a, const String& b) const {
    return CompareText(a, b) < 0;
}

bool InheritsFromClassName(const TObject* object, StringView className) {
    if (!object)
        return false;
    const auto answer = [&] {
        bool inherits = object->ClassName() == className;
        for (TClass cls = object->ClassType(); cls && !inherits; cls = cls->Parent())
            inherits = cls->Name() == className;
        return inherits;
    };
    // The answer depends only on the object's dynamic type (its class name and class table) and
    // the name asked for: the few pairs a report asks about over and over are answered from a
    // small table of each thread's recent questions (names of class-name length only).
    constexpr std::size_t kLongest = 30;
    struct TAnswer {
        const std::type_info* Type = nullptr;
        std::size_t Length = 0;
        std::array<Char, kLongest> Name{};
        bool Inherits = false;
    };
    if (className.empty() || className.size() > kLongest)
        return answer();
    thread_local std::array<TAnswer, 256> recent;
    const std::type_info& type = typeid(*object);
    const std::uint64_t key = (reinterpret_cast<std::uintptr_t>(&type) ^ (className.size() << 3)) * 31 +
                              className[className.size() / 2] * 131 + className.back();
    TAnswer& entry = recent[(key * 0x9E3779B97F4A7C15ull) >> 56];
    if (entry.Type == &type && entry.Length == className.size() &&
        std::equal(className.begin(), className.end(), entry.Name.begin()))
        return entry.Inherits;
    const bool inherits = answer();
    entry.Type = &type;
    entry.Length = className.size();
    std::copy(className.begin(), className.end(), entry.Name.begin());
    entry.Inherits = inherits;
    return inherits;
}

long double RoundTo8Places(long double x) {
    return (long double)Round(x * 1e8L) / 1e8L;
}

int ShiftToInt(unsigned shift) {
    return int(shift & 0xFF);
}

namespace {

// The component-base owner of a new report object: the report of a report-object owner.
TComponent* ComponentOwner(TComponent* owner) {
    if (auto* c = CachedCast<TfrxComponent>(owner))
        return c->GetReport();
    return owner;
}

} // namespace

String TfrxComponent::BaseName() const {
    // The class name without its first "Tfrx" and then its first "View".
    String name = ClassName();
    for (StringView part : {StringView(u"Tfrx"), StringView(u"View")}) {
        const auto at = name.find(part);
        if (at != String::npos)
            name.erase(at, part.size());
    }
    return name;
}

namespace {

String BoolText(bool v) {
    return v ? u"1" : u"0";
}

String Attribute(StringView name, const String& value) {
    return u" " + String(name) + u"=\"" + value + u"\"";
}

int FontStyleBits(const TFont& font) {
    int bits = 0;
    const TFontStyles style = font.GetStyle();
    if (style.Contains(fsBold))
        bits |= 1;
    if (style.Contains(fsItalic))
        bits |= 2;
    if (style.Contains(fsUnderline))
        bits |= 4;
    if (style.Contains(fsStrikeOut))
        bits |= 8;
    return bits;
}

bool Differs(long double a, long double b) {
    return std::fabs(double(a - b)) > 0.0001;
}

// The attributes of an attribute text (" a=\"1\" b=\"x\""), in order. Values are XML-escaped and
// hold no raw quote.
std::vector<std::pair<String, String>> ParseAttributes(const String& text) {
    std::vector<std::pair<String, String>> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == u' ')
            ++i;
        const std::size_t eq = text.find(u"=\"", i);
        if (eq == String::npos)
            break;
        const std::size_t close = text.find(u'"', eq + 2);
        if (close == String::npos)
            break;
        out.emplace_back(text.substr(i, eq - i), text.substr(eq + 2, close - eq - 2));
        i = close + 1;
    }
    return out;
}

} // namespace

// ---- Construction and destruction -----------------------------------------------------------

TfrxComponent::TfrxComponent(TComponent* owner) : TComponent(ComponentOwner(owner)), FFont(std::make_unique<TFont>()) {
    FObjects.OnNotify = [this](TfrxComponent* item, TfrxListNotification action) { ChildListChanged(item, action); };
    FFont->SetName(u"Arial");
    FFont->SetPixelsPerInch(96);
    FFont->SetSize(10);
    FFont->SetColor(0);
    FFont->SetCharset(1);
    FFont->OnChange = [this](TObject*) { FontChanged(); };
    FVisible = true;
    SetParentFont(true);
    if (auto* parent = CachedCast<TfrxComponent>(owner))
        SetParent(parent);
}

TfrxComponent::~TfrxComponent() {
    FDestroying = true;
    FFont->OnChange = nullptr;
    FSortedObjects.reset();
    SetParent(nullptr);
    Clear();
}

void TfrxComponent::DesignCreate(TComponent*, int) {
    FComponentState.Include(csFrxDesigning);
}

// ---- Tree ---------------------------------------------------------------------------------

void TfrxComponent::SetParent(TfrxComponent* value) {
    if (FParent != value) {
        for (TfrxComponent* p = value; p; p = p->FParent)
            if (p == this)
                throw EInvalidOperation(u"A report object cannot become a child of itself or of its own child");
        if (FParent)
            FParent->FObjects.Remove(this);
        FParent = value;
        if (value)
            value->FObjects.Add(this);
    }
    if (FParent)
        SetParentFont(FParentFont);
}

void TfrxComponent::SetParentComponent(TComponent* parent) {
    if (!parent) {
        SetParent(nullptr);
    } else if (auto* p = CachedCast<TfrxComponent>(parent)) {
        SetParent(p);
    }
}

const std::vector<TfrxComponent*>& TfrxComponent::AllObjects() {
    FAllObjects.clear();
    CollectAll(FAllObjects);
    return FAllObjects;
}

void TfrxComponent::CollectAll(std::vector<TfrxComponent*>& out) const {
    for (TfrxComponent* child : FObjects.Items()) {
        out.push_back(child);
        child->CollectAll(out);
    }
}

TfrxComponent* TfrxComponent::Page() const {
    for (const TfrxComponent* c = this; c; c = c->FParent)
        if (InheritsFromClassName(c, u"TfrxPage"))
            return const_cast<TfrxComponent*>(c);
    return nullptr;
}

TfrxComponent* TfrxComponent::GetReport() const {
    if (IsReport())
        return const_cast<TfrxComponent*>(this);
    return FParent ? FParent->GetReport() : nullptr;
}

bool TfrxComponent::IsReport() const {
    // Asked on every level of every GetReport: the answer depends on the dynamic type alone (its
    // class name and class chain), so each thread keeps it for its recent types.
    struct TEntry {
        const std::type_info* Type = nullptr;
        bool IsReport = false;
    };
    thread_local std::array<TEntry, 32> recent;
    const std::type_info& type = typeid(*this);
    TEntry& entry = recent[(reinterpret_cast<std::uintptr_t>(&type) * 0x9E3779B97F4A7C15ull) >> 59];
    if (entry.Type != &type)
        entry = {&type, InheritsFromClassName(this, u"TfrxReport")};
    return entry.IsReport;
}

TfrxComponent* TfrxComponent::TopParent() const {
    TfrxComponent* top = FParent;
    while (top && top->FParent)
        top = top->FParent;
    return top;
}

TfrxComponent* TfrxComponent::GetGlobalReport() const {
    if (TfrxComponent* report = GetReport())
        return report;
    for (const TfrxComponent* c = this; c; c = c->FParent)
        if (InheritsFromClassName(c, u"TfrxReportPage"))
            return c->PageReport();
    return nullptr;
}

TfrxComponent* TfrxComponent::FindObject(const String& name) const {
    // Depth first in CollectAll's order, stopping at the first match.
    for (TfrxComponent* child : FObjects.Items()) {
        if (SameText(child->Name(), name))
            return child;
        if (TfrxComponent* found = child->FindObject(name))
            return found;
    }
    return nullptr;
}

TComponent* TfrxComponent::FindObject(StringView name) const {
    return FindObject(String(name));
}

void TfrxComponent::Clear() {
    if (FSortedObjects)
        FSortedObjects->clear();
    for (int i = FObjects.Count() - 1; i >= 0; --i) {
        if (i >= FObjects.Count())
            continue;
        TfrxComponent* child = FObjects.Get(i);
        if (child->ComponentState().Contains(csAncestor)) {
            child->Clear();
        } else {
            delete child; // the child leaves this list and its owner's
        }
    }
}

// ---- Name index ---------------------------------------------------------------------------

TfrxNameIndex* TfrxComponent::TreeIndex() {
    TfrxComponent* root = this;
    while (root->FParent)
        root = root->FParent;
    if (root->FDestroying)
        return nullptr;
    if (!root->FSortedObjects) {
        root->FSortedObjects = std::make_unique<TfrxNameIndex>();
        root->FillIndex(*root->FSortedObjects);
    }
    return root->FSortedObjects.get();
}

void TfrxComponent::FillIndex(TfrxNameIndex& index) {
    if (!Name().empty())
        index.emplace(Name(), this);
    for (TfrxComponent* child : FObjects.Items())
        child->FillIndex(index);
}

void TfrxComponent::AddToIndex(TfrxNameIndex& index, TfrxComponent* object) {
    if (!object->Name().empty()) {
        auto [it, added] = index.emplace(object->Name(), object);
        if (!added && !it->second)
            it->second = object; // a probe of CreateUniqueName takes its object
    }
    for (TfrxComponent* child : object->FObjects.Items())
        AddToIndex(index, child);
}

void TfrxComponent::RemoveFromIndex(TfrxNameIndex& index, TfrxComponent* object) {
    // Entries are removed by object, not by name alone, so that no entry is left pointing at an
    // object that leaves the tree (also under an unnamed parent).
    if (!object->Name().empty()) {
        auto it = index.find(object->Name());
        if (it != index.end() && it->second == object)
            index.erase(it);
    }
    for (TfrxComponent* child : object->FObjects.Items())
        RemoveFromIndex(index, child);
}

void TfrxComponent::ChildListChanged(TfrxComponent* child, TfrxListNotification action) {
    TfrxComponent* root = this;
    while (root->FParent)
        root = root->FParent;
    if (root->FDestroying)
        return;
    TfrxNameIndex* index = root->FSortedObjects.get();
    if (action == lnAdded) {
        child->FSortedObjects.reset(); // a former root's own index is no longer needed
        if (index)
            AddToIndex(*index, child);
    } else if (index && !index->empty()) {
        RemoveFromIndex(*index, child);
    }
}

void TfrxComponent::SetName(const String& value) {
    if (SameText(value, Name()))
        return;
    TfrxNameIndex* index = nullptr;
    TfrxComponent* root = this;
    while (root->FParent)
        root = root->FParent;
    if (!root->FDestroying)
        index = root->FSortedObjects.get();
    if (!value.empty() && GetReport()) {
        index = TreeIndex();
        if (index) {
            auto it = index->find(value);
            if (it != index->end() && it->second && it->second != this)
                throw EComponentError(frxResourcesInstance().Get(u"prDupl"));
        }
        if (IsAncestor())
            throw EComponentError(Format(frxResourcesInstance().Get(u"clCantRen"), {Name()}));
    }
    const String oldName = Name();
    TComponent::SetName(value); // may still refuse the name: the index changes only after it
    if (index) {
        auto old = index->find(oldName);
        if (!oldName.empty() && old != index->end() && old->second == this)
            index->erase(old);
        if (!value.empty()) {
            auto [it, added] = index->emplace(value, this);
            if (!added && !it->second)
                it->second = this;
        }
    }
}

void TfrxComponent::CreateUniqueName(TfrxComponent* defaultReport) {
    TfrxNameIndex* own = TreeIndex();
    TfrxNameIndex* work = defaultReport ? defaultReport->TreeIndex() : own;
    if (!work)
        return;
    std::vector<String> borrowed;
    const TScopeExit giveBack([&] {
        for (const String& name : borrowed)
            work->erase(name);
    });
    if (defaultReport && own && own != work)
        for (const auto& [name, object] : *own)
            if (work->emplace(name, object).second)
                borrowed.push_back(name);

    const String base = BaseName();
    auto numbered = [&](long long n) { return base + IntToStr(n); };
    long long n = 1;
    if (work->size() >= 4) {
        work->emplace(base + u"0", nullptr);
        work->emplace(base + u"A", nullptr);
        const auto first = work->find(base + u"0"), last = work->find(base + u"A");
        n = std::distance(first, last) - 1;
        while (n > 0 && !work->count(numbered(n)))
            --n;
    }
    while (work->count(numbered(n)))
        ++n;
    const String name = numbered(n);
    SetName(name);
    TfrxNameIndex* target = (!defaultReport || own == work) ? work : own;
    if (target) {
        auto [it, added] = target->emplace(name, this);
        if (!added && !it->second)
            it->second = this;
    }
}

// ---- Geometry -----------------------------------------------------------------------------

void TfrxComponent::SetLeft(long double value) {
    if (!(IsDesigning() && Restrictions().Contains(rfDontMove)))
        FLeft = value;
}

void TfrxComponent::SetTop(long double value) {
    if (!(IsDesigning() && Restrictions().Contains(rfDontMove)))
        FTop = value;
}

void TfrxComponent::SetWidth(long double value) {
    if (IsDesigning() && Restrictions().Contains(rfDontSize))
        return;
    if (FObjects.Count() > 0 && std::fabs(double(value - FWidth)) > 0.01)
        AnchorChildren(value - FWidth, 0);
    FWidth = value;
}

void TfrxComponent::SetHeight(long double value) {
    if (IsDesigning() && Restrictions().Contains(rfDontSize))
        return;
    if (FObjects.Count() > 0 && std::fabs(double(value - FHeight)) > 0.01)
        AnchorChildren(0, value - FHeight);
    FHeight = value;
}

void TfrxComponent::SetBounds(long double left, long double top, long double width, long double height) {
    SetLeft(left);
    SetTop(top);
    SetWidth(width);
    SetHeight(height);
}

namespace {

// Whether a parent is a dialog page, asked on every level of every absolute position: the answer
// depends on the dynamic type alone, so each thread keeps it for its recent types.
bool IsDialogPage(const TfrxComponent* c) {
    struct TEntry {
        const std::type_info* Type = nullptr;
        bool IsDialogPage = false;
    };
    thread_local std::array<TEntry, 32> recent;
    const std::type_info& type = typeid(*c);
    TEntry& entry = recent[(reinterpret_cast<std::uintptr_t>(&type) * 0x9E3779B97F4A7C15ull) >> 59];
    if (entry.Type != &type)
        entry = {&type, InheritsFromClassName(c, u"TfrxDialogPage")};
    return entry.IsDialogPage;
}

} // namespace

long double TfrxComponent::AbsLeft() const {
    if (!FParent || IsDialogPage(FParent))
        return FLeft;
    return FParent->AbsLeft() + FLeft;
}

long double TfrxComponent::AbsTop() const {
    if (!FParent || IsDialogPage(FParent))
        return FTop;
    return FParent->AbsTop() + FTop;
}

void TfrxComponent::AnchorChildren(long double dX, long double dY) {
    if (FAnchorsUpdating)
        return;
    FAnchorsUpdating = true;
    const TScopeExit done([this] { FAnchorsUpdating = false; });
    const std::vector<TfrxComponent*> children = FObjects.Items();
    for (TfrxComponent* child : children) {
        if (child->FAnchorsUpdating)
            continue;
        const TfrxAnchors a = child->Anchors();
        if (a.Contains(fraRight)) {
            if (a.Contains(fraLeft))
                child->SetWidth(child->Width() + dX);
            else
                child->SetLeft(child->Left() + dX);
        } else if (!a.Contains(fraLeft)) {
            child->SetLeft(child->Left() + (long double)Round(dX / 1.18L));
        }
        if (a.Contains(fraBottom)) {
            if (a.Contains(fraTop))
                child->SetHeight(child->Height() + dY);
            else
                child->SetTop(child->Top() + dY);
        } else if (!a.Contains(fraTop)) {
            child->SetTop(child->Top() + (long double)Round(dY / 1.18L));
        }
    }
}

bool TfrxComponent::IsContain(long double x, long double y) const {
    long double tx = 0, ty = 0;
    if (FWidth == 0)
        tx = 4;
    else if (FHeight == 0)
        ty = 4;
    const long double l = AbsLeft(), t = AbsTop();
    return l - tx <= x && x <= l + FWidth + tx && t - ty <= y && y <= t + FHeight + ty;
}

bool TfrxComponent::IsInRect(const TfrxRect& rect) const {
    long double l = AbsLeft(), t = AbsTop(), r = l + FWidth, b = t + FHeight;
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    return l <= rect.Right && r >= rect.Left && t <= rect.Bottom && b >= rect.Top;
}

void TfrxComponent::AlignChildren(bool ignoreInvisible, TfrxMirrorControlModes mirrorModes) {
    if (FObjects.Count() == 0)
        return;
    struct Entry {
        String Key;
        TfrxComponent* Child;
    };
    std::vector<Entry> entries;
    std::vector<TfrxComponent*> parts;
    const auto takesPart = [&](TfrxComponent* child) {
        return InheritsFromClassName(child, u"TfrxView") && child->GetAlign() != baHidden &&
               (!ignoreInvisible || child->Visible());
    };
    // The order by Left matters only to views aligned to the left, the right or the width; without
    // them the sort keys are not made.
    const bool ordered = std::any_of(FObjects.Items().begin(), FObjects.Items().end(), [&](TfrxComponent* child) {
        const TfrxAlign align = child->GetAlign();
        return (align == baLeft || align == baRight || align == baWidth) && takesPart(child);
    });
    for (TfrxComponent* child : FObjects.Items()) {
        if (!takesPart(child))
            continue;
        child->MirrorPosition(mirrorModes);
        parts.push_back(child);
        if (!ordered)
            continue;
        const long double left = child->Left();
        const String key =
            left >= 0 ? u"1" + Format(u"%9.2f", {double(left)}) : u"0" + Format(u"%9.2f", {double(-left)});
        entries.push_back({key, child});
    }
    // A stable sort keeps children with equal keys in their list order (duplicates accepted).
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return CompareText(a.Key, b.Key) < 0; });
    const TfrxRect area = GetClientArea();
    auto overlapsVertically = [](TfrxComponent* a, TfrxComponent* b) {
        return b->AbsTop() < a->AbsTop() + a->Height() - 0.0001L && a->AbsTop() < b->AbsTop() + b->Height() - 0.0001L;
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        TfrxComponent* c = entries[i].Child;
        const TfrxAlign align = c->GetAlign();
        if (align != baLeft && align != baWidth)
            continue;
        TfrxComponent* neighbour = nullptr;
        for (std::size_t j = i; j-- > 0;) {
            TfrxComponent* n = entries[j].Child;
            if (overlapsVertically(c, n) && (align != baWidth || n->Left() <= c->Left())) {
                neighbour = n;
                break;
            }
        }
        c->SetLeft(neighbour ? neighbour->Left() + neighbour->Width() : area.Left);
    }
    for (std::size_t i = entries.size(); i-- > 0;) {
        TfrxComponent* c = entries[i].Child;
        const TfrxAlign align = c->GetAlign();
        if (align != baRight && align != baWidth)
            continue;
        TfrxComponent* neighbour = nullptr;
        for (std::size_t j = i + 1; j < entries.size(); ++j) {
            TfrxComponent* n = entries[j].Child;
            if (overlapsVertically(c, n) && (align != baWidth || n->Left() + n->Width() >= c->Left() + c->Width())) {
                neighbour = n;
                break;
            }
        }
        const long double edge = neighbour ? neighbour->Left() : area.Right;
        if (align == baRight)
            c->SetLeft(edge - c->Width());
        else
            c->SetWidth(edge - c->Left());
    }
    for (TfrxComponent* c : parts) {
        switch (c->GetAlign()) {
        case baCenter:
            c->SetLeft((area.Right - c->Width()) / 2);
            break;
        case baBottom:
            c->SetTop(area.Bottom - c->Height());
            break;
        case baClient:
            c->SetLeft(area.Left);
            c->SetTop(area.Top);
            c->SetWidth(area.Right);
            c->SetHeight(area.Bottom);
            break;
        default:
            break;
        }
        c->AlignChildren(ignoreInvisible, mirrorModes);
    }
}

void TfrxComponent::MirrorPosition(TfrxMirrorControlModes mirrorModes) {
    // Selection exists only in the designer and preview: here no object is selected.
    if (mirrorModes.Contains(mcmOnlyAllowed) && !FAllowMirrorMode)
        return;
    MirrorContent(mirrorModes);
    if (!FParent)
        return;
    const bool leaf = FObjects.Count() == 0;
    // The class is asked only when a mode mirrors bands (most runs mirror nothing).
    const auto band = [this] { return InheritsFromClassName(this, u"TfrxBand"); };
    if ((mirrorModes.Contains(mcmRTLObjects) && leaf) || (mirrorModes.Contains(mcmRTLBands) && band()))
        SetLeft(FParent->Width() - (FLeft + FWidth));
    if ((mirrorModes.Contains(mcmBTTObjects) && leaf) || (mirrorModes.Contains(mcmBTTBands) && band()))
        SetTop(FParent->Height() - (FTop + FHeight));
}

TfrxComponent* TfrxComponent::GetContainedComponent(long double x, long double y, TfrxComponent* isCanContain) {
    const bool inside = IsContain(x, y);
    if (!inside && FObjects.Count() == 0)
        return nullptr;
    TfrxComponent* found = nullptr;
    for (int i = FObjects.Count() - 1; i >= 0 && !found; --i) {
        TfrxComponent* answer = FObjects.Get(i)->GetContainedComponent(x, y, isCanContain);
        if (answer && !InheritsFromClassName(answer, u"TfrxNullBand"))
            found = answer;
    }
    if (!found && (FObjects.Count() == 0 || inside))
        found = this;
    if (found == this && (isCanContain == this || !IsAcceptControl(isCanContain)))
        return nullptr;
    return found;
}

void TfrxComponent::GetContainedComponents(const TfrxRect& rect, TClass inheriteFrom,
                                           std::vector<TfrxComponent*>* components, bool selectContainers) {
    if (!components)
        return;
    const bool inRect = IsInRect(rect);
    if (!inRect && FObjects.Count() == 0)
        return;
    if (std::find(components->begin(), components->end(), this) == components->end() &&
        (selectContainers || !FComponentStyle.Contains(csObjectsContainer)) && (FObjects.Count() == 0 || inRect) &&
        (!inheriteFrom || InheritsFrom(inheriteFrom)))
        components->push_back(this);
    for (TfrxComponent* child : FObjects.Items())
        child->GetContainedComponents(rect, inheriteFrom, components, false);
}

bool TfrxComponent::IsAcceptControl(TfrxComponent* control) const {
    if (!control)
        return true;
    return IsAcceptControls() && control != this && control->IsAcceptAsChild(const_cast<TfrxComponent*>(this)) &&
           !control->frComponentStyle().Contains(csContained);
}

// ---- Fonts --------------------------------------------------------------------------------

void TfrxComponent::SetFont(const TFont& value) {
    FFont->Assign(value);
    FParentFont = false;
}

void TfrxComponent::SetParentFont(bool value) {
    if (value && FParent)
        FFont->Assign(FParent->Font());
    FParentFont = value;
}

void TfrxComponent::FontChanged() {
    FParentFont = false;
    for (TfrxComponent* child : FObjects.Items())
        if (child->ParentFont())
            child->SetParentFont(true);
}

// ---- Flags --------------------------------------------------------------------------------

void TfrxComponent::SetIsDesigning(bool value) {
    if (value)
        FComponentState.Include(csFrxDesigning);
    else
        FComponentState.Exclude(csFrxDesigning);
}

void TfrxComponent::SetIsWriting(bool value) {
    if (value)
        FComponentState.Include(csFrxWriting);
    else
        FComponentState.Exclude(csFrxWriting);
}

bool TfrxComponent::IsLoading() const {
    return FIsLoading || ComponentState().Contains(csLoading);
}

TfrxDrawText& TfrxComponent::GetDrawTextObject() const {
    // A page read back from the prepared pages has no parent but knows its report: its views lay
    // their text out with that report's object, so exports on several threads do not all queue
    // for the process-wide one.
    if (TfrxComponent* report = GetGlobalReport())
        if (TfrxDrawText* own = report->ReportDrawText())
            return *own;
    return frxDrawText();
}

// ---- Loading, saving, copying ---------------------------------------------------------------

void TfrxComponent::LoadFromStream(TStream& stream) {
    LoadFrom(&stream, nullptr);
}

void TfrxComponent::LoadFromXMLItem(TfrxXMLItem& item, bool oldFormat) {
    LoadFrom(nullptr, &item, oldFormat);
}

void TfrxComponent::LoadFrom(TStream* stream, TfrxXMLItem* item, bool oldFormat, TfrxAttributeStore* attributes) {
    if (!FAncestorOnlyStream)
        Clear();
    TfrxComponent* report = GetReport();
    TfrxXMLSerializer serializer(stream);
    serializer.Attributes = attributes;
    serializer.OldFormat = oldFormat;
    serializer.HandleNestedProperties = true;
    serializer.SetOwner(report);
    if (report) {
        report->SetReportSerializer(&serializer);
        serializer.OnGetCustomDataEvent = report->ReportGetCustomData();
    }
    const TScopeExit clearSlot([report] {
        if (report)
            report->SetReportSerializer(nullptr);
    });
    serializer.ReadRootComponent(this, item);
    if (report)
        if (TStringList* errors = report->ReportErrors())
            errors->AddStrings(serializer.Errors());
}

void TfrxComponent::SaveToStream(TStream& stream, bool saveChildren, bool saveDefaultValues, bool streaming) {
    SaveTo(&stream, nullptr, saveChildren, saveDefaultValues, streaming);
}

void TfrxComponent::SaveTo(TStream* stream, TfrxXMLItem* item, bool saveChildren, bool saveDefaultValues,
                           bool streaming, TfrxAttributeStore* attributes) {
    TfrxComponent* report = GetReport();
    TfrxXMLSerializer serializer(stream);
    serializer.Attributes = attributes;
    serializer.HandleNestedProperties = true;
    serializer.SaveAncestorOnly = FAncestorOnlyStream;
    serializer.SetOwner(report);
    serializer.SerializeDefaultValues = saveDefaultValues;
    serializer.IgnoreName = FOriginalComponent && FComponentStyle.Contains(csObjectsContainer);
    if (report && (IsReport() || FAncestorOnlyStream)) {
        if (!FAncestorOnlyStream)
            serializer.OnSaveCustomDataEvent = report->ReportSaveCustomData();
        if (!streaming)
            serializer.OnGetAncestor = report->ReportGetAncestor();
    }
    serializer.WriteRootComponent(this, saveChildren, item);
}

namespace {

// The stored form is UTF-8, in which a lone surrogate cannot be written: it reads back as
// U+FFFD. A copy made through an item tree gets the same, so it equals what saving and loading
// would give. (Escaping leaves surrogates alone, so the values kept apart take it as well.)
void ReplaceLoneSurrogates(String& text) {
    if (std::any_of(text.begin(), text.end(), [](Char c) { return IsSurrogate(c); }))
        text = Utf8ToString(StringToUtf8(text));
}

void ReplaceLoneSurrogates(TfrxXMLItem& item) {
    const String& text = item.Text();
    if (std::any_of(text.begin(), text.end(), [](Char c) { return IsSurrogate(c); }))
        item.SetText(Utf8ToString(StringToUtf8(text)));
    for (int i = 0; i < item.Count(); ++i)
        ReplaceLoneSurrogates(*item.Items(i));
}

} // namespace

void TfrxComponent::CopyFrom(TfrxComponent& source, bool saveChildren, bool streaming) {
    if (IsReport() || source.IsReport()) {
        // A report reads and writes its whole storage format (codecs, options it keeps).
        TMemoryStream stream;
        source.SaveToStream(stream, saveChildren, true, streaming);
        stream.SetPosition(0);
        LoadFromStream(stream);
        return;
    }
    // Other components go through the serializer's item tree alone, their attributes kept as
    // values beside it: what the stored form would give, without writing and parsing any text.
    TfrxXMLItem item;
    TfrxAttributeStore attributes;
    source.SaveTo(nullptr, &item, saveChildren, true, streaming, &attributes);
    ReplaceLoneSurrogates(item);
    attributes.TransformTexts([](String& text) { ReplaceLoneSurrogates(text); });
    LoadFrom(nullptr, &item, false, &attributes);
}

void TfrxComponent::Assign(const TPersistent* source) {
    auto* from = const_cast<TfrxComponent*>(CachedCast<const TfrxComponent>(source));
    if (!from) {
        TComponent::Assign(source);
        return;
    }
    CopyFrom(*from, false, false);
}

void TfrxComponent::AssignAll(TfrxComponent* source, bool streaming) {
    if (!source)
        return;
    CopyFrom(*source, true, streaming);
}

void TfrxComponent::AssignOriginals(TfrxComponent* source) {
    if (!source)
        return;
    FAliasName = source->FAliasName;
    FOriginalComponent = source->FOriginalComponent;
}

void TfrxComponent::AssignAllWithOriginals(TfrxComponent* source, bool streaming) {
    AssignAll(source, streaming);
    std::function<void(TfrxComponent*, TfrxComponent*)> pair = [&](TfrxComponent* from, TfrxComponent* to) {
        to->FAliasName = from->FAliasName;
        to->FOriginalComponent = from->FOriginalComponent;
        const int n = std::min(from->FObjects.Count(), to->FObjects.Count());
        for (int i = 0; i < n; ++i)
            pair(from->FObjects.Get(i), to->FObjects.Get(i));
    };
    if (source)
        pair(source, this);
}

void TfrxComponent::AssignToDict(TfrxComponent* source) {
    if (!source)
        return;
    const bool had = source->FComponentState.Contains(csFrxSerializeToDict);
    source->FComponentState.Include(csFrxSerializeToDict);
    const TScopeExit restore([&] {
        if (!had)
            source->FComponentState.Exclude(csFrxSerializeToDict);
    });
    Assign(source);
}

String TfrxComponent::Diff(TfrxComponent* component) {
    if (!component)
        return {};
    String s;
    if (Differs(FLeft, component->FLeft) && IsLeftStored())
        s += Attribute(u"l", FloatToStr(FLeft));
    if ((InheritsFromClassName(this, u"TfrxBand") || Differs(FTop, component->FTop)) && IsTopStored())
        s += Attribute(u"t", FloatToStr(FTop));
    if (!(InheritsFromClassName(this, u"TfrxCustomMemoView") && AutoWidth()) && IsWidthStored() &&
        Differs(FWidth, component->FWidth))
        s += Attribute(u"w", FloatToStr(FWidth));
    if (Differs(FHeight, component->FHeight) && IsHeightStored())
        s += Attribute(u"h", FloatToStr(FHeight));
    if (FVisible != component->FVisible)
        s += Attribute(u"Visible", BoolText(FVisible));
    if (!FParentFont) {
        const TFont& a = *FFont;
        const TFont& b = *component->FFont;
        if (a.GetName() != b.GetName())
            s += Attribute(u"Font.Name", XMLEscapeText(a.GetName()));
        if (a.GetSize() != b.GetSize())
            s += Attribute(u"Font.Size", IntToStr(a.GetSize()));
        if (a.GetColor() != b.GetColor())
            s += Attribute(u"Font.Color", IntToStr(std::int64_t(a.GetColor())));
        if (FontStyleBits(a) != FontStyleBits(b))
            s += Attribute(u"Font.Style", IntToStr(FontStyleBits(a)));
        if (a.GetCharset() != b.GetCharset())
            s += Attribute(u"Font.Charset", IntToStr(int(a.GetCharset())));
    }
    if (FParentFont != component->FParentFont)
        s += Attribute(u"ParentFont", BoolText(FParentFont));
    if (Tag() != component->Tag())
        s += Attribute(u"Tag", IntToStr(std::int64_t(Tag())));
    if (FAllowMirrorMode != component->FAllowMirrorMode)
        s += Attribute(u"AllowMirrorMode", BoolText(FAllowMirrorMode));
    return s;
}

String TfrxComponent::AllDiff(TfrxComponent* component) {
    const bool hadSelf = FComponentState.Contains(csFrxSerializeToPreviewPages);
    const bool hadOther = component && component->FComponentState.Contains(csFrxSerializeToPreviewPages);
    FComponentState.Include(csFrxSerializeToPreviewPages);
    if (component)
        component->FComponentState.Include(csFrxSerializeToPreviewPages);
    const TScopeExit restore([&] {
        if (!hadSelf)
            FComponentState.Exclude(csFrxSerializeToPreviewPages);
        if (component && !hadOther)
            component->FComponentState.Exclude(csFrxSerializeToPreviewPages);
    });

    TStringStream stream;
    TfrxXMLSerializer serializer(&stream);
    serializer.SetOwner(GetReport());
    serializer.WriteComponent(this, component);
    const String text = stream.DataString();
    String attributes;
    const std::size_t blank = text.find(u' ');
    if (blank != String::npos && text.size() >= blank + 3)
        attributes = text.substr(blank + 1, text.size() - blank - 3);

    String extra;
    if (component)
        extra = Diff(component);
    if (InheritsFromClassName(this, u"TfrxNullBand"))
        extra += Attribute(u"l", FloatToStr(FLeft)) + Attribute(u"t", FloatToStr(FTop));
    if (extra.empty())
        return attributes;
    // Each attribute is written once: an attribute that the base difference writes again drops
    // its earlier occurrence, so the element stays well-formed and the reader applies the same
    // final values in the same order.
    auto list = ParseAttributes(attributes);
    const auto later = ParseAttributes(extra);
    std::erase_if(list, [&](const auto& a) {
        return std::any_of(later.begin(), later.end(), [&](const auto& b) { return b.first == a.first; });
    });
    String result;
    for (const auto& [name, value] : list)
        result += Attribute(name, value);
    if (!result.empty())
        result.erase(0, 1);
    for (std::size_t i = 0; i < later.size(); ++i) {
        const bool repeated = std::any_of(later.begin() + std::ptrdiff_t(i) + 1, later.end(),
                                          [&](const auto& b) { return b.first == later[i].first; });
        if (!repeated)
            result += Attribute(later[i].first, later[i].second);
    }
    return result;
}

// ---- TfrxReportComponent ------------------------------------------------------------------

TfrxReportComponent::TfrxReportComponent(TComponent* owner) : TfrxComponent(owner) {}

TfrxReportComponent::~TfrxReportComponent() {
    if (IfrxShiftObject* shift = FShiftObject) {
        FShiftObject = nullptr;
        shift->ComponentDestroyed(this);
    }
}

void TfrxReportComponent::InteractiveDraw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                                          long double offsetY, bool highlighted, TColor hlColor) {
    FHighlighted = highlighted;
    {
        const TScopeExit clear([this] { FHighlighted = false; });
        Draw(canvas, scaleX, scaleY, offsetX, offsetY);
    }
    if (highlighted)
        DrawHighlight(canvas, scaleX, scaleY, offsetX, offsetY, hlColor);
}

void TfrxReportComponent::DrawWithChilds(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                                         long double offsetY, bool highlighted, bool isDesigning) {
    InteractiveDraw(canvas, scaleX, scaleY, offsetX, offsetY, highlighted, clNone);
    DrawChilds(canvas, scaleX, scaleY, offsetX, offsetY, highlighted, isDesigning);
}

void TfrxReportComponent::DrawChilds(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                                     long double offsetY, bool highlighted, bool isDesigning) {
    for (TfrxComponent* child : Objects().Items()) {
        auto* c = dynamic_cast<TfrxReportComponent*>(child);
        if (!c)
            continue;
        c->SetIsDesigning(isDesigning);
        if (!c->IsOwnerDraw())
            c->InteractiveDraw(canvas, scaleX, scaleY, offsetX, offsetY, highlighted, clNone);
    }
}

void TfrxReportComponent::BeforePrint() {
    FOriginalRect = MakeFrxRect(Left(), Top(), Width(), Height());
}

void TfrxReportComponent::AfterPrint() {
    SetBounds(FOriginalRect.Left, FOriginalRect.Top, FOriginalRect.Right, FOriginalRect.Bottom);
}

TfrxRect TfrxReportComponent::GetRealBounds() {
    return MakeFrxRect(AbsLeft(), AbsTop(), AbsLeft() + Width(), AbsTop() + Height());
}

} // namespace vgl
