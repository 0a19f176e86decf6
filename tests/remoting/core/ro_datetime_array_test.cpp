#include <gtest/gtest.h>

#include "remoting/core/ro_array.h"
#include "tests/remoting/core/ro_test_types.h"

namespace vgl {
namespace {

TEST(RODateTimeArrayTest, DumpsAndTravelsAsDateTimes) {
    TROArrayOf<TRODateTimeElement> dates;
    dates.Add(45027.5); // 2023-04-11 12:00
    dates.Add(0.25);
    EXPECT_EQ(&dates.GetItemType(), &DateTimeTypeInfo());
    EXPECT_EQ(dates.ContentAsString(), u"TROArray:TDateTime\r\n  item1=45027.50\r\n  item2=0.25\r\n");

    TRecordingSerializer w;
    dates.WriteComplex(w);
    EXPECT_EQ(w.Log, (std::vector<String>{u"WriteDateTime item 45027.5", u"WriteDateTime item 0.25"}));
    TRecordingSerializer r;
    r.Input[u"item"] = u"1.5";
    dates.ReadComplex(r);
    EXPECT_EQ(r.Names(u"ReadDateTime").size(), 2u);
    EXPECT_EQ(dates.GetItems(1), 1.5);

    // Plain doubles stay doubles.
    TROArrayOf<double> numbers;
    numbers.Add(0.5);
    EXPECT_EQ(numbers.ContentAsString(), u"TROArray:Double\r\n  item1=0.50\r\n");
}

} // namespace
} // namespace vgl
