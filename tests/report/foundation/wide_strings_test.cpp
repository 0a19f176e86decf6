#include "report/foundation/wide_strings.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "report/foundation/charset_conversion.h"

namespace vgl {
namespace {

std::vector<String> Lines(const TfrxWideStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

TEST(TfrxWideStrings, InsertInsertsAndPutReplaces) {
    TObject tag;
    struct Case {
        void (*edit)(TfrxWideStrings&);
        std::vector<String> lines;
    };
    const Case cases[] = {
        {[](TfrxWideStrings& l) { l.Insert(1, u"x"); }, {u"a", u"x", u"b"}},
        {[](TfrxWideStrings& l) { l.Insert(0, u"x"); }, {u"x", u"a", u"b"}},
        {[](TfrxWideStrings& l) { l.Insert(2, u"x"); }, {u"a", u"b", u"x"}},
        {[](TfrxWideStrings& l) { l.Put(1, u"x"); }, {u"a", u"x"}},
        {[](TfrxWideStrings& l) { l.Put(2, u"x"); }, {u"a", u"b", u"x"}},
        {[](TfrxWideStrings& l) { l.Delete(0); }, {u"b"}},
    };
    for (const auto& c : cases) {
        TfrxWideStrings list;
        list.Add(u"a");
        list.AddObject(u"b", &tag);
        c.edit(list);
        EXPECT_EQ(Lines(list), c.lines);
    }
    TfrxWideStrings list;
    list.Add(u"a");
    list.AddObject(u"b", &tag);
    list.Put(1, u"c"); // the entry's object stays
    EXPECT_EQ(list.GetObject(1), &tag);
    list.Insert(0, u"z");
    EXPECT_EQ(list.GetObject(2), &tag);
    EXPECT_EQ(list.Get(5), u"");
    EXPECT_EQ(list.GetObject(-1), nullptr);
    list.PutObject(9, &tag); // ignored
    for (int bad : {-1, 4}) {
        try {
            list.Insert(bad, u"x");
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), u"Wide String Out of Bounds");
        }
        EXPECT_THROW(list.Put(bad, u"x"), Exception);
    }
    EXPECT_THROW(list.Delete(3), EStringListError);
    EXPECT_EQ(list.IndexOf(u"c"), 2);
    EXPECT_EQ(list.IndexOf(u"C"), -1);
}

TEST(TfrxWideStrings, TextSplitsAndJoinsLines) {
    struct Case {
        String text;
        std::vector<String> lines;
    };
    const Case cases[] = {
        {u"a\r\nb", {u"a", u"b"}},
        {u"a\r\nb\r\n", {u"a", u"b"}},
        {u"a\r\rb", {u"a", u"", u"b"}},
        {u"a\nb\rc\u2028d\r\n\u2028e", {u"a", u"b", u"c", u"d", u"e"}},
        {String(u"a\0b", 3), {u"a"}},
        {u"", {}},
        {u"\r\n", {u""}},
    };
    for (const auto& c : cases) {
        TfrxWideStrings list;
        list.Add(u"old");
        list.SetText(c.text);
        EXPECT_EQ(Lines(list), c.lines) << StringToUtf8(c.text);
    }
    TfrxWideStrings list;
    list.SetText(u"a\nb");
    EXPECT_EQ(list.Text(), u"a\r\nb\r\n");
}

TEST(TfrxWideStrings, StreamsAsUtf16AndReadsOtherEncodings) {
    TfrxWideStrings list;
    list.SetText(u"\u00e9t\u00e9\r\n\U0001F600");
    TMemoryStream s;
    list.SaveToStream(s);
    EXPECT_EQ(s.GetSize(), 2 * 9); // no byte-order mark
    s.SetPosition(0);
    TfrxWideStrings back;
    back.LoadFromWStream(s);
    EXPECT_EQ(Lines(back), Lines(list));

    struct Case {
        std::string bytes;
        std::vector<String> lines;
    };
    const Case cases[] = {
        {std::string("\xFF\xFE"
                     "a\0\r\0\n\0\xE9\0",
                     10),
         {u"a", u"\u00e9"}},
        {"\xC3\xA9t\xC3\xA9\r\nx", {u"\u00e9t\u00e9", u"x"}}, // UTF-8
        {"\xEF\xBB\xBFok", {u"ok"}},                          // UTF-8 with its mark
        {"caf\xE9 \x80", {u"caf\u00e9 \u20ac"}},              // not UTF-8: ANSI code page
        {"\xFF\xFE", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        TStringStream in(c.bytes);
        TfrxWideStrings l;
        l.LoadFromStream(in);
        EXPECT_EQ(Lines(l), c.lines) << c.bytes;
    }
}

TEST(CharsetConversion, MapsCharsetsToCodePagesAndLocales) {
    EXPECT_EQ(CodePageOfCharset(204), 1251);
    EXPECT_EQ(CodePageOfCharset(1), 1252);
    EXPECT_EQ(CodePageOfCharset(77), CP_MACCP);
    EXPECT_EQ(CodePageOfCharset(255), CP_OEMCP);
    EXPECT_THROW(CodePageOfCharset(99), EOSError);
    EXPECT_EQ(LocaleIdOfCharset(204), 1049);
    EXPECT_EQ(LocaleIdOfCharset(178), 13313);
    EXPECT_EQ(LocaleIdOfCharset(0), kThreadLocale);
    EXPECT_EQ(AnsiTextToWide("\xC0", 204), u"\u0410");
    EXPECT_EQ(AnsiTextToWide("\xC0", 204, 1252), u"\u00c0");
    EXPECT_EQ(WideTextToAnsi(u"\u0410\u4e00", 204), "\xC0?");
    EXPECT_EQ(AnsiTextToWide("", 99), u"");
}

} // namespace
} // namespace vgl
