#include "script/engine/script_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

// Names that meet at the places where the comparison is subtle: ASCII case, letters outside ASCII
// that fold onto ASCII ones (Kelvin sign and k, long s and s), a name that is a prefix of another,
// code unit 127 and units above it against the end of a name, and long shared beginnings.
const char16_t* const kNames[] = {
    u"",
    u"a",
    u"A",
    u"ab",
    u"aB",
    u"b",
    u"_x",
    u"\u00e4",
    u"\u00c4",
    u"k",
    u"K",
    u"\u212a",
    u"s",
    u"\u017f",
    u"S",
    u"st",
    u"\u017ft",
    u"TfrxMemoView",
    u"tfrxmemoview",
    u"TfrxMemoViewX",
    u"TfrxMemoVie",
    u"abcdefghi",
    u"abcdefghiJ",
    u"abcdefghij",
    u"abcdefghi\u00e9",
    u"abcdefgh\u00e9",
    u"\x7f",
    u"\x7f"
    u"a",
    u"\x7e",
    u"x\u0100",
    u"x\u0101",
    u"x\u00ff",
    u"x\u00ff"
    u"a",
};

TEST(ScriptNames, KeysHashesAndTheComparisonAgree) {
    std::vector<String> names;
    for (const char16_t* n : kNames)
        names.emplace_back(n);
    // Code unit 0 inside a name.
    names.push_back(String(u"ab") + Char(0));
    names.push_back(String(u"ab") + Char(0) + u"c");
    for (const String& a : names) {
        for (const String& b : names) {
            const int cmp = fsCompareNames(a, b);
            const int runtime = AnsiCompareText(a, b);
            EXPECT_EQ(cmp, runtime < 0 ? -1 : runtime > 0 ? 1 : 0);
            const std::uint64_t ka = fsNameSortKey(a), kb = fsNameSortKey(b);
            const std::string pair = StringToUtf8(a) + " / " + StringToUtf8(b);
            if (ka < kb) {
                EXPECT_LT(cmp, 0) << pair;
            } else if (ka > kb) {
                EXPECT_GT(cmp, 0) << pair;
            }
            if (cmp == 0) {
                EXPECT_EQ(fsNameHash(a), fsNameHash(b)) << pair;
            }
        }
    }
    // The keys do decide between names that differ early.
    EXPECT_LT(fsNameSortKey(u"Apple"), fsNameSortKey(u"banana"));
    EXPECT_EQ(fsCompareNames(u"\u212a", u"K"), 0);
}

TEST(ScriptNames, TableFindsTheSlotEnteredLastUnderAnEqualName) {
    std::vector<String> names;
    TfsNameTable table;
    const auto nameOf = [&names](std::uint32_t slot) -> StringView { return names[slot]; };
    const auto enter = [&](StringView name) {
        names.emplace_back(name);
        table.Enter(name, std::uint32_t(names.size() - 1), nameOf);
    };
    EXPECT_EQ(table.Find(u"a", nameOf), -1);
    enter(u"Kelvin");
    enter(u"kelvin");
    enter(u"\u212aELVIN"); // the Kelvin sign folds to k
    enter(u"other");
    EXPECT_EQ(table.Find(u"KELVIN", nameOf), 2);
    EXPECT_EQ(table.Find(u"Other", nameOf), 3);
    EXPECT_EQ(table.Find(u"kelvi", nameOf), -1);
    EXPECT_EQ(table.Count(), 2u);
    // Growing keeps every name.
    for (int i = 0; i < 3000; ++i)
        enter(u"n" + IntToStr(i));
    EXPECT_EQ(table.Find(u"KELVIN", nameOf), 2);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(table.Find(u"N" + IntToStr(i), nameOf), std::int64_t(i + 4));
    table.Clear();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Find(u"other", nameOf), -1);
}

} // namespace
} // namespace vgl
