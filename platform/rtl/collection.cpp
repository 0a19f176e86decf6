#include "platform/rtl/collection.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"

namespace vgl {

VGL_DEFINE_CLASS(TCollectionItem) {}
VGL_DEFINE_CLASS(TCollection) {}
VGL_DEFINE_CLASS(TOwnedCollection) {}

// ---- TCollectionItem ----------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* collection) {
    // The class check of SetCollection cannot run here: the object is not yet of its final class.
    if (collection)
        collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
    if (FCollection)
        FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
    if (collection == FCollection)
        return;
    if (collection && !InheritsFrom(collection->ItemClass()))
        throw EListError(u"Invalid item class %s", {ClassName()});
    if (FCollection)
        FCollection->RemoveItem(this);
    if (collection)
        collection->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (!FCollection)
        return -1;
    auto& items = FCollection->FItems;
    return int(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int index) {
    int cur = Index();
    if (cur < 0 || cur == index)
        return;
    auto& items = FCollection->FItems;
    if (index < 0 || index >= int(items.size()))
        throw EListError(u"List index out of bounds (%d)", {index});
    items.erase(items.begin() + cur);
    items.insert(items.begin() + index, this);
    Changed(true);
}

TPersistent* TCollectionItem::GetOwner() const {
    return FCollection;
}

String TCollectionItem::GetDisplayName() const {
    return ClassName();
}

String TCollectionItem::GetNamePath() const {
    if (FCollection)
        return FCollection->GetNamePath() + u"[" + ToString(std::to_string(Index())) + u"]";
    return ClassName();
}

void TCollectionItem::Changed(bool allItems) {
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(allItems ? nullptr : this);
}

// ---- TCollection --------------------------------------------------------------------------

TCollection::TCollection(TClass itemClass) : FItemClass(itemClass) {
    if (!itemClass || !itemClass->InheritsFrom(&TCollectionItem::StaticClassInfo()))
        throw EInvalidOperation(u"A collection needs a collection item class");
}

TCollection::~TCollection() {
    FUpdateCount = 1; // no Update calls while the items go
    Clear();
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return FItems[size_t(index)];
}

TCollectionItem* TCollection::Add() {
    std::unique_ptr<TObject> obj = FItemClass->Create();
    auto* item = dynamic_cast<TCollectionItem*>(obj.get());
    if (!item)
        throw EListError(u"Invalid item class %s", {FItemClass->Name()});
    item->SetCollection(this);
    obj.release(); // the collection holds it now
    return item;
}

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) {
    TCollectionItem* item = Items(index);
    Notify(item, cnDeleting);
    delete item;
}

void TCollection::Clear() {
    if (FItems.empty())
        return;
    BeginUpdate();
    while (!FItems.empty()) {
        TCollectionItem* item = FItems.back();
        Notify(item, cnDeleting);
        delete item;
    }
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (TCollectionItem* item : FItems)
        if (item->FID == id)
            return item;
    return nullptr;
}

void TCollection::BeginUpdate() {
    ++FUpdateCount;
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

void TCollection::Assign(const TPersistent* source) {
    auto* other = dynamic_cast<const TCollection*>(source);
    if (!other)
        return TPersistent::Assign(source);
    if (other == this)
        return;
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    Clear();
    for (TCollectionItem* item : other->FItems)
        Add()->Assign(item);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed(TCollectionItem* item) {
    if (FUpdateCount == 0)
        Update(item);
}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Notify(item, cnAdded);
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    Notify(item, cnExtracting);
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it != FItems.end())
        FItems.erase(it);
    item->FCollection = nullptr;
    Changed();
}

} // namespace vgl
