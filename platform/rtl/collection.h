#pragma once
// TCollection and TCollectionItem: an owned, ordered list of items of one class, each with a
// stable ID, and TOwnedCollection, a collection that names its owner.

#include <vector>

#include "platform/rtl/persistent.h"
#include "platform/rtl/reflection.h"

namespace vgl {

class TCollection;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
    VGL_CLASS(TCollectionItem, TPersistent)

    /// Creates the item; with a collection, the collection holds it and frees it.
    explicit TCollectionItem(TCollection* collection);
    /// Leaves the collection.
    ~TCollectionItem() override;
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;

    TCollection* Collection() const { return FCollection; }
    /// Moves the item into another collection (none: the caller takes it over). Raises
    /// EListError "Invalid item class %s" when the collection holds another item class.
    void SetCollection(TCollection* collection);
    /// Unique within the collection, given in order of adding, never reused.
    int ID() const { return FID; }
    /// Position in the collection (-1 without one).
    int Index() const;
    /// Moves the item to another position.
    void SetIndex(int index);
    TPersistent* GetOwner() const override;
    /// The text that names the item in messages; the class name by default.
    virtual String GetDisplayName() const;
    String GetNamePath() const override;

protected:
    /// Tells the collection that this item (or, with allItems, every item) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TPersistent {
    VGL_CLASS(TCollection, TPersistent)

    /// A collection of items of `itemClass` (a TCollectionItem class with a factory).
    explicit TCollection(TClass itemClass);
    /// Frees every item (last first).
    ~TCollection() override;
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    TClass ItemClass() const { return FItemClass; }
    int Count() const { return int(FItems.size()); }
    /// Raises EListError "List index out of bounds (%d)".
    TCollectionItem* Items(int index) const;
    /// A new item of the item class at the end.
    TCollectionItem* Add();
    /// A new item at `index` (0..Count).
    TCollectionItem* Insert(int index);
    /// Frees the item at `index`.
    void Delete(int index);
    /// Frees every item.
    void Clear();
    /// The item with that ID, or none.
    TCollectionItem* FindItemID(int id) const;

    /// Between BeginUpdate and the matching EndUpdate, Update is not called; EndUpdate calls it
    /// once.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    /// Copies the items of another collection (each new item assigned from its counterpart).
    void Assign(const TPersistent* source) override;

protected:
    /// An item changed (none: the collection as a whole). Nothing by default.
    virtual void Update(TCollectionItem* item);
    /// An item was added, is leaving, or is about to be freed. Nothing by default.
    virtual void Notify(TCollectionItem* item, TCollectionNotification action);
    /// Calls Update(item) unless an update is in progress.
    void Changed(TCollectionItem* item = nullptr);

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);

    TClass FItemClass;
    std::vector<TCollectionItem*> FItems; // owned
    int FNextID = 0;
    int FUpdateCount = 0;
};

/// A collection that knows the persistent it belongs to (GetOwner).
class TOwnedCollection : public TCollection {
    VGL_CLASS(TOwnedCollection, TCollection)

    TOwnedCollection(TPersistent* owner, TClass itemClass) : TCollection(itemClass), FOwner(owner) {}
    TPersistent* GetOwner() const override { return FOwner; }

private:
    TPersistent* FOwner;
};

} // namespace vgl
