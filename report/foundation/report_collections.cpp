#include "report/foundation/report_collections.h"

#include <algorithm>
#include <climits>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxCollectionItem) {}
VGL_DEFINE_CLASS(TfrxCollection) {}

TfrxCollectionItem::TfrxCollectionItem(TCollection* collection) : TCollectionItem(collection) {}

void TfrxCollectionItem::CreateUniqueIName(const TCollection& collection) {
    int smallest = INT_MAX;
    int largest = 1;
    bool any = false;
    for (int i = 0; i < collection.Count(); ++i) {
        const auto* item = dynamic_cast<const TfrxCollectionItem*>(collection.Items(i));
        if (!item || item == this)
            continue;
        any = true;
        smallest = std::min(smallest, item->FUniqueIndex);
        largest = std::max(largest, item->FUniqueIndex);
    }
    if (!any || smallest >= 2)
        FUniqueIndex = 1;
    else if (largest == INT_MAX)
        throw EIntOverflow(u"No free unique index left in the collection");
    else
        FUniqueIndex = largest + 1;
}

String TfrxCollectionItem::GetInheritedName() const {
    return u"frxUIN" + IntToStr(FUniqueIndex);
}

void TfrxCollectionItem::SetInheritedName(const String&) {}

void TfrxCollection::SerializeProperties(TWriter&, TfrxCollection*, TComponent*) {}

void TfrxCollection::DeserializeProperties(const String&, TReader&, TfrxCollection*) {}

TfrxCollectionItem* TfrxCollection::FindByName(const String& name) const {
    for (int i = 0; i < Count(); ++i)
        if (auto* item = dynamic_cast<TfrxCollectionItem*>(Items(i)); item && item->GetInheritedName() == name)
            return item;
    return nullptr;
}

void TfrxCollection::Notify(TCollectionItem* item, TCollectionNotification action) {
    TCollection::Notify(item, action);
    if (action != cnAdded)
        return;
    if (auto* frxItem = dynamic_cast<TfrxCollectionItem*>(item); frxItem && frxItem->IsUniqueNameStored())
        frxItem->CreateUniqueIName(*this);
}

} // namespace vgl
