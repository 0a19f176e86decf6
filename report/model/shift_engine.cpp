#include "report/model/shift_engine.h"

#include <algorithm>
#include <cmath>

#include "report/foundation/utilities.h"
#include "report/model/bands.h"
#include "report/model/view.h"

namespace vgl {

namespace {

constexpr long double kTolerance = 1e-4L;

// A stand-in object that only supplies the rectangle of a tree's root.
class TShiftRootArea : public TfrxReportComponent {
public:
    TShiftRootArea() : TfrxReportComponent(nullptr) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
};

TfrxRectArea AreaOf(const TfrxComponent& c) {
    const long double left = c.AbsLeft(), top = c.AbsTop();
    return TfrxRectArea(left, top, left + c.Width(), top + c.Height());
}

TfrxShiftMode ShiftModeOf(const TfrxComponent* c) {
    const auto* view = dynamic_cast<const TfrxView*>(c);
    return view ? view->ShiftMode() : smAlways;
}

bool IsBand(const TfrxComponent* c) {
    return InheritsFromClassName(c, u"TfrxBand");
}

} // namespace

// ---- Nodes -----------------------------------------------------------------------------------

TfrxShiftItem::TfrxShiftItem(TfrxShiftItem* parent) : FRefCount(parent ? 1 : 0) {}

TfrxShiftItem::TfrxShiftItem(TfrxShiftItem* parent, TfrxReportComponent* reportObject) : TfrxShiftItem(parent) {
    FReportObject = reportObject;
    if (reportObject)
        reportObject->SetShiftObject(this);
}

TfrxShiftItem::~TfrxShiftItem() {
    if (FReportObject && FReportObject->ShiftObject() == this)
        FReportObject->SetShiftObject(nullptr);
    for (TfrxShiftItem* child : FShiftChildren)
        if (child->FRefCount < 2)
            delete child; // the last parent frees the node
        else
            --child->FRefCount;
}

void TfrxShiftItem::AddExist(TfrxShiftItem* item) {
    FShiftChildren.push_back(item);
    ++item->FRefCount;
}

std::unique_ptr<TfrxShiftItem> TfrxShiftItem::Add(TfrxReportComponent* reportObject) {
    auto item = std::make_unique<TfrxShiftItem>(this);
    item->FReportObject = reportObject;
    return item;
}

void TfrxShiftItem::DeleteClildren(TfrxShiftItem* item) {
    auto it = std::find(FShiftChildren.begin(), FShiftChildren.end(), item);
    if (it == FShiftChildren.end())
        return;
    FShiftChildren.erase(it);
    if (item->FRefCount < 2)
        delete item; // no other parent lists it
    else
        --item->FRefCount;
}

void TfrxShiftItem::ComponentDestroyed(TfrxReportComponent* component) {
    if (component == FReportObject)
        FReportObject = nullptr;
}

long double TfrxShiftItem::Left() const {
    return FReportObject ? FReportObject->Left() : 0;
}
long double TfrxShiftItem::Top() const {
    return FReportObject ? FReportObject->Top() : 0;
}
long double TfrxShiftItem::Width() const {
    return FReportObject ? FReportObject->Width() : 0;
}
long double TfrxShiftItem::Height() const {
    return FReportObject ? FReportObject->Height() : 0;
}

void TfrxShiftRootItem::ComponentDestroyed(TfrxReportComponent* component) {
    if (component != FReportObject)
        return;
    TfrxShiftItem::ComponentDestroyed(component);
    if (FShiftEngine)
        FShiftEngine->ContainerToDestroyQueue(this);
}

TfrxShiftedObjectList::~TfrxShiftedObjectList() {
    if (FParentContainer && FParentContainer->ShiftObject() == this)
        FParentContainer->SetShiftObject(nullptr);
    Clear(); // frees the nodes while this list still exists
}

void TfrxShiftedObjectList::ComponentDestroyed(TfrxReportComponent* component) {
    if (component != FParentContainer)
        return;
    FParentContainer = nullptr;
    if (FShiftEngine)
        FShiftEngine->ContainerToDestroyQueue(this);
}

// ---- Engine ----------------------------------------------------------------------------------

TfrxShiftEngineObject::~TfrxShiftEngineObject() {
    ClearDestroyQueue();
    Clear();
}

void TfrxShiftEngineObject::Clear() {
    // A structure being freed clears its container's link; the list is emptied first so that no
    // notice reaches a half-freed list.
    auto containers = std::move(FContainers);
    FContainers.clear();
    containers.clear();
}

void TfrxShiftEngineObject::ClearContainer(TfrxReportComponent* container) {
    if (!container || !container->ShiftObject())
        return;
    auto it = std::find_if(FContainers.begin(), FContainers.end(),
                           [&](const auto& entry) { return entry.get() == container->ShiftObject(); });
    if (it == FContainers.end())
        return;
    auto structure = std::move(*it);
    FContainers.erase(it);
    container->SetShiftObject(nullptr);
    structure.reset();
}

void TfrxShiftEngineObject::ContainerToDestroyQueue(IfrxShiftObject* structure) {
    auto it = std::find_if(FContainers.begin(), FContainers.end(),
                           [&](const auto& entry) { return entry.get() == structure; });
    if (it != FContainers.end())
        FDestroyQueue.push_back(std::move(*it)); // the entry stays, as none
}

void TfrxShiftEngineObject::ClearDestroyQueue() {
    auto queue = std::move(FDestroyQueue);
    FDestroyQueue.clear();
    queue.clear();
}

void TfrxShiftEngineObject::InitShiftAmount(TfrxReportComponent* object, long double shiftAmount) {
    auto* node = object ? dynamic_cast<TfrxShiftItem*>(object->ShiftObject()) : nullptr;
    if (!node)
        return;
    node->FShiftAmount = shiftAmount;
    node->FShiftedTo = 0;
    object->UnlockAnchorsUpdate();
    node->FMinDist = 0;
    node->FShifted = false;
}

void TfrxShiftEngineObject::PrepareShiftTree(TfrxReportComponent* container) {
    ClearDestroyQueue();
    if (!container || container->ShiftObject())
        return;
    const auto* band = dynamic_cast<const TfrxBand*>(container);
    if (band && band->ShiftEngine == seDontShift)
        return;

    auto list = std::make_unique<TfrxShiftedObjectList>(this);
    const long double width = container->Width();
    if (width > 0)
        for (TfrxComponent* child : container->Objects().Items()) {
            auto* object = dynamic_cast<TfrxReportComponent*>(child);
            if (!object)
                continue;
            const long double left = object->Left(), right = object->Left() + object->Width();
            if ((left >= 0 && left <= width) || (right >= 0 && right <= width))
                list->AppendObject(object->Top(), new TfrxShiftItem(nullptr, object));
        }
    list->SortList();

    if (band && band->ShiftEngine == seLinear) {
        list->SetFreeObjects(true);
        list->SetParentContainer(container);
        container->SetShiftObject(list.get());
        FContainers.push_back(std::move(list));
        return;
    }

    // Tree. The root's area lies across the container's width above every object, so that each
    // object is below it (an object at the container's upper edge too).
    long double top = container->AbsTop();
    for (int i = 0; i < list->Count(); ++i)
        top = std::min(top, list->Node(i)->ReportObject()->AbsTop());
    TShiftRootArea area;
    area.SetBounds(container->AbsLeft(), top - 2, width + 1, 1);
    auto root = std::make_unique<TfrxShiftRootItem>(this, &area);

    std::vector<TfrxShiftItem*> nodes{root.get()};
    std::vector<TfrxRectArea> areas{AreaOf(area)};
    for (int i = 0; i < list->Count(); ++i) {
        nodes.push_back(list->Node(i));
        areas.push_back(AreaOf(*list->Node(i)->ReportObject()));
    }
    list->Clear(); // the tree owns the nodes from here

    for (std::size_t i = 0; i < nodes.size(); ++i) {
        TfrxShiftItem* q = nodes[i];
        const TfrxRectArea& a = areas[i];
        const bool canParent = i == 0 || q->RefCount() > 0;
        for (std::size_t j = i + 1; canParent && j < nodes.size(); ++j) {
            const TfrxRectArea& rb = areas[j];
            if (a.InterceptsY(rb) || !(a.Y < rb.Y) || !a.InterceptsX(rb))
                continue;
            const TfrxRectArea x = *a.InterceptX(rb);
            const bool bHasHeight = nodes[j]->ReportObject()->Height() > 0;
            bool blocked = false;
            for (std::size_t k = j - 1; k > i && !blocked; --k) {
                const TfrxRectArea& rc = areas[k];
                const bool considered =
                    (bHasHeight && nodes[k]->ReportObject() && nodes[k]->ReportObject()->Height() > 0) ||
                    rb.Y - rc.Y > kTolerance;
                blocked = considered && !rc.InterceptsY(a) && !rc.InterceptsY(rb) && rc.InterceptsX(x);
            }
            if (!blocked)
                q->AddExist(nodes[j]);
        }
        if (i > 0 && q->RefCount() == 0) {
            delete q; // clears the object's ShiftObject
            nodes[i] = nullptr;
        }
    }
    area.SetShiftObject(nullptr);
    root->SetReportObject(container);
    container->SetShiftObject(root.get());
    FContainers.push_back(std::move(root));
}

void TfrxShiftEngineObject::ShiftObjects(TfrxReportComponent* container) {
    ClearDestroyQueue();
    if (!container)
        return;
    IfrxShiftObject* structure = container->ShiftObject();
    if (auto* root = dynamic_cast<TfrxShiftRootItem*>(structure))
        ShiftTreeNode(root, 0);
    else if (auto* list = dynamic_cast<TfrxShiftedObjectList*>(structure))
        ShiftLinear(*list);
}

void TfrxShiftEngineObject::ShiftTreeNode(TfrxShiftItem* s, long double x) {
    TfrxReportComponent* r = s->ReportObject();
    s->FShifted = true;
    s->FShiftedTo = x;
    if (x != 0 && r)
        r->LockAnchorsUpdate();
    const bool hasParents = s->RefCount() > 0;
    const bool isRoot = dynamic_cast<TfrxShiftRootItem*>(s) != nullptr;
    const long double bottom = s->Top() + s->Height();

    for (int i = 0; i < s->Count(); ++i) {
        TfrxShiftItem* c = s->Items(i);
        TfrxReportComponent* o = c->ReportObject();
        if (!o)
            continue;
        const long double prev = c->FShiftedTo;
        long double d = prev;
        if (c->FMinDist > 0 && hasParents && (c->FMinDist > bottom || !FloatsDiffer(c->FMinDist, bottom)))
            continue; // a parent at least as low has placed it
        if (c->FMinDist > 0 && hasParents && bottom > c->FMinDist && prev > 0)
            o->SetTop(o->Top() - (prev - c->FShiftAmount)); // the other parent's move is taken back
        else if (c->FShiftedTo != 0 && x != 0)
            o->SetTop(o->Top() - prev);

        const TfrxShiftMode mode = ShiftModeOf(o);
        if (mode == smAlways || x < 0) {
            o->SetTop(o->Top() + x);
            d = x + c->FShiftAmount;
        } else if (mode == smWhenOverlapped) {
            // Only an object that is not the container itself can overlap a child.
            if (!isRoot && r && !IsBand(r) && o->Top() < r->Top() + r->Height()) {
                const long double move = r->Top() + r->Height() - o->Top();
                o->SetTop(r->Top() + r->Height());
                d = move + c->FShiftAmount;
            }
        } else {
            d = c->FShiftAmount;
        }
        if (hasParents)
            c->FMinDist = std::max(bottom, c->FMinDist);
        if (!c->FShifted || std::fabs((double)(c->FShiftedTo - d)) >= (double)kTolerance)
            ShiftTreeNode(c, d);
    }
}

void TfrxShiftEngineObject::ShiftLinear(TfrxShiftedObjectList& list) {
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
        TfrxShiftItem* a = list.Node(i);
        TfrxReportComponent* oa = a ? a->ReportObject() : nullptr;
        if (!oa)
            continue;
        const long double amount = a->FShiftAmount, moved = a->FShiftedTo;
        for (int j = i + 1; j < count; ++j) {
            TfrxShiftItem* b = list.Node(j);
            TfrxReportComponent* ob = b ? b->ReportObject() : nullptr;
            if (!ob)
                continue;
            const TfrxShiftMode mode = ShiftModeOf(ob);
            if (mode == smDontShift || ob->Top() < oa->Top() + oa->Height() - amount - kTolerance)
                continue;
            if (mode == smWhenOverlapped && !(ob->Left() <= oa->Left() + oa->Width() - kTolerance &&
                                              oa->Left() <= ob->Left() + ob->Width() - kTolerance))
                continue;
            const long double bottom = moved + oa->Top() + oa->Height();
            long double t = b->FShiftedTo;
            if (amount > 0 || (b->FShifted && t + ob->Top() < bottom))
                t = std::max(t, moved + amount);
            else
                t = std::min(t, moved + amount);
            if (b->FShifted && t + ob->Top() < b->FMinDist)
                break;
            b->FMinDist = std::max(bottom, b->FMinDist);
            b->FShiftedTo = t;
            b->FShifted = true;
        }
    }
    for (int i = 0; i < count; ++i)
        if (TfrxShiftItem* node = list.Node(i); node && node->ReportObject())
            node->ReportObject()->SetTop(node->ReportObject()->Top() + node->FShiftedTo);
}

} // namespace vgl
