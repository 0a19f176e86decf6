#include "platform/rtl/list.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TList) {}

void TList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
}

int TList::Add(TObject* item) {
    FItems.push_back(item);
    return Count() - 1;
}

void TList::Delete(int index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
}

int TList::IndexOf(const TObject* item) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)] == item)
            return i;
    return -1;
}

void TList::Insert(int index, TObject* item) {
    if (index < 0 || index > Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    FItems.insert(FItems.begin() + index, item);
}

int TList::Remove(const TObject* item) {
    const int index = IndexOf(item);
    if (index >= 0)
        FItems.erase(FItems.begin() + index);
    return index;
}

TObject* TList::Get(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)];
}

void TList::Put(int index, TObject* item) {
    CheckIndex(index);
    FItems[size_t(index)] = item;
}

} // namespace vgl
