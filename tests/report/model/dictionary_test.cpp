#include "report/model/dictionary.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

TEST(DictionaryTest, NamesMapToSourcesWithoutLetterCase) {
    TfrxDictionary dictionary;
    dictionary.Add(u"m1", u"Page1.Memo1", nullptr);
    dictionary.Add(u"b1", u"Page1.MasterData1", nullptr);
    dictionary.Add(u"M1", u"Page1.Memo2", nullptr); // already listed: keeps its first source
    EXPECT_EQ(dictionary.GetSourceName(u"M1"), u"Page1.Memo1");
    EXPECT_EQ(dictionary.GetSourceName(u"b1"), u"Page1.MasterData1");
    EXPECT_EQ(dictionary.GetSourceName(u"x9"), u"");
    EXPECT_EQ(dictionary.GetObject(u"x9"), nullptr);
    EXPECT_EQ(dictionary.NameCount(), 2);
    EXPECT_EQ(dictionary.SourceCount(), 3);
    dictionary.Clear();
    EXPECT_EQ(dictionary.NameCount() + dictionary.SourceCount(), 0);
}

TEST(DictionaryTest, UniqueNamesAndTheirProbes) {
    TfrxDictionary dictionary;
    EXPECT_EQ(dictionary.AddUnique(u"m", u"P.Memo1", nullptr), u"m1");
    dictionary.Add(u"l1", u"P.Line1", nullptr);
    dictionary.Add(u"s1", u"P.Shape1", nullptr);
    // Three names: no probes.
    EXPECT_EQ(dictionary.CreateUniqueName(u"m"), u"m2");
    EXPECT_EQ(dictionary.NameCount(), 3);

    TfrxDictionary five;
    for (int i = 1; i <= 5; ++i)
        five.Add(u"m" + IntToStr(i), u"P.Memo" + IntToStr(i), nullptr);
    EXPECT_EQ(five.CreateUniqueName(u"m"), u"m6");
    EXPECT_EQ(five.GetSourceName(u"m0"), u"P.Memo1"); // probes point at the first source
    EXPECT_EQ(five.GetSourceName(u"mA"), u"P.Memo1");
    EXPECT_EQ(five.NameCount(), 7);

    // A gap below the count: the search walks down to the highest name in use, then up.
    TfrxDictionary gaps;
    for (int i : {1, 2, 3, 7})
        gaps.Add(u"m" + IntToStr(i), u"P.Memo", nullptr);
    EXPECT_EQ(gaps.CreateUniqueName(u"m"), u"m4");
    // Where the walk down from the count ends: on a name in use, or below every number.
    struct Case {
        std::vector<int> InUse;
        const char16_t* Expected;
    };
    for (const Case& c : {Case{{1, 2, 3, 4, 5, 6}, u"m7"}, Case{{5, 6, 7, 8}, u"m1"}, Case{{2, 4, 6, 8, 10}, u"m5"},
                          Case{{1, 10, 11, 12}, u"m2"}}) {
        TfrxDictionary d;
        for (int i : c.InUse)
            d.Add(u"m" + IntToStr(i), u"P.Memo", nullptr);
        EXPECT_EQ(d.CreateUniqueName(u"m"), c.Expected) << c.InUse.size();
    }
    // Many names of one base: every name stays unique.
    TfrxDictionary many;
    for (int i = 0; i < 300; ++i) {
        String name = many.AddUnique(i % 2 ? u"m" : u"b", u"P.X", nullptr);
        EXPECT_EQ(many.GetSourceName(name), u"P.X");
    }
    EXPECT_EQ(many.SourceCount(), 300);
    EXPECT_EQ(many.NameCount(), 304);
}

} // namespace
} // namespace vgl
