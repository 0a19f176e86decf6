#include "remoting/core/ro_utils.h"

#include <gtest/gtest.h>

#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_strings.h"

namespace vgl {
namespace {

std::vector<String> Lines(const IROStrings& list) {
    return StringListToArray(list.Strings());
}

TEST(ROUtilsTest, StrToDataType) {
    struct Case {
        const char16_t* name;
        int expected;
    } cases[] = {{u"Integer", 0}, {u"int64", 6}, {u"XSDATETIME", 14}, {u"Utf8String", 13}, {u"???", 15},
                 {u"String", 15}, {u"", 15}};
    for (const Case& c : cases)
        EXPECT_EQ(StrToDataType(c.name), c.expected) << StringToUtf8(c.name);
}

TEST(ROUtilsTest, SplitToROStrings) {
    struct Case {
        const char16_t* text;
        const char16_t* separator;
        std::vector<String> pieces;
    } cases[] = {
        {u"", u",", {u""}},
        {u"a,,b", u",", {u"a", u"b"}},
        {u"a,b,", u",", {u"a", u"b", u""}},
        {u"a,'b,c'", u",", {u"a", u"'b,c'"}},
        {u" a , 'x,y' ,z", u",", {u" a ", u" 'x,y' ", u"z"}},
        // A doubled quote inside a section is literal and does not close it.
        {u"a,'b'',c',d", u",", {u"a", u"'b'',c'", u"d"}},
        // Outside a section a doubled quote opens nothing.
        {u"''a,b", u",", {u"''a", u"b"}},
        // A section that is never closed runs to the end.
        {u"a,'b,c", u",", {u"a", u"'b,c"}},
        {u"a::b:c", u"::", {u"a", u"b:c"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(*SplitToROStrings(c.text, c.separator, u'\'')), c.pieces) << StringToUtf8(c.text);
}

TEST(ROUtilsTest, ArraysAndJoining) {
    EXPECT_EQ(JoinStrings({}, u','), u"");
    EXPECT_EQ(JoinStrings({u"one"}, u','), u"one");
    EXPECT_EQ(JoinStrings({u"a", u"", u"c"}, u'|'), u"a||c");
    EXPECT_EQ(SplitToArray(u"a; b;\"c;d\";", u';'), (std::vector<String>{u"a", u"b", u"c;d", u""}));
    EXPECT_EQ(SplitToArray(u"", u';'), std::vector<String>{});
}

TEST(ROUtilsTest, CharacterSets) {
    const TSysCharSet set{u'a', u'\u00E9', u'\u0141'};
    String text = u"banana \u00E9\u0141";
    ReplaceCharsInSet(text, set, u'_');
    EXPECT_EQ(text, u"b_n_n_ _\u0141"); // characters above U+00FF never belong to a set
    RemoveCharsInSet(text, TSysCharSet{u'_', u' '});
    EXPECT_EQ(text, u"bnn\u0141");
}

TEST(ROUtilsTest, EndsWithText) {
    struct Case {
        const char16_t* suffix;
        const char16_t* text;
        bool ignoreCase;
        bool expected;
    } cases[] = {
        {u"", u"abc", false, true},  {u"bc", u"abc", false, true},         {u"BC", u"abc", false, false},
        {u"BC", u"abc", true, true}, {u"\u00C4x", u"\u00E4X", true, true}, {u"abcd", u"abc", true, false},
        {u"", u"", false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EndsWithText(c.suffix, c.text, c.ignoreCase), c.expected)
            << StringToUtf8(c.suffix) << " / " << StringToUtf8(c.text);
}

TEST(ROUtilsTest, Guids) {
    const String a = NewGuidString();
    EXPECT_EQ(a.size(), 38u);
    EXPECT_EQ(a.front(), u'{');
    EXPECT_EQ(a, UpperCase(a));
    EXPECT_EQ(GUIDToString(StringToGUID(a)), a);
    EXPECT_NE(NewGuidString(), a);
    EXPECT_FALSE(IsNullGUID(NewGuid()));
}

TEST(ROUtilsTest, HexTextToBytes) {
    EXPECT_EQ(HexTextToBytes(u"41 42"), "AB");
    EXPECT_EQ(HexTextToBytes(u"ff\r\n00"), std::string("\xFF\x00", 2));
    try {
        HexTextToBytes(u"414");
        ADD_FAILURE() << "odd length accepted";
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"String length must be 2n");
    }
    EXPECT_THROW(HexTextToBytes(u"4142 4G"), EConvertError);
    EXPECT_THROW(HexTextToBytes(u"41\t2"), EConvertError); // tabs are not skipped
}

// A stream that is no memory stream, so that CopyStreamData takes its general road.
class PlainStream : public TStream {
public:
    explicit PlainStream(std::string data = {}) : FData(std::move(data)) {}
    std::int64_t Read(void* buffer, std::int64_t count) override {
        const std::int64_t n =
            std::clamp<std::int64_t>(std::int64_t(FData.size()) - FPos, 0, std::max<std::int64_t>(count, 0));
        std::copy_n(FData.data() + FPos, n, static_cast<char*>(buffer));
        FPos += n;
        return n;
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        if (FPos + count > std::int64_t(FData.size()))
            FData.resize(size_t(FPos + count));
        std::copy_n(static_cast<const char*>(buffer), count, FData.data() + FPos);
        FPos += count;
        return count;
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        FPos = (origin == soBeginning ? 0 : origin == soCurrent ? FPos : std::int64_t(FData.size())) + offset;
        return FPos;
    }
    std::string FData;
    std::int64_t FPos = 0;
};

std::string Content(TStream& s) {
    if (auto* p = dynamic_cast<PlainStream*>(&s))
        return p->FData;
    const auto bytes = dynamic_cast<TMemoryStream&>(s).Bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::unique_ptr<TStream> MakeStream(bool memory, const std::string& data) {
    if (memory)
        return std::make_unique<TROBinaryMemoryStream>(data);
    return std::make_unique<PlainStream>(data);
}

TEST(ROUtilsTest, CopyStreamDataOverEveryKindOfStream) {
    for (const bool memorySource : {true, false})
        for (const bool memoryDest : {true, false}) {
            SCOPED_TRACE(std::string(memorySource ? "memory" : "plain") + " to " + (memoryDest ? "memory" : "plain"));
            // Count 0: the whole source, even from its end.
            auto source = MakeStream(memorySource, "0123456789");
            auto dest = MakeStream(memoryDest, "ab");
            source->Seek(0, soEnd);
            dest->Seek(0, soEnd);
            EXPECT_EQ(CopyStreamData(source.get(), dest.get(), 0), 10);
            EXPECT_EQ(Content(*dest), "ab0123456789");

            // A count copies from the positions on.
            source->SetPosition(3);
            dest->SetPosition(1);
            EXPECT_EQ(CopyStreamData(source.get(), dest.get(), 4), 4);
            EXPECT_EQ(Content(*dest), "a34563456789");
            EXPECT_EQ(source->GetPosition(), 7);
            EXPECT_EQ(dest->GetPosition(), 5);

            // A short source: what it has is copied, then the read error.
            auto shortDest = MakeStream(memoryDest, "");
            source->SetPosition(8);
            EXPECT_THROW(CopyStreamData(source.get(), shortDest.get(), 5), EReadError);
            EXPECT_EQ(Content(*shortDest), "89");
            EXPECT_EQ(source->GetPosition(), 10);
        }
}

TEST(ROUtilsTest, CopyStreamDataErrors) {
    TROBinaryMemoryStream s(AnsiString("abc"));
    struct Case {
        TStream* source;
        TStream* dest;
        std::int64_t count;
        const char16_t* message;
    } cases[] = {
        {nullptr, &s, 0, u"Source must be assigned"},
        {&s, nullptr, 0, u"Dest must be assigned"},
        {nullptr, nullptr, 0, u"Source must be assigned"},
    };
    for (const Case& c : cases) {
        try {
            CopyStreamData(c.source, c.dest, c.count);
            ADD_FAILURE() << "no error";
        } catch (const EROException& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    TROBinaryMemoryStream other;
    EXPECT_THROW(CopyStreamData(&s, &other, -1), EReadError);
    // The same stream on both sides copies nothing but answers the count.
    EXPECT_EQ(CopyStreamData(&s, &s, 0), 3);
    EXPECT_EQ(Content(s), "abc");
}

TEST(ROUtilsTest, ROStringsWrapsAList) {
    auto list = NewROStrings();
    list->Add(u"name=5");
    list->Add(u"other=7");
    EXPECT_TRUE(list->NormalizeName(u"NAME"));
    EXPECT_EQ(list->Items(0), u"NAME=5");
    EXPECT_FALSE(list->NormalizeName(u"missing"));

    String value = u"stale";
    EXPECT_EQ(list->ExtractValue(u"missing", value), -1);
    EXPECT_EQ(value, u"");
    EXPECT_EQ(list->ExtractValue(u"other", value), 1);
    EXPECT_EQ(value, u"7");
    EXPECT_EQ(list->Count(), 1);

    // A sorted list refuses Put; normalising moves the line to its sorted place instead.
    list->Add(u"b=1");
    list->SetSorted(true);
    EXPECT_TRUE(list->NormalizeName(u"B"));
    EXPECT_EQ(Lines(*list), (std::vector<String>{u"B=1", u"NAME=5"}));

    // A list that is not owned outlives the interface.
    TStringList own;
    own.Add(u"x");
    NewROStringsFromList(&own, false)->Add(u"y");
    EXPECT_EQ(own.Count(), 2);
    EXPECT_EQ(TROStrings::CreateCopy(own)->Count(), 2);
}

} // namespace
} // namespace vgl
