#include "platform/rtl/ustring.h"

#include <gtest/gtest.h>

namespace vgl {
namespace {

TEST(Utf8, RoundTripsAllPlanes) {
    const String text = u"a\u00e9\u20ac\U0001F600z";
    EXPECT_EQ(Utf8ToString(StringToUtf8(text)), text);
    EXPECT_EQ(StringToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
}

TEST(Utf8, InvalidInputBecomesReplacementCharacters) {
    struct Case {
        std::string in;
        String out;
    };
    const Case cases[] = {
        {"\xFF", u"\uFFFD"},
        {"a\xC3", u"a\uFFFD"},              // truncated sequence at the end
        {"\xC0\xAF", u"\uFFFD\uFFFD"},      // overlong form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToString(c.in), c.out) << c.in;
        EXPECT_FALSE(IsValidUtf8(c.in));
    }
    EXPECT_EQ(StringToUtf8(String(1, char16_t(0xD800))), "\xEF\xBF\xBD"); // lone surrogate
}

TEST(Utf16, SurrogatePairsAndCodePoints) {
    const String text = u"a\U0001F600\U0010FFFFz";
    EXPECT_FALSE(IsSurrogatePairAt(text, 0));
    EXPECT_TRUE(IsSurrogatePairAt(text, 1));
    EXPECT_FALSE(IsSurrogatePairAt(text, 2)); // a low half does not start a pair
    EXPECT_EQ(CodePointAt(text, 1), U'\U0001F600');
    EXPECT_EQ(CodePointAt(text, 3), U'\U0010FFFF');
    EXPECT_EQ(CodePointAt(text, 5), U'z');
    // Lone halves, a reversed pair and a high half at the end are code units of their own.
    const String lone = {Char(0xDC00), Char(0xD800), u'x', Char(0xDBFF)};
    for (std::size_t i = 0; i < lone.size(); ++i) {
        EXPECT_FALSE(IsSurrogatePairAt(lone, i)) << i;
        EXPECT_EQ(CodePointAt(lone, i), char32_t(lone[i])) << i;
    }
    EXPECT_TRUE(IsSurrogate(0xD800) && IsSurrogate(0xDFFF) && !IsSurrogate(0xD7FF) && !IsSurrogate(0xE000));
    EXPECT_TRUE(IsHighSurrogate(0xDBFF) && !IsHighSurrogate(0xDC00));
    EXPECT_TRUE(IsLowSurrogate(0xDC00) && !IsLowSurrogate(0xDBFF));

    String out;
    for (char32_t c : {U'\uFFFF', U'\U00010000', U'\U0001F600', U'\U0010FFFF'})
        AppendCodePoint(out, c);
    EXPECT_EQ(out, u"\uFFFF\U00010000\U0001F600\U0010FFFF");
}

TEST(CodePages, SingleByteRoundTrips) {
    struct Case {
        int codePage;
        std::string bytes;
        String text;
    };
    const Case cases[] = {
        {1252, "\x80\xE9\x9F", u"\u20AC\u00E9\u0178"},
        {1251, "\xC0\xFF", u"\u0410\u044F"},
        {1250, "\x8A\xB9", u"\u0160\u0105"},
        {1253, "\xC1", u"\u0391"},
        {28591, "\x80\xFF", u"\u0080\u00FF"},
        {1252, "\x81", u"\u0081"}, // undefined C1 byte keeps its value
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodePageToString(c.bytes, c.codePage), c.text) << c.codePage;
        EXPECT_EQ(StringToCodePage(c.text, c.codePage), c.bytes) << c.codePage;
    }
    EXPECT_EQ(StringToCodePage(u"\u0410", 1252), "?");
    EXPECT_EQ(StringToLatin1(u"\u0100a"), "?a");
    EXPECT_EQ(CodePageToString("x", 932), u""); // multi-byte code pages are not converted
}

TEST(CodePages, CharsetTable) {
    EXPECT_EQ(CharsetToCodePage(204), 1251);
    EXPECT_EQ(CharsetToCodePage(1), 1252);
    EXPECT_EQ(CharsetToCodePage(238), 1250);
    EXPECT_EQ(CharsetToCodePage(77), CP_MACCP);
    EXPECT_EQ(CharsetToCodePage(3), 0);
}

} // namespace
} // namespace vgl
