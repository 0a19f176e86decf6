#include "platform/rtl/string_list.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {
namespace {

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> result;
    for (int i = 0; i < list.Count(); ++i)
        result.push_back(list[i]);
    return result;
}

using L = std::vector<String>;

TEST(StringList, SortedInsertAndDuplicates) {
    struct Case {
        TDuplicates dup;
        L expected;
        int indexOfLastAdd;
    } cases[] = {
        {dupIgnore, {u"apple", u"b", u"Banana", u"cherry"}, 2},
        {dupAccept, {u"apple", u"b", u"BANANA", u"Banana", u"cherry"}, 2}, // before the first equal line
    };
    for (const Case& c : cases) {
        TStringList list;
        list.SetSorted(true);
        list.Duplicates = c.dup;
        for (const char16_t* s : {u"cherry", u"Banana", u"apple", u"b"})
            list.Add(s);
        // Case-insensitive by default: "BANANA" equals "Banana".
        EXPECT_EQ(list.Add(u"BANANA"), c.indexOfLastAdd);
        EXPECT_EQ(Lines(list), c.expected);
    }
    TStringList list;
    list.SetSorted(true);
    list.Duplicates = dupError;
    list.Add(u"x");
    try {
        list.Add(u"X");
        ADD_FAILURE() << "duplicate accepted";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), u"String list does not allow duplicates");
    }
    EXPECT_EQ(list.Count(), 1);
}

TEST(StringList, FindIndexOfAndCaseSensitivity) {
    TStringList list;
    for (const char16_t* s : {u"b", u"B", u"a", u"c"})
        list.Add(s);
    EXPECT_EQ(list.IndexOf(u"B"), 0); // unsorted: first case-insensitive match
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf(u"B"), 1);
    list.SetSorted(true);
    EXPECT_EQ(Lines(list), (L{u"B", u"a", u"b", u"c"})); // ordinal: upper case first
    list.SetCaseSensitive(false);                        // re-sorts
    int index = -1;
    EXPECT_TRUE(list.Find(u"A", index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(list.Find(u"bb", index));
    EXPECT_EQ(index, 3); // insertion place
    EXPECT_EQ(list.IndexOf(u"zz"), -1);
}

TEST(StringList, SortedListRefusesPositionalChanges) {
    TStringList list;
    list.Add(u"b");
    list.SetSorted(true);
    for (auto op : {+[](TStringList& l) { l.Insert(0, u"a"); }, +[](TStringList& l) { l.Put(0, u"a"); }}) {
        try {
            op(list);
            ADD_FAILURE() << "changed a sorted list";
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), u"Operation not allowed on sorted list");
        }
    }
}

TEST(StringList, IndexErrors) {
    TStringList list;
    list.Add(u"a");
    struct Case {
        std::function<void()> run;
        int index;
    } cases[] = {
        {[&] { list.Get(1); }, 1},
        {[&] { list.Get(-1); }, -1},
        {[&] { list.Delete(5); }, 5},
        {[&] { list.Insert(2, u"x"); }, 2},
        {[&] { list.PutObject(1, nullptr); }, 1},
        {[&] { list.Exchange(0, 3); }, 3},
    };
    for (const Case& c : cases) {
        try {
            c.run();
            ADD_FAILURE() << "index " << c.index << " accepted";
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), Format(u"List index out of bounds (%d)", {c.index}));
        }
    }
    list.Insert(1, u"b"); // inserting at Count appends
    EXPECT_EQ(Lines(list), (L{u"a", u"b"}));
}

TEST(StringList, CommaTextReading) {
    struct Case {
        const char16_t* text;
        L expected;
    } cases[] = {
        {u"a,b,c", {u"a", u"b", u"c"}},
        {u"a b,c", {u"a", u"b", u"c"}}, // blanks separate too
        {u"  a , b  ", {u"a", u"b"}},
        {u"\"a b\",c", {u"a b", u"c"}},
        {u"\"say \"\"hi\"\"\",x", {u"say \"hi\"", u"x"}},
        {u"a,,b", {u"a", u"", u"b"}},
        {u"a,", {u"a", u""}},
        {u"\"\"", {u""}},
        {u"", {}},
        {u"\"open", {u"open"}}, // a missing closing quote ends at the text's end
        {u"\"ab\"cd", {u"ab", u"cd"}},
    };
    for (const Case& c : cases) {
        TStringList list;
        list.SetCommaText(c.text);
        EXPECT_EQ(Lines(list), c.expected) << StringToUtf8(c.text);
    }
}

