#include "remoting/core/ro_binary_memory_stream.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

std::string Content(const TMemoryStream& s) {
    const auto bytes = s.Bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(ROBinaryMemoryStreamTest, LoadFromHexString) {
    struct Case {
        const char16_t* text;
        std::string bytes;
    } cases[] = {
        {u"0a 1B\r\n", "\x0A\x1B"},
        {u"", ""},
        {u" \r\n ", ""},
        {u"00FFff7f", std::string("\x00\xFF\xFF\x7F", 4)},
    };
    for (const Case& c : cases) {
        TROBinaryMemoryStream s(AnsiString("old"));
        s.SetPosition(2);
        s.LoadFromHexString(c.text);
        EXPECT_EQ(Content(s), c.bytes) << StringToUtf8(c.text);
        EXPECT_EQ(s.GetPosition(), 0);
    }
}

TEST(ROBinaryMemoryStreamTest, BadHexTextLeavesTheStreamUnchanged) {
    struct Case {
        const char16_t* text;
        const char16_t* className;
        const char16_t* message;
    } cases[] = {
        {u"abc", u"Exception", u"String length must be 2n"},
        // A pair that is not hexadecimal is an error, not a silent run of zero bytes.
        {u"zz00", u"EConvertError", u"'zz' is not a valid hexadecimal byte"},
        {u"00\t1", u"EConvertError", u"'\t1' is not a valid hexadecimal byte"},
    };
    for (const Case& c : cases) {
        TROBinaryMemoryStream s(AnsiString("keep"));
        try {
            s.LoadFromHexString(c.text);
            ADD_FAILURE() << "no error for " << StringToUtf8(c.text);
        } catch (const Exception& e) {
            EXPECT_EQ(e.ClassName(), c.className);
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(Content(s), "keep");
    }
}

TEST(ROBinaryMemoryStreamTest, TextConversions) {
    TROBinaryMemoryStream s;
    s.LoadFromHexString(u"0A1b");
    s.SetPosition(1);
    EXPECT_EQ(s.ToHexString(), u"0A1B");
    EXPECT_EQ(s.GetPosition(), 1);
    EXPECT_EQ(TROBinaryMemoryStream().ToHexString(), u"");

    s.LoadFromString(AnsiString("A\n\r\xC8"));
    s.SetPosition(3);
    EXPECT_EQ(s.ToReadableString(), u"A.\r.");
    EXPECT_EQ(s.ToString(), u"A\n\r\u00C8");
    EXPECT_EQ(s.GetPosition(), 0);

    // Text goes out in the ANSI code page or in UTF-8, as asked.
    EXPECT_EQ(Content(TROBinaryMemoryStream(StringView(u"\u20AC1"))), "\x80"
                                                                      "1");
    s.LoadFromUTF8String(u"\u20AC1");
    EXPECT_EQ(Content(s), "\xE2\x82\xAC"
                          "1");
    EXPECT_EQ(MakeReadableString(u"\x7F\u0100 ~"), u"\x7F. ~");
}

TEST(ROBinaryMemoryStreamTest, WriteAnsiStringOverwritesFromThePosition) {
    TROBinaryMemoryStream s(AnsiString("abcdef"));
    s.SetPosition(2);
    EXPECT_EQ(s.WriteAnsiString(u"XY"), 2);
    EXPECT_EQ(Content(s), "abXYef");
    s.SetPosition(5);
    EXPECT_EQ(s.WriteAnsiString(u"123"), 3);
    EXPECT_EQ(Content(s), "abXYe123");
    EXPECT_EQ(s.WriteAnsiString(u""), 0);
    EXPECT_EQ(s.GetSize(), 8);
}

TEST(ROBinaryMemoryStreamTest, AssignCopiesTheWholeSource) {
    TROBinaryMemoryStream source;
    std::string big(2500000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    source.LoadFromString(big);
    source.SetCapacityIncrement(64);
    source.SetPosition(1000);

    TROBinaryMemoryStream dest(AnsiString("previous content"));
    dest.Assign(source);
    EXPECT_EQ(Content(dest), big);
    EXPECT_EQ(dest.CapacityIncrement(), 64);
    EXPECT_EQ(dest.GetPosition(), dest.GetSize());
    EXPECT_EQ(source.GetPosition(), source.GetSize());

    std::unique_ptr<TROBinaryMemoryStream> copy = source.Clone();
    EXPECT_EQ(Content(*copy), big);

    // Assigning a stream to itself keeps its content.
    dest.Assign(dest);
    EXPECT_EQ(Content(dest), big);
    EXPECT_EQ(dest.GetPosition(), dest.GetSize());
}

TEST(ROBinaryMemoryStreamTest, AssignRefusesOtherStreams) {
    TMemoryStream other;
    TROBinaryMemoryStream s(AnsiString("keep"));
    try {
        s.Assign(other);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Cannot assign a \"TMemoryStream\" to a \"TROBinaryMemoryStream\".");
    }
    EXPECT_EQ(Content(s), "keep");
}

TEST(ROBinaryMemoryStreamTest, CapacityIncrementGrowsEveryRequest) {
    // The memory stream rounds every request up to 8 KiB; the increment is added before that.
    struct Case {
        std::int32_t increment;
        std::int64_t capacityAfterOneByte;
    } cases[] = {{0, 8192}, {1000, 8192}, {8192, 16384}, {-100, 8192}};
    for (const Case& c : cases) {
        TROBinaryMemoryStream s;
        s.SetCapacityIncrement(c.increment);
        s.WriteBuffer("x", 1);
        EXPECT_EQ(s.Capacity(), c.capacityAfterOneByte) << c.increment;
        s.Clear();
        EXPECT_EQ(s.Capacity(), 0);
    }
}

} // namespace
} // namespace vgl
