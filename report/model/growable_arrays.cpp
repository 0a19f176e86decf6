#include "report/model/growable_arrays.h"

#include <cstring>
#include <memory>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/rounding.h"

namespace vgl {

namespace {

[[noreturn]] void OutOfBounds() {
    throw EAssertionFailed(u"Index out of bounds");
}

// Frees an object the list owns.
void FreeOwned(TObject*& object) {
    std::unique_ptr<TObject> owned(std::exchange(object, nullptr));
}

} // namespace

void TfrxExtArray::CheckIndex(int index) const {
    if (index < 0 || index >= FCount)
        OutOfBounds();
}

void TfrxExtArray::CheckSlot(int index) const {
    if (index < 0 || index >= FCapacity)
        OutOfBounds();
}

void TfrxExtArray::SetCount(int value) {
    if (value < 0)
        OutOfBounds();
    if (value != FCount && value > FCapacity)
        SetCapacity(value);
    FCount = value;
}

long double TfrxExtArray::GetItem(int index) const {
    CheckSlot(index);
    return FArray[std::size_t(index)];
}

void TfrxExtArray::SetItem(int index, long double value) {
    CheckSlot(index);
    FArray[std::size_t(index)] = value;
}

void TfrxExtArray::SetCapacity(int value) {
    if (value < 0)
        OutOfBounds();
    FArray.resize(std::size_t(value));
    for (int i = FCount; i < value; ++i)
        std::memset(&FArray[std::size_t(i)], FZero ? 0x00 : 0xFF, sizeof(long double));
    FCapacity = value;
}

void TfrxExtArray::Grow() {
    const int delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
    SetCapacity(FCapacity + delta);
}

void TfrxExtArray::Append(long double value) {
    if (FCapacity < FCount + 1)
        Grow();
    ++FCount;
    FArray[std::size_t(FCount - 1)] = value;
}

void TfrxExtArray::Insert(int index, long double value) {
    if (FCapacity < FCount + 1)
        Grow();
    CheckIndex(index);
    ++FCount;
    for (int i = FCount - 1; i > index; --i)
        FArray[std::size_t(i)] = FArray[std::size_t(i - 1)];
    FArray[std::size_t(index)] = value;
}

void TfrxExtArray::Delete(int index) {
    CheckIndex(index);
    for (int i = index; i < FCount - 1; ++i)
        FArray[std::size_t(i)] = FArray[std::size_t(i + 1)];
    --FCount;
}

void TfrxExtArray::Exchange(int index1, int index2) {
    CheckSlot(index1);
    CheckSlot(index2);
    std::swap(FArray[std::size_t(index1)], FArray[std::size_t(index2)]);
}

void TfrxExtArray::Sort(const TCompare& compare, int min, int max) {
    // Recursion goes into the smaller part only, so the depth stays logarithmic.
    while (min < max) {
        const int middle = min + (max - min) / 2;
        CheckIndex(middle);
        const long double pivot = FArray[std::size_t(middle)];
        int i = min, j = max;
        while (i <= j) {
            while (compare(GetItem(i), pivot) < 0)
                ++i;
            while (compare(pivot, GetItem(j)) < 0)
                --j;
            if (i <= j) {
                Exchange(i, j);
                ++i;
                --j;
            }
        }
        if (j - min < max - i) {
            if (min < j)
                Sort(compare, min, j);
            min = i;
        } else {
            if (i < max)
                Sort(compare, i, max);
            max = j;
        }
    }
}

void TfrxExtArray::SortList() {
    Sort(
        [](long double a, long double b) {
            const std::int64_t x = Round(a * 100), y = Round(b * 100);
            return x > y ? 1 : x < y ? -1 : 0;
        },
        0, FCount - 1);
}

void TfrxExtArray::Clear() {
    FCount = 0;
    SetCapacity(0);
}

// ---- TfrxExtendedObjectList -----------------------------------------------------------------

TfrxExtendedObjectList::~TfrxExtendedObjectList() {
    if (FFreeObjects)
        for (int i = 0; i < Count(); ++i)
            FreeOwned(FObjectList[std::size_t(i)]);
}

TObject* TfrxExtendedObjectList::GetObject(int index) const {
    CheckSlot(index);
    return FObjectList[std::size_t(index)];
}

void TfrxExtendedObjectList::SetObject(int index, TObject* value) {
    CheckSlot(index);
    FObjectList[std::size_t(index)] = value;
}

void TfrxExtendedObjectList::SetCapacity(int value) {
    TfrxExtArray::SetCapacity(value);
    FObjectList.resize(std::size_t(value), nullptr);
}

void TfrxExtendedObjectList::AppendObject(long double value, TObject* object) {
    Append(value);
    FObjectList[std::size_t(Count() - 1)] = object;
}

void TfrxExtendedObjectList::InsertObject(int index, long double value, TObject* object) {
    if (Count() == 0) {
        AppendObject(value, object);
        return;
    }
    Insert(index, value);
    for (int i = Count() - 1; i > index; --i)
        FObjectList[std::size_t(i)] = FObjectList[std::size_t(i - 1)];
    FObjectList[std::size_t(index)] = object;
}

void TfrxExtendedObjectList::Delete(int index) {
    TfrxExtArray::Delete(index);
    for (int i = index; i < Count(); ++i)
        FObjectList[std::size_t(i)] = FObjectList[std::size_t(i + 1)];
    FObjectList[std::size_t(Count())] = nullptr;
}

void TfrxExtendedObjectList::Exchange(int index1, int index2) {
    TfrxExtArray::Exchange(index1, index2);
    std::swap(FObjectList[std::size_t(index1)], FObjectList[std::size_t(index2)]);
}

void TfrxExtendedObjectList::Clear() {
    if (FFreeObjects)
        for (int i = 0; i < Count(); ++i)
            FreeOwned(FObjectList[std::size_t(i)]);
    TfrxExtArray::Clear();
}

} // namespace vgl