TEST(StringList, CommaTextWritingRoundTrips) {
    struct Case {
        L lines;
        const char16_t* text;
    } cases[] = {
        {{u"a", u"b"}, u"a,b"},
        {{u"a b", u"c,d", u"say \"x\""}, u"\"a b\",\"c,d\",\"say \"\"x\"\"\""},
        {{u""}, u"\"\""},
        {{u"a", u"", u"b"}, u"a,,b"},
        {{u"tab\there"}, u"\"tab\there\""},
    };
    for (const Case& c : cases) {
        TStringList list;
        for (const String& s : c.lines)
            list.Add(s);
        EXPECT_EQ(list.CommaText(), c.text);
        TStringList back;
        back.SetCommaText(list.CommaText());
        EXPECT_EQ(Lines(back), c.lines);
    }
}

TEST(StringList, DelimitedTextWithStrictDelimiterAndOwnQuote) {
    TStringList list;
    list.Delimiter = u';';
    list.QuoteChar = u'\'';
    list.SetDelimitedText(u"a b;'c;d'; e");
    EXPECT_EQ(Lines(list), (L{u"a", u"b", u"c;d", u"e"}));
    list.StrictDelimiter = true;
    list.SetDelimitedText(u"a b;'c;d'; e");
    EXPECT_EQ(Lines(list), (L{u"a b", u"c;d", u" e"}));
    EXPECT_EQ(list.DelimitedText(), u"a b;'c;d'; e"); // blanks are not quoted when strict
    EXPECT_EQ(list.CommaText(), u"\"a b\",c;d,\" e\"");
    EXPECT_EQ(list.Delimiter, u';'); // CommaText leaves the list's own settings
}

TEST(StringList, NamesAndValues) {
    TStringList list;
    list.SetText(u"Host=example\r\nPort=8099\r\nflag\r\nEmpty=\r\nEq=a=b");
    EXPECT_EQ(list.Values(u"host"), u"example");
    EXPECT_EQ(list.Values(u"Eq"), u"a=b");
    EXPECT_EQ(list.Values(u"missing"), u"");
    EXPECT_EQ(list.Names(0), u"Host");
    EXPECT_EQ(list.Names(2), u""); // no separator: no name
    EXPECT_EQ(list.ValueFromIndex(2), u"");
    EXPECT_EQ(list.ValueFromIndex(4), u"a=b");
    EXPECT_EQ(list.IndexOfName(u"PORT"), 1);
    EXPECT_EQ(list.IndexOfName(u"flag"), -1);

    list.SetValue(u"port", u"80");
    EXPECT_EQ(list[1], u"port=80");
    list.SetValue(u"New", u"1");
    EXPECT_EQ(list[list.Count() - 1], u"New=1");
    list.SetValue(u"Host", u"");
    EXPECT_EQ(list.IndexOfName(u"Host"), -1);

    // In a sorted list the changed line moves to its place instead of leaving an empty line.
    TStringList sorted;
    sorted.SetSorted(true);
    sorted.SetCommaText(u"a=1,m=2");
    sorted.SetValue(u"a", u"z");
    sorted.SetValue(u"b", u"3");
    EXPECT_EQ(Lines(sorted), (L{u"a=z", u"b=3", u"m=2"}));
}

TEST(StringList, TextSplitsAtEveryLineEnd) {
    struct Case {
        const char16_t* text;
        L expected;
    } cases[] = {
        {u"a\r\nb\r\n", {u"a", u"b"}},
        {u"a\nb\rc", {u"a", u"b", u"c"}},
        {u"a\r\n\r\nb", {u"a", u"", u"b"}},
        {u"a\n\rb", {u"a", u"", u"b"}},
        {u"", {}},
        {u"\r\n", {u""}},
    };
    for (const Case& c : cases) {
        TStringList list;
        list.SetText(c.text);
        EXPECT_EQ(Lines(list), c.expected) << StringToUtf8(c.text);
    }
    TStringList list;
    list.SetCommaText(u"a,b");
    EXPECT_EQ(list.Text(), u"a\r\nb\r\n");
}

