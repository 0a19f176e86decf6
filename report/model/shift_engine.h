#pragma once
// The shift engine: when objects of a container (a band, or another object with children) grow
// or shrink while the container is stretched, the objects below them move by the change, each
// by its ShiftMode. Per container and run it builds once a structure that says who lies below
// whom: a list sorted by top for a band with ShiftEngine seLinear, a tree otherwise (none for
// seDontShift), and applies the recorded growths after every stretch.
//
// Each object's ShiftObject is its node; a container's ShiftObject is its structure (a root node
// or a linear list). The nodes do not own their objects; an object freed while it has a node
// tells the node, which forgets it, and a container freed while it has a structure sends the
// structure to the engine's destroy queue, emptied at the next opportunity.

#include <memory>
#include <vector>

#include "report/model/growable_arrays.h"
#include "report/model/report_component.h"

namespace vgl {

class TfrxShiftEngineObject;

/// A node: an object with the objects directly below it. A node may be listed by several parents;
/// it is freed with the last of them.
class TfrxShiftItem : public TObject, public IfrxShiftObject {
public:
    /// An empty node; one reference when it has a parent.
    explicit TfrxShiftItem(TfrxShiftItem* parent = nullptr);
    /// The same for the object, which takes the node as its ShiftObject.
    TfrxShiftItem(TfrxShiftItem* parent, TfrxReportComponent* reportObject);
    /// Clears the object's ShiftObject; frees the children this node alone lists, the others lose
    /// a reference.
    ~TfrxShiftItem() override;
    TfrxShiftItem(const TfrxShiftItem&) = delete;
    TfrxShiftItem& operator=(const TfrxShiftItem&) = delete;
    String ClassName() const override { return u"TfrxShiftItem"; }

    /// Lists an existing node as a child and counts the reference.
    void AddExist(TfrxShiftItem* item);
    /// A new node for the object with this node as parent, neither listed as a child nor set as
    /// the object's ShiftObject.
    std::unique_ptr<TfrxShiftItem> Add(TfrxReportComponent* reportObject);
    /// Unlists the child and frees it when no other parent lists it; nothing for a node not
    /// listed.
    void DeleteClildren(TfrxShiftItem* item);
    /// The object was freed: forgotten.
    void ComponentDestroyed(TfrxReportComponent* component) override;

    int Count() const { return int(FShiftChildren.size()); }
    TfrxShiftItem* Items(int index) const { return FShiftChildren.at(std::size_t(index)); }
    TfrxReportComponent* ReportObject() const { return FReportObject; }
    void SetReportObject(TfrxReportComponent* value) { FReportObject = value; }
    int RefCount() const { return FRefCount; }
    long double Left() const;
    long double Top() const;
    long double Width() const;
    long double Height() const;

    long double FShiftAmount = 0;
    long double FShiftedTo = 0;
    long double FMinDist = 0;
    bool FShifted = false;

protected:
    TfrxReportComponent* FReportObject = nullptr;
    int FRefCount = 0;

private:
    std::vector<TfrxShiftItem*> FShiftChildren;
};

/// The root of a tree; its object is the container.
class TfrxShiftRootItem : public TfrxShiftItem {
public:
    TfrxShiftRootItem(TfrxShiftEngineObject* engine, TfrxReportComponent* reportObject)
        : TfrxShiftItem(nullptr, reportObject), FShiftEngine(engine) {}
    String ClassName() const override { return u"TfrxShiftRootItem"; }
    /// The container was freed: forgotten, and the tree queued for freeing.
    void ComponentDestroyed(TfrxReportComponent* component) override;

private:
    TfrxShiftEngineObject* FShiftEngine;
};

/// The nodes of a seLinear band sorted by their objects' tops; owns its nodes.
class TfrxShiftedObjectList : public TfrxExtendedObjectList, public IfrxShiftObject {
public:
    explicit TfrxShiftedObjectList(TfrxShiftEngineObject* engine) : FShiftEngine(engine) {}
    /// Clears the container's ShiftObject and frees the nodes.
    ~TfrxShiftedObjectList() override;
    String ClassName() const override { return u"TfrxShiftedObjectList"; }
    TfrxShiftItem* Node(int index) const { return static_cast<TfrxShiftItem*>(GetObject(index)); }
    TfrxReportComponent* ParentContainer() const { return FParentContainer; }
    void SetParentContainer(TfrxReportComponent* value) { FParentContainer = value; }
    /// The container was freed: forgotten, and the list queued for freeing.
    void ComponentDestroyed(TfrxReportComponent* component) override;

private:
    TfrxShiftEngineObject* FShiftEngine;
    TfrxReportComponent* FParentContainer = nullptr;
};

/// The shift engine of a layout run (the enumeration of the band option has the plain name).
class TfrxShiftEngineObject : public TObject {
public:
    TfrxShiftEngineObject() = default;
    /// Frees the destroy queue, then every structure.
    ~TfrxShiftEngineObject() override;
    TfrxShiftEngineObject(const TfrxShiftEngineObject&) = delete;
    TfrxShiftEngineObject& operator=(const TfrxShiftEngineObject&) = delete;
    String ClassName() const override { return u"TfrxShiftEngine"; }

    /// Frees every structure built.
    void Clear();
    /// Frees the container's structure when this engine built it.
    void ClearContainer(TfrxReportComponent* container);
    /// The container was freed: its structure waits in the destroy queue.
    void ContainerToDestroyQueue(IfrxShiftObject* structure);
    void ClearDestroyQueue();
    /// Records the object's own height change before a shift (nothing without a node).
    void InitShiftAmount(TfrxReportComponent* object, long double shiftAmount);
    /// Builds the container's structure unless it has one (structures last the whole run).
    void PrepareShiftTree(TfrxReportComponent* container);
    /// Moves the container's objects by the recorded changes.
    void ShiftObjects(TfrxReportComponent* container);

    /// The structures built (entries of freed containers are none).
    int ContainerCount() const { return int(FContainers.size()); }
    int DestroyQueueCount() const { return int(FDestroyQueue.size()); }

private:
    void ShiftTreeNode(TfrxShiftItem* node, long double x);
    void ShiftLinear(TfrxShiftedObjectList& list);

    std::vector<std::unique_ptr<IfrxShiftObject>> FContainers;
    std::vector<std::unique_ptr<IfrxShiftObject>> FDestroyQueue;
};

} // namespace vgl
