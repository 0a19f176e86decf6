#include "report/model/growable_arrays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

TEST(GrowableArrays, CapacityGrowsBy4Then16ThenAQuarter) {
    TfrxExtArray a;
    std::vector<int> capacities;
    for (int i = 0; i < 95; ++i) {
        a.Append(i);
        if (capacities.empty() || capacities.back() != a.Capacity())
            capacities.push_back(a.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95}));
    EXPECT_EQ(a.GetItem(94), 94);
}

TEST(GrowableArrays, NewSlotsReadNaNOrZero) {
    TfrxExtArray a;
    a.Append(1);
    a.SetCount(10);
    EXPECT_TRUE(std::isnan(a.GetItem(5)));
    TfrxExtArray z;
    z.SetZeroFill(true);
    z.SetCount(10);
    EXPECT_EQ(z.GetItem(9), 0);
    z.SetCount(2); // shrinking keeps the capacity
    EXPECT_EQ(z.Capacity(), 10);
}

TEST(GrowableArrays, IndexesAreChecked) {
    TfrxExtArray a;
    a.Append(1);
    a.Append(2);
    try {
        a.Insert(a.Count(), 3);
        FAIL() << "Insert at Count";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), u"Index out of bounds");
    }
    EXPECT_EQ(a.Count(), 2);
    EXPECT_EQ(a.GetItem(0), 1);
    EXPECT_EQ(a.GetItem(1), 2);
    a.Append(3);
    EXPECT_EQ(a.GetItem(2), 3);
    a.Insert(0, 0);
    EXPECT_EQ(a.GetItem(0), 0);
    EXPECT_EQ(a.GetItem(3), 3);
    EXPECT_THROW(a.Delete(-1), EAssertionFailed);
    EXPECT_THROW(a.Delete(4), EAssertionFailed);
    // Accessors and Exchange are checked against the storage.
    EXPECT_THROW(a.GetItem(a.Capacity()), EAssertionFailed);
    EXPECT_THROW(a.SetItem(-1, 0), EAssertionFailed);
    EXPECT_THROW(a.Exchange(0, a.Capacity()), EAssertionFailed);
    TfrxExtendedObjectList list;
    EXPECT_THROW(list.GetObject(0), EAssertionFailed);
    EXPECT_THROW(list.SetObject(0, nullptr), EAssertionFailed);
}

TEST(GrowableArrays, SortListByHundredthsMovesObjectsWithValues) {
    TfrxExtendedObjectList list;
    TObject a, b, c, d;
    list.AppendObject(1.006L, &a);
    list.AppendObject(1.004L, &b);
    list.AppendObject(0.5L, &c);
    list.AppendObject(1.001L, &d);
    list.SortList();
    EXPECT_EQ(list.GetItem(0), 0.5L);
    EXPECT_EQ(list.GetObject(0), &c);
    EXPECT_EQ(list.GetItem(3), 1.006L); // after 1.001 and 1.004, which compare equal
    EXPECT_EQ(list.GetObject(3), &a);
    for (int i = 0; i < 4; ++i) {
        const long double v = list.GetItem(i);
        TObject* o = list.GetObject(i);
        EXPECT_TRUE((v == 1.006L && o == &a) || (v == 1.004L && o == &b) || (v == 0.5L && o == &c) ||
                    (v == 1.001L && o == &d));
    }

    TfrxExtArray many;
    for (int i = 0; i < 2000; ++i)
        many.Append((i * 7919) % 2000);
    many.SortList();
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(many.GetItem(i), i);
}

struct Counted : TObject {
    explicit Counted(int& live) : Live(live) { ++Live; }
    ~Counted() override { --Live; }
    int& Live;
};

TEST(GrowableArrays, ClearFreesEachOwnedObjectOnce) {
    int live = 0;
    std::vector<std::unique_ptr<TObject>> deleted; // Delete hands the object back to its owner
    {
        TfrxExtendedObjectList list;
        list.SetFreeObjects(true);
        list.InsertObject(5, 1, new Counted(live)); // on an empty list: appended
        for (int i = 0; i < 9; ++i)
            list.InsertObject(0, i, new Counted(live));
        EXPECT_EQ(live, 10);
        for (int index : {3, 0}) {
            deleted.emplace_back(list.GetObject(index));
            list.Delete(index);
            EXPECT_EQ(list.GetObject(list.Count()), nullptr); // no reference left in the freed slot
        }
        list.Clear();
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(list.Capacity(), 0);
        EXPECT_EQ(live, 2); // the deleted items' objects only
        list.AppendObject(1, new Counted(live));
    }
    EXPECT_EQ(live, 2); // the list's destruction freed the last one
    deleted.clear();
    EXPECT_EQ(live, 0);
}

} // namespace
} // namespace vgl