TEST(StringList, LoadDetectsEncodingAndSaveRoundTrips) {
    struct Case {
        std::string bytes;
        TTextEncoding detected;
    } cases[] = {
        {"\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F\r\n\xE2\x82\xAC", TTextEncoding::UTF8},
        {"gr\xC3\xBC\xC3\x9F\r\n\xE2\x82\xAC", TTextEncoding::Default},                          // valid UTF-8
        {"gr\xFC\xDF\r\n\x80", TTextEncoding::Default},                                          // ANSI 1252
        {std::string("\xFF\xFEg\0r\0\xFC\0\xDF\0\r\0\n\0\xAC\x20", 16), TTextEncoding::Unicode}, // UTF-16 LE
        {std::string("\xFE\xFF\0g\0r\0\xFC\0\xDF\0\r\0\n\x20\xAC", 16), TTextEncoding::BigEndianUnicode},
    };
    for (const Case& c : cases) {
        TStringStream in{RawByteString(c.bytes)};
        TStringList list;
        list.LoadFromStream(in);
        EXPECT_EQ(Lines(list), (L{u"grüß", u"€"})) << c.bytes;
        EXPECT_EQ(list.Encoding(), c.detected);

        // Saving with the default keeps a detected byte-order-mark encoding, else writes UTF-8.
        TMemoryStream out;
        list.SaveToStream(out);
        TStringList back;
        out.SetPosition(0);
        back.LoadFromStream(out);
        EXPECT_TRUE(back.Equals(list));
        EXPECT_EQ(back.Encoding(), c.detected == TTextEncoding::Default ? TTextEncoding::Default : c.detected);
    }
    TStringList list;
    list.Add(u"€");
    TMemoryStream out;
    list.SaveToStream(out, TTextEncoding::UTF8);
    EXPECT_EQ(out.GetSize(), 3 + 3 + 2); // BOM, the euro sign, CR LF
    list.WriteBOM = false;
    out.Clear();
    list.SaveToStream(out, TTextEncoding::Ansi);
    EXPECT_EQ(out.Bytes()[0], 0x80);

    // An explicit encoding skips its own mark and reads nothing else into the text.
    TStringStream marked{RawByteString("\xEF\xBB\xBFx")};
    list.LoadFromStream(marked, TTextEncoding::UTF8);
    EXPECT_EQ(Lines(list), (L{u"x"}));
}

class Tracked : public TObject {
public:
    explicit Tracked(int& alive) : FAlive(alive) { ++FAlive; }
    ~Tracked() override { --FAlive; }

private:
    int& FAlive;
};

TEST(StringList, OwnedObjectsAreFreedOnDeleteClearAndDestruction) {
    int alive = 0;
    {
        TStringList list;
        list.OwnsObjects = true;
        for (const char16_t* s : {u"a", u"b", u"c", u"d"})
            list.AddObject(s, new Tracked(alive));
        EXPECT_EQ(alive, 4);
        list.Delete(0);
        EXPECT_EQ(alive, 3);
        list.Move(0, 2); // moving keeps the object
        EXPECT_EQ(alive, 3);
        EXPECT_EQ(Lines(list), (L{u"c", u"d", u"b"}));
        EXPECT_NE(list.GetObject(2), nullptr);
        list.SetSorted(true);
        list.AddObject(u"B", new Tracked(alive)); // ignored duplicate: its object goes too
        EXPECT_EQ(alive, 3);
        list.SetValue(u"x", u"1");
        list.Clear();
        EXPECT_EQ(alive, 0);
        list.AddObject(u"e", new Tracked(alive));
    }
    EXPECT_EQ(alive, 0);
}

TEST(StringList, CustomSortAssignAndChangeEvents) {
    TStringList list;
    for (const char16_t* s : {u"ccc", u"a", u"bb", u"dddd", u"", u"ee"})
        list.Add(s);
    int changes = 0;
    list.OnChange = [&](TStringList&) { ++changes; };
    list.CustomSort([](TStringList& l, int a, int b) { return int(l[a].size()) - int(l[b].size()); });
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list[0], u"");
    EXPECT_EQ(list[1], u"a");
    EXPECT_EQ(list[5], u"dddd");

    // A comparison that is no order at all must not run off the list.
    list.CustomSort([](TStringList&, int, int) { return -1; });
    list.CustomSort([](TStringList&, int, int) { return 1; });
    EXPECT_EQ(list.Count(), 6);

    list.BeginUpdate();
    list.Add(u"x");
    list.Add(u"y");
    list.EndUpdate();
    EXPECT_EQ(changes, 4); // one per sort, one for the whole update

    TStringList copy;
    copy.Delimiter = u'|';
    copy.Assign(list);
    EXPECT_TRUE(copy.Equals(list));
    EXPECT_EQ(copy.Delimiter, u',');
    copy.Assign(copy); // assigning a list to itself keeps it
    EXPECT_EQ(copy.Count(), 8);
    copy.AddStrings(copy);
    EXPECT_EQ(copy.Count(), 16);
}

} // namespace
} // namespace vgl
