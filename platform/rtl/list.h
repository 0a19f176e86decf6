#pragma once
// TList: a list of object references that owns nothing.

#include <vector>

#include "platform/rtl/object.h"

namespace vgl {

class TList : public TObject {
    VGL_CLASS(TList, TObject)

    TList() = default;

    int Count() const { return int(FItems.size()); }
    /// Appends `item` (none allowed); the index it got.
    int Add(TObject* item);
    void Clear() { FItems.clear(); }
    /// Raises EListError "List index out of bounds (%d)" outside 0..Count-1.
    void Delete(int index);
    /// Index of the first entry equal to `item`, -1 when none.
    int IndexOf(const TObject* item) const;
    /// Inserts at 0..Count; EListError outside.
    void Insert(int index, TObject* item);
    /// Removes the first entry equal to `item`; the index it had, -1 when none.
    int Remove(const TObject* item);
    /// EListError outside 0..Count-1.
    TObject* Get(int index) const;
    void Put(int index, TObject* item);

private:
    void CheckIndex(int index) const;
    std::vector<TObject*> FItems;
};

} // namespace vgl
