#pragma once
// Growable arrays of extended-precision values, optionally with an object per item: the shift
// engine keeps, per band, the objects that may move as a list of their top coordinates sorted by
// value. Capacity grows by 4 up to 8 slots, by 16 up to 64 and by a quarter above; new slots read
// NaN (all bytes FF) unless zero fill is on. Every index is checked: Insert and Delete against
// Count, the item, object and Exchange accessors against the capacity (EAssertionFailed
// "Index out of bounds").

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/rtl/object.h"

namespace vgl {

class TfrxExtArray : public TObject {
public:
    /// Negative, zero or positive as the first item orders before, with or after the second.
    using TCompare = std::function<int(long double, long double)>;

    TfrxExtArray() = default;
    ~TfrxExtArray() override = default;
    TfrxExtArray(const TfrxExtArray&) = delete;
    TfrxExtArray& operator=(const TfrxExtArray&) = delete;
    String ClassName() const override { return u"TfrxExtArray"; }

    int Count() const { return FCount; }
    /// Raising Count past the capacity makes the capacity Count; shrinking keeps it.
    void SetCount(int value);
    int Capacity() const { return FCapacity; }
    bool ZeroFill() const { return FZero; }
    void SetZeroFill(bool value) { FZero = value; }

    /// Item access, checked against the capacity.
    long double GetItem(int index) const;
    void SetItem(int index, long double value);

    void Append(long double value);
    /// Inserts before `index` (0 <= index < Count; inserting at Count is Append).
    void Insert(int index, long double value);
    virtual void Delete(int index);
    /// Swaps two items (indexes checked against the capacity).
    virtual void Exchange(int index1, int index2);
    /// Quicksort of items min..max (not stable) through the virtual Exchange.
    void Sort(const TCompare& compare, int min, int max);
    /// Sorts all items by their values in hundredths (closer than a hundredth counts as equal).
    void SortList();
    /// Count and capacity become 0.
    virtual void Clear();

protected:
    void CheckIndex(int index) const;
    void CheckSlot(int index) const;
    virtual void SetCapacity(int value);
    void Grow();

private:
    std::vector<long double> FArray;
    int FCapacity = 0;
    int FCount = 0;
    bool FZero = false;
};

class TfrxExtendedObjectList : public TfrxExtArray {
public:
    TfrxExtendedObjectList() = default;
    ~TfrxExtendedObjectList() override;
    String ClassName() const override { return u"TfrxExtendedObjectList"; }

    /// When set, the list owns the objects of its items and frees them in Clear.
    bool FreeObjects() const { return FFreeObjects; }
    void SetFreeObjects(bool value) { FFreeObjects = value; }
    /// Object access, checked against the capacity.
    TObject* GetObject(int index) const;
    void SetObject(int index, TObject* value);

    void AppendObject(long double value, TObject* object);
    /// On an empty list the same as AppendObject.
    void InsertObject(int index, long double value, TObject* object);
    /// Removes the item; its object is not freed.
    void Delete(int index) override;
    void Exchange(int index1, int index2) override;
    void Clear() override;

protected:
    void SetCapacity(int value) override;

private:
    std::vector<TObject*> FObjectList;
    bool FFreeObjects = false;
};

} // namespace vgl
