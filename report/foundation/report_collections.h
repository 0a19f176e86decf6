#pragma once
// TfrxCollectionItem and TfrxCollection: collections whose items can be matched with the items
// of an ancestor report (a unique integer index that survives saving, a name derived from it, and
// the inherited flag).

#include "platform/rtl/collection.h"

namespace vgl {

class TComponent;
class TReader;
class TWriter;

class TfrxCollectionItem : public TCollectionItem {
    VGL_CLASS(TfrxCollectionItem, TCollectionItem)

    explicit TfrxCollectionItem(TCollection* collection);

    /// Gives this item the next free UniqueIndex of `collection` (the item itself not counted):
    /// 1 when the collection holds no other item or its smallest index is 2 or more, else the
    /// largest index (at least 1) + 1.
    void CreateUniqueIName(const TCollection& collection);

    int UniqueIndex() const { return FUniqueIndex; }
    void SetUniqueIndex(int value) { FUniqueIndex = value; }
    bool IsInherited() const { return FIsInherited; }
    void SetIsInherited(bool value) { FIsInherited = value; }
    /// The name by which an inheriting report finds this item: "frxUIN" + UniqueIndex here.
    virtual String GetInheritedName() const;
    /// Does nothing here.
    virtual void SetInheritedName(const String& value);
    /// True for kinds of item that keep their UniqueIndex in stored files (none here). Such an
    /// item gets its index when it joins a TfrxCollection through Add or Insert.
    virtual bool IsUniqueNameStored() const { return false; }

protected:
    int FUniqueIndex = 0;
    bool FIsInherited = false;
};

class TfrxCollection : public TCollection {
    VGL_CLASS(TfrxCollection, TCollection)

    explicit TfrxCollection(TClass itemClass) : TCollection(itemClass) {}

    /// Hooks for collections that write extra properties of their own; nothing here.
    virtual void SerializeProperties(TWriter& writer, TfrxCollection* ancestor, TComponent* owner);
    virtual void DeserializeProperties(const String& propName, TReader& reader, TfrxCollection* ancestor);
    /// The first item whose InheritedName equals `name` (case-sensitive), or none.
    virtual TfrxCollectionItem* FindByName(const String& name) const;

protected:
    /// Gives a joining item that stores its index a fresh UniqueIndex.
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
};

} // namespace vgl
