#include "report/model/selected_objects.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/persistent.h"
#include "report/model/report_component.h"

namespace vgl {

TObject* TfrxSelectedObjectsList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FItems[std::size_t(index)];
}

int TfrxSelectedObjectsList::IndexOf(const TObject* item) const {
    const auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

int TfrxSelectedObjectsList::Add(TObject* item) {
    if (const int index = IndexOf(item); index >= 0)
        return index;
    FUpdated = true;
    if (dynamic_cast<TPersistent*>(item) &&
        std::find(FInspSelectedObjects.begin(), FInspSelectedObjects.end(), item) == FInspSelectedObjects.end())
        FInspSelectedObjects.push_back(item);
    if (!dynamic_cast<TfrxReportComponent*>(item))
        return -1;
    FItems.push_back(item);
    return Count() - 1;
}

int TfrxSelectedObjectsList::Remove(TObject* item) {
    const int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    return index;
}

void TfrxSelectedObjectsList::Delete(int index) {
    TObject* item = Items(index);
    FItems.erase(FItems.begin() + index);
    if (FItems.empty())
        FInspSelectedObjects.clear();
    else
        std::erase(FInspSelectedObjects, item);
    FUpdated = true;
}

void TfrxSelectedObjectsList::Clear() {
    while (!FItems.empty())
        Delete(Count() - 1);
}

} // namespace vgl
