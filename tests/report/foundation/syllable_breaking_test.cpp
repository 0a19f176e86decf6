#include "report/foundation/syllable_breaking.h"

#include <gtest/gtest.h>

namespace vgl {
namespace {

String Positions(std::initializer_list<int> values) {
    String s;
    for (int v : values)
        s += Char(v);
    return s;
}

TEST(SyllableBreaking, HyphenPositions) {
    struct Case {
        const char16_t* Word;
        String Expected;
    } cases[] = {
        {u"ВАННА", Positions({3})}, // a doubled consonant is split between its letters
        {u"КОЛОКОЛ", Positions({2, 4})},
        {u"СЛОЙКА", Positions({4})},    // no break between a vowel and Й
        {u"ПАЛЬТО", Positions({2, 4})}, // none before a soft sign
        {u"ЙОД", {}},                   // three letters: too short
        {u"ДОМ", {}},
        {u"", {}},
        {u"HELLO", {}},
        {u"WINDOW", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RussianHyphenPositions(c.Word), c.Expected) << StringToUtf8(c.Word);
}

TEST(SyllableBreaking, PartHasVowel) {
    EXPECT_FALSE(PartHasVowel(u"А"));
    EXPECT_FALSE(PartHasVowel(u"БВ"));
    EXPECT_TRUE(PartHasVowel(u"БА"));
    EXPECT_FALSE(PartHasVowel(u"BA"));
}

TEST(SyllableBreaking, BreakPart) {
    struct Case {
        const char16_t* Line;
        int Start, Stop;
        const char16_t* Part;
    } cases[] = {
        {u"ВАННА", 1, 5, u"ВАН"},
        {u"ванна", 1, 5, u"ван"}, // kept as written
        {u"ВАННА", 1, 4, u""},    // position 3 leaves no room for the hyphen
        {u"КОЛОКОЛ", 1, 7, u"КОЛО"},
        {u"КОЛОКОЛ", 1, 5, u"КО"},
        {u"КОЛОКОЛ", 1, 3, u""}, // the first position does not fit
        {u"ДОМ КОЛОКОЛ", 5, 11, u"КОЛО"},
        {u"КОЛОКОЛ, ВАННА", 1, 6, u"КОЛО"}, // the word ends before the comma
        {u"ВАННАЯ-ВАННА", 1, 6, u"ВАН"},    // and before a hyphen
        {u"WINDOWS", 1, 6, u""},
        {u"ВАННА", 3, 2, u""}, // nothing fits
    };
    for (const Case& c : cases) {
        StringView line = c.Line;
        EXPECT_EQ(SyllableBreakPart(line, c.Start, c.Stop, int(line.size())), c.Part)
            << StringToUtf8(c.Line) << " " << c.Start << " " << c.Stop;
    }
}

} // namespace
} // namespace vgl
